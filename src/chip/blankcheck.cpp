#include "blankcheck.h"

#include "flashops.h"

#include <algorithm>
#include <vector>

int CheckBlank(FlashOps& flash, uint32_t nAddress, int32_t nLength, bool* pBlank)
{
    *pBlank = false;
    std::vector<uint8_t> buffer(4096);
    for (int32_t nDone = 0; nDone < nLength;) {
        const int32_t nPiece = std::min<int32_t>(nDone == 0 ? 256 : int32_t(buffer.size()), nLength - nDone);
        const int r = flash.FastReadFlash(buffer.data(), nPiece, int32_t(nAddress) + nDone);
        if (r != 0)
            return r;
        if (!std::all_of(buffer.begin(), buffer.begin() + nPiece, [](uint8_t b) { return b == 0xFF; }))
            return 0;
        nDone += nPiece;
    }
    *pBlank = true;
    return 0;
}
