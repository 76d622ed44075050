#include "worker.h"

#include <results.h>
#include <spiflashctrl.h>

#include <QThread>

#include <cstring>
#include <vector>

Worker::Worker(QObject* pParent) : QObject(pParent) {}

Worker::~Worker()
{
    FreeRecord();
}

void Worker::FreeRecord()
{
    delete[] reinterpret_cast<uint8_t*>(pStaticData);
    pStaticData = nullptr;
}

void Worker::SetRecord(const QByteArray& record)
{
    FreeRecord();
    auto* pBytes = new uint8_t[size_t(record.size())];
    std::memcpy(pBytes, record.constData(), size_t(record.size()));
    pStaticData = reinterpret_cast<static_data_hdr*>(pBytes);
}

bool Worker::AreaInsideFlash(SpiFlashCtrl& ctrl, int32_t nEraseStart, int64_t nEraseLength)
{
    // The flash ignores the address bits above its size: an erase that runs
    // past the end would go on at address 0, over the firmware. An area
    // named above the flash's size wraps as a whole and stays usable.
    FlashInfo info;
    if (ctrl.ReadFlashInfo(&info) != 0 || info.nTotalSize < kMinFlashSize || info.nTotalSize > kMaxFlashSize)
        return true;  // no size to go by: the read-back after the write decides
    const int64_t nFrom = nEraseStart & int64_t(info.nTotalSize - 1);
    if (nFrom + nEraseLength <= int64_t(info.nTotalSize))
        return true;
    emit log(tr("静态数据区超出Flash容量: 0x%1 + %2 字节, Flash %3 字节")
                 .arg(nEraseStart, 0, 16)
                 .arg(nEraseLength)
                 .arg(info.nTotalSize));
    return false;
}

int32_t Worker::FindWriteOffset()
{
    emit log(tr("查找静态数据标识..."));
    emit progress(10);
    int32_t nOffset = 0;
    pSpiCtrl->SearchHeader(nStartAddr, nTotalSize, &nOffset);
    if (nOffset == xq::kNotFound) {
        emit log(tr("未找到静态数据标识!"));
        emit log(tr("准备写入%1静态数据...").arg(bCurrent ? tr("当前") : tr("默认")));
    } else {
        emit log(tr("找到静态数据标识"));
    }
    return RecordWriteOffset(nOffset, int32_t(pStaticData->nUsedLength));
}

int Worker::WriteRecord(int32_t nEraseStart, int32_t nEraseLength, int32_t nWriteOffset)
{
    SpiFlashCtrl& ctrl = *pSpiCtrl;
    const int nRecord = int(pStaticData->nUsedLength) + kStaticHeaderSize;
    emit progress(30);
    emit log(tr("擦除原有静态数据..."));
    int rc = ctrl.EraseFlash(nEraseStart, nEraseLength, [this](int p) { emit progress(30 + p * 40 / 100); });
    if (rc != 0)
        return rc;
    emit log(tr("擦除完成"));
    emit progress(70);
    emit log(tr("写入静态数据..."));
    rc = ctrl.ProgramFlash(nStartAddr + nWriteOffset, reinterpret_cast<const uint8_t*>(pStaticData), nRecord, true,
                           [this](int p) { emit progress(70 + p * 30 / 100); });
    if (rc != 0)
        return rc;
    // Read the record back: a flash that did not take it (no flash
    // answering, a dead sector, a lost adapter) must not pass as written.
    std::vector<uint8_t> expected(reinterpret_cast<const uint8_t*>(pStaticData),
                                  reinterpret_cast<const uint8_t*>(pStaticData) + nRecord);
    SpiFlashCtrl::SwapWords(expected.data(), nRecord);
    std::vector<uint8_t> readBack(size_t(nRecord), 0);
    rc = ctrl.ReadFlashData(readBack.data(), nRecord, nStartAddr + nWriteOffset);
    if (rc == 0 && readBack != expected)
        rc = xq::kErrRepairFailed;
    return rc;
}

void Worker::OnWrite()
{
    SpiFlashCtrl& ctrl = *pSpiCtrl;
    const int32_t nUsed = int32_t(pStaticData->nUsedLength);
    const int32_t nWriteOffset = FindWriteOffset();

    // Every sector the area touches is erased, the whole area aligned
    // outward (and the new record's place, which may reach past a small
    // area): a sector left out could hold the old record, which the new one
    // would then be programmed over.
    const int nRecord = nUsed + kStaticHeaderSize;
    const int64_t nAreaEnd = int64_t(nStartAddr) + qMax<int64_t>(pStaticData->nTotalSize, int64_t(nWriteOffset) + nRecord);
    const int32_t nEraseStart = nStartAddr & ~int32_t(kStaticSector - 1);
    const int64_t nEraseEnd = (nAreaEnd + kStaticSector - 1) & ~int64_t(kStaticSector - 1);
    if (!AreaInsideFlash(ctrl, nEraseStart, nEraseEnd - nEraseStart)) {
        FreeRecord();
        emit finish(xq::kOptWrite, false);
        return;
    }

    const bool bProtected = ctrl.ReadProtectBit() != 0;
    if (bProtected)
        ctrl.WriteStatus(kStatusTopHalfOpen);
    const int rc = WriteRecord(nEraseStart, int32_t(nEraseEnd - nEraseStart), nWriteOffset);
    bool bOk = false;
    if (rc == 0) {
        if (bProtected)
            ctrl.WriteStatus(kStatusAllProtected);
        emit log(tr("写入完成"));
        ctrl.SoftReset(false);
        emit progress(100);
        bOk = true;
    } else {
        emit log(xq::ResultText(rc, ctrl.AdapterErrorText()));
        if (rc == xq::kErrStopped)
            emit log(tr("静态数据区的数据不完整，请重新写入"));
    }
    FreeRecord();
    emit finish(xq::kOptWrite, bOk);
}

void Worker::OnRead()
{
    SpiFlashCtrl& ctrl = *pSpiCtrl;
    emit log(tr("查找静态数据标识..."));
    emit progress(10);
    const int nCapacity = qMax(nTotalSize, 0) + kStaticHeaderSize;
    std::vector<uint8_t> buffer(size_t(nCapacity), 0);
    int32_t nOffset = 0;
    const int rc = ctrl.SearchHeader(nStartAddr, nTotalSize, &nOffset, buffer.data(), nCapacity);
    const auto* pFound = reinterpret_cast<const static_data_hdr*>(buffer.data());
    bool bOk = false;
    if (rc != 0) {
        emit log(xq::ResultText(rc, ctrl.AdapterErrorText()));
    } else if (nOffset == xq::kNotFound) {
        emit progress(40);
        QThread::msleep(ulong(nNotFoundPauseMs));
        emit log(tr("未找到静态数据标识!"));
        emit progress(80);
    } else {
        emit log(tr("找到静态数据标识 %1").arg(nOffset));
        emit progress(40);
        if (nLayoutLength <= 0) {
            // Nothing to show the values in: the read has not delivered them.
            emit log(tr("未导入配置，无法显示数据"));
        } else {
            emit send(pFound);
            // A record too long to be copied leaves the buffer zero, so its
            // used length differs from the layout's as well.
            if (pFound->nUsedLength != uint32_t(nLayoutLength)) {
                emit log(tr("显示数据异常，请查看导入配置是否正确"));
            } else {
                emit log(tr("刷新当前数据"));
                bOk = true;
            }
        }
        emit progress(80);
    }
    emit progress(100);
    emit finish(xq::kOptRead, bOk);
}
