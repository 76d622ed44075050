#include "worker.h"

#include <deviceinfo.h>
#include <flashrules.h>
#include <flashrange.h>
#include <results.h>
#include <spiflashctrl.h>

#include <QThread>

#include <vector>

namespace {

const static_data_hdr& RecordHeader(const StaticWriteRequest& request)
{
    return *reinterpret_cast<const static_data_hdr*>(request.record.constData());
}
}  // namespace

Worker::Worker(QObject* pParent) : QObject(pParent)
{
    qRegisterMetaType<StaticWriteRequest>();
    qRegisterMetaType<StaticReadRequest>();
    qRegisterMetaType<OperationReport>();
}

namespace {
// Status register 1: the busy and write enable bits, which a write never sets
// for good, and the protection bits compared after putting them back.
constexpr uint8_t kStatusWriteBits = 0x03;
constexpr uint8_t kProtectionBits = 0xFC;

// The bytes the header search reads: the length rounded up to whole sectors.
int64_t SearchedLength(int32_t nLength)
{
    return xq::SectorCeil(qMax(nLength, 1));
}
}  // namespace

QString Worker::AreaOutsideFlash(const FlashInfo* pInfo, int64_t nStart, int64_t nLength)
{
    // The flash ignores the address bits above its size: a range past its
    // end lands on its first bytes, over the firmware.
    if (!pInfo || !xq::FlashSizeKnown(pInfo->nTotalSize))
        return QString();  // no size to go by: the read-back after the write decides
    if (xq::FlashRangeFits(nStart, nLength, pInfo->nTotalSize))
        return QString();
    const QString strLine = xq::FlashRangeRefusal(nStart, nLength, pInfo->nTotalSize);
    emit warning(strLine);
    return strLine;
}

int Worker::OpenProtection(int& rc)
{
    rc = xq::kOk;
    if (pSpiCtrl->ReadProtectBit() == 0)
        return -1;
    uint8_t nStatus = 0;
    rc = pSpiCtrl->ReadStatus(&nStatus);
    if (rc == 0)
        rc = pSpiCtrl->WriteStatus(kStatusTopHalfOpen);
    return rc == 0 ? int(nStatus & ~kStatusWriteBits) : int(kStatusAllProtected);
}

bool Worker::RestoreProtection(int nStatus)
{
    if (nStatus < 0)
        return true;
    uint8_t nBack = 0;
    if (pSpiCtrl->WriteStatus(uint8_t(nStatus)) == 0 && pSpiCtrl->ReadStatus(&nBack) == 0 &&
        (nBack & kProtectionBits) == (nStatus & kProtectionBits))
        return true;
    emit log(tr("FLASH写保护恢复失败"));
    return false;
}

int32_t Worker::FindWriteOffset(const StaticWriteRequest& request)
{
    emit log(tr("查找静态数据标识..."));
    emit progress(10);
    int32_t nOffset = 0;
    pSpiCtrl->SearchHeader(request.nStart, request.nTotal, &nOffset);
    if (nOffset == xq::kNotFound) {
        emit log(tr("未找到静态数据标识!"));
        emit log(tr("准备写入%1静态数据...").arg(request.bCurrent ? tr("当前") : tr("默认")));
    } else {
        emit log(tr("找到静态数据标识"));
    }
    return RecordWriteOffset(nOffset, int32_t(RecordHeader(request).nUsedLength));
}

int Worker::WriteRecord(const StaticWriteRequest& request, int32_t nEraseStart, int32_t nEraseLength,
                        int32_t nWriteOffset)
{
    SpiFlashCtrl& ctrl = *pSpiCtrl;
    const auto* pRecord = reinterpret_cast<const uint8_t*>(request.record.constData());
    const int nRecord = int(RecordHeader(request).nUsedLength) + kStaticHeaderSize;
    emit progress(30);
    emit log(tr("擦除原有静态数据..."));
    xq::FlashLoss loss;
    int rc = ctrl.EraseExact(nEraseStart, nEraseLength, &loss, [this](int p) { emit progress(30 + p * 40 / 100); });
    if (rc != 0) {
        if (loss.Any())
            emit log(xq::FlashLossText(loss));
        return rc;
    }
    emit log(tr("擦除完成"));
    emit progress(70);
    emit log(tr("写入静态数据..."));
    rc = ctrl.ProgramFlash(request.nStart + nWriteOffset, pRecord, nRecord, true,
                           [this](int p) { emit progress(70 + p * 30 / 100); });
    if (rc != 0)
        return rc;
    // Read the record back: a flash that did not take it (no flash
    // answering, a dead sector, a lost adapter) must not pass as written.
    std::vector<uint8_t> expected(pRecord, pRecord + nRecord);
    SpiFlashCtrl::SwapWords(expected.data(), nRecord);
    std::vector<uint8_t> readBack(size_t(nRecord), 0);
    rc = ctrl.ReadFlashData(readBack.data(), nRecord, request.nStart + nWriteOffset);
    if (rc == 0 && readBack != expected)
        rc = xq::kErrRepairFailed;
    return rc;
}

void Worker::OnWrite(const StaticWriteRequest& request)
{
    OperationReport record;
    record.strOperation = "static write";
    record.strFile = request.strWorkbook;
    record.nStart = request.nStart;
    record.nSize = request.nTotal;
    record.SetData(request.record);
    // The identification, with the flash's unique id for the record.
    FlashInfo info;
    const bool bInfo = pSpiCtrl->ReadFlashInfo(&info) == 0;
    if (bInfo)
        DescribeFlash(info, record);

    const int rc = RunWrite(request, bInfo ? &info : nullptr, record);
    if (rc == 0) {
        record.SetResult(true, rc, tr("写入完成"));
    } else if (rc != xq::kErrEndedAndReported) {  // a refusal is logged and reported already
        record.SetResult(false, rc, xq::ResultText(rc, pSpiCtrl->AdapterErrorText()));
        emit log(record.strMessage);
        if (rc == xq::kErrStopped)
            emit log(tr("静态数据区的数据不完整，请重新写入"));
    }
    emit report(record);
    emit finish(xq::kOptWrite, rc == 0);
}

int Worker::RunWrite(const StaticWriteRequest& request, const FlashInfo* pInfo, OperationReport& record)
{
    SpiFlashCtrl& ctrl = *pSpiCtrl;
    const int32_t nStartAddr = request.nStart;
    const static_data_hdr& header = RecordHeader(request);
    // The area as the search reads it (whole sectors) must lie inside the flash.
    const QString strSearchOutside = AreaOutsideFlash(pInfo, nStartAddr, SearchedLength(request.nTotal));
    if (!strSearchOutside.isEmpty()) {
        emit log(strSearchOutside);
        record.Refuse(xq::kErrBadArgument, strSearchOutside);
        return xq::kErrEndedAndReported;
    }
    const int32_t nWriteOffset = FindWriteOffset(request);

    // The whole area is erased (and the new record's place, which may reach
    // past a small area): a part left out could hold the old record, which
    // the new one would then be programmed over. The bytes outside it in its
    // first and last sector are put back (EraseExact); those sectors must
    // lie inside the flash.
    const int nRecord = int(header.nUsedLength) + kStaticHeaderSize;
    const int64_t nAreaEnd = int64_t(nStartAddr) + qMax<int64_t>(header.nTotalSize, int64_t(nWriteOffset) + nRecord);
    const int32_t nEraseStart = nStartAddr;
    const int64_t nEraseEnd = nAreaEnd;
    const QString strOutside =
        AreaOutsideFlash(pInfo, xq::SectorBase(nEraseStart), xq::SectorCeil(nEraseEnd) - xq::SectorBase(nEraseStart));
    if (!strOutside.isEmpty()) {
        emit log(strOutside);
        record.Refuse(xq::kErrBadArgument, strOutside);
        return xq::kErrEndedAndReported;
    }

    int rc = xq::kOk;
    const int nProtection = OpenProtection(rc);
    if (rc == 0)
        rc = WriteRecord(request, nEraseStart, int32_t(nEraseEnd - nEraseStart), nWriteOffset);
    // The protection comes back on every path, a failed write included.
    if (!RestoreProtection(nProtection) && rc == 0)
        rc = xq::kErrRepairFailed;
    if (rc == 0) {
        emit log(tr("写入完成"));
        ctrl.SoftReset(false);
        emit progress(100);
    }
    return rc;
}

void Worker::OnRead(const StaticReadRequest& request)
{
    SpiFlashCtrl& ctrl = *pSpiCtrl;
    OperationReport record;
    record.strOperation = "static read";
    record.nStart = request.nStart;
    record.nSize = request.nTotal;
    emit log(tr("查找静态数据标识..."));
    emit progress(10);
    FlashInfo info;
    const bool bInfo = ctrl.ReadFlashInfo(&info) == 0;
    const QString strOutside = AreaOutsideFlash(bInfo ? &info : nullptr, request.nStart, SearchedLength(request.nTotal));
    if (!strOutside.isEmpty()) {
        emit log(strOutside);
        record.Refuse(xq::kErrBadArgument, strOutside);
        emit report(record);
        emit finish(xq::kOptRead, false);
        return;
    }
    const int nCapacity = qMax(request.nTotal, 0) + kStaticHeaderSize;
    std::vector<uint8_t> buffer(size_t(nCapacity), 0);
    int32_t nOffset = 0;
    const int rc = ctrl.SearchHeader(request.nStart, request.nTotal, &nOffset, buffer.data(), nCapacity);
    const auto* pFound = reinterpret_cast<const static_data_hdr*>(buffer.data());
    bool bOk = false;
    if (rc != 0) {
        record.SetResult(false, rc, xq::ResultText(rc, ctrl.AdapterErrorText()));
        emit log(record.strMessage);
    } else if (nOffset == xq::kNotFound) {
        emit progress(40);
        QThread::msleep(ulong(nNotFoundPauseMs));
        record.SetResult(false, rc, tr("未找到静态数据标识!"));
        emit log(record.strMessage);
        emit progress(80);
    } else {
        emit log(tr("找到静态数据标识 %1").arg(nOffset));
        emit progress(40);
        if (request.nLayoutLength <= 0) {
            // Nothing to show the values in: the read has not delivered them.
            record.SetResult(false, rc, tr("未导入配置，无法显示数据"));
            emit log(record.strMessage);
        } else {
            emit send(pFound);
            // A record too long to be copied leaves the buffer zero, so its
            // used length differs from the layout's as well.
            if (pFound->nUsedLength != uint32_t(request.nLayoutLength)) {
                record.SetResult(false, rc, tr("显示数据异常，请查看导入配置是否正确"));
                emit log(record.strMessage);
            } else {
                const int nRecord = kStaticHeaderSize + request.nLayoutLength;
                if (nRecord <= nCapacity)
                    record.SetData(QByteArray(reinterpret_cast<const char*>(buffer.data()), nRecord));
                record.SetResult(true, rc, tr("刷新当前数据"));
                emit log(record.strMessage);
                bOk = true;
            }
        }
        emit progress(80);
    }
    emit progress(100);
    emit report(record);
    emit finish(xq::kOptRead, bOk);
}
