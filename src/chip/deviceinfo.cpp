#include "deviceinfo.h"

QString ChipModelName(uint32_t nChipId, uint32_t nTotalSize, bool bFlashInfoRead)
{
    if (nChipId == kChipIdXq6230)
        return "XQ6230";
    if (nChipId == kChipIdXq6030)
        return (bFlashInfoRead && nTotalSize <= 1048575) ? "XQ6130" : "XQ6030";
    return "未知";
}

QString FlashInfoText(const FlashInfo& info)
{
    const QString strIds = QString("厂商ID   : %1\t\t设备ID   : %2")
                               .arg(info.nManufacturerId, 2, 16, QChar('0'))
                               .arg(info.nDeviceId, 2, 16, QChar('0'))
                               .toUpper();
    QString strSize;
    if (info.nTotalSize > 1048575)
        strSize = QString("页大小\t : %1 Bytes\t总大小\t : %2MBytes")
                      .arg(info.nPageSize)
                      .arg(info.nTotalSize / 1048576, -3, 10, QChar(' '));
    else
        strSize = QString("页大小\t : %1 Bytes\t总大小\t : %2 KBytes")
                      .arg(info.nPageSize)
                      .arg(info.nTotalSize / 1024, -3, 10, QChar(' '));
    const QString strUid = QString("序列号\t : %1-%2-%3-%4")
                               .arg(info.uniqueId[0], 8, 16, QChar('0'))
                               .arg(info.uniqueId[1], 8, 16, QChar('0'))
                               .arg(info.uniqueId[2], 8, 16, QChar('0'))
                               .arg(info.uniqueId[3], 8, 16, QChar('0'))
                               .toUpper();
    return strIds + "\n\n" + strSize + "\n\n" + strUid;
}
