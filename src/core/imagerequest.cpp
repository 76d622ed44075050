#include "imagerequest.h"

#include "flashrules.h"
#include "textrules.h"

#include <QFile>
#include <QFileInfo>

QString ImageRules::BadStartAddress()
{
    return tr("请正确填写起始地址");
}

QString ImageRules::StartAddress(const QString& strHex, int32_t& nStart)
{
    int64_t n = 0;
    if (!xq::ParseHex(strHex, n) || n < 0 || n > xq::kMaxStartAddress)
        return BadStartAddress();
    nStart = int32_t(n);
    return QString();
}

QString ImageRules::EraseCount(int nEraseMode, int64_t nImageSize, const QString& strBytes, int32_t& nEraseBytes)
{
    switch (nEraseMode) {
    case kEraseWhole:
        nEraseBytes = xq::kWholeChip;
        return QString();
    case kEraseByFile:
    case kEraseSmart:
        if (nImageSize <= 0)
            return tr("请选择一个文件进行烧写");
        nEraseBytes = int32_t(qMin<int64_t>(nImageSize, xq::kMaxFlashSize));
        return QString();
    case kEraseBySize: {
        int64_t n = 0;
        if (!xq::ParseNumber(strBytes, n) || n <= 0 || n > xq::kMaxFlashSize || n < nImageSize)
            return tr("请输入正确擦除大小");
        nEraseBytes = int32_t(n);
        return QString();
    }
    default:
        return tr("请输入正确擦除大小");
    }
}

int ImageRules::EraseMode(const QString& strWord)
{
    return strWord == "whole" ? kEraseWhole : strWord == "file" ? kEraseByFile : strWord == "smart" ? kEraseSmart : kEraseBySize;
}

QString ImageRules::EraseWord(int nEraseMode)
{
    return nEraseMode == kEraseWhole ? "whole" : nEraseMode == kEraseSmart ? "smart" : nEraseMode == kEraseBySize ? "size" : "file";
}

QString ImageRules::ImageSize(int64_t nImageSize)
{
    return nImageSize > xq::kMaxFlashSize ? tr("烧写文件大小大于Flash容量") : QString();
}

QString ImageRules::ReadLength(const QString& strBytes, int32_t& nLength)
{
    int64_t n = 0;
    if (!xq::ParseNumber(strBytes, n) || n <= 0 || n > xq::kMaxFlashSize)
        return tr("请正确填写读取大小");
    nLength = int32_t(n);
    return QString();
}

QString ImageRules::BlankLength(const QString& strBytes, int32_t& nLength)
{
    int64_t n = 0;
    if (!xq::ParseNumber(strBytes, n) || n <= 0 || n > xq::kMaxFlashSize)
        return tr("请正确填写查空大小");
    nLength = int32_t(n);
    return QString();
}

QString ImageRules::SizeReason(const QString& strBytes, int64_t nImageSize)
{
    int64_t n = 0;
    if (!xq::ParseNumber(strBytes, n))
        return tr("不是字节数 (十进制，或 0x 开头的十六进制)");
    if (n <= 0)
        return tr("至少 1 字节");
    if (n > xq::kMaxFlashSize)
        return tr("超出 Flash 末尾: 最大的 Flash 为 %1 字节").arg(xq::kMaxFlashSize);
    if (nImageSize > 0 && n < nImageSize)
        return tr("小于烧写文件: %1 字节").arg(nImageSize);
    return QString();
}

// The image, read whole; refused by its size before it is read.
QString ImageRules::ReadImage(const QString& strPath, QByteArray& data)
{
    QString strError;
    const QFileInfo info(strPath);
    if (!info.isFile()) {
        strError = tr("烧写文件无法读取: %1").arg(strPath);
        return strError;
    }
    const QString strTooLarge = ImageRules::ImageSize(info.size());
    if (!strTooLarge.isEmpty()) {
        strError = strTooLarge + tr(": %1 (%2 字节)").arg(strPath).arg(info.size());
        return strError;
    }
    QFile file(strPath);
    if (!file.open(QIODevice::ReadOnly)) {
        strError = tr("烧写文件无法读取: %1: %2").arg(strPath, file.errorString());
        return strError;
    }
    data = file.read(qint64(xq::kMaxFlashSize) + 1);
    if (data.isEmpty() && file.size() == 0)
        strError = tr("烧写文件 %1 为空 (0 字节)").arg(strPath);
    else if (data.size() != file.size() || data.isEmpty() || !ImageRules::ImageSize(data.size()).isEmpty())
        strError = tr("烧写文件无法完整读取: %1").arg(strPath);
    return strError;
}

namespace {
bool InSerialRange(int64_t nValue, uint32_t& nSerial)
{
    if (nValue < 0 || uint64_t(nValue) > ImageRules::kLastSerial)
        return false;
    nSerial = uint32_t(nValue);
    return true;
}
}  // namespace

bool ImageRules::ParseSerial(const QString& strText, uint32_t& nSerial)
{
    int64_t nValue = 0;
    return xq::ParseNumber(strText, nValue) && InSerialRange(nValue, nSerial);
}

bool ImageRules::ParseSerialBox(const QString& strText, bool bHex, uint32_t& nSerial)
{
    int64_t nValue = 0;
    if (bHex)
        return xq::ParseHex(strText, nValue) && InSerialRange(nValue, nSerial);
    if (strText.trimmed().startsWith("0x", Qt::CaseInsensitive))
        return false;
    return xq::ParseNumber(strText, nValue) && InSerialRange(nValue, nSerial);
}
