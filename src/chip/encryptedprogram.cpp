#include "encryptedprogram.h"

#include "flashops.h"

#include <encryptedimage.h>

#include <algorithm>
#include <cstring>

namespace flash = xq::flash;
using flashpieces::FirstPagePiece;
using flashpieces::InitialPercent;
using flashpieces::Report;
using xq::LoadLe32;

namespace {

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

}  // namespace

int EncryptedProgrammer::Program(int32_t nStart, const uint8_t* pImage, int32_t nCount, bool bSwap,
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
    Job job{nStart, pImage, nCount, 0, progress, kEncryptedPasses * int64_t(nCount), 0};
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
    int r = ReadKey(job, key);
    if (r == 0 && PartMissing(pImage, nCount))
        r = xq::kErrModeChange;  // the image is too small to hold its encrypted part
    if (r == 0 && !KeyLooksStored(nStart, key))
        r = xq::kErrEncryptedReadBack;
    if (r == 0)
        r = ProgramImage(job);
    if (r == 0)
        r = CheckReadBack(job, key);
    return r;
}

bool EncryptedProgrammer::PartMissing(const uint8_t* pImage, int32_t nCount)
{
    const int32_t nSecond = (pImage && nCount >= 4 && LoadLe32(pImage) == kSecondRegionMagic) ? kSecondRegion : 0;
    return int64_t(nCount) - (kPlainHead + nSecond) <= 0;
}

int EncryptedProgrammer::ReadKey(Job& job, std::vector<uint8_t>& key)
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

int EncryptedProgrammer::KeyAndErase(Job& job, std::vector<uint8_t>& key, int64_t nFrom, int64_t nTo)
{
    const int32_t nFirstPage = job.nStart & ~(flash::kPageSize - 1);
    const std::vector<uint8_t> zeros(flash::kPageSize, 0);
    std::vector<PageWrite> pages;
    const int64_t nPagesFrom = nFrom & ~(flash::kPageSize - 1);
    for (int64_t nPage = nPagesFrom; nPage < nTo; nPage += flash::kPageSize)
        pages.push_back({uint32_t(nPage), zeros.data(), flash::kPageSize, int32_t(nPage - nPagesFrom + flash::kPageSize)});
    const int64_t nSpanFrom = nPagesFrom - nFirstPage;
    const int32_t nZeroBytes = pages.back().nEnd;
    const int rZeros = m_ops.ProgramPageList(pages, nZeroBytes, [&](int p) {
        Report(job.progress, (nSpanFrom + int64_t(nZeroBytes) * p / 100) * 100 / job.nSpan);
    });
    if (rZeros != 0)
        return rZeros;
    const int r = m_ops.FastReadFlash(key.data() + (nFrom - job.nStart), int32_t(nTo - nFrom), int32_t(nFrom));
    if (r != 0)
        return r;
    return m_ops.EraseRange(int32_t(nFrom), int32_t(nTo - nFrom));
}

bool EncryptedProgrammer::KeyLooksStored(int32_t nStart, const std::vector<uint8_t>& key)
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

int EncryptedProgrammer::ProgramImage(Job& job)
{
    const int32_t nCount = job.nCount;
    // Second region, in mode 2 (never past the end of the image).
    if (job.nSecond != 0 && int64_t(job.nStart) + nCount > kPlainHead) {
        const int r =
            ProgramRange(job, kPlainHead, std::min(kPlainHead + job.nSecond - kSecondRegionPlainTail, nCount));
        if (r != 0)
            return r;
    }
    // The rest of the image, in mode 2.
    int r = ProgramRange(job, kPlainHead + job.nSecond, nCount);
    if (r != 0)
        return r;
    // The head, and the second region's tail, in mode 1.
    if (m_link.SetMode(xq::port::kModeFlash) != 0)
        return xq::kErrModeChange;
    r = ProgramRange(job, 0, kPlainHead);
    if (r != 0 || job.nSecond == 0)
        return r;
    const int32_t nTail = job.nSecond + kPlainTailOffset;
    return ProgramRange(job, nTail, nTail + kSecondRegionPlainTail);
}

int EncryptedProgrammer::ProgramRange(Job& job, int32_t nFrom, int32_t nTo)
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
    const int r = m_ops.ProgramPageList(pages, nBytes, [&](int p) {
        Report(job.progress, (nBefore + int64_t(nBytes) * p / 100) * 100 / job.nSpan);
    });
    if (r == 0)
        job.nProgrammed += nBytes;
    return r;
}

int EncryptedProgrammer::CheckReadBack(const Job& job, const std::vector<uint8_t>& key)
{
    // What the flash must hold, read in the plain link mode: the parts
    // programmed in mode 1 as the image, the parts programmed in mode 2 as
    // the image XOR the key. Every byte counts, so a dead or weak sector
    // fails whatever the image holds there.
    std::vector<uint8_t> readBack(size_t(job.nCount), 0);
    const int r = m_ops.FastReadFlash(readBack.data(), job.nCount, job.nStart);
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
