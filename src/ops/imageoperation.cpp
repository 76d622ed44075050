// What the image operations share: the image kind, the serial number
// record, progress, error lines and the comparison with the flash.
#include "imageops.h"

#include <results.h>
#include <spiflashctrl.h>

#include <vector>

#include <encryptedimage.h>

namespace {
namespace encrypted = xq::encrypted;
}  // namespace

bool ImageOperation::IsEncryptedImage(const uint8_t* pData, int32_t nSize)
{
    return pData && nSize > encrypted::kPlainHead && pData[encrypted::kMarkerAt] == encrypted::kMarker;
}

void ImageOperation::SerialRecord(uint32_t nValue, uint8_t record[16])
{
    for (int i = 0; i < 12; ++i)
        record[i] = 0;
    record[12] = uint8_t(nValue >> 24);
    record[13] = uint8_t(nValue >> 16);
    record[14] = uint8_t(nValue >> 8);
    record[15] = uint8_t(nValue);
}

QString ImageOperation::SeqLine(const QString& strPrefix, uint32_t nValue) const
{
    // The numbers part in upper case ("HEX: 0X0000000A"), the prefix as translated.
    return strPrefix + QString(" DEC: %1 HEX: 0x%2").arg(nValue, 8, 10, QChar('0')).arg(nValue, 8, 16, QChar('0')).toUpper();
}

QString ImageOperation::NoFlashAnswerText()
{
    return tr("Flash 信息读取失败，Flash无应答");
}

QString ImageOperation::VerifyingText()
{
    return tr("正在校验...");
}

void ImageOperation::Progress(int nPercent)
{
    if (nPercent == m_nLastProgress)
        return;
    m_nLastProgress = nPercent;
    m_observer.Progress(nPercent);
}

void ImageOperation::LogLoss(int rc, const xq::FlashLoss& loss)
{
    if (rc != xq::kOk && loss.Any())
        Log(xq::FlashLossText(loss));
}

void ImageOperation::ReportError(int rc)
{
    // A stop is said by the operation's end, with what it left (xq::StopLines).
    if (rc == xq::kOk || rc == xq::kEndedAndReported || rc == xq::kErrStopped)
        return;
    // -3 reads "未知错误 -3": the cause, where known, goes on its own line first.
    // (An image too small to encrypt is refused before the chip is touched.)
    if (rc == xq::kErrModeChange)
        Log(tr("链路模式切换失败"));
    Log(xq::ResultText(rc, m_ctrl.AdapterErrorText()));
}

QString ImageOperation::VerifyRefusal(const QByteArray& image)
{
    if (!IsEncryptedImage(reinterpret_cast<const uint8_t*>(image.constData()), image.size()))
        return QString();
    // The chip encrypts with a key per address that only shows by programming
    // zeros in the encrypted mode and reading them back, which erases the
    // range; the encrypted write compares its read-back with that key.
    return tr("加密镜像无法只校验: 芯片的加密密钥只能通过擦写芯片读出，请用烧写（烧写后按密钥逐字节校验）");
}

int ImageOperation::CompareFlash(int32_t nStart, int32_t nLength, const uint8_t* pExpected, int nFrom, int nTo,
                             OperationReport& record)
{
    std::vector<uint8_t> buffer(size_t(nLength), 0);
    const int rc = m_ctrl.ReadFlashData(buffer.data(), nLength, nStart,
                                           [&](int p) { Progress(nFrom + (nTo - nFrom) * p / 100); });
    if (rc != 0)
        return rc;
    int64_t nFirst = -1;
    int64_t nCount = 0;
    for (int32_t i = 0; i < nLength; ++i) {
        const uint8_t nWanted = pExpected ? pExpected[i] : uint8_t(0xFF);
        if (buffer[size_t(i)] != nWanted) {
            if (nFirst < 0)
                nFirst = int64_t(nStart) + i;
            ++nCount;
        }
    }
    record.nFirstDifference = nFirst;
    record.nDifferences = nCount;
    return nCount == 0 ? xq::kOk : xq::kErrMismatch;
}
