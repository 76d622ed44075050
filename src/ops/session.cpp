#include "session.h"

#include <commontexts.h>
#include <deviceinfo.h>
#include <flashrange.h>
#include <flashrules.h>
#include <results.h>
#include <spiflashctrl.h>
#include <tracefile.h>

int Session::Open(const QByteArray& strInterface, int nRateIndex)
{
    if (m_ctrl.IsOpen())
        return xq::kOk;
    return m_ctrl.Open(strInterface, nRateIndex);
}

QString Session::Refuse()
{
    const QString strLine = xq::InterfaceNotOpenText();
    m_observer.Log(strLine);
    const QString strWhy = m_ctrl.AdapterErrorText();  // the adapter library's reason
    if (!strWhy.isEmpty())
        m_observer.Log(strWhy);
    return strWhy.isEmpty() ? strLine : strLine + "\n" + strWhy;
}

bool Session::Close(bool bOk, OperationReport* pLast)
{
    // A simulated bench saves its chip here: a save that fails fails the run,
    // with the file and the reason.
    const int nClosed = m_ctrl.Close();
    const QString strWhy = m_ctrl.AdapterErrorText();
    if (nClosed == xq::kOk || (!bOk && strWhy.isEmpty()))
        return bOk;
    const QString strLine = xq::InterfaceCloseFailedLine(strWhy.isEmpty() ? xq::ResultText(nClosed) : strWhy);
    m_observer.Log(strLine);
    if (bOk && pLast)
        pLast->SetResult(false, nClosed, strLine);
    return false;
}

bool Session::Trace(const TraceFile* pTrace, const QList<OperationReport>& reports)
{
    if (!pTrace)
        return true;
    bool bAll = true;
    for (const OperationReport& report : reports) {
        QString strError;
        if (!pTrace->Append(report, strError)) {
            m_observer.Log(xq::TraceRowLostLine(strError));
            bAll = false;
        }
    }
    return bAll;
}

bool Session::Run(const QByteArray& strInterface, int nRateIndex, const std::function<bool()>& fn,
                  OperationReport& report)
{
    const int nOpen = Open(strInterface, nRateIndex);
    if (nOpen != xq::kOk) {
        // Nothing was sent to the chip: a refusal, not a failure.
        report.Refuse(nOpen, Refuse());
        return false;
    }
    return Close(fn(), &report);
}

bool FlashFound::SizeKnown() const
{
    return Answered() && xq::FlashSizeKnown(info.nTotalSize);
}

FlashFound Session::Identify(OperationReport& report)
{
    FlashFound found;
    found.nResult = m_ctrl.ReadFlashInfo(&found.info);
    if (found.Answered())
        DescribeFlash(found.info, report);
    return found;
}

int Session::CheckRange(int64_t nStart, int64_t nLength, uint32_t nFlashSize, OperationReport& report,
                        RangeNeed eNeed)
{
    const bool bEmptyRefused = eNeed == kBytesNeeded && nLength <= 0;
    if (!bEmptyRefused && (nFlashSize == 0 || xq::FlashRangeFits(nStart, nLength, nFlashSize)))
        return xq::kOk;
    const QString strLine = xq::FlashRangeRefusal(nStart, nLength, nFlashSize);
    m_observer.Log(strLine);
    m_observer.Warning(strLine);
    report.Refuse(xq::kErrBadArgument, strLine);
    return xq::kEndedAndReported;
}

QString Session::ResultLine(Outcome eOutcome, const QString& strInterface)
{
    const QString strWord = eOutcome == Outcome::kNotRun ? xq::NotRunWord() : xq::SucceededWord(eOutcome == Outcome::kOk);
    if (strInterface.isEmpty())
        return tr("结果: %1").arg(strWord);
    return tr("结果: %1, 接口: %2").arg(strWord, strInterface);
}
