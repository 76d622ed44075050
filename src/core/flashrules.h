// The flash facts the window, the workers and xqprog share: the sizes of the
// family's flashes, the 4 KiB erase sector, and the rule that an operation's
// range lies within the flash (the flash ignores the high address bits, so a
// range past its end would wrap around to its start).
#pragma once

#include <cstdint>

namespace xq {

constexpr uint32_t kMinFlashSize = 0x40000;   // 256 KiB: the smallest flash of the family
constexpr uint32_t kMaxFlashSize = 0x200000;  // 2 MiB: the largest
constexpr int32_t kSectorSize = 0x1000;       // the smallest erase unit
constexpr int32_t kMaxStartAddress = 0xFFFFFF;  // the frames carry 24-bit addresses

// The start of the sector that holds nAddress, and nAddress's offset in it.
constexpr int32_t SectorBase(int32_t nAddress)
{
    return nAddress & ~(kSectorSize - 1);
}
constexpr int32_t SectorOffset(int32_t nAddress)
{
    return nAddress & (kSectorSize - 1);
}
// The first sector boundary at or after nAddress (not negative): the end of
// a range rounded up to whole sectors, or a length rounded up to them.
constexpr int64_t SectorCeil(int64_t nAddress)
{
    return (nAddress + kSectorSize - 1) & ~int64_t(kSectorSize - 1);
}

// Whether a flash size read from the identification is one of the family's.
constexpr bool FlashSizeKnown(uint32_t nSize)
{
    return nSize >= kMinFlashSize && nSize <= kMaxFlashSize;
}

}  // namespace xq
