// Smart write: programs an image over what the flash already holds, doing
// only the work the difference needs. The range is read first; a sector
// that already holds the image is left alone, a sector that only needs bits
// cleared (1 to 0) is programmed without an erase, and only the sectors
// that need it are erased (aligned units, as EraseFlash chooses them). A
// first or last sector that holds bytes outside the image's range is erased
// on its own, those bytes put back as they were read and checked before
// anything else is erased (FlashOps::EraseSectorKeeping). Only pages that differ from what the flash holds are programmed, and
// every sector written is verified with the usual repair.
#pragma once

#include "flashops.h"

#include <cstdint>
#include <vector>

// What a smart write did, sector by sector: every sector the range touches
// is counted once.
struct SmartWriteCounts {
    int nErased = 0;      // erased, then programmed where the image is not 0xFF
    int nProgrammed = 0;  // programmed without an erase
    int nSkipped = 0;     // already held the image
};

// The work a smart write must do over the whole sectors [nBase, nBase + size).
struct SmartWritePlan {
    struct Piece {
        int32_t nAddress;  // flash address; a piece never crosses a page
        int32_t nLength;
    };
    int32_t nBase = 0;
    std::vector<uint8_t> target;   // the sectors afterwards: the image in its range, the rest as read
    std::vector<bool> erase;       // per sector: must be erased
    std::vector<bool> touched;     // per sector: erased or programmed, so verified
    std::vector<Piece> pieces;     // page pieces to program, in address order
    SmartWriteCounts counts;

    // From the image at nStart and what the flash holds over the whole
    // sectors around it (pCurrent: the bytes from nStart rounded down to a
    // sector, through the end rounded up).
    static SmartWritePlan Make(int32_t nStart, const uint8_t* pImage, int32_t nCount, const uint8_t* pCurrent);
    // Consecutive sectors with the flag set, as (address, length) runs.
    std::vector<Piece> Runs(const std::vector<bool>& flags) const;
};

class SmartWriter {
public:
    SmartWriter(ChipLink& link, FlashOps& ops) : m_link(link), m_ops(ops) {}

    // The image at nStart; 0 or the code of the step that failed (-1 for bad
    // arguments, -258 for a busy flash, 323 when a repair failed). On
    // failure *pLost (may be null) names the bytes outside the range that
    // were not put back.
    int Write(int32_t nStart, const uint8_t* pImage, int32_t nCount, SmartWriteCounts* pCounts,
              const ProgressFn& progress = {}, xq::FlashLoss* pLost = nullptr);

private:
    int EraseSectors(const SmartWritePlan& plan, int32_t nStart, int32_t nCount, const uint8_t* pCurrent,
                     xq::FlashLoss* pLost, const ProgressFn& progress);
    int ProgramPieces(const SmartWritePlan& plan, const ProgressFn& progress);

    ChipLink& m_link;
    FlashOps& m_ops;
};
