#include "staticarea.h"

#include "staticlayout.h"

#include <imagerequest.h>
#include <textrules.h>


QString StaticArea(const StaticLayout& layout, const QString& strStart, const QString& strTotal, int32_t& nStart,
                   int32_t& nTotal)
{
    nStart = layout.config.start_address != 0xFFFFFFFF ? int32_t(layout.config.start_address & 0xFFFFFF)
                                                       : kStaticDefaultStart;
    // A start cell that does not read as hexadecimal (or lies past 24 bits)
    // would put the record at 0: only a start given here may replace it.
    if (strStart.isEmpty() && layout.config.bStartUnreadable)
        return QString("the workbook's start address \"%1\" is not hexadecimal: give --start")
            .arg(layout.config.strStartText);
    if (strStart.isEmpty() && layout.config.start_address != 0xFFFFFFFF && layout.config.start_address > 0xFFFFFF)
        return QString("the workbook's start address \"%1\" is past 24 bits: give --start")
            .arg(layout.config.strStartText);
    if (!strStart.isEmpty()) {
        const QString strRefusal = ImageRules::StartAddress(strStart, nStart);
        if (!strRefusal.isEmpty())
            return QString("%1: %2").arg(strRefusal, strStart);
    }
    int64_t nValue = StaticRules::DefaultTotal(layout.nUsedLength);
    if (!strTotal.isEmpty() && !StaticRules::ParseTotal(strTotal, nValue))
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
        return StaticRules::WriteRefusedLine();
    reinterpret_cast<static_data_hdr*>(request.record.data())->nTotalSize = uint32_t(nTotal);
    request.strWorkbook = layout.strWorkbook;
    return QString();
}
