#include "flashtable.h"

namespace xq {
namespace flash {

namespace {

// Winbond W25Q and GigaDevice GD25Q parts from 256 KiB to 16 MiB: both
// families share the W25Q16JV's instruction set, 256-byte pages, 4 KiB
// sectors, 32 and 64 KiB blocks and three 256-byte security registers
// (the controller uses the first 512 bytes). The busy figures are the
// W25Q16JV datasheet's maxima (AC characteristics), taken for every row.
#define XQ_FLASH_ROW(name, manufacturer, capacity)                                                     \
    {                                                                                                   \
        name, manufacturer, 0x40, capacity, 1u << (capacity), uint32_t(kPageSize), uint32_t(kSectorSize), \
            {{kBlock64Size, kBlock64Erase}, {kBlock32Size, kBlock32Erase}, {kSectorSize, kSectorErase}}, \
            kChipErase, kStatusBusy, kStatusWel, kProtectBits, uint32_t(kSecurityAreaSize), 3,         \
        {                                                                                               \
            2000, 1600, 400                                                                             \
        }                                                                                               \
    }

constexpr uint8_t kWinbond = 0xEF;
constexpr uint8_t kGigaDevice = 0xC8;

const FlashPart kParts[] = {
    XQ_FLASH_ROW("W25Q20", kWinbond, 0x12),     XQ_FLASH_ROW("W25Q40", kWinbond, 0x13),
    XQ_FLASH_ROW("W25Q80", kWinbond, 0x14),     XQ_FLASH_ROW("W25Q16", kWinbond, 0x15),
    XQ_FLASH_ROW("W25Q32", kWinbond, 0x16),     XQ_FLASH_ROW("W25Q64", kWinbond, 0x17),
    XQ_FLASH_ROW("W25Q128", kWinbond, 0x18),    XQ_FLASH_ROW("GD25Q20", kGigaDevice, 0x12),
    XQ_FLASH_ROW("GD25Q40", kGigaDevice, 0x13), XQ_FLASH_ROW("GD25Q80", kGigaDevice, 0x14),
    XQ_FLASH_ROW("GD25Q16", kGigaDevice, 0x15), XQ_FLASH_ROW("GD25Q32", kGigaDevice, 0x16),
    XQ_FLASH_ROW("GD25Q64", kGigaDevice, 0x17), XQ_FLASH_ROW("GD25Q128", kGigaDevice, 0x18),
};

#undef XQ_FLASH_ROW

}  // namespace

const FlashPart* FindFlashPart(uint8_t nManufacturerId, uint8_t nMemoryType, uint8_t nCapacity)
{
    for (const FlashPart& part : kParts)
        if (part.nManufacturerId == nManufacturerId && part.nMemoryType == nMemoryType &&
            part.nCapacity == nCapacity)
            return &part;
    return nullptr;
}

const FlashPart* FlashParts(size_t* pCount)
{
    if (pCount)
        *pCount = sizeof kParts / sizeof kParts[0];
    return kParts;
}

}  // namespace flash
}  // namespace xq
