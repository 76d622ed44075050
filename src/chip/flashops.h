// FlashOps: the serial NOR flash operations, sent through the chip's flash
// pass-through (link mode 1, and mode 2 for encrypted programming). The
// command level lives here: identification, erase, program entry points,
// reads, the status register and the security registers. The algorithms
// have their own classes: page programs in order or batched
// (pageprogram.h, pagebatch.h), encrypted programming (encryptedprogram.h),
// verify with repair and the sector erase that keeps its other bytes
// (flashrepair.h), the static data header search (headersearch.h).
#pragma once

#include "chiplink.h"
#include "flashtable.h"

#include "flashpieces.h"
#include "pageprogram.h"

#include <flashrange.h>
#include <requestmarkers.h>

#include <cstdint>
#include <vector>

struct FlashInfo {
    uint8_t nManufacturerId = 0;
    uint8_t nDeviceId = 0;
    uint8_t nMemoryType = 0;
    uint8_t nCapacity = 0;
    uint32_t nPageSize = 0;
    uint32_t nSectorSize = 0;
    uint32_t nTotalSize = 0;
    uint32_t uniqueId[4] = {0, 0, 0, 0};
    // The flash table's row for the JEDEC id; null: an unknown flash (its
    // size is still the one its capacity code gives).
    const xq::flash::FlashPart* pPart = nullptr;
};


class FlashOps {
public:
    explicit FlashOps(ChipLink& link) : m_link(link) {}

    int ReadFlashInfo(FlashInfo* pInfo);
    // nCount kWholeChip erases the whole chip.
    int EraseFlash(int32_t nStart, int32_t nCount, const ProgressFn& progress = {});
    // Erases the whole sectors that hold [nStart, nStart + nCount): from
    // nStart rounded down to a sector through the range's end rounded up
    // (kWholeChip: the whole chip). The other bytes of a first or last
    // sector the range covers only in part are erased with it.
    int EraseRange(int32_t nStart, int32_t nCount, const ProgressFn& progress = {});
    // One sector erased with its bytes outside [nFrom, nTo) put back from
    // pSector (what the whole sector held before), then checked. A failure
    // on the way (a USB transfer, a sector that did not take the bytes)
    // is tried again, up to kRestoreAttempts in all, after the link has
    // been brought back (ChipLink::Recover). A stop waits until the bytes
    // are back. On failure *pLost (may be null) names the outside bytes
    // that the flash, read back, no longer holds (or that could not be read
    // back: then marked unconfirmed); none when they are all still there.
    static constexpr int kRestoreAttempts = 3;
    int EraseSectorKeeping(int32_t nSector, int32_t nFrom, int32_t nTo, const uint8_t* pSector, xq::FlashLoss* pLost);
    int ProgramFlash(int32_t nStart, const uint8_t* pData, int32_t nCount, bool bSwap, const ProgressFn& progress = {});
    // ProgramFlash without swapping that leaves out the pages whose bytes are
    // all 0xFF: a program only clears bits, so 0xFF changes nothing, and on
    // erased flash those pages already hold the image.
    int ProgramFlashSkipBlank(int32_t nStart, const uint8_t* pData, int32_t nCount, const ProgressFn& progress = {});
    using PageWrite = ::PageWrite;
    // As PageProgrammer::ProgramPageList.
    int ProgramPageList(const std::vector<PageWrite>& pages, int32_t nCount, const ProgressFn& progress);
    // Whether an encrypted image is too small to hold its encrypted part
    // (checked before the chip is touched; ProgramFlashEncrypted refuses it too).
    static bool EncryptedPartMissing(const uint8_t* pImage, int32_t nCount);
    // The whole sectors that hold the range are erased on the way (after
    // the key is read).
    int ProgramFlashEncrypted(int32_t nStart, const uint8_t* pImage, int32_t nCount, bool bSwap,
                              const ProgressFn& progress = {});
    // A piece that differs is repaired: its sector erased with its other
    // bytes put back (EraseSectorKeeping; *pLost, may be null, as there),
    // the piece programmed again and read back.
    int VerifyFlash(const uint8_t* pImage, int32_t nCount, int32_t nStart, const ProgressFn& progress = {},
                    xq::FlashLoss* pLost = nullptr);
    int ReadFlashData(uint8_t* pBuffer, int32_t nCount, int32_t nStart, const ProgressFn& progress = {});
    int FastReadFlash(uint8_t* pBuffer, int32_t nCount, int32_t nStart, const ProgressFn& progress = {});

    // Status register. ReadProtectBit gives the protection bits that are set
    // (the status register protect bit and the block-protect bits).
    int ReadProtectBit();
    int ReadStatus(uint8_t* pStatus);
    int WriteStatus(uint8_t nValue);
    int ClearStatus();

    // Security registers (512 bytes).
    int EraseSecurity(int32_t nAddress, int32_t nCount);
    int ProgramSecurity(int32_t nAddress, const uint8_t* pData, int32_t nCount);
    int ReadSecurity(uint8_t* pBuffer, int32_t nCount, int32_t nAddress);

    // Static data header search over [nStart, nStart + nLength rounded up to
    // a sector): *pOffset is the record's offset or kNotFound.
    int SearchHeader(int32_t nStart, int32_t nLength, int32_t* pOffset, uint8_t* pRecord = nullptr,
                     int32_t nRecordCapacity = 0);
    // The offset of the first "XQ" header with a plausible total, or kNotFound.
    static int ScanMagic(const uint8_t* pBuffer, int nLength);

private:
    int ReadFlashPieces(uint8_t* pBuffer, int32_t nCount, int32_t nStart, bool bFast, const ProgressFn& progress);

    ChipLink& m_link;
};
