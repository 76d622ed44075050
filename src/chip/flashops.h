// FlashOps: the serial NOR flash operations, sent through the chip's flash
// pass-through (link mode 1, and mode 2 for encrypted programming):
// identification, erase, program (plain and encrypted), verify with repair,
// reads, the status register, the security registers and the static data
// header search.
#pragma once

#include "chiplink.h"

#include <flashrange.h>

#include <cstdint>
#include <functional>
#include <vector>

// Progress of a long operation: one percent 0..100; may be empty.
using ProgressFn = std::function<void(int)>;

struct FlashInfo {
    uint8_t nManufacturerId = 0;
    uint8_t nDeviceId = 0;
    uint8_t nMemoryType = 0;
    uint8_t nCapacity = 0;
    uint32_t nPageSize = 0;
    uint32_t nSectorSize = 0;
    uint32_t nTotalSize = 0;
    uint32_t uniqueId[4] = {0, 0, 0, 0};
};


class FlashOps {
public:
    explicit FlashOps(ChipLink& link) : m_link(link) {}

    int ReadFlashInfo(FlashInfo* pInfo);
    // nCount kWholeChip erases the whole chip.
    int EraseFlash(int32_t nStart, int32_t nCount, const ProgressFn& progress = {});
    // Erases exactly [nStart, nStart + nCount) (kWholeChip: the whole chip).
    // The sectors the range covers whole are erased in the largest aligned
    // units; a first or last sector it covers only in part is read, erased,
    // and its bytes outside the range programmed back and checked before
    // anything else is erased, so the bytes of at most one sector are ever
    // held only in memory. On failure *pLost (may be null) names the
    // outside bytes not put back; none when the failure came before their
    // sector's erase.
    int EraseExact(int32_t nStart, int32_t nCount, xq::FlashLoss* pLost, const ProgressFn& progress = {});
    // One sector erased with its bytes outside [nFrom, nTo) put back from
    // pSector (what the whole sector held before), then checked; a sector
    // that does not take them is erased and programmed once more. A stop
    // waits until the bytes are back. *pLost as for EraseExact.
    int EraseSectorKeeping(int32_t nSector, int32_t nFrom, int32_t nTo, const uint8_t* pSector, xq::FlashLoss* pLost);
    int ProgramFlash(int32_t nStart, const uint8_t* pData, int32_t nCount, bool bSwap, const ProgressFn& progress = {});
    // ProgramFlash without swapping that leaves out the pages whose bytes are
    // all 0xFF: a program only clears bits, so 0xFF changes nothing, and on
    // erased flash those pages already hold the image.
    int ProgramFlashSkipBlank(int32_t nStart, const uint8_t* pData, int32_t nCount, const ProgressFn& progress = {});
    // One page program: where, its bytes, and where its piece of the range ends.
    struct PageWrite {
        uint32_t nAddress;
        const uint8_t* pData;
        int32_t nLength;
        int32_t nEnd;  // bytes of the range up to the end of this page, for the progress
    };
    // The pages in strict order (ChipLink::StrictOrder, or a single page),
    // else in batches (the safety argument is in flashops.cpp). The progress
    // runs over the pages' ends in a range of nCount bytes.
    int ProgramPageList(const std::vector<PageWrite>& pages, int32_t nCount, const ProgressFn& progress);
    // Whether an encrypted image is too small to hold its encrypted part
    // (checked before the chip is touched; ProgramFlashEncrypted refuses it too).
    static bool EncryptedPartMissing(const uint8_t* pImage, int32_t nCount);
    // The range's sectors are erased on the way (after the key is read), as
    // EraseExact does: *pLost (may be null) as there.
    int ProgramFlashEncrypted(int32_t nStart, const uint8_t* pImage, int32_t nCount, bool bSwap,
                              const ProgressFn& progress = {}, xq::FlashLoss* pLost = nullptr);
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
    int ProgramPages(int32_t nStart, const uint8_t* pData, int32_t nCount, bool bSkipBlank,
                     const ProgressFn& progress);
    int ProgramPagesInOrder(const std::vector<PageWrite>& pages, int32_t nCount, const ProgressFn& progress);
    int ProgramPagesBatched(const std::vector<PageWrite>& pages, const ProgressFn& progress);
    int RepairPiece(const uint8_t* pImage, int32_t nAddress, int32_t nSize, xq::FlashLoss* pLost);

    // The phases of ProgramFlashEncrypted.
    struct EncryptedJob;
    int ReadEncryptionKey(EncryptedJob& job, std::vector<uint8_t>& key);
    int KeyAndErase(EncryptedJob& job, std::vector<uint8_t>& key, int64_t nFrom, int64_t nTo, const uint8_t* pSector);
    int ProgramEncryptedImage(EncryptedJob& job);
    int ProgramEncryptedRange(EncryptedJob& job, int32_t nFrom, int32_t nTo);
    static bool KeyLooksStored(int32_t nStart, const std::vector<uint8_t>& key);
    int CheckEncryptedReadBack(const EncryptedJob& job, const std::vector<uint8_t>& key);

    ChipLink& m_link;
};
