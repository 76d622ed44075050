// FlashRepair: the verify that repairs what differs, and the sector erase
// that keeps the sector's other bytes (read before, put back after, checked).
#pragma once

#include "chiplink.h"
#include "flashpieces.h"

#include <flashrange.h>

#include <cstdint>

class FlashOps;

class FlashRepair {
public:
    FlashRepair(FlashOps& ops, ChipLink& link) : m_ops(ops), m_link(link) {}

    // As FlashOps::VerifyFlash and FlashOps::EraseSectorKeeping.
    int Verify(const uint8_t* pImage, int32_t nCount, int32_t nStart, const ProgressFn& progress,
               xq::FlashLoss* pLost);
    int EraseSectorKeeping(int32_t nSector, int32_t nFrom, int32_t nTo, const uint8_t* pSector,
                           xq::FlashLoss* pLost);

private:
    int RepairPiece(const uint8_t* pImage, int32_t nAddress, int32_t nSize, xq::FlashLoss* pLost);
    // One erase of the sector with the pieces of loss put back and read
    // back: *pKept tells whether they all hold their bytes.
    int EraseAndRestore(int32_t nSector, const xq::FlashLoss& loss, const uint8_t* pSector, bool* pKept);
    // The pieces of loss whose bytes the flash no longer holds (pSector: what
    // the sector held); a piece that cannot be read back counts as lost, unconfirmed.
    xq::FlashLoss ConfirmLoss(int32_t nSector, const xq::FlashLoss& loss, const uint8_t* pSector);

    FlashOps& m_ops;
    ChipLink& m_link;
};
