// What the programmer knows about each chip model of the family, as data:
// the identification word read at kChipId, the name shown for it, the flash
// size below which the same word names a smaller model, and the two
// registers that are zeroed before an image write (ClearChipRegisters).
//
// A new model is one more row in chipmodels.cpp; nothing else branches on
// the identification word.
#pragma once

#include <cstdint>

// Chip identification words.
constexpr uint32_t kChipIdXq6230 = 0x58516230;
constexpr uint32_t kChipIdXq6030 = 0xABCD0001;  // XQ6130 when the flash is below 1 MiB

struct ChipModelRow {
    uint32_t nIdWord;
    const char* pName;
    // The model the same word names when the flash (read successfully) is
    // smaller than nSmallFlashBelow bytes; null when there is none.
    const char* pSmallFlashName;
    uint32_t nSmallFlashBelow;
    // Registers zeroed before an image write, in this order; the second is
    // written only when the first write succeeded.
    uint32_t clearRegisters[2];
};

// The row of an identification word, or null for a chip the table does not know.
const ChipModelRow* FindChipModel(uint32_t nIdWord);
// Every row (tests walk them).
const ChipModelRow* ChipModelRows(int* pCount);
// The model name of a known row for a flash of nTotalSize bytes.
const char* ChipModelRowName(const ChipModelRow& row, uint32_t nTotalSize, bool bFlashInfoRead);
