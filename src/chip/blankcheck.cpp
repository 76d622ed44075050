#include "blankcheck.h"

#include "flashops.h"

#include <algorithm>
#include <vector>

int CheckBlank(FlashOps& flash, uint32_t nAddress, int32_t nLength, bool* pBlank)
{
    *pBlank = false;
    if (nLength <= 0)
        return 0;
    std::vector<uint8_t> buffer(static_cast<size_t>(nLength));
    for (int32_t nDone = 0; nDone < nLength;) {
        const int32_t nPiece = nDone == 0 ? std::min<int32_t>(256, nLength) : nLength - nDone;
        const int r = flash.FastReadFlash(buffer.data() + nDone, nPiece, int32_t(nAddress) + nDone);
        if (r != 0)
            return r;
        if (!std::all_of(buffer.begin() + nDone, buffer.begin() + nDone + nPiece, [](uint8_t b) { return b == 0xFF; }))
            return 0;
        nDone += nPiece;
    }
    *pBlank = true;
    return 0;
}
