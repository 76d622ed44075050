#include "chipmodels.h"

#include <iterator>

namespace {

constexpr uint32_t kOneMiB = 1048576;

const ChipModelRow kChipModels[] = {
    {kChipIdXq6230, "XQ6230", nullptr, 0, {0x1A104208, 0x1A104200}},
    {kChipIdXq6030, "XQ6030", "XQ6130", kOneMiB, {0x1A104408, 0x1A104400}},
};

}  // namespace

const ChipModelRow* FindChipModel(uint32_t nIdWord)
{
    for (const ChipModelRow& row : kChipModels)
        if (row.nIdWord == nIdWord)
            return &row;
    return nullptr;
}

const ChipModelRow* ChipModelRows(int* pCount)
{
    if (pCount)
        *pCount = int(std::size(kChipModels));
    return kChipModels;
}

const char* ChipModelRowName(const ChipModelRow& row, uint32_t nTotalSize, bool bFlashInfoRead)
{
    if (row.pSmallFlashName && bFlashInfoRead && nTotalSize < row.nSmallFlashBelow)
        return row.pSmallFlashName;
    return row.pName;
}
