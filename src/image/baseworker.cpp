#include "baseworker.h"

#include <deviceinfo.h>
#include <flashrules.h>
#include <flashrange.h>
#include <outputfile.h>
#include <results.h>
#include <spiflashctrl.h>


#include <algorithm>

namespace {
constexpr int32_t kEncryptedMinSize = 0x3000;   // an encrypted image is longer than this
constexpr int32_t kEncryptedMarkerAt = 0x2FB0;  // and carries this byte
constexpr uint8_t kEncryptedMarker = 2;
constexpr uint8_t kProtectAll = 0x9C;
// An erase-only run spreads its progress over the erase up to this, and
// over the blank check after it.
constexpr int kEraseOnlySpan = 79;

const uint8_t* ImageBytes(const ImageWriteRequest& request)
{
    return reinterpret_cast<const uint8_t*>(request.image.constData());
}
}  // namespace

BaseWorker::BaseWorker(QObject* pParent) : QObject(pParent)
{
    qRegisterMetaType<ImageWriteRequest>();
    qRegisterMetaType<ImageReadRequest>();
    qRegisterMetaType<ImageVerifyRequest>();
    qRegisterMetaType<OperationReport>();
}

bool BaseWorker::IsEncryptedImage(const uint8_t* pData, int32_t nSize)
{
    return pData && nSize > kEncryptedMinSize && pData[kEncryptedMarkerAt] == kEncryptedMarker;
}

void BaseWorker::SerialRecord(uint32_t nValue, uint8_t record[16])
{
    for (int i = 0; i < 12; ++i)
        record[i] = 0;
    record[12] = uint8_t(nValue >> 24);
    record[13] = uint8_t(nValue >> 16);
    record[14] = uint8_t(nValue >> 8);
    record[15] = uint8_t(nValue);
}

QString BaseWorker::SeqLine(const QString& strPrefix, uint32_t nValue) const
{
    // The numbers part in upper case ("HEX: 0X0000000A"), the prefix as translated.
    return strPrefix + QString(" DEC: %1 HEX: 0x%2").arg(nValue, 8, 10, QChar('0')).arg(nValue, 8, 16, QChar('0')).toUpper();
}

void BaseWorker::Progress(int nPercent)
{
    if (nPercent == m_nLastProgress)
        return;
    m_nLastProgress = nPercent;
    emit progress(nPercent);
}

void BaseWorker::LogLoss(int rc, const xq::FlashLoss& loss)
{
    if (rc != xq::kOk && loss.Any())
        emit log(xq::FlashLossText(loss));
}

void BaseWorker::ReportError(int rc)
{
    if (rc != xq::kOk && rc != xq::kErrEndedAndReported)
        emit log(xq::ResultText(rc, pSpiCtrl->AdapterErrorText()));
}

void BaseWorker::OnWrite(const ImageWriteRequest& request)
{
    m_nLastProgress = -1;
    m_bFlashChanged = false;
    OperationReport record;
    record.strOperation = request.image.isEmpty() ? "erase" : "write";
    record.strImage = request.strImage;
    record.nStart = request.nStart;
    record.nSize = request.image.isEmpty() ? request.nEraseBytes : request.image.size();
    if (!request.image.isEmpty())
        record.SetData(request.image);
    const int rc = RunWrite(request, record);
    ReportError(rc);
    if (rc == xq::kErrStopped)
        emit log(m_bFlashChanged ? tr("芯片上的数据不完整，请重新烧写") : tr("芯片未被改动"));
    if (record.eResult != OperationReport::kResultRefused)
        record.SetResult(rc == 0, rc, rc == 0 ? record.strMessage : xq::ResultText(rc, pSpiCtrl->AdapterErrorText()));
    emit report(record);
    emit finish(xq::kOptWrite, rc == 0);
}

int BaseWorker::RunWrite(const ImageWriteRequest& request, OperationReport& record)
{
    SpiFlashCtrl& ctrl = *pSpiCtrl;
    const bool bImage = !request.image.isEmpty();

    emit log(tr("执行复位 %1!").arg(ctrl.SoftReset(false) == 0 ? tr("成功") : tr("失败")));
    int rc = CheckImageFits(request, record);
    const bool bSmart = request.bSmart && bImage && !IsEncryptedImage(ImageBytes(request), request.image.size());
    if (bSmart) {
        if (rc == xq::kOk)
            rc = SmartWriteImage(request);
    } else if (request.bSmart && bImage) {
        // The chip's encrypted programming needs erased flash under the whole image.
        emit log(tr("加密镜像不能智能烧写，按文件大小擦除后烧写"));
        ImageWriteRequest byFile = request;
        byFile.nEraseBytes = request.image.size();
        if (rc == xq::kOk)
            rc = EraseForWrite(byFile, record, 24);
        if (rc == xq::kOk)
            rc = ProgramImage(byFile, record);
    } else {
        if (rc == xq::kOk)
            rc = EraseForWrite(request, record, bImage ? 24 : kEraseOnlySpan);
        if (rc == xq::kOk && !bImage)
            rc = BlankCheck(request);
        if (rc == xq::kOk && bImage)
            rc = ProgramImage(request, record);
    }
    if (rc != xq::kOk)
        return rc;
    if (request.bSerial)
        rc = WriteSerialNumber(request, record);
    emit log(tr("执行复位 %1!").arg(ctrl.SoftReset(true) == 0 ? tr("成功") : tr("失败")));
    Progress(100);
    return rc;
}

// Reads the identification (with the flash's unique id for the record) and
// refuses an image that would run past the end of the flash.
int BaseWorker::CheckImageFits(const ImageWriteRequest& request, OperationReport& record)
{
    FlashInfo info;
    const int nInfo = pSpiCtrl->ReadFlashInfo(&info);
    if (nInfo == 0)
        DescribeFlash(info, record);
    const bool bInfoOk = nInfo == 0 && xq::FlashSizeKnown(info.nTotalSize);
    const bool bImage = !request.image.isEmpty();
    m_nFlashSize = bInfoOk ? info.nTotalSize : 0;
    if (!bInfoOk) {
        emit log(tr("Flash 信息读取失败"));
        // An image is verified against the flash afterwards; an erase alone
        // has nothing to prove it took place without a flash that answers.
        if (!bImage) {
            record.Refuse(xq::kErrBadArgument, tr("Flash 信息读取失败"));
            return xq::kErrEndedAndReported;
        }
    } else if (bImage || request.nEraseBytes > 0) {
        // The image and the given erase size, from the start address: the
        // flash ignores the high address bits, so a range past its end
        // would land on its first bytes.
        const int64_t nLength = qMax<int64_t>(request.image.size(), qMax(request.nEraseBytes, 0));
        if (!xq::FlashRangeFits(request.nStart, nLength, info.nTotalSize)) {
            const QString strLine = xq::FlashRangeRefusal(request.nStart, nLength, info.nTotalSize);
            emit log(strLine);
            emit warning(strLine);
            record.Refuse(xq::kErrBadArgument, strLine);
            return xq::kErrEndedAndReported;
        }
    }
    if (request.image.isEmpty() && request.nEraseBytes == xq::kWholeChip && bInfoOk)
        record.nSize = info.nTotalSize;
    return xq::kOk;
}

int BaseWorker::PrepareFlash()
{
    SpiFlashCtrl& ctrl = *pSpiCtrl;
    Progress(1);
    ctrl.EnterFlashMode();
    ctrl.ClearChipRegisters();
    // Any protection bit left set makes the flash ignore the erase and the
    // programming of the sectors it protects.
    if (ctrl.ReadProtectBit() == 0)
        return xq::kOk;
    const int rc = ctrl.ClearStatus();
    if (rc == 0 && ctrl.ReadProtectBit() == 0)
        return xq::kOk;
    emit log(tr("解除Flash写保护失败"));
    return rc != 0 ? rc : xq::kErrEndedAndReported;
}

int BaseWorker::ProtectFlash()
{
    // The status register read back is the proof: the line only when the
    // protection bits hold.
    int rc = pSpiCtrl->WriteStatus(kProtectAll);
    uint8_t nStatus = 0;
    if (rc == 0)
        rc = pSpiCtrl->ReadStatus(&nStatus);
    if (rc != 0 || (nStatus & kProtectAll) != kProtectAll) {
        emit log(tr("FLASH写保护设置失败"));
        return rc != 0 ? rc : xq::kErrEndedAndReported;
    }
    emit log(tr("FLASH已写保护"));
    return xq::kOk;
}

int BaseWorker::SmartWriteImage(const ImageWriteRequest& request)
{
    SpiFlashCtrl& ctrl = *pSpiCtrl;
    emit log(tr("正在智能烧写..."));
    int rc = PrepareFlash();
    if (rc != 0)
        return rc;
    SmartWriteCounts counts;
    xq::FlashLoss loss;
    rc = ctrl.SmartWrite(
        request.nStart, ImageBytes(request), request.image.size(), &counts,
        [&](int p) { Progress(98 * p / 100 + 1); }, &loss);
    LogLoss(rc, loss);
    m_bFlashChanged = counts.nErased + counts.nProgrammed > 0;  // (what it was about to change, when stopped)
    // The counts are known once the range has been read, also when a later step fails.
    if (counts.nErased + counts.nProgrammed + counts.nSkipped > 0) {
        emit log(tr("擦除%1个扇区，仅编程%2个扇区，跳过%3个未变化的扇区")
                     .arg(counts.nErased)
                     .arg(counts.nProgrammed)
                     .arg(counts.nSkipped));
    }
    if (rc == xq::kErrRepairFailed)
        emit log(tr("校验失败，请重新烧写"));
    else
        emit log(tr("烧写%1").arg(rc == 0 ? tr("成功") : tr("失败")));
    if (rc != 0)
        return rc;
    emit log(tr("校验成功"));
    Progress(99);
    return request.bProtect ? ProtectFlash() : xq::kOk;
}

int BaseWorker::EraseForWrite(const ImageWriteRequest& request, OperationReport& record, int nEraseSpan)
{
    SpiFlashCtrl& ctrl = *pSpiCtrl;
    emit log(tr("正在擦除"));
    int rc = PrepareFlash();
    if (rc != 0)
        return rc;

    // Exactly the requested bytes from the start address: the bytes outside
    // them in the first and last sector are put back (EraseExact).
    m_bFlashChanged = true;
    xq::FlashLoss loss;
    rc = ctrl.EraseExact(request.nStart, request.nEraseBytes, &loss,
                         [&](int p) { Progress(nEraseSpan * p / 100 + 1); });
    LogLoss(rc, loss);
    if (rc != 0)
        return rc;
    record.strMessage = tr("擦除完成");
    emit log(record.strMessage);
    Progress(nEraseSpan + 1);
    return xq::kOk;
}

// Programs the image (plainly, or encrypted when it asks for it), verifies a
// plain one with sector repair, and protects the flash when asked.
int BaseWorker::ProgramImage(const ImageWriteRequest& request, OperationReport& record)
{
    SpiFlashCtrl& ctrl = *pSpiCtrl;
    const uint8_t* pData = ImageBytes(request);
    const int32_t nSize = request.image.size();
    const int32_t nStartAddr = request.nStart;
    const bool bEncrypted = IsEncryptedImage(pData, nSize);
    int rc = 0;
    if (bEncrypted) {
        emit log(tr("正在加密烧写镜像..."));
        xq::FlashLoss loss;
        rc = ctrl.ProgramFlashEncrypted(
            nStartAddr, pData, nSize, false, [&](int p) { Progress(75 * p / 100 + 25); }, &loss);
        LogLoss(rc, loss);
    } else {
        emit log(tr("正在烧写镜像..."));
        ctrl.SetMode(1);
        // Pages of 0xFF are left as the erase left them; the verify reads them too.
        rc = ctrl.ProgramFlashSkipBlank(nStartAddr, pData, nSize, [&](int p) { Progress(65 * p / 100 + 25); });
    }
    emit log(tr("烧写%1").arg(rc == 0 ? tr("成功") : tr("失败")));
    if (rc != 0)
        return rc;
    if (bEncrypted) {
        Progress(99);
        record.strMessage = tr("烧写成功");
    } else {
        Progress(89);
        emit log(tr("正在校验..."));
        xq::FlashLoss loss;
        rc = ctrl.VerifyFlash(
            pData, nSize, nStartAddr, [&](int p) { Progress(9 * p / 100 + 90); }, &loss);
        LogLoss(rc, loss);
        if (rc != 0) {
            emit log(tr("校验失败，请重新烧写"));
            return rc;
        }
        record.strMessage = tr("校验成功");
        emit log(record.strMessage);
    }
    if (request.bProtect)
        return ProtectFlash();
    return xq::kOk;
}

int BaseWorker::BlankCheck(const ImageWriteRequest& request)
{
    // An erase alone is proven by reading the erased range back: every byte 0xFF.
    const int32_t nStart = request.nEraseBytes > 0 ? request.nStart : 0;
    const int64_t nLength = request.nEraseBytes > 0 ? int64_t(request.nEraseBytes) : int64_t(m_nFlashSize);
    emit log(tr("正在检查擦除结果..."));
    OperationReport compared;
    const int rc = CompareFlash(nStart, int32_t(nLength), nullptr, kEraseOnlySpan + 1, 99, compared);
    if (rc == xq::kOk) {
        emit log(tr("擦除检查成功"));
        return xq::kOk;
    }
    if (rc != xq::kErrMismatch)
        return rc;
    emit log(tr("擦除检查失败: 0x%1 处不是空白").arg(QString::number(compared.nFirstDifference, 16).toUpper()));
    return xq::kErrEndedAndReported;
}

// Stamps the request's serial number (or the counter's) into the security
// registers and announces the next one.
int BaseWorker::WriteSerialNumber(const ImageWriteRequest& request, OperationReport& record)
{
    SpiFlashCtrl& ctrl = *pSpiCtrl;
    uint32_t nSerial = request.nSerial;
    if (takeSerial && !takeSerial(nSerial)) {
        emit log(tr("序列号写入失败"));
        return xq::kErrFileAccess;
    }
    uint8_t serial[kSerialLength];
    SerialRecord(nSerial, serial);
    int rc = ctrl.EraseSecurity(kSerialEraseOffset, kSerialEraseLength);
    if (rc == 0)
        rc = ctrl.ProgramSecurity(kSerialOffset, serial, kSerialLength);
    if (rc != 0) {
        emit log(tr("序列号写入失败"));
        return rc;
    }
    emit log(SeqLine(tr("写入序列号:"), nSerial));
    record.bSerial = true;
    record.nSerial = nSerial;
    emit seqId(nSerial + 1);
    return rc;
}

void BaseWorker::OnRead(const ImageReadRequest& request)
{
    m_nLastProgress = -1;
    OperationReport record;
    record.strOperation = "read";
    record.strFile = request.strSaveFile;
    record.nStart = request.nStart;
    const int rc = RunRead(request, record);
    const bool bOk = rc == 0;
    if (record.eResult != OperationReport::kResultRefused)
        record.SetResult(bOk, rc, bOk || !record.strMessage.isEmpty() ? record.strMessage : xq::ResultText(rc, pSpiCtrl->AdapterErrorText()));
    emit report(record);
    emit finish(xq::kOptRead, bOk);
}

int BaseWorker::RunRead(const ImageReadRequest& request, OperationReport& record)
{
    SpiFlashCtrl& ctrl = *pSpiCtrl;
    const int32_t nStartAddr = request.nStart;
    emit log(tr("开始读取Flash"));
    Progress(1);

    int32_t nLength = request.nLength;
    FlashInfo info;
    const int nInfo = ctrl.ReadFlashInfo(&info);
    if (nInfo == 0)
        DescribeFlash(info, record);
    if (nInfo != 0 && nInfo != xq::kErrFlashBusyAtStart) {
        // No flash answers behind the chip, or the adapter failed: reading
        // would save a file of zeros and call it a success.
        record.strMessage = tr("Flash 信息读取失败，Flash无应答");
        emit log(record.strMessage);
        ReportError(nInfo);
        return nInfo;
    }
    const bool bSizeKnown = nInfo == 0 && xq::FlashSizeKnown(info.nTotalSize);
    if (nLength == xq::kWholeChip) {
        // Whole chip: from the start address to the end of the flash.
        if (!bSizeKnown) {
            record.strMessage = tr("Flash 信息读取失败，无法确定整片读取的长度");
            emit log(record.strMessage);
            return xq::kErrBadArgument;
        }
        nLength = int32_t(qMax<int64_t>(int64_t(info.nTotalSize) - nStartAddr, 0));
    }
    record.nSize = nLength;
    if (bSizeKnown && !xq::FlashRangeFits(nStartAddr, nLength, info.nTotalSize)) {
        // The flash ignores the high address bits: past its end the read
        // would go on at its first bytes.
        const QString strLine = xq::FlashRangeRefusal(nStartAddr, nLength, info.nTotalSize);
        emit log(strLine);
        emit warning(strLine);
        record.Refuse(xq::kErrBadArgument, strLine);
        return xq::kErrEndedAndReported;
    }
    if (nLength <= 0 || nStartAddr < 0) {
        record.Refuse(xq::kErrBadArgument, tr("读取范围无效: 起始地址 0x%1, 长度 %2").arg(nStartAddr, 0, 16).arg(nLength));
        emit log(record.strMessage);
        return xq::kErrBadArgument;
    }

    QByteArray data(nLength, '\0');
    int rc = ctrl.ReadFlashData(reinterpret_cast<uint8_t*>(data.data()), nLength, nStartAddr,
                                [&](int p) { Progress(95 * p / 100 + 1); });
    if (rc == 0) {
        Progress(96);
        emit log(tr("完成读取Flash，准备存储成文件"));
        // A regular file is replaced only when complete (a failed save never
        // destroys an earlier file); a pipe or a device is written in place.
        QString strError;
        if (!xq::SaveOutput(request.strSaveFile, data, strError)) {
            emit log(strError);
            rc = xq::kErrFileAccess;
        } else {
            Progress(100);
            emit log(tr("文件存储成功"));
            record.SetData(data);
        }
    }
    if (rc == 0 && request.bSerial) {
        uint8_t serial[kSerialLength] = {};
        rc = ctrl.ReadSecurity(serial, kSerialLength, kSerialOffset);
        if (rc == 0) {
            record.bSerial = true;
            record.nSerial = (uint32_t(serial[12]) << 24) | (uint32_t(serial[13]) << 16) |
                             (uint32_t(serial[14]) << 8) | serial[15];
            emit seqId(record.nSerial);
            emit log(SeqLine(tr("当前序列号:"), record.nSerial));
        }
    }
    if (rc == 0)
        record.strMessage = tr("文件存储成功");
    ReportError(rc);
    return rc;
}

QString BaseWorker::VerifyRefusal(const QByteArray& image)
{
    if (!IsEncryptedImage(reinterpret_cast<const uint8_t*>(image.constData()), image.size()))
        return QString();
    // The chip encrypts with a key per address that only shows by programming
    // zeros in the encrypted mode and reading them back, which erases the
    // range; the encrypted write compares its read-back with that key.
    return tr("加密镜像无法只校验: 芯片的加密密钥只能通过擦写芯片读出，请用烧写（烧写后按密钥逐字节校验）");
}

void BaseWorker::OnVerify(const ImageVerifyRequest& request)
{
    m_nLastProgress = -1;
    const bool bBlank = request.image.isEmpty();
    OperationReport record;
    record.strOperation = bBlank ? "blank" : "verify";
    record.strImage = request.strImage;
    record.nStart = request.nStart;
    record.nSize = bBlank ? request.nLength : request.image.size();
    if (!bBlank)
        record.SetData(request.image);
    const int rc = RunVerify(request, record);
    if (record.eResult != OperationReport::kResultRefused)
        record.SetResult(rc == 0, rc,
                         rc == 0 || !record.strMessage.isEmpty() ? record.strMessage
                                                                 : xq::ResultText(rc, pSpiCtrl->AdapterErrorText()));
    emit report(record);
    emit finish(xq::kOptVerify, rc == 0);
}

int BaseWorker::RunVerify(const ImageVerifyRequest& request, OperationReport& record)
{
    const bool bBlank = request.image.isEmpty();
    const QString strEncrypted = VerifyRefusal(request.image);
    if (!strEncrypted.isEmpty()) {
        emit log(strEncrypted);
        record.Refuse(xq::kErrBadArgument, strEncrypted);
        return xq::kErrBadArgument;
    }
    emit log(bBlank ? tr("开始查空") : tr("开始校验(不擦除、不烧写): %1").arg(request.strImage));
    Progress(1);
    FlashInfo info;
    const int nInfo = pSpiCtrl->ReadFlashInfo(&info);
    if (nInfo == 0)
        DescribeFlash(info, record);
    // A flash that does not identify itself may read all 0xFF (or all 0)
    // whatever it holds: no comparison could be trusted.
    if (nInfo != 0 || !xq::FlashSizeKnown(info.nTotalSize)) {
        record.strMessage = tr("Flash 信息读取失败，Flash无应答");
        emit log(record.strMessage);
        ReportError(nInfo);
        return nInfo != 0 ? nInfo : xq::kErrBadArgument;
    }
    int64_t nLength = bBlank ? request.nLength : request.image.size();
    if (bBlank && nLength == xq::kWholeChip)
        nLength = qMax<int64_t>(int64_t(info.nTotalSize) - request.nStart, 0);
    record.nSize = nLength;
    if (!xq::FlashRangeFits(request.nStart, nLength, info.nTotalSize) || nLength <= 0) {
        const QString strLine = xq::FlashRangeRefusal(request.nStart, nLength, info.nTotalSize);
        emit log(strLine);
        emit warning(strLine);
        record.Refuse(xq::kErrBadArgument, strLine);
        return xq::kErrBadArgument;
    }
    emit log(bBlank ? tr("正在查空...") : tr("正在校验..."));
    const auto* pExpected = bBlank ? nullptr : reinterpret_cast<const uint8_t*>(request.image.constData());
    const int rc = CompareFlash(request.nStart, int32_t(nLength), pExpected, 2, 99, record);
    const QString strRange = tr("0x%1 ~ 0x%2, %3 字节")
                                 .arg(QString::number(request.nStart, 16).toUpper(),
                                      QString::number(request.nStart + nLength, 16).toUpper())
                                 .arg(nLength);
    if (rc == xq::kOk)
        record.strMessage = bBlank ? tr("查空成功: %1 全部为空白").arg(strRange) : tr("校验成功: 芯片与镜像一致 (%1)").arg(strRange);
    else if (rc == xq::kErrMismatch)
        record.strMessage =
            bBlank ? tr("查空失败: 首个非空白地址 0x%1, 共 %2 字节不是空白")
                         .arg(QString::number(record.nFirstDifference, 16).toUpper())
                         .arg(record.nDifferences)
                   : tr("校验失败: 首个不同的地址 0x%1, 共 %2 字节不同")
                         .arg(QString::number(record.nFirstDifference, 16).toUpper())
                         .arg(record.nDifferences);
    else
        record.strMessage = xq::ResultText(rc, pSpiCtrl->AdapterErrorText());
    emit log(record.strMessage);
    if (rc == xq::kOk)
        Progress(100);
    return rc;
}

int BaseWorker::CompareFlash(int32_t nStart, int32_t nLength, const uint8_t* pExpected, int nFrom, int nTo,
                             OperationReport& record)
{
    std::vector<uint8_t> buffer(size_t(nLength), 0);
    const int rc = pSpiCtrl->ReadFlashData(buffer.data(), nLength, nStart,
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
