#include "flashtable.h"

namespace xq {
namespace flash {

namespace {

// Winbond W25Q and GigaDevice GD25Q parts from 256 KiB to 16 MiB: both
// families share the W25Q16JV's instruction set, 256-byte pages, 4 KiB
// sectors and 32 and 64 KiB blocks; the controller reaches a 512-byte
// security area through them. The busy figures are the W25Q*JV
// datasheets' maxima (AC characteristics): page program 3 ms, sector 400 ms,
// 32 KiB block 1.6 s, 64 KiB block 2 s, status write 15 ms, the same for
// every size; the chip erase grows with the size, 25 s for 2 MiB (and for
// the smaller rows) to 200 s for 16 MiB. The GigaDevice rows take the
// Winbond figures of their size.
constexpr int ChipEraseMaxMs(uint8_t nCapacity)
{
    return nCapacity <= 0x15 ? 25000 : 25000 << (nCapacity - 0x15);
}

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
            {2000, 1600, 400},
            ChipEraseMaxMs(nCapacity),
            15};
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

int BusyLimitMs(const FlashPart* pPart, uint8_t nOpcode)
{
    int nMaxMs = 0;
    if (!pPart) {
        nMaxMs = nOpcode == kChipErase || nOpcode == kChipEraseAlt ? kUnknownChipEraseMaxMs : 0;
    } else if (nOpcode == kPageProgram || nOpcode == kSecurityProgram) {
        nMaxMs = pPart->nPageProgramMaxMs;
    } else if (nOpcode == kChipErase || nOpcode == kChipEraseAlt) {
        nMaxMs = pPart->nChipEraseMaxMs;
    } else if (nOpcode == kWriteStatus || nOpcode == kWriteStatus2) {
        nMaxMs = pPart->nStatusWriteMaxMs;
    } else {
        const uint8_t nEraseAs = nOpcode == kSecurityErase ? kSectorErase : nOpcode;
        for (int i = 0; i < kEraseUnitCount; ++i)
            if (pPart->eraseUnits[i].nOpcode == nEraseAs)
                nMaxMs = pPart->eraseMaxMs[i];
    }
    return nMaxMs > kBusyLimitFloorMs ? nMaxMs : kBusyLimitFloorMs;
}

const FlashPart* FlashParts(size_t* pCount)
{
    if (pCount)
        *pCount = sizeof kParts / sizeof kParts[0];
    return kParts;
}

}  // namespace flash
}  // namespace xq
