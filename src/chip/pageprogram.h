// PageProgrammer: page programs over a range, one by one in address order or
// in batches when the link asks for them (BatchedPagePrograms, pagebatch.h).
#pragma once

#include "chiplink.h"
#include "flashpieces.h"

#include <cstdint>
#include <vector>

class PageProgrammer {
public:
    explicit PageProgrammer(ChipLink& link) : m_link(link) {}

    // The pages of [nStart, nStart + nCount) from pData (a first piece up to
    // the end of its page); bSkipBlank leaves out the pages whose bytes are
    // all 0xFF.
    int ProgramRange(int32_t nStart, const uint8_t* pData, int32_t nCount, bool bSkipBlank,
                     const ProgressFn& progress);
    // The pages one by one in address order, or in batches when the link
    // asks for them (ChipLink::BatchingInEffect: never in link mode 2; the
    // safety argument is in pagebatch.cpp). The progress runs over the
    // pages' ends in a range of nCount bytes.
    int ProgramPageList(const std::vector<PageWrite>& pages, int32_t nCount, const ProgressFn& progress);

private:
    int ProgramInOrder(const std::vector<PageWrite>& pages, int32_t nCount, const ProgressFn& progress);

    ChipLink& m_link;
};
