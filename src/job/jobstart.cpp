// How a run of a production job starts and ends (jobstart.h).
#include "jobstart.h"

#include <operationreport.h>
#include <results.h>

bool JobStart::Load(const QString& strPath, QString& strError, const QByteArray* pOpened)
{
    if (!JobRules::Prepare(strPath, m_plan, strError))
        return false;
    if (pOpened && m_plan.jobSha256 != *pOpened) {
        strError = JobRules::Changed(m_plan.strPath, *pOpened, m_plan.jobSha256);
        return false;
    }
    return true;
}

bool JobStart::PrepareSerials(SerialSource* pGiven, int nChips, QString& strError)
{
    m_pSerials = nullptr;
    if (!m_plan.write.bSerial)
        return true;
    if (!pGiven && !m_counter.Init(m_plan.strCounterFile, m_plan.nFirstSerial, strError, nChips))
        return false;
    m_pSerials = pGiven ? pGiven : &m_counter;
    return true;
}

bool JobStart::Run(SpiFlashCtrl& ctrl, const JobSink& sink)
{
    JobSink noted = sink;
    noted.report = [this, &sink](const OperationReport& report) {
        if (report.nCode == xq::kErrStopped)
            m_bStopped = true;
        if (sink.report)
            sink.report(report);
    };
    return RunJobSteps(ctrl, m_plan, m_pSerials, noted);
}

int64_t JobStart::NextSerial() const
{
    return m_pSerials && !m_bStopped ? m_pSerials->NextFree() : -1;
}
