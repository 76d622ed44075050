#include "flashops.h"

#include "blankcheck.h"

#include "chipdefs.h"

#include <encryptedimage.h>
#include <staticrecord.h>

#include <algorithm>
#include <iterator>
#include <cstddef>
#include <cstring>
#include <vector>

namespace flash = xq::flash;
using xq::LoadLe32;

namespace {

constexpr int32_t kVerifyChunk = 61440;

// Encrypted image layout (encryptedimage.h).
using xq::encrypted::kPlainHead;
using xq::encrypted::kPlainTailOffset;
using xq::encrypted::kSecondRegion;
using xq::encrypted::kSecondRegionMagic;
using xq::encrypted::kSecondRegionPlainTail;
// Encrypted programming runs two passes over the image (zeros, then data):
// each is half of its progress.
constexpr int64_t kEncryptedPasses = 2;
// A key page shorter than this (a range's first or last few bytes) is too
// short to tell a stuck page from a key.
constexpr int32_t kKeyCheckMinBytes = 16;

// Static data record header (staticrecord.h).
constexpr int kHeaderSize = int(sizeof(static_data_hdr));
constexpr int kHeaderTotalAt = int(offsetof(static_data_hdr, nTotalSize));
constexpr int kHeaderUsedAt = int(offsetof(static_data_hdr, nUsedLength));

void Report(const ProgressFn& progress, int64_t nPercent)
{
    if (progress)
        progress(int(std::min<int64_t>(nPercent, 100)));
}

// The first progress value of an operation over n bytes: 1 when n is a
// multiple of 100, else 0.
int64_t InitialPercent(int64_t n)
{
    return n > 0 ? (n / 100 * 100) / n : 0;
}

int32_t FirstPagePiece(int32_t nStart, int32_t nCount)
{
    return std::min(flash::kPageSize - (nStart & 0xFF), nCount);
}

// The writer programs the record with its words swapped, and SwapWords
// reverses a final group of 1 to 3 bytes within itself; the search swapped
// the area in whole words, which reversed that group together with the bytes
// after it. Take the record's last bytes from where that put them, so a read
// gives back exactly what was written whatever the record's length.
void UnswapRecordTail(uint8_t* pRecord, int64_t nRecord, const uint8_t* pSwappedArea)
{
    const int nTail = int(nRecord % 4);
    if (nTail == 0)
        return;
    const int64_t nGroup = nRecord - nTail;
    std::memcpy(pRecord + nGroup, pSwappedArea + nGroup + 4 - nTail, size_t(nTail));
}

// The bytes of a sector outside [nFrom, nTo), the part of a range in it.
xq::FlashLoss OutsideOf(int32_t nSector, int32_t nFrom, int32_t nTo)
{
    xq::FlashLoss loss;
    if (nFrom > nSector)
        loss.pieces[0] = {nSector, nFrom - nSector};
    if (nTo < nSector + flash::kSectorSize)
        loss.pieces[1] = {nTo, nSector + flash::kSectorSize - nTo};
    return loss;
}

bool SecurityRangeOk(int32_t nAddress, int32_t nCount)
{
    return nAddress >= 0 && nAddress < flash::kSecurityAreaSize && nCount > 0 &&
           int64_t(nAddress) + nCount <= flash::kSecurityAreaSize;
}

}  // namespace

// ---------------------------------------------------------------- identification

int FlashOps::ReadFlashInfo(FlashInfo* pInfo)
{
    if (!pInfo)
        return xq::kErrBadArgument;
    if (!m_link.IsOpen())
        return xq::kErrNotOpen;
    *pInfo = FlashInfo();
    if (m_link.ReadMode() == int(xq::port::kModeMemory))
        m_link.SetMode(xq::port::kModeFlash);
    // A failed transfer leaves its fields 0 and is reported: zeros from an
    // adapter that is gone must not pass for a flash identification.
    int nFailed = 0;
    auto note = [&nFailed](int r) {
        if (r != 0 && nFailed == 0)
            nFailed = r;
        return r == 0;
    };
    uint8_t reply[16] = {};
    if (note(m_link.SendCmdRead(reply, 3, flash::kManufacturerId, 0, 3))) {
        pInfo->nManufacturerId = reply[0];
        pInfo->nDeviceId = reply[1];
    }
    uint8_t jedec[3] = {};
    if (note(m_link.SendCmdRead(jedec, 3, flash::kJedecId, 0, 0))) {
        pInfo->nMemoryType = jedec[1];
        pInfo->nCapacity = jedec[2];
    }
    if (note(m_link.SendCmdRead(reply, 16, flash::kUniqueId, 0, 4))) {
        ChipLink::SwapWords(reply, 16);
        std::memcpy(pInfo->uniqueId, reply, 16);
    }
    // The size comes from the capacity code when the JEDEC id names the same
    // maker as the 0x90 reply; a listed flash gives its row as well.
    if (jedec[0] == pInfo->nManufacturerId)
        pInfo->pPart = flash::FindFlashPart(jedec[0], jedec[1], jedec[2]);
    pInfo->nPageSize = pInfo->pPart ? pInfo->pPart->nPageSize : uint32_t(flash::kPageSize);
    pInfo->nSectorSize = pInfo->pPart ? pInfo->pPart->nSectorSize : uint32_t(flash::kSectorSize);
    if (pInfo->pPart)
        pInfo->nTotalSize = pInfo->pPart->nTotalSize;
    else
        pInfo->nTotalSize = jedec[0] == pInfo->nManufacturerId ? 1u << (pInfo->nCapacity & 31) : 0;
    const bool bBusy = m_link.WaitReady(flash::kStatusBusy);
    if (nFailed != 0)
        return nFailed;
    // No flash answering: the identification reads all zero (or all ones).
    const bool bSilent = (jedec[0] == 0 && jedec[1] == 0 && jedec[2] == 0) ||
                         (jedec[0] == 0xFF && jedec[1] == 0xFF && jedec[2] == 0xFF);
    if (bSilent)
        return xq::kErrBadArgument;
    return bBusy ? xq::kErrFlashBusyAtStart : 0;
}

// ---------------------------------------------------------------- erase, program, verify, read

int FlashOps::EraseFlash(int32_t nStart, int32_t nCount, const ProgressFn& progress)
{
    if (nCount == 0)
        return xq::kErrBadArgument;
    if (m_link.WaitReady(flash::kStatusBusyOrWel))
        return xq::kErrFlashBusyAtStart;
    if (nCount == xq::kWholeChip)
        return m_link.SendCmdWE(flash::kChipErase, 0, 0, nullptr, 0);
    if (nCount < 0)
        return 0;
    Report(progress, InitialPercent(nCount));

    const int64_t nTotal = xq::SectorCeil(nCount);
    const uint32_t nBase = uint32_t(xq::SectorBase(nStart));
    // A flash erases the whole aligned unit that contains the address, so a
    // block erase is used only where the block starts; elsewhere 4 KiB
    // sectors. Exactly [start rounded down, + count rounded up) is erased.
    int64_t nOffset = 0;
    while (nOffset < nTotal) {
        const uint32_t nAt = nBase + uint32_t(nOffset);
        const int64_t nLeft = nTotal - nOffset;
        const flash::EraseUnit* pUnit = std::find_if(
            std::begin(flash::kEraseUnits), std::end(flash::kEraseUnits) - 1,
            [&](const flash::EraseUnit& u) { return nAt % uint32_t(u.nSize) == 0 && nLeft >= u.nSize; });
        const uint8_t nCmd = pUnit->nOpcode;
        const int32_t nUnit = pUnit->nSize;
        // Fast profile: a block that reads all 0xFF is left as it is.
        bool bBlank = false;
        int r = nCmd == flash::kBlock64Erase && m_link.BatchPrograms() ? CheckBlank(*this, nAt, nUnit, &bBlank) : 0;
        if (r == 0 && !bBlank)
            r = m_link.SendCmdWE(nCmd, nAt, 3, nullptr, 0);
        if (r != 0)
            return r;
        nOffset += nUnit;
        Report(progress, nOffset * 100 / nTotal);
    }
    return 0;
}

int FlashOps::EraseRange(int32_t nStart, int32_t nCount, const ProgressFn& progress)
{
    if (nCount < 0)
        return EraseFlash(nStart, nCount, progress);
    if (nCount == 0 || nStart < 0)
        return xq::kErrBadArgument;
    // EraseFlash rounds the start down and the count up on their own, which
    // misses the last sector of a range that starts inside a sector: the
    // count is taken from the rounded start to the range's end instead.
    const int32_t nFirst = xq::SectorBase(nStart);
    const int64_t nSpan = xq::SectorCeil(int64_t(nStart) + nCount) - nFirst;
    if (nSpan > INT32_MAX)
        return xq::kErrBadArgument;
    return EraseFlash(nFirst, int32_t(nSpan), progress);
}

xq::FlashLoss FlashOps::ConfirmLoss(int32_t nSector, const xq::FlashLoss& loss, const uint8_t* pSector)
{
    xq::FlashLoss confirmed;
    std::vector<uint8_t> check(flash::kSectorSize);
    for (int i = 0; i < 2; ++i) {
        const xq::FlashLoss::Piece& piece = loss.pieces[i];
        if (piece.nLength <= 0)
            continue;
        const int r = m_link.SendCmdRead(check.data(), piece.nLength, flash::kRead, uint32_t(piece.nAddress), 3);
        if (r != 0)
            confirmed.bUnconfirmed = true;
        if (r != 0 || std::memcmp(check.data(), pSector + (piece.nAddress - nSector), size_t(piece.nLength)) != 0)
            confirmed.pieces[i] = piece;
    }
    if (!confirmed.Any())
        confirmed.bUnconfirmed = false;
    return confirmed;
}

int FlashOps::EraseSectorKeeping(int32_t nSector, int32_t nFrom, int32_t nTo, const uint8_t* pSector,
                                 xq::FlashLoss* pLost)
{
    if (pLost)
        *pLost = xq::FlashLoss();
    const xq::FlashLoss loss = OutsideOf(nSector, nFrom, nTo);
    if (!loss.Any())
        return EraseFlash(nSector, flash::kSectorSize);
    if (m_link.StopRequested())
        return xq::kErrStopped;
    m_link.HoldStop(true);
    std::vector<uint8_t> check(flash::kSectorSize);
    int r = 0;
    bool bKept = false;
    for (int nAttempt = 0; nAttempt < kRestoreAttempts && !bKept; ++nAttempt) {
        // A transfer that failed may have left the adapter or the port in a
        // half-sent frame: bring the link back before trying again.
        if (r != 0 && m_link.Recover() != 0)
            continue;
        r = EraseFlash(nSector, flash::kSectorSize);
        for (const xq::FlashLoss::Piece& piece : loss.pieces) {
            if (r == 0 && piece.nLength > 0)
                r = ProgramPages(piece.nAddress, pSector + (piece.nAddress - nSector), piece.nLength, true, {});
        }
        bKept = r == 0;
        for (const xq::FlashLoss::Piece& piece : loss.pieces) {
            if (r == 0 && piece.nLength > 0) {
                r = m_link.SendCmdRead(check.data(), piece.nLength, flash::kRead, uint32_t(piece.nAddress), 3);
                bKept = bKept && r == 0 &&
                        std::memcmp(check.data(), pSector + (piece.nAddress - nSector), size_t(piece.nLength)) == 0;
            }
        }
    }
    if (!bKept && pLost) {
        // Only what the flash no longer holds is named as lost: an erase
        // that never reached the flash took nothing.
        m_link.Recover();
        *pLost = ConfirmLoss(nSector, loss, pSector);
    }
    m_link.HoldStop(false);
    if (bKept)
        return xq::kOk;
    return r != 0 ? r : xq::kErrRepairFailed;
}

int FlashOps::ProgramPages(int32_t nStart, const uint8_t* pData, int32_t nCount, bool bSkipBlank,
                           const ProgressFn& progress)
{
    auto blank = [](const uint8_t* p, int32_t n) { return std::all_of(p, p + n, [](uint8_t b) { return b == 0xFF; }); };
    std::vector<PageWrite> pages;
    pages.reserve(size_t(nCount / flash::kPageSize + 2));
    int32_t nDone = 0;
    int32_t nPiece = FirstPagePiece(nStart, nCount);
    while (nDone < nCount) {
        if (!bSkipBlank || !blank(pData + nDone, nPiece))
            pages.push_back({uint32_t(nStart + nDone), pData + nDone, nPiece, nDone + nPiece});
        nDone += nPiece;
        nPiece = std::min(nCount - nDone, flash::kPageSize);
    }
    return ProgramPageList(pages, nCount, progress);
}

int FlashOps::ProgramPageList(const std::vector<PageWrite>& pages, int32_t nCount, const ProgressFn& progress)
{
    if (pages.empty()) {
        Report(progress, 100);
        return xq::kOk;
    }
    // In link mode 2 the chip's port has never been seen to pass a status
    // read between write enable and program: always one by one there.
    const bool bBatch = m_link.BatchPrograms() && pages.size() >= 2 &&
                        m_link.CurrentMode() != xq::port::kModeEncrypted;
    return bBatch ? ProgramPagesBatched(pages, progress) : ProgramPagesInOrder(pages, nCount, progress);
}

int FlashOps::ProgramPagesInOrder(const std::vector<PageWrite>& pages, int32_t nCount, const ProgressFn& progress)
{
    for (const PageWrite& page : pages) {
        const int r = m_link.SendCmdWE(flash::kPageProgram, page.nAddress, 3, page.pData, page.nLength);
        if (r != 0)
            return r;
        Report(progress, int64_t(page.nEnd) * 100 / nCount);
    }
    return 0;
}

int FlashOps::ProgramPagesBatched(const std::vector<PageWrite>& pages, const ProgressFn& progress)
{
    // Implementation note: the page programs go to the adapter in batches,
    // each program as write enable, a status poll, the program and write
    // disable, then a wait on the adapter's side and a second status poll;
    // the batch ends with a mode query. A batch costs one USB exchange
    // instead of one per page. The wait is learned: it starts from what the
    // link learned for single programs, doubles while the polls after it
    // find the flash still busy, then shrinks slowly while every one finds
    // it done and grows a little after one that did not.
    //
    // What keeps the bytes right: a flash that is busy ignores every command
    // but the status read, the write enable too. The poll between a write
    // enable and its program tells whether the program is taken: it is when
    // that poll finds the flash done with the latch set (the latch can only
    // have been set by that write enable, since a finished program clears
    // it, and nothing reaches the flash between the poll and the program);
    // found busy, the write enable was ignored, the latch stays clear until
    // the program and the program is ignored too. Every program not taken
    // is sent again in a later batch; the write disable after each program
    // clears the latch whatever happened. A port found in mode 0 at the end
    // of a batch (reset behind the link's back) took the batch's frames as
    // its own (a page program reads as a write to the chip's memory there),
    // not as flash commands: it is switched back to the batch's mode, the
    // batch is sent again and the rest goes page by page, each program after
    // a poll that asks the mode first, so that a port that resets again
    // takes at most one frame. The verify afterwards reads every byte written.
    constexpr size_t kBatch = 64;
    constexpr size_t kFramesPerPage = 5;
    constexpr size_t kLearningBatch = 4;
    constexpr uint32_t kSlowStartUs = 50;
    constexpr uint32_t kShrinkUs = 1;
    constexpr uint32_t kGrowUs = 10;
    constexpr uint32_t kMaxIdleUs = 5000;  // above any page program time a datasheet gives

    std::vector<size_t> pending(pages.size());
    for (size_t i = 0; i < pending.size(); ++i)
        pending[i] = pages.size() - 1 - i;  // taken from the back, in address order
    const size_t nTotal = pending.size();
    uint32_t nIdleUs = m_link.ProgramIdleUs();
    bool bSettled = false;
    const uint32_t nLinkMode = m_link.CurrentMode();  // 1, or 2 for an encrypted image
    bool bNoLatch = false;
    bool bModeLostOnce = false;

    const uint8_t nWriteEnable = flash::kWriteEnable;
    const uint8_t nWriteDisable = flash::kWriteDisable;
    const uint8_t nReadStatus = flash::kReadStatus;
    const uint8_t query[5] = {xq::port::kModeQuery, 0, 0, 0, 0};
    std::vector<uint8_t> commands(kBatch * (4 + flash::kPageSize));
    std::vector<uint8_t> statuses(kBatch);
    std::vector<uint8_t> latches(kBatch);  // the polls between write enable and program
    std::vector<SpiFrame> frames(kFramesPerPage * kBatch + 1);
    std::vector<size_t> batch;
    while (!pending.empty()) {
        if (m_link.StopRequested())
            return xq::kErrStopped;
        // The adapter cannot wait, or the flash does not show its latch (the
        // first program of a batch follows a flash known to be done, so its
        // poll must find the latch set): one at a time.
        if (nIdleUs >= kMaxIdleUs || bNoLatch || bModeLostOnce) {
            const PageWrite& page = pages[pending.back()];
            const int r = m_link.SendCmdWE(flash::kPageProgram, page.nAddress, 3, page.pData, page.nLength);
            if (r != 0)
                return r;
            pending.pop_back();
            Report(progress, int64_t(nTotal - pending.size()) * 100 / int64_t(nTotal));
            continue;
        }
        batch.clear();
        const size_t nWant = bSettled ? kBatch : kLearningBatch;
        while (batch.size() < nWant && !pending.empty()) {
            batch.push_back(pending.back());
            pending.pop_back();
        }
        for (size_t i = 0; i < batch.size(); ++i) {
            const PageWrite& page = pages[batch[i]];
            uint8_t* pCmd = commands.data() + i * (4 + flash::kPageSize);
            pCmd[0] = flash::kPageProgram;
            pCmd[1] = uint8_t(page.nAddress >> 16);
            pCmd[2] = uint8_t(page.nAddress >> 8);
            pCmd[3] = uint8_t(page.nAddress);
            std::memcpy(pCmd + 4, page.pData, size_t(page.nLength));
            SpiFrame* f = frames.data() + kFramesPerPage * i;
            f[0] = SpiFrame{&nWriteEnable, 1, nullptr, 0, 0};
            f[1] = SpiFrame{&nReadStatus, 1, &latches[i], 1, 0};
            f[2] = SpiFrame{pCmd, 4 + page.nLength, nullptr, 0, 0};
            f[3] = SpiFrame{&nWriteDisable, 1, nullptr, 0, 0};
            f[4] = SpiFrame{&nReadStatus, 1, &statuses[i], 1, nIdleUs};
        }
        uint8_t nMode = 0;
        const size_t nFrames = kFramesPerPage * batch.size();
        frames[nFrames] = SpiFrame{query, 5, &nMode, 1, 0};
        const int r = m_link.Transfer(frames.data(), int(nFrames + 1));
        if (r != 0)
            return r;

        const size_t nBefore = pending.size();
        int nBusy = 0;
        const bool bModeLost = m_link.TakeModeQueryAnswer(nMode) == int(xq::port::kModeMemory);
        bNoLatch = !bModeLost && (latches[0] & flash::kStatusBusyOrWel) != flash::kStatusWel;
        for (size_t i = 0; i < batch.size(); ++i) {
            if (bModeLost || (latches[i] & flash::kStatusBusyOrWel) != flash::kStatusWel)
                pending.push_back(batch[i]);
            nBusy += (statuses[i] & flash::kStatusBusy) ? 1 : 0;
        }
        std::reverse(pending.begin() + long(nBefore), pending.end());  // next, in address order
        if (bModeLost) {
            bModeLostOnce = true;
            if (m_link.SetMode(nLinkMode) != 0)
                return xq::kErrModeChange;
        } else if (nBusy == 0) {
            bSettled = true;
            nIdleUs = nIdleUs > kShrinkUs ? nIdleUs - kShrinkUs : 0;
        } else {
            nIdleUs = std::min(kMaxIdleUs, bSettled ? nIdleUs + kGrowUs : 2 * nIdleUs + kSlowStartUs);
        }
        // The next batch starts on a flash known to be done.
        if (bModeLost || (statuses[batch.size() - 1] & flash::kStatusBusy)) {
            const bool bBusy = m_link.WaitReady(flash::kStatusBusy);
            if (m_link.PollError() != 0 && m_link.PollError() != xq::kErrNotOpen)  // a poll not sent proves nothing
                return m_link.PollError();
            if (bBusy)
                return xq::kErrFlashBusyTimeout;
        }
        Report(progress, int64_t(nTotal - pending.size()) * 100 / int64_t(nTotal));
    }
    return 0;
}

int FlashOps::ProgramFlash(int32_t nStart, const uint8_t* pData, int32_t nCount, bool bSwap,
                           const ProgressFn& progress)
{
    if (!pData || nCount <= 0 || nStart < 0)
        return xq::kErrBadArgument;
    std::vector<uint8_t> swapped;
    if (bSwap && nCount > 1) {
        swapped.assign(pData, pData + nCount);
        ChipLink::SwapWords(swapped.data(), nCount);
        pData = swapped.data();
    }
    Report(progress, InitialPercent(nCount));
    if (m_link.WaitReady(flash::kStatusBusyOrWel))
        return xq::kErrFlashBusyAtStart;
    return ProgramPages(nStart, pData, nCount, false, progress);
}

int FlashOps::ProgramFlashSkipBlank(int32_t nStart, const uint8_t* pData, int32_t nCount, const ProgressFn& progress)
{
    if (!pData || nCount <= 0 || nStart < 0)
        return xq::kErrBadArgument;
    Report(progress, InitialPercent(nCount));
    if (m_link.WaitReady(flash::kStatusBusyOrWel))
        return xq::kErrFlashBusyAtStart;
    return ProgramPages(nStart, pData, nCount, true, progress);
}

// One encrypted programming run: the image (already in flash byte order),
// where it goes, and the progress over both passes.
struct FlashOps::EncryptedJob {
    int32_t nStart;
    const uint8_t* pImage;
    int32_t nCount;
    int32_t nSecond;  // kSecondRegion when the image has one, else 0
    const ProgressFn& progress;
    int64_t nSpan;        // both passes, in bytes
    int64_t nProgrammed;  // bytes of both passes done
};

int FlashOps::ProgramFlashEncrypted(int32_t nStart, const uint8_t* pImage, int32_t nCount, bool bSwap,
                                    const ProgressFn& progress)
{
    if (!pImage || nCount < 1 || nStart < 0)
        return xq::kErrBadArgument;
    std::vector<uint8_t> swapped;
    if (bSwap && nCount > 1) {
        swapped.assign(pImage, pImage + nCount);
        ChipLink::SwapWords(swapped.data(), nCount);
        pImage = swapped.data();
    }
    EncryptedJob job{nStart, pImage, nCount, 0, progress, kEncryptedPasses * int64_t(nCount), 0};
    Report(progress, InitialPercent(job.nSpan));

    m_link.SetMode(xq::port::kModeFlash);
    if (m_link.WaitReady(flash::kStatusBusyOrWel))
        return xq::kErrFlashBusyAtStart;
    job.nSecond = (nCount >= 4 && LoadLe32(pImage) == kSecondRegionMagic) ? kSecondRegion : 0;
    // Every mode change is checked: a link left in the wrong mode would
    // store the image plain where it must be encrypted, or the reverse.
    if (m_link.SetMode(xq::port::kModeEncrypted) != 0)
        return xq::kErrModeChange;

    std::vector<uint8_t> key(size_t(nCount), 0);
    int r = ReadEncryptionKey(job, key);
    if (r == 0 && EncryptedPartMissing(pImage, nCount))
        r = xq::kErrModeChange;  // the image is too small to hold its encrypted part
    if (r == 0 && !KeyLooksStored(nStart, key))
        r = xq::kErrEncryptedReadBack;
    if (r == 0)
        r = ProgramEncryptedImage(job);
    if (r == 0)
        r = CheckEncryptedReadBack(job, key);
    return r;
}

bool FlashOps::EncryptedPartMissing(const uint8_t* pImage, int32_t nCount)
{
    const int32_t nSecond = (pImage && nCount >= 4 && LoadLe32(pImage) == kSecondRegionMagic) ? kSecondRegion : 0;
    return int64_t(nCount) - (kPlainHead + nSecond) <= 0;
}

int FlashOps::ReadEncryptionKey(EncryptedJob& job, std::vector<uint8_t>& key)
{
    // Zero pass: what the flash returns for zeros programmed in mode 2 is the
    // key. The pages are the whole flash pages that hold the range, so a
    // start inside a page still gets a key for every byte. Then the erase of
    // every whole sector the range touches. A first or last sector the range
    // covers only in part goes through both steps on its own, so the key of
    // a sector is read before the next sector's pages are zeroed.
    const int64_t nEnd = int64_t(job.nStart) + job.nCount;
    const int64_t nFirstEnd = int64_t(xq::SectorBase(job.nStart)) + flash::kSectorSize;
    const bool bHeadPartial = xq::SectorOffset(job.nStart) != 0 || nEnd < nFirstEnd;
    const int64_t nHeadEnd = bHeadPartial ? std::min(nFirstEnd, nEnd) : job.nStart;
    const int64_t nTailStart =
        std::max<int64_t>(nHeadEnd, xq::SectorOffset(int32_t(nEnd)) != 0 ? xq::SectorBase(int32_t(nEnd)) : nEnd);
    const int64_t bounds[4] = {job.nStart, nHeadEnd, nTailStart, nEnd};
    for (int nPart = 0; nPart < 3; ++nPart) {
        if (bounds[nPart + 1] <= bounds[nPart])
            continue;
        const int r = KeyAndErase(job, key, bounds[nPart], bounds[nPart + 1]);
        if (r != 0)
            return r;
    }
    job.nProgrammed = job.nCount;
    return xq::kOk;
}

int FlashOps::KeyAndErase(EncryptedJob& job, std::vector<uint8_t>& key, int64_t nFrom, int64_t nTo)
{
    const int32_t nFirstPage = job.nStart & ~(flash::kPageSize - 1);
    const std::vector<uint8_t> zeros(flash::kPageSize, 0);
    std::vector<PageWrite> pages;
    const int64_t nPagesFrom = nFrom & ~(flash::kPageSize - 1);
    for (int64_t nPage = nPagesFrom; nPage < nTo; nPage += flash::kPageSize)
        pages.push_back({uint32_t(nPage), zeros.data(), flash::kPageSize, int32_t(nPage - nPagesFrom + flash::kPageSize)});
    const int64_t nSpanFrom = nPagesFrom - nFirstPage;
    const int32_t nZeroBytes = pages.back().nEnd;
    const int rZeros = ProgramPageList(pages, nZeroBytes, [&](int p) {
        Report(job.progress, (nSpanFrom + int64_t(nZeroBytes) * p / 100) * 100 / job.nSpan);
    });
    if (rZeros != 0)
        return rZeros;
    const int r = FastReadFlash(key.data() + (nFrom - job.nStart), int32_t(nTo - nFrom), int32_t(nFrom));
    if (r != 0)
        return r;
    return EraseRange(int32_t(nFrom), int32_t(nTo - nFrom));
}

bool FlashOps::KeyLooksStored(int32_t nStart, const std::vector<uint8_t>& key)
{
    // A key page that reads all erased means the zeros never reached the
    // flash (a dead sector); all zero, that the chip stored them plain.
    // Either way the read-back could not tell a bad write from a good one.
    const int32_t nCount = int32_t(key.size());
    for (int32_t nAt = 0; nAt < nCount;) {
        const int32_t nPiece = FirstPagePiece(nStart + nAt, nCount - nAt);
        const uint8_t* p = key.data() + nAt;
        if (nPiece >= kKeyCheckMinBytes && (p[0] == 0xFF || p[0] == 0x00) &&
            std::all_of(p, p + nPiece, [p](uint8_t b) { return b == p[0]; }))
            return false;
        nAt += nPiece;
    }
    return true;
}

int FlashOps::ProgramEncryptedImage(EncryptedJob& job)
{
    const int32_t nCount = job.nCount;
    // Second region, in mode 2 (never past the end of the image).
    if (job.nSecond != 0 && int64_t(job.nStart) + nCount > kPlainHead) {
        const int r =
            ProgramEncryptedRange(job, kPlainHead, std::min(kPlainHead + job.nSecond - kSecondRegionPlainTail, nCount));
        if (r != 0)
            return r;
    }
    // The rest of the image, in mode 2.
    int r = ProgramEncryptedRange(job, kPlainHead + job.nSecond, nCount);
    if (r != 0)
        return r;
    // The head, and the second region's tail, in mode 1.
    if (m_link.SetMode(xq::port::kModeFlash) != 0)
        return xq::kErrModeChange;
    r = ProgramEncryptedRange(job, 0, kPlainHead);
    if (r != 0 || job.nSecond == 0)
        return r;
    const int32_t nTail = job.nSecond + kPlainTailOffset;
    return ProgramEncryptedRange(job, nTail, nTail + kSecondRegionPlainTail);
}

int FlashOps::ProgramEncryptedRange(EncryptedJob& job, int32_t nFrom, int32_t nTo)
{
    // Page by page from any start: a piece never crosses a page boundary.
    if (nTo <= nFrom)
        return xq::kOk;
    std::vector<PageWrite> pages;
    int32_t nDone = nFrom;
    int32_t nPiece = FirstPagePiece(job.nStart + nFrom, nTo - nFrom);
    while (nDone < nTo) {
        pages.push_back({uint32_t(job.nStart + nDone), job.pImage + nDone, nPiece, nDone + nPiece - nFrom});
        nDone += nPiece;
        nPiece = std::min(nTo - nDone, flash::kPageSize);
    }
    const int64_t nBefore = job.nProgrammed;
    const int32_t nBytes = nTo - nFrom;
    const int r = ProgramPageList(pages, nBytes, [&](int p) {
        Report(job.progress, (nBefore + int64_t(nBytes) * p / 100) * 100 / job.nSpan);
    });
    if (r == 0)
        job.nProgrammed += nBytes;
    return r;
}

int FlashOps::CheckEncryptedReadBack(const EncryptedJob& job, const std::vector<uint8_t>& key)
{
    // What the flash must hold, read in the plain link mode: the parts
    // programmed in mode 1 as the image, the parts programmed in mode 2 as
    // the image XOR the key. Every byte counts, so a dead or weak sector
    // fails whatever the image holds there.
    std::vector<uint8_t> readBack(size_t(job.nCount), 0);
    const int r = FastReadFlash(readBack.data(), job.nCount, job.nStart);
    if (r != 0)
        return r;
    const int32_t nPlainTail = job.nSecond + kPlainTailOffset;
    for (int32_t i = 0; i < job.nCount; ++i) {
        const bool bPlain =
            i < kPlainHead || (job.nSecond != 0 && i >= nPlainTail && i < nPlainTail + kSecondRegionPlainTail);
        const uint8_t nExpected = bPlain ? job.pImage[i] : uint8_t(job.pImage[i] ^ key[size_t(i)]);
        if (readBack[size_t(i)] != nExpected)
            return xq::kErrEncryptedReadBack;
    }
    return xq::kOk;
}

int FlashOps::RepairPiece(const uint8_t* pImage, int32_t nAddress, int32_t nSize, xq::FlashLoss* pLost)
{
    // The sector's other bytes are read before the erase and put back after
    // it; then the piece.
    const int32_t nSector = xq::SectorBase(nAddress);
    std::vector<uint8_t> sector(flash::kSectorSize);
    int r = 0;
    if (nAddress != nSector || nSize != flash::kSectorSize)
        r = m_link.SendCmdRead(sector.data(), flash::kSectorSize, flash::kRead, uint32_t(nSector), 3);
    if (r == 0)
        r = EraseSectorKeeping(nSector, nAddress, nAddress + nSize, sector.data(), pLost);
    if (r == 0)
        r = ProgramFlash(nAddress, pImage, nSize, false);
    if (r != 0)
        return r;
    std::vector<uint8_t> check(static_cast<size_t>(nSize));
    r = m_link.SendCmdRead(check.data(), nSize, flash::kRead, uint32_t(nAddress), 3);
    if (r != 0)
        return r;
    return std::memcmp(check.data(), pImage, size_t(nSize)) == 0 ? 0 : xq::kErrRepairFailed;
}

int FlashOps::VerifyFlash(const uint8_t* pImage, int32_t nCount, int32_t nStart, const ProgressFn& progress,
                          xq::FlashLoss* pLost)
{
    if (pLost)
        *pLost = xq::FlashLoss();
    if (!pImage || nCount <= 0 || nStart < 0)
        return xq::kErrBadArgument;
    if (m_link.WaitReady(flash::kStatusBusyOrWel))
        return xq::kErrFlashBusyAtStart;
    Report(progress, InitialPercent(nCount));
    m_link.SetMode(xq::port::kModeFlash);

    std::vector<uint8_t> work(kVerifyChunk);
    int32_t nDone = 0;
    int32_t nChunk = std::min(kVerifyChunk - (nStart & 0xEFFF), nCount);
    while (nDone < nCount) {
        if (m_link.StopRequested())
            return xq::kErrStopped;
        const int nReadRc = m_link.SendCmdRead(work.data(), nChunk, flash::kRead, uint32_t(nStart + nDone), 3);
        // Pieces never cross a sector boundary, so a repair stays inside its piece.
        for (int32_t o = 0; o < nChunk;) {
            const int32_t nAddress = nStart + nDone + o;
            const int32_t nSize = std::min(nChunk - o, flash::kSectorSize - (nAddress & (flash::kSectorSize - 1)));
            const uint8_t* pExpected = pImage + nDone + o;
            if (std::memcmp(work.data() + o, pExpected, size_t(nSize)) == 0) {
                if (nReadRc != 0)
                    return nReadRc;
            } else {
                const int r = RepairPiece(pExpected, nAddress, nSize, pLost);
                if (r != 0)
                    return r;
            }
            o += nSize;
        }
        nDone += nChunk;
        Report(progress, int64_t(nDone) * 100 / nCount);
        nChunk = std::min(nCount - nDone, kVerifyChunk);
    }
    return 0;
}

int FlashOps::ReadFlashPieces(uint8_t* pBuffer, int32_t nCount, int32_t nStart, bool bFast,
                              const ProgressFn& progress)
{
    if (!pBuffer || nCount <= 0 || nStart < 0)
        return xq::kErrBadArgument;
    if (m_link.WaitReady(flash::kStatusBusyOrWel))
        return xq::kErrFlashBusyAtStart;
    Report(progress, InitialPercent(nCount));
    int32_t nDone = 0;
    int32_t nPiece = FirstPagePiece(nStart, nCount);
    while (nDone < nCount) {
        if (m_link.StopRequested())
            return xq::kErrStopped;
        const int r = bFast ? m_link.SendCmdRead(pBuffer + nDone, nPiece, flash::kFastRead, uint32_t(nStart + nDone), 4)
                            : m_link.SendCmdRead(pBuffer + nDone, nPiece, flash::kRead, uint32_t(nStart + nDone), 3);
        if (r != 0)
            return r;
        nDone += nPiece;
        Report(progress, int64_t(nDone) * 100 / nCount);
        nPiece = std::min(nCount - nDone, ChipLink::kMemFrameSize);
    }
    return 0;
}

int FlashOps::ReadFlashData(uint8_t* pBuffer, int32_t nCount, int32_t nStart, const ProgressFn& progress)
{
    return ReadFlashPieces(pBuffer, nCount, nStart, false, progress);
}

int FlashOps::FastReadFlash(uint8_t* pBuffer, int32_t nCount, int32_t nStart, const ProgressFn& progress)
{
    return ReadFlashPieces(pBuffer, nCount, nStart, true, progress);
}

// ---------------------------------------------------------------- status and security registers

int FlashOps::ReadProtectBit()
{
    m_link.WaitReady(flash::kStatusBusy);
    uint8_t nStatus = 0;
    m_link.SendCmdRead(&nStatus, 1, flash::kReadStatus, 0, 0);
    return nStatus & flash::kProtectBits;
}

int FlashOps::ReadStatus(uint8_t* pStatus)
{
    if (!pStatus)
        return xq::kErrBadArgument;
    m_link.WaitReady(flash::kStatusBusy);
    return m_link.SendCmdRead(pStatus, 1, flash::kReadStatus, 0, 0);
}

int FlashOps::WriteStatus(uint8_t nValue)
{
    if (m_link.WaitReady(flash::kStatusBusyOrWel))
        return xq::kErrFlashBusyAtStart;
    return m_link.SendCmdWE(flash::kWriteStatus, 0, 0, &nValue, 1);
}

int FlashOps::ClearStatus()
{
    return WriteStatus(0);
}

int FlashOps::EraseSecurity(int32_t nAddress, int32_t nCount)
{
    if (!SecurityRangeOk(nAddress, nCount))
        return xq::kErrBadArgument;
    if (m_link.WaitReady(flash::kStatusBusyOrWel))
        return xq::kErrFlashBusyAtStart;
    int32_t nDone = 0;
    int32_t nPiece = FirstPagePiece(nAddress, nCount);
    int r = 0;
    while (nDone < nCount) {
        r = m_link.SendCmdWE(flash::kSecurityErase, uint32_t(nAddress + nDone), 3, nullptr, 0);
        if (r != 0)
            return r;
        nDone += nPiece;
        nPiece = std::min(nCount - nDone, flash::kPageSize);
    }
    return r;
}

int FlashOps::ProgramSecurity(int32_t nAddress, const uint8_t* pData, int32_t nCount)
{
    if (!pData || !SecurityRangeOk(nAddress, nCount))
        return xq::kErrBadArgument;
    int32_t nDone = 0;
    int32_t nPiece = FirstPagePiece(nAddress, nCount);
    while (nDone < nCount) {
        const int r = m_link.SendCmdWE(flash::kSecurityProgram, uint32_t(nAddress + nDone), 3, pData + nDone, nPiece);
        if (r != 0)
            return r;
        nDone += nPiece;
        nPiece = std::min(nCount - nDone, flash::kPageSize);
    }
    return 0;
}

int FlashOps::ReadSecurity(uint8_t* pBuffer, int32_t nCount, int32_t nAddress)
{
    if (!pBuffer || !SecurityRangeOk(nAddress, nCount))
        return xq::kErrBadArgument;
    m_link.WaitReady(flash::kStatusBusy);
    uint8_t scratch[260];
    int32_t nDone = 0;
    int32_t nPiece = FirstPagePiece(nAddress, nCount);
    while (nDone < nCount) {
        // The first byte after the address is a dummy byte.
        const int r = m_link.SendCmdRead(scratch, nPiece + 1, flash::kSecurityRead, uint32_t(nAddress + nDone), 3);
        if (r != 0)
            return r;
        std::memcpy(pBuffer + nDone, scratch + 1, size_t(nPiece));
        nDone += nPiece;
        nPiece = std::min(nCount - nDone, flash::kPageSize);
    }
    return 0;
}

// ---------------------------------------------------------------- static data header

int FlashOps::ScanMagic(const uint8_t* pBuffer, int nLength)
{
    if (!pBuffer || nLength <= kHeaderSize)
        return xq::kNotFound;
    for (int p = 0; p + kHeaderSize + 1 <= nLength; p += 4) {
        if ((uint16_t(pBuffer[p]) | uint16_t(pBuffer[p + 1]) << 8) != kStaticMagic)
            continue;
        int32_t nTotal;
        std::memcpy(&nTotal, pBuffer + p + kHeaderTotalAt, sizeof nTotal);
        if (nTotal > 0 && nTotal < nLength)
            return p;
    }
    return xq::kNotFound;
}

int FlashOps::SearchHeader(int32_t nStart, int32_t nLength, int32_t* pOffset, uint8_t* pRecord,
                           int32_t nRecordCapacity)
{
    if (nLength <= 0)
        return xq::kErrBadArgument;
    if (!m_link.IsOpen())
        return xq::kErrNotOpen;
    const int64_t nArea = xq::SectorCeil(nLength);
    if (nArea > INT32_MAX) {
        if (pOffset)
            *pOffset = xq::kNotFound;
        return 0;
    }
    std::vector<uint8_t> area(size_t(nArea), 0);
    m_link.SetMode(xq::port::kModeFlash);
    for (int64_t nAt = 0; nAt < nArea; nAt += flash::kPageSize) {
        const int nPiece = int(std::min<int64_t>(nArea - nAt, flash::kPageSize));
        // A read that fails is not an area without a record: the writer
        // would put its record over the old one, the reader report none.
        const int rc = m_link.SendCmdRead(area.data() + nAt, nPiece, flash::kRead, uint32_t(nStart + nAt), 3);
        if (rc != 0)
            return rc;
    }
    ChipLink::SwapWords(area.data(), int(nArea));
    const int nOffset = ScanMagic(area.data(), int(nArea));
    if (pOffset)
        *pOffset = nOffset;
    if (pRecord && nOffset >= 0) {
        int32_t nUsed;
        std::memcpy(&nUsed, area.data() + nOffset + kHeaderUsedAt, sizeof nUsed);
        // The used length comes from flash: copy only a record that lies
        // inside the area read and fits the caller's buffer.
        const int64_t nRecord = int64_t(nUsed) + kHeaderSize;
        if (nUsed >= 0 && nRecord <= nLength && nOffset + nRecord <= nArea && nRecord <= nRecordCapacity) {
            std::memcpy(pRecord, area.data() + nOffset, size_t(nRecord));
            UnswapRecordTail(pRecord, nRecord, area.data() + nOffset);
        }
    }
    return 0;
}
