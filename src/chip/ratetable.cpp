#include "ratetable.h"

#include <cstdlib>
#include <cstring>
#include <strings.h>

namespace xq {

int RateIndexOf(const char* pText)
{
    if (!pText || !*pText)
        return -1;
    char* pEnd = nullptr;
    const long nIndex = std::strtol(pText, &pEnd, 10);
    if (*pEnd == '\0')
        return nIndex >= 0 && nIndex < kRateCount ? int(nIndex) : -1;
    for (int i = 0; i < kRateCount; ++i)
        if (strcasecmp(pText, kRateTable[i].pLabel) == 0)
            return i;
    return -1;
}

}  // namespace xq
