// What the parts of the chip controller share about the wire: the serial
// NOR flash opcodes, the chip's slave-port frame bytes, status register
// bits, the chip's register addresses and the flash geometry. Private to
// src/chip.
#pragma once

#include <flashrules.h>

#include <cstdint>

namespace xq {

// Serial NOR flash opcodes (W25Q16JV datasheet, instruction table).
namespace flash {
constexpr uint8_t kWriteStatus = 0x01;
constexpr uint8_t kPageProgram = 0x02;
constexpr uint8_t kRead = 0x03;
constexpr uint8_t kWriteDisable = 0x04;
constexpr uint8_t kReadStatus = 0x05;
constexpr uint8_t kWriteEnable = 0x06;
constexpr uint8_t kFastRead = 0x0B;
constexpr uint8_t kSectorErase = 0x20;
constexpr uint8_t kWriteStatus2 = 0x31;
constexpr uint8_t kReadStatus2 = 0x35;
constexpr uint8_t kSecurityProgram = 0x42;
constexpr uint8_t kSecurityErase = 0x44;
constexpr uint8_t kSecurityRead = 0x48;
constexpr uint8_t kUniqueId = 0x4B;
constexpr uint8_t kBlock32Erase = 0x52;
constexpr uint8_t kChipErase = 0x60;
constexpr uint8_t kChipEraseAlt = 0xC7;  // the same chip erase under its other opcode
constexpr uint8_t kManufacturerId = 0x90;
constexpr uint8_t kJedecId = 0x9F;
constexpr uint8_t kBlock64Erase = 0xD8;

// Status register bits.
constexpr uint8_t kStatusBusy = 0x01;
constexpr uint8_t kStatusWel = 0x02;        // the write enable latch
constexpr uint8_t kStatusBusyOrWel = 0x03;  // busy, or the write enable latch still set
constexpr uint8_t kStatus2QuadEnable = 0x02;
constexpr uint8_t kProtectBit = 0x80;        // status register protect (SRP0)
constexpr uint8_t kBlockProtectBits = 0x1C;  // BP2..BP0: any of them protects part of the array
constexpr uint8_t kProtectBits = kProtectBit | kBlockProtectBits;
// Status register 1 values the writes set: SRP0 with BP2..BP0 (the whole
// array protected), and SRP0 with TB, BP2 and BP0 (only the lower half).
constexpr uint8_t kStatusAllProtected = kProtectBits;
constexpr uint8_t kStatusTopHalfOpen = 0xB4;

// Geometry.
constexpr int32_t kPageSize = 256;
constexpr int32_t kSectorSize = xq::kSectorSize;  // the erase sector of the flash rules (flashrules.h)
constexpr int32_t kBlock32Size = 0x8000;
constexpr int32_t kBlock64Size = 0x10000;
constexpr int32_t kSecurityAreaSize = 512;

// The erase units, largest first; the last (the sector) always fits.
struct EraseUnit {
    int32_t nSize;
    uint8_t nOpcode;
};
constexpr EraseUnit kEraseUnits[] = {
    {kBlock64Size, kBlock64Erase},
    {kBlock32Size, kBlock32Erase},
    {kSectorSize, kSectorErase},
};
}  // namespace flash

// Frames of the chip's slave port.
namespace port {
constexpr uint8_t kMemWrite = 0x02;
constexpr uint8_t kMemRead = 0x0B;
constexpr uint8_t kModeQuery = 0xFE;
constexpr uint8_t kModeSet = 0xFF;
constexpr uint8_t kControl = 0x11;
constexpr uint8_t kControlArg = 0x1F;
constexpr uint32_t kLinkResetAddress = 0xFFFFFF;  // a mode-set frame to this address resets the link
constexpr uint8_t kLinkResetFill = 0xFF;
constexpr int kMemHeaderSize = 5;   // opcode and 32-bit address
constexpr int kMemReadDiscard = 4;  // bytes the port sends before the data

// Link modes.
constexpr uint32_t kModeMemory = 0;     // memory frames, identification word
constexpr uint32_t kModeFlash = 1;      // flash command pass-through
constexpr uint32_t kModeEncrypted = 2;  // page programs are stored encrypted
constexpr uint32_t kModeHighest = 3;
constexpr uint8_t kModeAnswerIdle = 0xFF;  // the query's answer for a link in mode 0
}  // namespace port

// The chip's own registers, reached with memory frames in mode 0.
namespace reg {
constexpr uint32_t kChipId = 0x1A107018;
// The registers ClearChipRegisters zeroes are per model (chipmodels.h).
}  // namespace reg

// A 32-bit word stored least significant byte first.
inline uint32_t LoadLe32(const uint8_t* p)
{
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

}  // namespace xq
