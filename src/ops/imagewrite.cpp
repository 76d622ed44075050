// The image write: reset, identify and range check, erase, program plain,
// encrypted or only the changed sectors, verify with sector repair,
// protect, serial number, reset. Also the erase alone with its blank check.
#include "imageops.h"
#include "session.h"

#include <chipdefs.h>
#include <commontexts.h>
#include <deviceinfo.h>
#include <flashrules.h>
#include <requestmarkers.h>
#include <results.h>
#include <spiflashctrl.h>

#include <algorithm>

namespace {
constexpr uint8_t kProtectAll = xq::flash::kStatusAllProtected;
// An erase-only run spreads its progress over the erase and reaches 100 at
// its end; the blank check after it leaves the bar there.
constexpr int kEraseOnlySpan = 99;

const uint8_t* ImageBytes(const ImageWriteRequest& request)
{
    return reinterpret_cast<const uint8_t*>(request.image.constData());
}
}  // namespace

int ImageWrite::Run(const ImageWriteRequest& request, OperationReport& record)
{
    m_nStopPoint = xq::kStopBeforeChange;
    record.strOperation = request.image.isEmpty() ? "erase" : "write";
    record.strImage = request.strImage;
    record.nStart = request.nStart;
    record.nSize = request.image.isEmpty() ? request.nEraseBytes : request.image.size();
    if (!request.image.isEmpty())
        record.SetData(request.image);
    const int rc = RunWrite(request, record);
    ReportError(rc);
    if (rc == xq::kErrStopped)
        Log(xq::StopLines(xq::StopEnding(m_nStopPoint)));
    if (record.eResult != OperationReport::kResultRefused)
        record.SetResult(rc == 0, rc, rc == 0 ? record.strMessage : xq::ResultText(rc, m_ctrl.AdapterErrorText()));
    return rc;
}

int ImageWrite::RunWrite(const ImageWriteRequest& request, OperationReport& record)
{
    SpiFlashCtrl& ctrl = m_ctrl;
    const bool bImage = !request.image.isEmpty();

    Log(tr("执行复位 %1!").arg(xq::SucceededWord(ctrl.SoftReset(false) == 0)));
    int rc = CheckImageFits(request, record);
    const bool bSmart = request.bSmart && bImage && !IsEncryptedImage(ImageBytes(request), request.image.size());
    if (bSmart) {
        if (rc == xq::kOk)
            rc = SmartWriteImage(request, record);
    } else if (request.bSmart && bImage) {
        // The chip's encrypted programming needs erased flash under the whole image.
        Log(tr("加密镜像不能智能烧写，按文件大小擦除后烧写"));
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
    const int nReset = ctrl.SoftReset(true);
    Log(tr("执行复位 %1!").arg(xq::SucceededWord(nReset == 0)));
    Progress(100);
    // A chip that does not answer the closing reset (no XQ chip behind the
    // adapter, a link that broke) is not a finished write, though its flash
    // verified.
    return rc != xq::kOk ? rc : nReset;
}

// Reads the identification (with the flash's unique id for the record) and
// refuses an image that would run past the end of the flash.
int ImageWrite::CheckImageFits(const ImageWriteRequest& request, OperationReport& record)
{
    Session session(m_ctrl, m_observer);
    const FlashFound found = session.Identify(record);
    const bool bImage = !request.image.isEmpty();
    m_nFlashSize = found.Size();
    if (!found.SizeKnown())
        Log(xq::FlashInfoFailedText());
    // An image is verified against the flash afterwards; an erase alone has
    // nothing to prove it took place when no flash answers at all.
    if (!found.Answered() && !bImage) {
        record.Refuse(xq::kErrBadArgument, xq::FlashInfoFailedText());
        return xq::kEndedAndReported;
    }
    // The image and the given erase size, from the start address.
    if (bImage || request.nEraseBytes > 0) {
        if (const int rc = session.CheckRange(request.nStart, RangeLength(request), m_nFlashSize, record); rc != xq::kOk)
            return rc;
    }
    if (bImage && IsEncryptedImage(ImageBytes(request), request.image.size()) &&
        FlashOps::EncryptedPartMissing(ImageBytes(request), request.image.size())) {
        // Refused before the chip is changed; the result line follows its cause.
        const QString strLine = tr("加密镜像太小，没有加密部分: %1 字节").arg(request.image.size());
        Log(strLine);
        Log(xq::ResultText(xq::kErrModeChange));
        record.Refuse(xq::kErrModeChange, strLine);
        return xq::kEndedAndReported;
    }
    if (request.image.isEmpty() && request.nEraseBytes == xq::kWholeChip && m_nFlashSize > 0)
        record.nSize = m_nFlashSize;
    return xq::kOk;
}

int64_t ImageWrite::RangeLength(const ImageWriteRequest& request)
{
    return qMax<int64_t>(request.image.size(), qMax(request.nEraseBytes, 0));
}

QString ImageWrite::SerialUnconfirmedText(uint32_t nSerial)
{
    return tr("序列号 %1 可能已写入，未能确认").arg(nSerial);
}

QString ImageWrite::RangeRefusal(const ImageWriteRequest& request, uint32_t nFlashSize)
{
    const int64_t nLength = RangeLength(request);
    if (xq::FlashRangeFits(request.nStart, nLength, nFlashSize))
        return QString();
    return xq::FlashRangeRefusal(request.nStart, nLength, nFlashSize);
}

int ImageWrite::PrepareFlash()
{
    SpiFlashCtrl& ctrl = m_ctrl;
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
    if (rc != xq::kErrStopped)
        Log(tr("解除Flash写保护失败"));
    return rc != 0 ? rc : xq::kEndedAndReported;
}

int ImageWrite::ProtectFlash()
{
    // The status register read back is the proof: the line only when the
    // protection bits hold.
    int rc = m_ctrl.WriteStatus(kProtectAll);
    uint8_t nStatus = 0;
    if (rc == 0)
        rc = m_ctrl.ReadStatus(&nStatus);
    if (rc != 0 || (nStatus & kProtectAll) != kProtectAll) {
        if (rc != xq::kErrStopped)
            Log(tr("FLASH写保护设置失败"));
        return rc != 0 ? rc : xq::kEndedAndReported;
    }
    Log(tr("FLASH已写保护"));
    return xq::kOk;
}

int ImageWrite::SmartWriteImage(const ImageWriteRequest& request, OperationReport& record)
{
    SpiFlashCtrl& ctrl = m_ctrl;
    Log(tr("正在智能烧写..."));
    int rc = PrepareFlash();
    if (rc != 0)
        return rc;
    SmartWriteCounts counts;
    xq::FlashLoss loss;
    rc = ctrl.SmartWrite(
        request.nStart, ImageBytes(request), request.image.size(), &counts,
        [&](int p) { Progress(98 * p / 100 + 1); }, &loss);
    LogLoss(rc, loss);
    if (counts.nErased + counts.nProgrammed > 0)  // (what it was about to change, when stopped)
        m_nStopPoint = xq::kStopWhileChanging;
    // The counts are known once the range has been read, also when a later step fails.
    if (counts.nErased + counts.nProgrammed + counts.nSkipped > 0) {
        Log(tr("擦除%1个扇区，仅编程%2个扇区，跳过%3个未变化的扇区")
                     .arg(counts.nErased)
                     .arg(counts.nProgrammed)
                     .arg(counts.nSkipped));
    }
    if (rc == xq::kErrRepairFailed)
        Log(tr("校验失败，请重新烧写"));
    else if (rc != xq::kErrStopped)
        Log(tr("烧写%1").arg(xq::SucceededWord(rc == 0)));
    if (rc != 0)
        return rc;
    record.strMessage = tr("校验成功");
    Log(record.strMessage);
    Progress(99);
    m_nStopPoint = xq::kStopBeforeProtect;
    return request.bProtect ? ProtectFlash() : xq::kOk;
}

int ImageWrite::EraseForWrite(const ImageWriteRequest& request, OperationReport& record, int nEraseSpan)
{
    SpiFlashCtrl& ctrl = m_ctrl;
    Log(tr("正在擦除"));
    int rc = PrepareFlash();
    if (rc != 0)
        return rc;

    // The whole sectors from the start address rounded down through the
    // end of the erase size rounded up (EraseRange), so the image always
    // lands on erased flash.
    // A stop asked for while the flash was prepared ends the run here, with the chip unchanged.
    if (ctrl.StopRequested())
        return xq::kErrStopped;
    m_nStopPoint = xq::kStopWhileChanging;
    rc = ctrl.EraseRange(request.nStart, request.nEraseBytes, [&](int p) { Progress(nEraseSpan * p / 100 + 1); });
    if (rc != 0)
        return rc;
    record.strMessage = xq::EraseDoneText();
    Log(record.strMessage);
    Progress(nEraseSpan + 1);
    if (request.image.isEmpty())
        m_nStopPoint = xq::kStopBeforeEraseCheck;
    return xq::kOk;
}

// Programs the image (plainly, or encrypted when it asks for it), verifies a
// plain one with sector repair, and protects the flash when asked.
int ImageWrite::ProgramImage(const ImageWriteRequest& request, OperationReport& record)
{
    SpiFlashCtrl& ctrl = m_ctrl;
    const uint8_t* pData = ImageBytes(request);
    const int32_t nSize = request.image.size();
    const int32_t nStartAddr = request.nStart;
    const bool bEncrypted = IsEncryptedImage(pData, nSize);
    int rc = 0;
    if (bEncrypted) {
        Log(tr("正在加密烧写镜像..."));
        rc = ctrl.ProgramFlashEncrypted(nStartAddr, pData, nSize, false, [&](int p) { Progress(75 * p / 100 + 25); });
    } else {
        Log(tr("正在烧写镜像..."));
        ctrl.SetMode(xq::port::kModeFlash);
        // Pages of 0xFF are left as the erase left them; the verify reads them too.
        rc = ctrl.ProgramFlashSkipBlank(nStartAddr, pData, nSize, [&](int p) { Progress(65 * p / 100 + 25); });
    }
    if (rc != xq::kErrStopped)
        Log(tr("烧写%1").arg(xq::SucceededWord(rc == 0)));
    if (rc != 0)
        return rc;
    m_nStopPoint = bEncrypted ? xq::kStopBeforeProtect : xq::kStopBeforeVerify;
    if (bEncrypted) {
        Progress(99);
        record.strMessage = tr("烧写成功");
    } else {
        Progress(89);
        Log(VerifyingText());
        xq::FlashLoss loss;
        rc = ctrl.VerifyFlash(
            pData, nSize, nStartAddr, [&](int p) { Progress(9 * p / 100 + 90); }, &loss);
        LogLoss(rc, loss);
        if (rc != 0) {
            if (rc != xq::kErrStopped)
                Log(tr("校验失败，请重新烧写"));
            return rc;
        }
        record.strMessage = tr("校验成功");
        Log(record.strMessage);
        m_nStopPoint = xq::kStopBeforeProtect;
    }
    if (request.bProtect)
        return ProtectFlash();
    return xq::kOk;
}

int ImageWrite::BlankCheck(const ImageWriteRequest& request)
{
    // An erase alone is proven by reading what it erased back (its whole
    // sectors): every byte 0xFF.
    const int32_t nStart = request.nEraseBytes > 0 ? xq::SectorBase(request.nStart) : 0;
    const int64_t nLength = request.nEraseBytes > 0
                                ? xq::SectorCeil(int64_t(request.nStart) + request.nEraseBytes) - nStart
                                : int64_t(m_nFlashSize);
    Log(tr("正在检查擦除结果..."));
    if (nLength <= 0) {
        // A whole-chip erase of a flash that gave no size: nothing tells
        // which bytes to read, so the erase is not called a success.
        Log(tr("擦除检查失败: Flash容量未知"));
        return xq::kEndedAndReported;
    }
    OperationReport compared;
    const int rc = CompareFlash(nStart, int32_t(nLength), nullptr, 100, 100, compared);
    if (rc == xq::kOk) {
        Log(tr("擦除检查成功"));
        return xq::kOk;
    }
    if (rc != xq::kErrMismatch)
        return rc;
    Log(tr("擦除检查失败: 0x%1 处不是空白").arg(QString::number(compared.nFirstDifference, 16).toUpper()));
    return xq::kEndedAndReported;
}

// Stamps the request's serial number (or the counter's) into the security
// registers and announces the next one.
int ImageWrite::WriteSerialNumber(const ImageWriteRequest& request, OperationReport& record)
{
    SpiFlashCtrl& ctrl = m_ctrl;
    m_nStopPoint = xq::kStopBeforeSerial;
    uint32_t nSerial = request.nSerial;
    if (takeSerial && !takeSerial(nSerial)) {
        Log(tr("序列号写入失败"));
        return xq::kErrFileAccess;
    }
    uint8_t serial[kSerialLength];
    SerialRecord(nSerial, serial);
    int rc = ctrl.EraseSecurity(kSerialEraseOffset, kSerialEraseLength);
    if (rc == 0)
        rc = ctrl.ProgramSecurity(kSerialOffset, serial, kSerialLength);
    // The record as the chip holds it: read back after a failure, and after
    // a success when the request asks for the check.
    uint8_t stored[kSerialLength] = {};
    int nRead = xq::kErrStopped;  // not read
    if ((rc != 0 && rc != xq::kErrStopped) || (rc == 0 && request.bCheckSerial))
        nRead = ctrl.ReadSecurity(stored, kSerialLength, kSerialOffset);
    const bool bRead = nRead == 0;
    const bool bStored = bRead && std::equal(stored, stored + kSerialLength, serial);
    // A check that finds another record (or cannot read one) fails the stamp.
    const bool bDiffers = rc == 0 && request.bCheckSerial && bRead && !bStored;
    if (rc == 0 && request.bCheckSerial && !bStored)
        rc = bRead ? xq::kErrMismatch : nRead;
    if (rc != 0) {
        // The number was taken: its fate is said, never lost silently. A
        // program that reported a failure may still have stored it.
        if (rc != xq::kErrStopped)
            Log(tr("序列号写入失败"));
        if (bDiffers)
            Log(tr("回读的序列号记录与写入的不同: %1")
                    .arg(QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(stored), kSerialLength).toHex(' ').toUpper())));
        if (rc != xq::kErrStopped && !bRead) {
            // Nothing tells whether the program took: the number stays tied
            // to this chip in the report, marked as not confirmed.
            Log(SerialUnconfirmedText(nSerial));
            record.bSerial = true;
            record.bSerialUnconfirmed = true;
            record.nSerial = nSerial;
        } else if (bStored) {
            // On the chip all the same: the report carries it, the run still failed.
            Log(tr("序列号 %1 已在芯片上，但写入未正常结束").arg(nSerial));
            record.bSerial = true;
            record.nSerial = nSerial;
        } else {
            Log(tr("序列号 %1 未写入").arg(nSerial));
        }
        return rc;
    }
    Log(SeqLine(tr("写入序列号:"), nSerial));
    record.bSerial = true;
    record.nSerial = nSerial;
    m_observer.SerialShown(nSerial + 1);
    return rc;
}
