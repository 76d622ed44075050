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
    // The longest the flash stays busy (milliseconds) after a page program,
    // after an erase of each of eraseUnits, after a chip erase and after a
    // status register write. The security registers take the page
    // program's and the sector erase's.
    int nPageProgramMaxMs;
    int eraseMaxMs[kEraseUnitCount];
    int nChipEraseMaxMs;
    int nStatusWriteMaxMs;
};

// The row of a JEDEC id, or null when the flash is not in the table.
const FlashPart* FindFlashPart(uint8_t nManufacturerId, uint8_t nMemoryType, uint8_t nCapacity);

// The shortest status wait there is: the flash's own figures are a few
// milliseconds for most commands, while the clock the wait runs on is the
// host's, across USB round trips and a loaded station's scheduling.
constexpr int kBusyLimitFloorMs = 6000;
// A chip erase of a flash the table does not list: the longest of the
// W25Q family up to 32 MiB (the W25Q256's 400 s).
constexpr int kUnknownChipEraseMaxMs = 400000;

// How long the status wait after the write-type command nOpcode may last on
// part (null: a flash the table does not list, or none identified yet):
// the row's maximum for that command, never less than kBusyLimitFloorMs.
// An unknown flash, and an opcode without a figure, get the floor, except
// a chip erase (kUnknownChipEraseMaxMs).
int BusyLimitMs(const FlashPart* pPart, uint8_t nOpcode);

// The whole table (for checks over every row).
const FlashPart* FlashParts(size_t* pCount);

}  // namespace flash
}  // namespace xq
