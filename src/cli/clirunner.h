// How xqprog runs an operation: the output (log lines with the window's time
// stamp, also into the run log file) and one job per adapter, each with its
// own controller; several adapters run at once on threads of their own.
// Every job ends with an OperationReport: printed as one JSON object with
// --json, appended to the trace file with --trace.
#pragma once

#include "clioptions.h"

#include <operationreport.h>
#include <runlogfile.h>
#include <tracefile.h>

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QMutex>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>

class OperationObserver;
class Session;
class SpiFlashCtrl;
namespace mpsse {
class Backend;
}

// Standard output, standard error and the run log file, shared by the jobs
// of a gang run. With --json standard output carries only the JSON objects.
class CliOutput {
public:
    void SetJson(bool bJson) { m_bJson = bJson; }
    bool Json() const { return m_bJson; }
    // One log message, stamped, on standard output (standard error with
    // --json) and in the run log file; every line of a message of several
    // lines carries the stamp and prefix.
    void Log(const QString& strPrefix, const QString& strLine);
    // Text as it is, on standard output (standard error with --json).
    void Print(const QString& strText);
    // One JSON object (or array) on one line of standard output.
    void PrintJson(const QJsonObject& json);
    // One JSON array on one line of standard output.
    void PrintJson(const QJsonArray& json);
    int JsonPrinted() const { return m_nJsonPrinted; }
    // Why the command was refused before any adapter opened (UsageError).
    void SetRefusal(const QString& strWhy) { m_strRefusal = strWhy; }
    QString Refusal() const { return m_strRefusal; }
    // Whether an operation ended stopped on request (it has logged the
    // stop and what it left: xq::StopLines).
    void NoteStopped() { m_bStopped = true; }
    bool Stopped() const { return m_bStopped; }
    // The error of the first write to standard output that failed (0: none).
    int StdoutErrno() const { return m_nStdoutErrno; }
    // A stamped line in the run log file only.
    void Record(const QString& strLine);
    RunLogFile& RunLog() { return m_runLog; }

private:
    QMutex m_mutex;
    void PrintJsonLine(const QByteArray& line);
    void NoteStdoutError();

    RunLogFile m_runLog;
    bool m_bJson = false;
    int m_nJsonPrinted = 0;
    int m_nStdoutErrno = 0;
    QString m_strRefusal;
    std::atomic<bool> m_bStopped{false};
};

class CliProgress;
class Job;

// What a command does on one open adapter; true for success.
using JobFn = std::function<bool(SpiFlashCtrl&, Job&)>;

// One adapter's run of a command.
class Job {
public:
    // The adapter strInterface is opened on pBackend (null: real adapters).
    Job(CliOutput& out, std::shared_ptr<mpsse::Backend> pBackend, const QByteArray& strInterface, bool bGang,
        const QString& strOperation);
    // Tags every report of this run as a step of the production job.
    void SetProductionJob(const QString& strJob, const QByteArray& jobSha256);

    // Opens the adapter, runs fn on it, closes it, then reports the result
    // (JSON, trace row) and records it in the run log file.
    void Execute(const JobFn& fn, int nRateIndex, const TraceFile* pTrace);
    bool Ok() const { return m_bOk; }
    // The whole run on the adapter (open, every step, close), in seconds.
    double Seconds() const { return m_dSeconds; }
    void SetProgressBar(CliProgress* pProgress) { m_pProgress = pProgress; }
    void SetBatchPrograms(bool bBatch) { m_bBatchPrograms = bBatch; }
    // The line database that records every report too (null: none).
    void SetRecordSink(ChipRecordSink* pRecords) { m_pRecords = pRecords; }

    const QByteArray& Interface() const { return m_strInterface; }
    // A log line, with the interface in gang runs.
    void Log(const QString& strLine) { m_out.Log(m_strPrefix, strLine); }
    void Print(const QString& strText) { m_out.Print(strText); }
    void SetProgress(int nPercent);
    // The same, for an operation of nTotal bytes (-1: not known yet): the
    // bar shows the phase the operation is in and its rate.
    void SetProgress(int nPercent, int64_t nTotal);
    // What the operation did; the command and its operation fill it in.
    OperationReport& Report() { return m_report; }
    // Keys added to this job's JSON object.
    QJsonObject& JsonExtra() { return m_jsonExtra; }
    // A run of several steps (a production job): each step's report, in
    // order; each gets its own JSON object and trace row.
    void AddStepReport(const OperationReport& report);
    // The operation's report becomes the job's (the interface kept).
    void TakeReport(const OperationReport& report);

private:
    void Conclude(Session& session, const TraceFile* pTrace);

    CliOutput& m_out;
    std::shared_ptr<mpsse::Backend> m_pBackend;
    QByteArray m_strInterface;
    QString m_strPrefix;
    CliProgress* m_pProgress = nullptr;
    bool m_bOk = false;
    OperationReport m_report;
    QList<OperationReport> m_steps;  // the steps before the last, whose report is m_report
    bool m_bStepReported = false;
    double m_dSeconds = 0;
    bool m_bBatchPrograms = false;
    ChipRecordSink* m_pRecords = nullptr;
    QJsonObject m_jsonExtra;
};

// Runs fn on every target (at once when there are several), prints a summary
// table for a gang run, and returns the exit code.
int RunJobs(CliContext& ctx, const QString& strOperation, const QList<QByteArray>& targets, const JobFn& fn);

class SerialSource;
// After the runs of a command that stamps serial numbers: the next number
// the source gives, when it knows one. Not after a stop: the stopped run's
// lines (what the stop left) stay the last of the log, and its number's
// fate is among them.
void LogNextSerial(CliContext& ctx, SerialSource* pSerials);

// Set (by SIGINT or SIGTERM) to stop every job after its current flash
// command; every job's controller watches it.
std::atomic<bool>& StopFlag();

// Runs an operation of src/ops with the job as its observer (its log lines
// and progress); the operation's report becomes the job's. run returns the
// result code; true when it is kOk.
bool RunOperation(Job& job, const std::function<int(OperationObserver&, OperationReport&)>& run);
