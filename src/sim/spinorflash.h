// A serial NOR flash of the W25Q16 class, modelled on the Winbond W25Q16JV
// datasheet: identification, status registers 1 and 2, write enable latch,
// block protection, page program, sector/block/chip erase, reads and the
// 512-byte security register area. Busy periods follow the bench's virtual
// clock with the datasheet's typical times.
#pragma once

#include "spislave.h"

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <utility>
#include <vector>

namespace sim {

struct FlashIdentity {
    uint8_t nManufacturer = 0xEF;
    uint8_t nMemoryType = 0x40;
    uint8_t nCapacity = 0x15;  // size = 1 << (capacity & 31)
    uint8_t nDeviceId = 0x14;
    uint8_t uid[16] = {0x58, 0x51, 0x42, 0x45, 0x4E, 0x43, 0x48, 0x30,
                       0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x37, 0x38};
    uint32_t Size() const { return 1u << (nCapacity & 31); }
};

// Busy times in microseconds. The defaults are the W25Q16JV datasheet's
// typical figures (AC characteristics); bench.ini's [timing] keys change them
// so that a user can model their own part.
struct FlashTiming {
    int64_t nPageProgramUs = 700;
    int64_t nSectorEraseUs = 30000;
    int64_t nBlock32EraseUs = 120000;
    int64_t nBlock64EraseUs = 150000;
    int64_t nChipEraseUs = 3000000;
    int64_t nStatusWriteUs = 10000;
    int64_t nSecurityEraseUs = 30000;
    int64_t nSecurityProgramUs = 700;

    // The same datasheet's maximum figures.
    static FlashTiming DatasheetMaximum()
    {
        FlashTiming t;
        t.nPageProgramUs = 3000;
        t.nSectorEraseUs = 400000;
        t.nBlock32EraseUs = 1600000;
        t.nBlock64EraseUs = 2000000;
        t.nChipEraseUs = 25000000;
        t.nStatusWriteUs = 15000;
        t.nSecurityEraseUs = 400000;
        t.nSecurityProgramUs = 3000;
        return t;
    }
};

// A command picked by its opcode and its count in the session: the N-th
// command with that opcode (1: the first).
struct OpcodeAt {
    uint8_t nOpcode = 0;
    int nNth = 1;
    bool operator<(const OpcodeAt& o) const { return nOpcode != o.nOpcode ? nOpcode < o.nOpcode : nNth < o.nNth; }
};

struct FlashFaults {
    bool bStuckBusy = false;
    bool bWpLow = false;  // the board holds WP# low
    std::set<uint32_t> weakSectors;  // sector base addresses
    std::set<uint32_t> deadSectors;
    // One-shot faults: each strikes one command and leaves later traffic alone.
    std::set<OpcodeAt> failOnce;  // the USB transfer carrying the command fails; the flash never sees it
    std::set<OpcodeAt> busyOnce;  // the command leaves the flash busy kBusyOnceExtraUs longer
    // The program command (page or security register) leaves bit 0 of every
    // byte it programs unprogrammed (it reads 1) and reports nothing wrong.
    std::set<OpcodeAt> weakOnce;
    uint16_t nStatusStuckBits = 0;  // status bits a status write cannot set (low byte: register 1)
    std::set<uint32_t> stuckBytes;  // flash addresses whose byte never programs
};

// How much longer than its datasheet time a busy_once command keeps the flash
// busy: beyond the 6 s status wait the program allows every command but a
// chip erase, so exactly one wait runs out and the next one finds the flash
// ready. The bench follows
// this time in real time too (a program may time its waits by the wall clock).
constexpr int64_t kBusyOnceExtraUs = 7000000;

namespace status1 {
constexpr uint8_t kBusy = 0x01;
constexpr uint8_t kWel = 0x02;
constexpr uint8_t kBpMask = 0x1C;  // BP0..BP2
constexpr uint8_t kTb = 0x20;
constexpr uint8_t kSec = 0x40;
constexpr uint8_t kSrp0 = 0x80;
}  // namespace status1
constexpr uint8_t kStatus2Srp1 = 0x01;
constexpr uint8_t kStatus2QuadEnable = 0x02;

constexpr uint32_t kSecurityAreaSize = 512;

class SpiNorFlash : public SpiSlave {
public:
    using Clock = std::function<int64_t()>;  // virtual microseconds

    SpiNorFlash(const FlashIdentity& id, Clock clock);

    void Select() override;
    uint8_t Exchange(uint8_t nMosi) override;
    void Deselect() override;

    std::vector<uint8_t>& Array() { return m_array; }
    std::vector<uint8_t>& Security() { return m_security; }
    uint8_t Status1() const { return m_nStatus1; }
    uint8_t Status2() const { return m_nStatus2; }
    void SetStatus(uint8_t nStatus1, uint8_t nStatus2);
    void SetFaults(const FlashFaults& faults) { m_faults = faults; }
    void SetTiming(const FlashTiming& timing) { m_timing = timing; }
    const FlashTiming& Timing() const { return m_timing; }
    const FlashIdentity& Identity() const { return m_id; }
    bool IsBusy() const;
    // Whether a busy_once command's busy time is running.
    bool InBusyOnce() const { return m_clock() < m_nBusyOnceUntil; }
    // Whether the status registers ignore writes: SRP1 set (power supply
    // lock-down), or SRP0 set while WP# is low (hardware protection).
    bool IsStatusLocked() const;
    int64_t BusyTimeUs() const { return m_nBusyTotalUs; }
    // Whether a fail_once command came since the last call: the transfer
    // carrying it fails, and the rest of that transfer never reaches the flash.
    bool TakeTransferFault();
    // Whether the byte at the address is write-protected by BP/TB/SEC.
    bool IsProtected(uint32_t nAddress) const;
    // Whether any byte of the range is write-protected.
    bool IsRangeProtected(uint32_t nAddress, uint32_t nLength) const;

private:
    void Execute();  // runs a buffered write-type command at chip-select high
    void ExecuteWrite(uint8_t nCmd);  // one whose write enable latch was set
    void EraseChip();
    void WriteSecurityPage(uint8_t nCmd, uint32_t nAddress);
    void ProgramPage(uint32_t nAddress, const std::vector<uint8_t>& data);
    void EraseRange(uint32_t nBase, uint32_t nSize, int64_t nBusyUs);
    void StartBusy(int64_t nUs);
    std::pair<uint32_t, uint32_t> ProtectedRange() const;  // [first, end) of the protected bytes
    uint8_t ReadByte(uint32_t nAddress) const { return m_array[nAddress & (m_array.size() - 1)]; }

    FlashIdentity m_id;
    Clock m_clock;
    FlashTiming m_timing;
    FlashFaults m_faults;
    std::vector<uint8_t> m_array;
    std::vector<uint8_t> m_security;
    uint8_t m_nStatus1 = 0;
    uint8_t m_nStatus2 = 0;
    bool m_bWel = false;
    int64_t m_nBusyUntil = 0;
    int64_t m_nBusyTotalUs = 0;
    std::set<uint32_t> m_weakSpent;  // weak sectors whose bad first program already happened
    std::map<uint8_t, int> m_opcodeCounts;  // commands seen in this session, by opcode
    bool m_bTransferFault = false;
    bool m_bBusyOnceFrame = false;  // the frame in progress is a busy_once command
    bool m_bWeakOnceFrame = false;  // the frame in progress is a weak_once command
    int64_t m_nBusyOnceUntil = 0;

    // The frame in progress.
    std::vector<uint8_t> m_frame;
    size_t m_nIndex = 0;
    bool m_bFrameIgnored = false;  // a command arrived while busy
};

}  // namespace sim
