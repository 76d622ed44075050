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
    // A start cell that does not read as hexadecimal (or lies past 24 bits)
    // would put the record at 0: only a start given here may replace it.
    if (strStart.isEmpty() && layout.config.bStartUnreadable)
        return QCoreApplication::translate("StaticRules", "工作簿的起始地址 \"%1\" 不是十六进制数: 请用 --start 给出")
            .arg(layout.config.strStartText);
    if (strStart.isEmpty() && layout.config.start_address != 0xFFFFFFFF && layout.config.start_address > 0xFFFFFF)
        return QCoreApplication::translate("StaticRules", "工作簿的起始地址 \"%1\" 超出 24 位: 请用 --start 给出")
            .arg(layout.config.strStartText);
    if (!strStart.isEmpty()) {
        const QString strRefusal = ImageRules::StartAddress(strStart, nStart);
        if (!strRefusal.isEmpty())
            return QString("%1: %2").arg(strRefusal, strStart);
    }
    int64_t nValue = StaticRules::DefaultTotal(layout.nUsedLength);
    if (!strTotal.isEmpty() && !StaticRules::ParseTotal(strTotal, nValue))
        return QCoreApplication::translate("StaticRules", "总大小无效: %1").arg(strTotal);
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
