// The XQ chip's SPI slave port as the bench models it.
//
// The port keeps a link mode 0..3. Mode frames work in every mode: 0xFE
// (mode query: four bytes, then the mode), 0xFF 00 00 00 m (mode set), five
// 0xFF (link reset) and 0x11 0x1F (control). Otherwise:
//   mode 0: memory frames, 0x02 A31..A0 data (write) and 0x0B A31..A0, four
//           discarded bytes, data (read); 32-bit words travel MSB first;
//   mode 1: every frame passes through to the flash;
//   mode 2: like mode 1, but page program data is stored XOR a per-address
//           key derived from the chip's secret (the encrypted programming);
//   mode 3: nothing answers.
#pragma once

#include "spinorflash.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace sim {

enum class ChipModel { XQ6230, XQ6030, XQ6130 };

constexpr uint32_t kChipIdAddress = 0x1A107018;
uint32_t ChipIdWord(ChipModel model);
bool ChipModelFromName(const std::string& strName, ChipModel& model);
const char* ChipModelName(ChipModel model);

struct RegisterWrite {
    uint32_t nAddress;
    uint32_t nValue;
};

class XqChip : public SpiSlave {
public:
    XqChip(ChipModel model, SpiNorFlash* pFlash);

    void Select() override;
    uint8_t Exchange(uint8_t nMosi) override;
    void Deselect() override;

    uint8_t Mode() const { return m_nMode; }
    void SetModeStuck(bool bStuck) { m_bModeStuck = bStuck; }
    // [faults] port_reset_once: after the N-th page program the port drops
    // to mode 0, as after a reset the link did not ask for (0: never).
    void SetPortResetAfterPrograms(int nPrograms) { m_nResetAfterPrograms = nPrograms; }
    // Frames the port took as writes to its memory (mode 0, opcode 0x02).
    int MemoryWriteFrames() const { return m_nMemoryWriteFrames; }
    void SetFlashPresent(bool bPresent) { m_bFlashPresent = bPresent; }
    // The byte that mode 2 XORs into the data programmed at a flash address.
    uint8_t KeyByte(uint32_t nAddress) const;
    const std::vector<RegisterWrite>& RegisterWrites() const { return m_registerWrites; }
    int ControlFrames() const { return m_nControlFrames; }
    int LinkResets() const { return m_nLinkResets; }
    // SPI bytes spent on status and mode polls (not needed to move data).
    int64_t PollBytes() const { return m_nPollBytes; }

private:
    enum class Route { Undecided, ModeQuery, ModeFrame, Control, MemWrite, MemRead, Flash, Encrypted, Ignore };

    uint8_t MemoryByte(uint32_t nAddress) const;
    void WriteMemoryByte(uint32_t nAddress, uint8_t nValue);

    ChipModel m_model;
    SpiNorFlash* m_pFlash;
    uint8_t m_nMode = 1;
    bool m_bModeStuck = false;
    bool m_bFlashPresent = true;
    uint64_t m_nSecret;
    std::map<uint32_t, uint8_t> m_memory;  // byte address -> value (word bytes MSB first)
    std::vector<RegisterWrite> m_registerWrites;
    int m_nControlFrames = 0;
    int m_nLinkResets = 0;
    int m_nResetAfterPrograms = 0;
    int m_nPrograms = 0;
    int m_nMemoryWriteFrames = 0;
    int64_t m_nPollBytes = 0;

    Route m_route = Route::Undecided;
    std::vector<uint8_t> m_header;
    size_t m_nIndex = 0;
};

}  // namespace sim
