// The serial NOR flashes the controller knows, as data: JEDEC id, geometry,
// erase units with their opcodes, the status register bits, the security
// area and how long the flash may stay busy. ReadFlashInfo looks the JEDEC
// id up here; a flash that is not listed is still taken, with the size its
// capacity code gives, and marked unknown (FlashInfo::pPart null).
#pragma once

#include "chipdefs.h"

#include <cstddef>
#include <cstdint>

namespace xq {
namespace flash {

// The erase units of a row, largest first; the last (the sector) always fits.
constexpr int kEraseUnitCount = 3;

struct FlashPart {
    const char* pName;
    uint8_t nManufacturerId;  // 1st byte of the JEDEC id (0x9F)
    uint8_t nMemoryType;      // 2nd byte
    uint8_t nCapacity;        // 3rd byte
    uint32_t nTotalSize;
    uint32_t nPageSize;
    uint32_t nSectorSize;
    EraseUnit eraseUnits[kEraseUnitCount];
    uint8_t nChipEraseOpcode;
    uint8_t nStatusBusy;     // status register 1: the busy bit
    uint8_t nStatusWel;      // the write enable latch
    uint8_t nProtectBits;    // SRP0 and BP2..BP0
    uint32_t nSecurityAreaSize;
    // The longest the flash stays busy (milliseconds) after a page program
    // and after an erase of each of eraseUnits.
    int nPageProgramMaxMs;
    int eraseMaxMs[kEraseUnitCount];
};

// The row of a JEDEC id, or null when the flash is not in the table.
const FlashPart* FindFlashPart(uint8_t nManufacturerId, uint8_t nMemoryType, uint8_t nCapacity);

// The whole table (for checks over every row).
const FlashPart* FlashParts(size_t* pCount);

}  // namespace flash
}  // namespace xq
