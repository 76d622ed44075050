// The verify and the blank check: they read and compare, and never erase or program.
#include "imageops.h"
#include "session.h"

#include <deviceinfo.h>
#include <flashrules.h>
#include <requestmarkers.h>
#include <results.h>
#include <spiflashctrl.h>

int ImageVerify::Run(const ImageVerifyRequest& request, OperationReport& record)
{
    const bool bBlank = request.image.isEmpty();
    record.strOperation = bBlank ? "blank" : "verify";
    record.strImage = request.strImage;
    record.nStart = request.nStart;
    record.nSize = bBlank ? request.nLength : request.image.size();
    if (!bBlank)
        record.SetData(request.image);
    const int rc = RunVerify(request, record);
    // A verify or blank check changes nothing on the chip; the stop's line
    // says so, or, after a write of the range, what that write left.
    if (rc == xq::kErrStopped)
        Log(xq::StopLines(request.bAfterWrite ? xq::StopEndingNotVerified(request.nStart, record.nSize)
                                              : xq::StopEnding(xq::kStopBeforeChange)));
    if (record.eResult != OperationReport::kResultRefused)
        record.SetResult(rc == 0, rc,
                         rc == 0 || !record.strMessage.isEmpty() ? record.strMessage
                                                                 : xq::ResultText(rc, m_ctrl.AdapterErrorText()));
    return rc;
}

int ImageVerify::RunVerify(const ImageVerifyRequest& request, OperationReport& record)
{
    const bool bBlank = request.image.isEmpty();
    const QString strEncrypted = VerifyRefusal(request.image);
    if (!strEncrypted.isEmpty()) {
        Log(strEncrypted);
        record.Refuse(xq::kErrBadArgument, strEncrypted);
        return xq::kErrBadArgument;
    }
    Log(bBlank ? tr("开始查空") : tr("开始校验(不擦除、不烧写): %1").arg(request.strImage));
    Progress(1);
    Session session(m_ctrl, m_observer);
    const FlashFound found = session.Identify(record);
    const int nInfo = found.nResult;
    // A flash that does not identify itself may read all 0xFF (or all 0)
    // whatever it holds: no comparison could be trusted.
    if (!found.SizeKnown()) {
        record.strMessage = NoFlashAnswerText();
        Log(record.strMessage);
        ReportError(nInfo);
        return nInfo != 0 ? nInfo : xq::kErrBadArgument;
    }
    int64_t nLength = bBlank ? request.nLength : request.image.size();
    if (bBlank && nLength == xq::kWholeChip)
        nLength = qMax<int64_t>(int64_t(found.Size()) - request.nStart, 0);
    record.nSize = nLength;
    // An empty range has nothing to compare: refused like one past the end.
    if (const int rc = session.CheckRange(request.nStart, nLength, found.Size(), record, Session::kBytesNeeded);
        rc != xq::kOk)
        return rc;
    Log(bBlank ? tr("正在查空...") : VerifyingText());
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
        record.strMessage = xq::ResultText(rc, m_ctrl.AdapterErrorText());
    if (rc != xq::kErrStopped)  // said with what the stop left, by Run
        Log(record.strMessage);
    if (rc == xq::kOk)
        Progress(100);
    return rc;
}
