#include "flashtable.h"

namespace xq {
namespace flash {

namespace {

// Winbond W25Q and GigaDevice GD25Q parts from 256 KiB to 16 MiB: both
// families share the W25Q16JV's instruction set, 256-byte pages, 4 KiB
// sectors and 32 and 64 KiB blocks; the controller reaches a 512-byte
// security area through them. The busy figures are the
// W25Q16JV datasheet's maxima (AC characteristics), taken for every row.
constexpr FlashPart Row(const char* pName, uint8_t nManufacturerId, uint8_t nCapacity)
{
    return {pName,
            nManufacturerId,
            0x40,
            nCapacity,
            1u << nCapacity,
            uint32_t(kPageSize),
            uint32_t(kSectorSize),
            {{kBlock64Size, kBlock64Erase}, {kBlock32Size, kBlock32Erase}, {kSectorSize, kSectorErase}},
            kChipErase,
            kStatusBusy,
            kStatusWel,
            kProtectBits,
            uint32_t(kSecurityAreaSize),
            3,
            {2000, 1600, 400}};
}

constexpr uint8_t kWinbond = 0xEF;
constexpr uint8_t kGigaDevice = 0xC8;

const FlashPart kParts[] = {
    Row("W25Q20", kWinbond, 0x12),     Row("W25Q40", kWinbond, 0x13),
    Row("W25Q80", kWinbond, 0x14),     Row("W25Q16", kWinbond, 0x15),
    Row("W25Q32", kWinbond, 0x16),     Row("W25Q64", kWinbond, 0x17),
    Row("W25Q128", kWinbond, 0x18),    Row("GD25Q20", kGigaDevice, 0x12),
    Row("GD25Q40", kGigaDevice, 0x13), Row("GD25Q80", kGigaDevice, 0x14),
    Row("GD25Q16", kGigaDevice, 0x15), Row("GD25Q32", kGigaDevice, 0x16),
    Row("GD25Q64", kGigaDevice, 0x17), Row("GD25Q128", kGigaDevice, 0x18),
};

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
