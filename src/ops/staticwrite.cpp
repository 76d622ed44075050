#include "staticwrite.h"
#include "session.h"

#include <chipdefs.h>
#include <commontexts.h>
#include <deviceinfo.h>
#include <flashrange.h>
#include <flashrules.h>
#include <requestmarkers.h>
#include <results.h>
#include <spiflashctrl.h>
#include <staticrecord.h>

#include <vector>

namespace {

const static_data_hdr& RecordHeader(const StaticWriteRequest& request)
{
    return *reinterpret_cast<const static_data_hdr*>(request.record.constData());
}

// Status register 1: the busy and write enable bits, which a write never sets
// for good, and the protection bits compared after putting them back.
constexpr uint8_t kStatusWriteBits = 0x03;
constexpr uint8_t kProtectionBits = 0xFC;
// OpenProtection's answer when the flash was not protected: nothing to put back.
constexpr int kNothingToRestore = -1;
}  // namespace

int StaticWrite::OpenProtection(int& rc)
{
    rc = xq::kOk;
    if (m_ctrl.ReadProtectBit() == 0)
        return kNothingToRestore;
    uint8_t nStatus = 0;
    rc = m_ctrl.ReadStatus(&nStatus);
    if (rc == 0)
        rc = m_ctrl.WriteStatus(xq::flash::kStatusTopHalfOpen);
    return rc == 0 ? int(nStatus & ~kStatusWriteBits) : int(xq::flash::kStatusAllProtected);
}

bool StaticWrite::RestoreProtection(int nStatus)
{
    if (nStatus == kNothingToRestore)
        return true;
    uint8_t nBack = 0;
    if (m_ctrl.WriteStatus(uint8_t(nStatus)) == 0 && m_ctrl.ReadStatus(&nBack) == 0 &&
        (nBack & kProtectionBits) == (nStatus & kProtectionBits))
        return true;
    m_observer.Log(tr("FLASH写保护恢复失败"));
    return false;
}

int StaticWrite::FindWriteOffset(const StaticWriteRequest& request, int32_t& nWriteOffset)
{
    m_observer.Log(SearchingLine());
    m_observer.Progress(10);
    int32_t nOffset = 0;
    const int rc = m_ctrl.SearchHeader(request.nStart, request.nTotal, &nOffset);
    if (rc != 0)
        return rc;  // nothing erased yet: the chip is as it was
    if (nOffset == xq::kNotFound) {
        m_observer.Log(NotFoundLine());
        m_observer.Log(tr("准备写入%1静态数据...").arg(request.bCurrent ? tr("当前") : tr("默认")));
    } else {
        m_observer.Log(tr("找到静态数据标识"));
    }
    nWriteOffset = RecordWriteOffset(nOffset, int32_t(RecordHeader(request).nUsedLength));
    return xq::kOk;
}

int StaticWrite::WriteRecord(const StaticWriteRequest& request, int32_t nEraseStart, int32_t nEraseLength,
                             int32_t nWriteOffset)
{
    const auto* pRecord = reinterpret_cast<const uint8_t*>(request.record.constData());
    const int nRecord = int(RecordHeader(request).nUsedLength) + kStaticHeaderSize;
    m_observer.Progress(30);
    m_observer.Log(tr("擦除原有静态数据..."));
    if (m_observer.StopRequested() || m_ctrl.StopRequested())
        return xq::kErrStopped;
    m_bAreaChanged = true;
    int rc = m_ctrl.EraseRange(nEraseStart, nEraseLength, [this](int p) { m_observer.Progress(30 + p * 40 / 100); });
    if (rc != 0)
        return rc;
    m_observer.Log(xq::EraseDoneText());
    m_observer.Progress(70);
    m_observer.Log(tr("写入静态数据..."));
    rc = m_ctrl.ProgramFlash(request.nStart + nWriteOffset, pRecord, nRecord, true,
                             [this](int p) { m_observer.Progress(70 + p * 30 / 100); });
    if (rc != 0)
        return rc;
    // Read the record back: a flash that did not take it (no flash
    // answering, a dead sector, a lost adapter) must not pass as written.
    std::vector<uint8_t> expected(pRecord, pRecord + nRecord);
    SpiFlashCtrl::SwapWords(expected.data(), nRecord);
    std::vector<uint8_t> readBack(size_t(nRecord), 0);
    rc = m_ctrl.ReadFlashData(readBack.data(), nRecord, request.nStart + nWriteOffset);
    if (rc == 0 && readBack != expected)
        rc = xq::kErrRepairFailed;
    return rc;
}

int StaticWrite::Run(const StaticWriteRequest& request, OperationReport& record)
{
    m_bAreaChanged = false;
    record.strOperation = "static write";
    record.strFile = request.strWorkbook;
    record.nStart = request.nStart;
    record.nSize = request.nTotal;
    record.SetData(request.record);
    // The identification, with the flash's unique id for the record.
    const FlashFound found = Session(m_ctrl, m_observer).Identify(record);

    const int rc = RunWrite(request, found.Size(), record);
    if (rc == 0) {
        record.SetResult(true, rc, tr("写入完成"));
    } else if (rc != xq::kEndedAndReported) {  // a refusal is logged and reported already
        record.SetResult(false, rc, xq::ResultText(rc, m_ctrl.AdapterErrorText()));
        if (rc == xq::kErrStopped)
            m_observer.Log(xq::StopLines(m_bAreaChanged ? tr("静态数据区的数据不完整，请重新写入")
                                                        : xq::StopEnding(xq::kStopBeforeChange)));
        else
            m_observer.Log(record.strMessage);
    }
    return rc;
}

int64_t StaticWrite::AreaStart(const StaticWriteRequest& request)
{
    return xq::SectorBase(request.nStart);
}

int64_t StaticWrite::AreaEnd(const StaticWriteRequest& request, int32_t nWriteOffset)
{
    // Whole sectors from the start rounded down through the area's end (the
    // start plus the record's total size) rounded up, and further where the
    // new record would otherwise be programmed past them onto flash the
    // write did not erase. An area that does not start on a sector keeps no
    // unerased tail where an older record could be found.
    const static_data_hdr& header = RecordHeader(request);
    const int nRecord = int(header.nUsedLength) + kStaticHeaderSize;
    return qMax<int64_t>(xq::SectorCeil(int64_t(request.nStart) + qMax<int64_t>(header.nTotalSize, 1)),
                         xq::SectorCeil(int64_t(request.nStart) + nWriteOffset + nRecord));
}

QString StaticWrite::AreaRefusal(const StaticWriteRequest& request, uint32_t nFlashSize, int32_t nWriteOffset)
{
    const int64_t nSearched = SearchedLength(request.nTotal);
    if (!xq::FlashRangeFits(request.nStart, nSearched, nFlashSize))
        return xq::FlashRangeRefusal(request.nStart, nSearched, nFlashSize);
    const int64_t nEraseStart = AreaStart(request);
    const int64_t nEraseLength = AreaEnd(request, nWriteOffset) - nEraseStart;
    if (!xq::FlashRangeFits(nEraseStart, nEraseLength, nFlashSize))
        return xq::FlashRangeRefusal(nEraseStart, nEraseLength, nFlashSize);
    return QString();
}

QString StaticWrite::ProtectedAreaRefusal(const StaticWriteRequest& request, uint32_t nFlashSize)
{
    const int64_t nOpen = int64_t(nFlashSize) / 2;
    if (request.nStart >= nOpen)
        return QString();
    return tr("写保护时静态数据区须在Flash的上半部分 (0x%1 起): 0x%2")
        .arg(QString::number(nOpen, 16).toUpper(), QString::number(request.nStart, 16).toUpper());
}

int StaticWrite::RunWrite(const StaticWriteRequest& request, uint32_t nFlashSize, OperationReport& record)
{
    Session session(m_ctrl, m_observer);
    // The area as the search reads it (whole sectors) must lie inside the flash.
    if (const int rc = session.CheckRange(request.nStart, SearchedLength(request.nTotal), nFlashSize, record);
        rc != xq::kOk)
        return rc;
    int32_t nWriteOffset = 0;
    if (const int rc = FindWriteOffset(request, nWriteOffset); rc != 0)
        return rc;

    // The erased span (whole sectors holding the area and the new record)
    // must lie inside the flash.
    const int32_t nEraseStart = int32_t(AreaStart(request));
    const int64_t nEraseEnd = AreaEnd(request, nWriteOffset);
    if (const int rc = session.CheckRange(nEraseStart, nEraseEnd - nEraseStart, nFlashSize, record); rc != xq::kOk)
        return rc;

    int rc = xq::kOk;
    const int nProtection = OpenProtection(rc);
    if (rc == 0)
        rc = WriteRecord(request, nEraseStart, int32_t(nEraseEnd - nEraseStart), nWriteOffset);
    // A protected flash ends protected: after the record, the whole flash
    // (0x9C); after a failure, the status register as it was found.
    const int nBack = nProtection != kNothingToRestore && rc == 0 ? int(xq::flash::kStatusAllProtected) : nProtection;
    // A failed transfer leaves the adapter refusing until it is brought back.
    if (rc != 0 && rc != xq::kErrStopped && nProtection != kNothingToRestore)
        m_ctrl.Recover();
    if (!RestoreProtection(nBack) && rc == 0)
        rc = xq::kErrRepairFailed;
    if (rc == 0) {
        m_observer.Log(tr("写入完成"));
        m_ctrl.SoftReset(false);
        m_observer.Progress(100);
    }
    return rc;
}
