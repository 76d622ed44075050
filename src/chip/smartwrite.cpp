#include "smartwrite.h"

#include "chipdefs.h"

#include <algorithm>
#include <cstring>
#include <deque>

using namespace xq;

namespace {

void Report(const ProgressFn& progress, int64_t nPercent)
{
    if (progress)
        progress(int(std::clamp<int64_t>(nPercent, 0, 100)));
}

// The phases of a smart write share its progress: reading the range,
// erasing, programming, verifying what was written.
constexpr int kReadEnd = 20;
constexpr int kEraseEnd = 40;
constexpr int kProgramEnd = 85;

}  // namespace

SmartWritePlan SmartWritePlan::Make(int32_t nStart, const uint8_t* pImage, int32_t nCount, const uint8_t* pCurrent)
{
    SmartWritePlan plan;
    plan.nBase = xq::SectorBase(nStart);
    const int64_t nEnd = xq::SectorCeil(int64_t(nStart) + nCount);
    const int32_t nSpan = int32_t(nEnd - plan.nBase);
    const int nSectors = nSpan / flash::kSectorSize;
    const int32_t nFrom = nStart - plan.nBase;  // the image's offset in the span
    plan.target.assign(pCurrent, pCurrent + nSpan);
    std::memcpy(plan.target.data() + nFrom, pImage, size_t(nCount));
    plan.erase.assign(size_t(nSectors), false);
    plan.touched.assign(size_t(nSectors), false);

    for (int s = 0; s < nSectors; ++s) {
        const int32_t nAt = s * flash::kSectorSize;
        const uint8_t* pNow = pCurrent + nAt;
        const uint8_t* pWant = plan.target.data() + nAt;
        if (std::memcmp(pNow, pWant, flash::kSectorSize) == 0) {
            ++plan.counts.nSkipped;
            continue;
        }
        plan.touched[size_t(s)] = true;
        // A program only clears bits: every byte that needs a bit set needs the erase.
        bool bErase = false;
        for (int32_t i = 0; i < flash::kSectorSize && !bErase; ++i)
            bErase = (pNow[i] & pWant[i]) != pWant[i];
        plan.erase[size_t(s)] = bErase;
        ++(bErase ? plan.counts.nErased : plan.counts.nProgrammed);

        // After the erase the sector reads 0xFF inside the range and what
        // was read outside it (the erase puts those bytes back); without one
        // it holds what was read. A page is programmed from its first to its
        // last byte that differs from that, so a page that is all 0xFF after
        // an erase, or already right, costs nothing, and outside the range
        // nothing is programmed.
        for (int32_t p = 0; p < flash::kSectorSize; p += flash::kPageSize) {
            int32_t nFirst = -1;
            int32_t nLast = -1;
            for (int32_t i = p; i < p + flash::kPageSize; ++i) {
                const bool bInside = nAt + i >= nFrom && nAt + i < nFrom + nCount;
                const uint8_t nBase = bErase && bInside ? 0xFF : pNow[i];
                if (pWant[i] != nBase) {
                    if (nFirst < 0)
                        nFirst = i;
                    nLast = i;
                }
            }
            if (nFirst >= 0)
                plan.pieces.push_back({plan.nBase + nAt + nFirst, nLast - nFirst + 1});
        }
    }
    return plan;
}

std::vector<SmartWritePlan::Piece> SmartWritePlan::Runs(const std::vector<bool>& flags) const
{
    std::vector<Piece> runs;
    for (size_t s = 0; s < flags.size();) {
        if (!flags[s]) {
            ++s;
            continue;
        }
        size_t e = s;
        while (e < flags.size() && flags[e])
            ++e;
        runs.push_back({nBase + int32_t(s) * flash::kSectorSize, int32_t(e - s) * flash::kSectorSize});
        s = e;
    }
    return runs;
}

int SmartWriter::Write(int32_t nStart, const uint8_t* pImage, int32_t nCount, SmartWriteCounts* pCounts,
                       const ProgressFn& progress, xq::FlashLoss* pLost)
{
    if (pLost)
        *pLost = xq::FlashLoss();
    if (!pImage || nCount <= 0 || nStart < 0)
        return kErrBadArgument;
    if (!m_link.IsOpen())
        return kErrNotOpen;
    Report(progress, 0);
    m_link.SetMode(port::kModeFlash);
    if (m_link.WaitReady(flash::kStatusBusyOrWel))
        return kErrFlashBusyAtStart;

    // What the flash holds over the whole sectors of the range.
    const int32_t nBase = xq::SectorBase(nStart);
    const int64_t nEnd = xq::SectorCeil(int64_t(nStart) + nCount);
    std::vector<uint8_t> current(size_t(nEnd - nBase));
    int r = m_ops.FastReadFlash(current.data(), int32_t(current.size()), nBase,
                                [&](int p) { Report(progress, kReadEnd * p / 100); });
    if (r != 0)
        return r;
    const SmartWritePlan plan = SmartWritePlan::Make(nStart, pImage, nCount, current.data());
    if (pCounts)
        *pCounts = plan.counts;

    r = EraseSectors(plan, nStart, nCount, current.data(), pLost,
                     [&](int p) { Report(progress, kReadEnd + (kEraseEnd - kReadEnd) * p / 100); });
    if (r != 0)
        return r;
    Report(progress, kEraseEnd);

    r = ProgramPieces(plan, [&](int p) { Report(progress, kEraseEnd + (kProgramEnd - kEraseEnd) * p / 100); });
    if (r != 0)
        return r;
    Report(progress, kProgramEnd);

    // Verify every sector written (the others were compared when read), with
    // the usual repair: a sector that differs is erased and written again.
    const std::vector<SmartWritePlan::Piece> verifyRuns = plan.Runs(plan.touched);
    int64_t nVerified = 0;
    int64_t nToVerify = 0;
    for (const SmartWritePlan::Piece& run : verifyRuns)
        nToVerify += run.nLength;
    for (const SmartWritePlan::Piece& run : verifyRuns) {
        r = m_ops.VerifyFlash(
            plan.target.data() + (run.nAddress - plan.nBase), run.nLength, run.nAddress,
            [&](int p) {
                Report(progress,
                       kProgramEnd + (100 - kProgramEnd) * (nVerified + int64_t(run.nLength) * p / 100) / nToVerify);
            },
            pLost);
        if (r != 0)
            return r;
        nVerified += run.nLength;
    }
    Report(progress, 100);
    return kOk;
}

int SmartWriter::EraseSectors(const SmartWritePlan& plan, int32_t nStart, int32_t nCount, const uint8_t* pCurrent,
                              xq::FlashLoss* pLost, const ProgressFn& progress)
{
    // A first or last sector with bytes outside the range is erased on its
    // own, those bytes put back and checked before any other erase; the
    // sectors between, which hold only the image, in runs of the largest
    // aligned units.
    const int nLast = int(plan.erase.size()) - 1;
    const int64_t nEnd = int64_t(nStart) + nCount;
    const bool bHead = plan.erase.front() && (nStart != plan.nBase || (nLast == 0 && xq::SectorOffset(int32_t(nEnd)) != 0));
    const bool bTail = nLast > 0 && plan.erase.back() && xq::SectorOffset(int32_t(nEnd)) != 0;
    std::vector<bool> runs = plan.erase;
    runs.front() = runs.front() && !bHead;
    runs.back() = runs.back() && !bTail;

    const int64_t nToErase = int64_t(plan.counts.nErased) * flash::kSectorSize;
    int64_t nErased = 0;
    auto keep = [&](int s) {
        const int32_t nSector = plan.nBase + s * flash::kSectorSize;
        const int r = m_ops.EraseSectorKeeping(nSector, std::max(nStart, nSector),
                                               int32_t(std::min<int64_t>(nEnd, nSector + flash::kSectorSize)),
                                               pCurrent + (nSector - plan.nBase), pLost);
        nErased += flash::kSectorSize;
        Report(progress, nErased * 100 / nToErase);
        return r;
    };
    int r = bHead ? keep(0) : kOk;
    for (const SmartWritePlan::Piece& run : plan.Runs(runs)) {
        if (r != 0)
            return r;
        r = m_ops.EraseFlash(run.nAddress, run.nLength, [&](int p) {
            Report(progress, (nErased + int64_t(run.nLength) * p / 100) * 100 / nToErase);
        });
        nErased += run.nLength;
    }
    if (r == 0 && bTail)
        r = keep(nLast);
    return r;
}

int SmartWriter::ProgramPieces(const SmartWritePlan& plan, const ProgressFn& progress)
{
    // The pieces go out as the plain write's pages do: in batches, or one by
    // one in strict order (FlashOps::ProgramPageList).
    std::vector<FlashOps::PageWrite> pages;
    pages.reserve(plan.pieces.size());
    for (size_t i = 0; i < plan.pieces.size(); ++i) {
        const SmartWritePlan::Piece& piece = plan.pieces[i];
        pages.push_back({uint32_t(piece.nAddress), plan.target.data() + (piece.nAddress - plan.nBase),
                         piece.nLength, int32_t(i + 1)});
    }
    return m_ops.ProgramPageList(pages, int32_t(pages.size()), progress);
}
