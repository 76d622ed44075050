// The pieces the flash algorithms share: the progress callback and its
// rounding, one page program's description, and the split of a range into
// page-sized pieces.
#pragma once

#include "chipdefs.h"

#include <algorithm>
#include <cstdint>
#include <functional>

// Progress of a long operation: one percent 0..100; may be empty.
using ProgressFn = std::function<void(int)>;

// One page program: where, its bytes, and where its piece of the range ends.
struct PageWrite {
    uint32_t nAddress;
    const uint8_t* pData;
    int32_t nLength;
    int32_t nEnd;  // bytes of the range up to the end of this page, for the progress
};

namespace flashpieces {

inline void Report(const ProgressFn& progress, int64_t nPercent)
{
    if (progress)
        progress(int(std::min<int64_t>(nPercent, 100)));
}

// The first progress value of an operation over n bytes: 1 when n is a
// multiple of 100, else 0.
inline int64_t InitialPercent(int64_t n)
{
    return n > 0 ? (n / 100 * 100) / n : 0;
}

// The length of a range's first piece: up to the end of its first page.
inline int32_t FirstPagePiece(int32_t nStart, int32_t nCount)
{
    return std::min(xq::flash::kPageSize - (nStart & 0xFF), nCount);
}

}  // namespace flashpieces
