#include "pageprogram.h"

#include "pagebatch.h"

#include <algorithm>

namespace flash = xq::flash;
using flashpieces::Report;

int PageProgrammer::ProgramRange(int32_t nStart, const uint8_t* pData, int32_t nCount, bool bSkipBlank,
                                 const ProgressFn& progress)
{
    auto blank = [](const uint8_t* p, int32_t n) { return std::all_of(p, p + n, [](uint8_t b) { return b == 0xFF; }); };
    std::vector<PageWrite> pages;
    pages.reserve(size_t(nCount / flash::kPageSize + 2));
    int32_t nDone = 0;
    int32_t nPiece = flashpieces::FirstPagePiece(nStart, nCount);
    while (nDone < nCount) {
        if (!bSkipBlank || !blank(pData + nDone, nPiece))
            pages.push_back({uint32_t(nStart + nDone), pData + nDone, nPiece, nDone + nPiece});
        nDone += nPiece;
        nPiece = std::min(nCount - nDone, flash::kPageSize);
    }
    return ProgramPageList(pages, nCount, progress);
}

int PageProgrammer::ProgramPageList(const std::vector<PageWrite>& pages, int32_t nCount, const ProgressFn& progress)
{
    if (pages.empty()) {
        Report(progress, 100);
        return xq::kOk;
    }
    const bool bBatch = m_link.BatchingInEffect() && pages.size() >= 2;
    if (bBatch)
        return BatchedPagePrograms(m_link, pages, progress).Run();
    return ProgramInOrder(pages, nCount, progress);
}

int PageProgrammer::ProgramInOrder(const std::vector<PageWrite>& pages, int32_t nCount, const ProgressFn& progress)
{
    for (const PageWrite& page : pages) {
        const int r = m_link.SendCmdWE(flash::kPageProgram, page.nAddress, 3, page.pData, page.nLength);
        if (r != 0)
            return r;
        Report(progress, int64_t(page.nEnd) * 100 / nCount);
    }
    return 0;
}
