#include "deviceinfo.h"

#include "chipmodels.h"

#include <QCoreApplication>

namespace {
constexpr uint32_t kMiB = 1048576;  // sizes from one MiB on are shown in MBytes
}  // namespace

QString ChipModelName(uint32_t nChipId, uint32_t nTotalSize, bool bFlashInfoRead)
{
    if (const ChipModelRow* pRow = FindChipModel(nChipId))
        return QString::fromLatin1(ChipModelRowName(*pRow, nTotalSize, bFlashInfoRead));
    return QCoreApplication::translate("DeviceInfo", "未知");
}

QString FlashInfoText(const FlashInfo& info)
{
    // Hexadecimal digits in upper case (the line's own words stay as translated).
    auto hex = [](uint32_t n, int nWidth) { return QString("%1").arg(n, nWidth, 16, QChar('0')).toUpper(); };
    const QString strIds = QCoreApplication::translate("DeviceInfo", "厂商ID   : %1\t\t设备ID   : %2")
                               .arg(hex(info.nManufacturerId, 2), hex(info.nDeviceId, 2));
    QString strSize;
    if (info.nTotalSize >= kMiB)
        strSize = QCoreApplication::translate("DeviceInfo", "页大小\t : %1 Bytes\t总大小\t : %2MBytes")
                      .arg(info.nPageSize)
                      .arg(info.nTotalSize / kMiB, -3, 10, QChar(' '));
    else
        strSize = QCoreApplication::translate("DeviceInfo", "页大小\t : %1 Bytes\t总大小\t : %2 KBytes")
                      .arg(info.nPageSize)
                      .arg(info.nTotalSize / 1024, -3, 10, QChar(' '));
    const QString strUid = QCoreApplication::translate("DeviceInfo", "序列号\t : %1-%2-%3-%4")
                               .arg(hex(info.uniqueId[0], 8), hex(info.uniqueId[1], 8), hex(info.uniqueId[2], 8),
                                    hex(info.uniqueId[3], 8));
    return strIds + "\n\n" + strSize + "\n\n" + strUid;
}

void DescribeFlash(const FlashInfo& info, OperationReport& report)
{
    report.strJedec = JedecText(info.nManufacturerId, info.nMemoryType, info.nCapacity);
    report.strUid = UniqueIdText(info.uniqueId);
    report.nFlashSize = info.nTotalSize;
}
