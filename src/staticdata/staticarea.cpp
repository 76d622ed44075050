#include "staticarea.h"

#include "staticlayout.h"

#include <imagerequest.h>
#include <textrules.h>

#include <QCoreApplication>

QString StaticArea(const StaticLayout& layout, const QString& strStart, const QString& strTotal, int32_t& nStart,
                   int32_t& nTotal)
{
    nStart = layout.config.start_address != 0xFFFFFFFF ? int32_t(layout.config.start_address & 0xFFFFFF)
                                                       : kStaticDefaultStart;
    if (!strStart.isEmpty()) {
        const QString strRefusal = ImageRules::StartAddress(strStart, nStart);
        if (!strRefusal.isEmpty())
            return QString("%1: %2").arg(strRefusal, strStart);
    }
    int64_t nValue = StaticRules::DefaultTotal(layout.nUsedLength);
    if (!strTotal.isEmpty() && !xq::ParseNumber(strTotal, nValue))
        return QString("bad total size: %1").arg(strTotal);
    const QString strRefusal = StaticRules::Total(nValue, layout.nReadOnlyLength, layout.nUsedLength);
    if (!strRefusal.isEmpty())
        return strRefusal;
    nTotal = int32_t(nValue);
    return QString();
}

QString StaticWriteOf(const StaticLayout& layout, bool bCurrent, int32_t nStart, int32_t nTotal,
                      StaticWriteRequest& request)
{
    request.bCurrent = bCurrent;
    request.nStart = nStart;
    request.nTotal = nTotal;
    request.record = layout.GetStaticData(bCurrent);
    if (request.record.isEmpty())
        return QCoreApplication::translate("xqprog", "写入参数错误");
    reinterpret_cast<static_data_hdr*>(request.record.data())->nTotalSize = uint32_t(nTotal);
    request.strWorkbook = layout.strWorkbook;
    return QString();
}
