// The adapter kinds the simulated bench can play ([adapter] model in
// bench.ini): what each reports on USB (ids, bcdDevice, strings, speed),
// which MPSSE commands its chip understands, and which pins its board's
// output buffer needs before SK, DO and CS reach the chip.
//
// The board gates are written from the boards' own documentation (see the
// README's adapter table), independently of the pins the adapter library
// drives, so that a wrong library table fails on the bench.
#pragma once

#include <QString>

#include <cstdint>
#include <vector>

namespace sim {

// Pins that must be outputs at the given level for the buffer to pass SK, DO
// and CS: (direction & mask) == mask and (value & mask) == level.
struct BoardGate {
    uint8_t nLowMask = 0;
    uint8_t nLowLevel = 0;
    uint8_t nHighMask = 0;
    uint8_t nHighLevel = 0;

    bool Open(uint8_t nLowValue, uint8_t nLowDirection, uint8_t nHighValue, uint8_t nHighDirection) const
    {
        return (nLowDirection & nLowMask) == nLowMask && (nLowValue & nLowMask) == nLowLevel &&
               (nHighDirection & nHighMask) == nHighMask && (nHighValue & nHighMask) == nHighLevel;
    }
};

// The ids come from the adapter table's row (adapters.h), the speed from
// the chip generation.
struct AdapterModel {
    const char* pName;          // the [adapter] model value
    uint16_t nVendor;
    uint16_t nProduct;
    uint16_t nBcdDevice;        // the chip generation
    const char* pManufacturer;  // USB strings as the adapter reports them
    const char* pProduct;
    bool bHighSpeed;            // 480 Mbit/s with 512-byte bulk packets; else 12 Mbit/s, 64 bytes
    int nWiredChannel;          // 1 A, 2 B: the channel the chip is wired to
    BoardGate gate;

    uint32_t ChipType() const;
    int Interfaces() const;     // USB interfaces (channels) of the chip
    int PacketSize() const { return bHighSpeed ? 512 : 64; }
    // Bytes of the channel's receive buffer (host to engine), from the chip
    // generation's row (adapters.h): a USB write that does not fit waits for
    // the engine to make room, packet by packet.
    int RxBufferBytes() const;
};

// Every model, FT2232H (the default) first.
const std::vector<AdapterModel>& AdapterModels();
// The model of that name (case-insensitive), or null.
const AdapterModel* FindAdapterModel(const QString& strName);
const AdapterModel& DefaultAdapterModel();

// Whether the engine of that chip generation executes the opcode; anything
// else is answered with 0xFA and the opcode (FTDI AN_108, section 6 lists the
// commands of the H chips; 0x9E exists on the FT232H only).
bool EngineKnowsOpcode(uint32_t nChipType, uint8_t nOpcode);

}  // namespace sim
