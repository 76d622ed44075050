#include "baseworker.h"

#include <results.h>
#include <spiflashctrl.h>

#include <QSaveFile>

#include <vector>

namespace {
constexpr int32_t kEncryptedMinSize = 0x3000;   // an encrypted image is longer than this
constexpr int32_t kEncryptedMarkerAt = 0x2FB0;  // and carries this byte
constexpr uint8_t kEncryptedMarker = 2;
constexpr uint8_t kProtectAll = 0x9C;
// Stops a run before the chip is touched any further; already logged.
constexpr int kStopped = -10000;
}  // namespace

BaseWorker::BaseWorker(QObject* pParent) : QObject(pParent) {}

BaseWorker::~BaseWorker()
{
    FreeImage();
}

void BaseWorker::SetImage(uint8_t* pData, int32_t nSize)
{
    FreeImage();
    pFileData = pData;
    nFileSize = nSize;
}

void BaseWorker::SetSharedImage(const QByteArray& image)
{
    FreeImage();
    m_sharedImage = image;
    // The sequence never writes into the image: it only programs and compares it.
    pFileData = reinterpret_cast<uint8_t*>(const_cast<char*>(m_sharedImage.constData()));
    nFileSize = int32_t(m_sharedImage.size());
}

void BaseWorker::FreeImage()
{
    if (m_sharedImage.isNull())
        delete[] pFileData;
    m_sharedImage = QByteArray();
    pFileData = nullptr;
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

void BaseWorker::ReportError(int rc)
{
    if (rc != xq::kOk && rc != kStopped)
        emit log(xq::ResultText(rc, pSpiCtrl->AdapterErrorText()));
}

void BaseWorker::OnWrite()
{
    m_bFlashChanged = false;
    const int rc = RunWrite();
    ReportError(rc);
    if (rc == xq::kErrStopped)
        emit log(m_bFlashChanged ? tr("芯片上的数据不完整，请重新烧写") : tr("芯片未被改动"));
    FreeImage();
    emit finish(xq::kOptWrite, rc == 0);
}

int BaseWorker::RunWrite()
{
    SpiFlashCtrl& ctrl = *pSpiCtrl;
    const bool bImage = pFileData && nFileSize > 0;

    emit log(tr("执行复位 %1!").arg(ctrl.SoftReset(false) == 0 ? tr("成功") : tr("失败")));
    int rc = CheckImageFits(bImage);
    if (rc == xq::kOk)
        rc = EraseForWrite(bImage ? 24 : 99);
    if (rc == xq::kOk && bImage)
        rc = ProgramImage();
    if (rc != xq::kOk)
        return rc;
    if (bSeqId)
        rc = WriteSerialNumber();
    emit log(tr("执行复位 %1!").arg(ctrl.SoftReset(true) == 0 ? tr("成功") : tr("失败")));
    emit progress(100);
    return rc;
}

int BaseWorker::CheckImageFits(bool bImage)
{
    FlashInfo info;
    const bool bInfoOk = pSpiCtrl->ReadFlashInfo(&info) == 0 && info.nTotalSize >= kMinFlashSize &&
                         info.nTotalSize <= kMaxFlashSize;
    if (!bInfoOk) {
        emit log(tr("Flash 信息读取失败"));
    } else if (bImage && int64_t(nStartAddr) + nFileSize > int64_t(info.nTotalSize)) {
        // The flash ignores the high address bits: an image that does not
        // fit would wrap around and overwrite its own head.
        emit log(tr("烧写文件大小大于Flash容量"));
        return kStopped;
    }
    return xq::kOk;
}

int BaseWorker::EraseForWrite(int nEraseSpan)
{
    SpiFlashCtrl& ctrl = *pSpiCtrl;
    emit log(tr("正在擦除"));
    emit progress(1);
    ctrl.EnterFlashMode();
    ctrl.ClearChipRegisters();
    if (ctrl.ReadProtectBit() != 0)
        ctrl.ClearStatus();

    // The erase starts at the start address rounded down to its sector, so
    // it covers the sector offset as well: the whole image lies in erased flash.
    const int32_t nSectorOffset = nStartAddr & 0xFFF;
    const int32_t nEraseCount = nEraseBytes > 0 ? nEraseBytes + nSectorOffset : nEraseBytes;
    m_bFlashChanged = true;
    const int rc = ctrl.EraseFlash(nStartAddr & ~0xFFF, nEraseCount,
                                   [&](int p) { emit progress(nEraseSpan * p / 100 + 1); });
    if (rc != 0)
        return rc;
    emit log(tr("擦除完成"));
    emit progress(nEraseSpan + 1);
    return xq::kOk;
}

int BaseWorker::ProgramImage()
{
    SpiFlashCtrl& ctrl = *pSpiCtrl;
    const bool bEncrypted = IsEncryptedImage(pFileData, nFileSize);
    int rc;
    if (bEncrypted) {
        emit log(tr("正在加密烧写镜像..."));
        rc = ctrl.ProgramFlashEncrypted(nStartAddr, pFileData, nFileSize, false,
                                        [&](int p) { emit progress(75 * p / 100 + 25); });
    } else {
        emit log(tr("正在烧写镜像..."));
        ctrl.SetMode(1);
        rc = ctrl.ProgramFlash(nStartAddr, pFileData, nFileSize, false,
                               [&](int p) { emit progress(65 * p / 100 + 25); });
    }
    emit log(tr("烧写%1").arg(rc == 0 ? tr("成功") : tr("失败")));
    if (rc != 0)
        return rc;

    if (bEncrypted) {
        emit progress(99);
    } else {
        emit progress(89);
        emit log(tr("正在校验..."));
        rc = ctrl.VerifyFlash(pFileData, nFileSize, nStartAddr, [&](int p) { emit progress(9 * p / 100 + 90); });
        if (rc != 0) {
            emit log(tr("校验失败，请重新烧写"));
            return rc;
        }
        emit log(tr("校验成功"));
    }
    if (bProtect) {
        ctrl.WriteStatus(kProtectAll);
        emit log(tr("FLASH已写保护"));
    }
    return xq::kOk;
}

int BaseWorker::WriteSerialNumber()
{
    if (takeSerial && !takeSerial(nSeqId)) {
        emit log(tr("序列号写入失败"));
        return xq::kErrFileAccess;
    }
    uint8_t record[kSerialLength];
    SerialRecord(nSeqId, record);
    int rc = pSpiCtrl->EraseSecurity(kSerialEraseOffset, kSerialEraseLength);
    if (rc == 0)
        rc = pSpiCtrl->ProgramSecurity(kSerialOffset, record, kSerialLength);
    if (rc != 0) {
        emit log(tr("序列号写入失败"));
    } else {
        emit log(SeqLine(tr("写入序列号:"), nSeqId));
        ++nSeqId;
        emit seqId(nSeqId);
    }
    return rc;
}

void BaseWorker::OnRead()
{
    SpiFlashCtrl& ctrl = *pSpiCtrl;
    emit log(tr("开始读取Flash"));
    emit progress(1);

    int32_t nLength = nReadBytes;
    FlashInfo info;
    const int nInfo = ctrl.ReadFlashInfo(&info);
    if (nInfo != 0 && nInfo != xq::kErrFlashBusyAtStart) {
        // No flash answers behind the chip, or the adapter failed: reading
        // would save a file of zeros and call it a success.
        emit log(tr("Flash 信息读取失败，Flash无应答"));
        ReportError(nInfo);
        emit finish(xq::kOptRead, false);
        return;
    }
    if (nLength == xq::kWholeChip) {
        // Whole chip: from the start address to the end of the flash.
        const int64_t nLeft = int64_t(info.nTotalSize) - nStartAddr;
        if (nInfo != 0 || info.nTotalSize < kMinFlashSize || info.nTotalSize > kMaxFlashSize || nLeft <= 0) {
            emit log(tr("Flash 信息读取失败，无法确定整片读取的长度"));
            emit finish(xq::kOptRead, false);
            return;
        }
        nLength = int32_t(nLeft);
    }
    if (nLength <= 0 || nStartAddr < 0) {
        emit log(tr("读取范围无效: 起始地址 0x%1, 长度 %2").arg(nStartAddr, 0, 16).arg(nLength));
        emit finish(xq::kOptRead, false);
        return;
    }

    std::vector<uint8_t> buffer(size_t(nLength), 0);
    int rc = ctrl.ReadFlashData(buffer.data(), nLength, nStartAddr, [&](int p) { emit progress(95 * p / 100 + 1); });
    bool bOk = false;
    if (rc == 0) {
        emit progress(96);
        emit log(tr("完成读取Flash，准备存储成文件"));
        // Written to a temporary file that replaces the target only when
        // complete: a failed save never destroys an earlier file.
        QSaveFile file(strSaveFile);
        if (!file.open(QIODevice::WriteOnly) ||
            file.write(reinterpret_cast<const char*>(buffer.data()), nLength) != nLength || !file.commit()) {
            rc = xq::kErrFileAccess;
        } else {
            emit progress(100);
            emit log(tr("文件存储成功"));
            bOk = true;
        }
    }
    if (bOk && bSeqId) {
        uint8_t record[kSerialLength] = {};
        rc = ctrl.ReadSecurity(record, kSerialLength, kSerialOffset);
        if (rc == 0) {
            nSeqId = (uint32_t(record[12]) << 24) | (uint32_t(record[13]) << 16) | (uint32_t(record[14]) << 8) |
                     record[15];
            emit seqId(nSeqId);
            emit log(SeqLine(tr("当前序列号:"), nSeqId));
        } else {
            bOk = false;
        }
    }
    ReportError(rc);
    emit finish(xq::kOptRead, bOk);
}
