#include "worker.h"

#include <resultcodes.h>
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

void Worker::OnWrite()
{
    SpiFlashCtrl& ctrl = *pSpiCtrl;
    emit log(tr("查找静态数据标识..."));
    emit progress(10);
    int32_t nOffset = 0;
    ctrl.SearchHeader(nStartAddr, nTotalSize, &nOffset);
    if (nOffset == -1) {
        emit log(tr("未找到静态数据标识!"));
        emit log(tr("准备写入%1静态数据...").arg(bCurrent ? tr("当前") : tr("默认")));
    } else {
        emit log(tr("找到静态数据标识"));
    }
    const int32_t nUsed = int32_t(pStaticData->nUsedLength);
    const int32_t nWriteOffset = RecordWriteOffset(nOffset, nUsed);

    const bool bProtected = ctrl.ReadProtectBit() != 0;
    if (bProtected)
        ctrl.WriteStatus(kStatusTopHalfOpen);
    emit progress(30);
    emit log(tr("擦除原有静态数据..."));
    int rc = ctrl.EraseFlash(nStartAddr & int32_t(0xFFFFF000), int32_t(pStaticData->nTotalSize),
                             [this](int p) { emit progress(30 + p * 40 / 100); });
    if (rc == 0) {
        emit log(tr("擦除完成"));
        emit progress(70);
        emit log(tr("写入静态数据..."));
        rc = ctrl.ProgramFlash(nStartAddr + nWriteOffset, reinterpret_cast<const uint8_t*>(pStaticData),
                               nUsed + kStaticHeaderSize, true, [this](int p) { emit progress(70 + p * 30 / 100); });
    }
    if (rc == 0) {
        // Read the record back: a flash that did not take it (no flash
        // answering, a dead sector, a lost adapter) must not pass as written.
        const int nRecord = nUsed + kStaticHeaderSize;
        std::vector<uint8_t> expected(reinterpret_cast<const uint8_t*>(pStaticData),
                                      reinterpret_cast<const uint8_t*>(pStaticData) + nRecord);
        SpiFlashCtrl::SwapWords(expected.data(), nRecord);
        std::vector<uint8_t> readBack(size_t(nRecord), 0);
        rc = ctrl.ReadFlashData(readBack.data(), nRecord, nStartAddr + nWriteOffset);
        if (rc == 0 && readBack != expected) {
            emit log(tr("校验失败"));
            rc = xq::kErrRepairFailed;
        }
    }
    bool bOk = false;
    if (rc == 0) {
        if (bProtected)
            ctrl.WriteStatus(kStatusAllProtected);
        emit log(tr("写入完成"));
        ctrl.SoftReset(false);
        emit progress(100);
        bOk = true;
    } else if (rc == xq::kErrFlashBusyTimeout || rc == xq::kErrFlashBusyAtStart) {
        emit log(tr("发生超时 %1").arg(rc));
    } else if (rc != xq::kErrRepairFailed) {
        emit log(tr("未知错误 %1").arg(rc));
    }
    FreeRecord();
    emit finish(1, bOk);
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
    bool bOk = false;
    if (rc != 0) {
        bOk = false;
    } else if (nOffset == -1) {
        emit progress(40);
        QThread::msleep(ulong(nNotFoundPauseMs));
        emit log(tr("未找到静态数据标识!"));
        emit progress(80);
    } else {
        emit log(tr("找到静态数据标识 %1").arg(nOffset));
        emit progress(40);
        emit send(reinterpret_cast<const static_data_hdr*>(buffer.data()));
        emit log(tr("刷新当前数据"));
        emit progress(80);
        bOk = true;
    }
    emit progress(100);
    emit finish(0, bOk);
}
