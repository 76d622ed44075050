#include "staticoperation.h"

#include <deviceinfo.h>
#include <spiflashctrl.h>
#include <flashrange.h>
#include <flashrules.h>

QString StaticOperation::SearchingLine()
{
    return tr("查找静态数据标识...");
}

QString StaticOperation::NotFoundLine()
{
    return tr("未找到静态数据标识!");
}

int64_t StaticOperation::SearchedLength(int32_t nLength)
{
    return xq::SectorCeil(qMax(nLength, 1));
}

QString StaticOperation::AreaOutsideFlash(const FlashInfo* pInfo, int64_t nStart, int64_t nLength)
{
    // The flash ignores the address bits above its size: a range past its
    // end lands on its first bytes, over the firmware.
    if (!pInfo || !xq::FlashSizeKnown(pInfo->nTotalSize))
        return QString();  // no size to go by: the read-back after the write decides
    if (xq::FlashRangeFits(nStart, nLength, pInfo->nTotalSize))
        return QString();
    const QString strLine = xq::FlashRangeRefusal(nStart, nLength, pInfo->nTotalSize);
    m_observer.Warning(strLine);
    return strLine;
}
