#include "clirunner.h"

#include <serialsource.h>

#include <QUuid>

#include "cliprogress.h"

#include <commontexts.h>
#include <results.h>
#include <session.h>
#include <spiflashctrl.h>
#include <textrules.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QThread>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <memory>
#include <vector>

// Keeps the reason of the first failed write to standard output: errno
// right after the failing call, before anything else can change it.
void CliOutput::NoteStdoutError()
{
    const int nErrno = errno;
    if (m_nStdoutErrno == 0 && std::ferror(stdout))
        m_nStdoutErrno = nErrno != 0 ? nErrno : EIO;
}

void CliOutput::Log(const QString& strPrefix, const QString& strLine)
{
    if (strLine.isEmpty())
        return;
    QMutexLocker lock(&m_mutex);
    const QString strStamp = xq::LogStamp();
    for (const QString& strPart : strLine.split('\n')) {
        const QString strStamped = strStamp + strPrefix + strPart;
        errno = 0;
        CliProgress::PrintLine(m_bJson ? stderr : stdout, strStamped.toUtf8().constData());
        if (!m_bJson)
            NoteStdoutError();
        m_runLog.Append(strStamped);
    }
}

void CliOutput::Print(const QString& strText)
{
    QMutexLocker lock(&m_mutex);
    std::FILE* pOut = m_bJson ? stderr : stdout;
    errno = 0;
    std::fputs(strText.toUtf8().constData(), pOut);
    std::fflush(pOut);
    if (!m_bJson)
        NoteStdoutError();
}

void CliOutput::PrintJsonLine(const QByteArray& line)
{
    QMutexLocker lock(&m_mutex);
    errno = 0;
    std::fputs(line.constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
    NoteStdoutError();
    ++m_nJsonPrinted;
}

void CliOutput::PrintJson(const QJsonObject& json)
{
    PrintJsonLine(QJsonDocument(json).toJson(QJsonDocument::Compact));
}

void CliOutput::PrintJson(const QJsonArray& json)
{
    PrintJsonLine(QJsonDocument(json).toJson(QJsonDocument::Compact));
}

void CliOutput::Record(const QString& strLine)
{
    m_runLog.Append(xq::LogStamp() + strLine);
}

Job::Job(CliOutput& out, std::shared_ptr<mpsse::Backend> pBackend, const QByteArray& strInterface, bool bGang,
         const QString& strOperation)
    : m_out(out), m_pBackend(std::move(pBackend)), m_strInterface(strInterface),
      m_strPrefix(bGang ? QString("[%1] ").arg(QString::fromUtf8(strInterface)) : QString())
{
    m_report.strOperation = strOperation;
    m_report.strInterface = QString::fromUtf8(strInterface);
}

void Job::SetProductionJob(const QString& strJob, const QByteArray& jobSha256)
{
    m_report.strJob = strJob;
    m_report.jobSha256 = jobSha256;
}

void Job::AddStepReport(const OperationReport& report)
{
    if (m_bStepReported)
        m_steps << m_report;
    const QString strInterface = m_report.strInterface;
    m_report = report;
    m_report.strInterface = strInterface;
    m_bStepReported = true;
}

void Job::SetProgress(int nPercent)
{
    if (m_pProgress)
        m_pProgress->Set(nPercent);
}

void Job::SetProgress(int nPercent, int64_t nTotal)
{
    if (!m_pProgress)
        return;
    // A write's share of its progress: erase up to 25 %, program up to 90 %, then verify.
    const QString& strOperation = m_report.strOperation;
    // The static record is a few sectors: a bar without phase or rate.
    if (strOperation.startsWith("static")) {
        m_pProgress->Set(nPercent);
        return;
    }
    const char* pPhase = "verify";
    if (strOperation == "write")
        pPhase = nPercent < 25 ? "erase" : nPercent < 90 ? "program" : "verify";
    else if (strOperation == "erase")
        pPhase = "erase";
    else if (strOperation == "read")
        pPhase = "read";
    m_pProgress->Set(nPercent, pPhase, nTotal);
}

void Job::TakeReport(const OperationReport& report)
{
    const QString strInterface = m_report.strInterface;
    m_report = report;
    m_report.strInterface = strInterface;
}

void Job::Execute(const JobFn& fn, int nRateIndex, const TraceFile* pTrace)
{
    QElapsedTimer timer;
    timer.start();
    SpiFlashCtrl ctrl(m_pBackend);
    QList<QByteArray> names;
    ctrl.SelectAdapter(names, 0);
    ctrl.SetStopFlag(&StopFlag());
    ctrl.SetBatchPrograms(m_bBatchPrograms);
    FunctionObserver observer([this](const QString& strLine) { Log(strLine); });
    Session session(ctrl, observer);
    m_bOk = session.Run(m_strInterface, nRateIndex, [&] { return fn(ctrl, *this); }, m_report);
    if (!m_bStepReported)  // the steps of a job timed themselves
        m_report.dSeconds = double(timer.elapsed()) / 1000.0;
    Conclude(session, pTrace);
    m_dSeconds = double(timer.elapsed()) / 1000.0;
}

// The job's result, as the command saw it, is the one reported; the report
// adds whether a failure was a refusal and the code.
void Job::Conclude(Session& session, const TraceFile* pTrace)
{
    if (m_bOk)
        m_report.eResult = OperationReport::kResultOk;
    else if (m_report.eResult == OperationReport::kResultOk)
        m_report.eResult = OperationReport::kResultFailed;
    for (OperationReport& step : m_steps)
        step.strInterface = m_report.strInterface;
    const QList<OperationReport> reports = m_steps + QList<OperationReport>{m_report};
    for (const OperationReport& report : reports)
        if (report.nCode == xq::kErrStopped)
            m_out.NoteStopped();
    // The result is decided: a signal from here on must leave it, its trace
    // row and its JSON object as they are. XQPROG_TEST_SIGNAL_AFTER_RESULT
    // (a signal number, for the tests only) raises one at this very moment.
    if (const int nSignal = qEnvironmentVariableIntValue("XQPROG_TEST_SIGNAL_AFTER_RESULT"); nSignal > 0)
        std::raise(nSignal);
    if (!session.Trace(pTrace, reports))
        m_bOk = false;
    if (m_pRecords) {
        const QString strRun = QUuid::createUuid().toString(QUuid::WithoutBraces);
        for (const OperationReport& report : reports) {
            QString strError;
            if (!m_pRecords->Record(report, strRun, strError)) {
                Log(strError);
                m_bOk = false;
            }
        }
    }
    if (m_out.Json()) {
        for (const OperationReport& report : reports) {
            QJsonObject json = report.ToJson();
            for (auto it = m_jsonExtra.constBegin(); it != m_jsonExtra.constEnd(); ++it)
                json[it.key()] = it.value();
            m_out.PrintJson(json);
        }
    }
    m_out.Record(Session::ResultLine(m_bOk ? Session::Outcome::kOk : Session::Outcome::kFailed,
                                     QString::fromUtf8(m_strInterface)));
}

int UsageError(const CliContext& ctx, const QString& strMessage)
{
    ctx.out.SetRefusal(strMessage);
    return UsageError(strMessage);
}

void LogNextSerial(CliContext& ctx, SerialSource* pSerials)
{
    if (pSerials && pSerials->NextFree() >= 0 && !ctx.out.Stopped())
        ctx.out.Log(QString(), xq::NextSerialLine(uint64_t(pSerials->NextFree())));
}

std::atomic<bool>& StopFlag()
{
    static std::atomic<bool> bStop{false};
    return bStop;
}

int RunJobs(CliContext& ctx, const QString& strOperation, const QList<QByteArray>& targets, const JobFn& fn)
{
    const bool bGang = targets.size() > 1;
    const int nRateIndex = ctx.globals.nRateIndex;
    std::unique_ptr<TraceFile> pTrace;
    if (!ctx.globals.strTrace.isEmpty()) {
        pTrace = std::make_unique<TraceFile>(ctx.globals.strTrace);
        // A trace that cannot take the rows is found before any chip is touched.
        QString strError;
        if (!pTrace->Check(strError))
            return UsageError(ctx, QCoreApplication::translate("xqprog", "追溯文件无法使用: %1").arg(strError));
    }
    std::vector<std::unique_ptr<Job>> jobs;
    for (const QByteArray& strName : targets) {
        jobs.push_back(std::make_unique<Job>(ctx.out, ctx.pBackend, strName, bGang, strOperation));
        jobs.back()->SetBatchPrograms(ctx.globals.bBatchPrograms);
        jobs.back()->SetRecordSink(ctx.pRecords);
        if (!ctx.strJob.isEmpty())
            jobs.back()->SetProductionJob(ctx.strJob, ctx.jobSha256);
    }
    if (!bGang) {
        CliProgress progress(!ctx.globals.bQuiet);
        jobs[0]->SetProgressBar(&progress);
        jobs[0]->Execute(fn, nRateIndex, pTrace.get());
        progress.Done();
        return jobs[0]->Ok() ? kExitOk : kExitFailed;
    }
    std::vector<std::unique_ptr<QThread>> threads;
    for (auto& pJob : jobs) {
        Job* p = pJob.get();
        const TraceFile* pTraceFile = pTrace.get();
        threads.emplace_back(QThread::create([p, &fn, nRateIndex, pTraceFile] { p->Execute(fn, nRateIndex, pTraceFile); }));
        threads.back()->start();
    }
    for (auto& pThread : threads)
        pThread->wait();
    bool bAll = true;
    // Columns by terminal width: the Chinese headings take two columns a character.
    auto row = [](const QString& strInterface, const QString& strResult, const QString& strSeconds) {
        return xq::PadToWidth(strInterface, 24) + " " + xq::PadToWidth(strResult, 8) + " " + strSeconds + "\n";
    };
    QString strTable = "\n" + row(QCoreApplication::translate("xqprog", "接口"), QCoreApplication::translate("xqprog", "结果"),
                                  QCoreApplication::translate("xqprog", "用时 (秒)"));
    for (auto& pJob : jobs) {
        const bool bOk = pJob->Ok();
        strTable += row(QString::fromUtf8(pJob->Interface()),
                        bOk ? QCoreApplication::translate("xqprog", "成功", "gang table")
                            : QCoreApplication::translate("xqprog", "失败", "gang table"),
                        QString::number(pJob->Seconds(), 'f', 2));
        bAll = bAll && bOk;
    }
    ctx.out.Print(strTable);
    return bAll ? kExitOk : kExitFailed;
}

bool RunOperation(Job& job, const std::function<int(OperationObserver&, OperationReport&)>& run)
{
    OperationReport report;
    FunctionObserver observer([&job](const QString& strLine) { job.Log(strLine); },
                              [&job, &report](int nPercent) { job.SetProgress(nPercent, report.nSize); });
    const int rc = run(observer, report);
    job.TakeReport(report);
    return rc == xq::kOk;
}
