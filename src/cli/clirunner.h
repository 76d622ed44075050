// How xqprog runs an operation: the output (log lines with the window's time
// stamp, also into the run log file) and one job per adapter, each with its
// own controller; several adapters run at once on threads of their own.
#pragma once

#include "clioptions.h"

#include <runlogfile.h>

#include <QByteArray>
#include <QMutex>
#include <QString>

#include <atomic>
#include <functional>

class BaseWorker;
class QObject;
class SpiFlashCtrl;

// Standard output and the run log file, shared by the jobs of a gang run.
class CliOutput {
public:
    // One log message, stamped, on standard output and in the run log file;
    // every line of a message of several lines carries the stamp and prefix.
    void Log(const QString& strPrefix, const QString& strLine);
    // Text as it is, on standard output.
    void Print(const QString& strText);
    // A stamped line in the run log file only.
    void Record(const QString& strLine);
    RunLogFile& RunLog() { return m_runLog; }

private:
    QMutex m_mutex;
    RunLogFile m_runLog;
};

class CliProgress;
class Job;

// What a command does on one open adapter; true for success.
using JobFn = std::function<bool(SpiFlashCtrl&, Job&)>;

// One adapter's run of a command.
class Job {
public:
    Job(CliOutput& out, const QByteArray& strInterface, bool bGang);

    // Opens the adapter, runs fn on it, closes it and records the result.
    void Execute(const JobFn& fn, int nRateIndex);
    bool Ok() const { return m_bOk; }
    double Seconds() const { return m_dSeconds; }
    void SetProgressBar(CliProgress* pProgress) { m_pProgress = pProgress; }

    const QByteArray& Interface() const { return m_strInterface; }
    // A log line, with the interface in gang runs.
    void Log(const QString& strLine) { m_out.Log(m_strPrefix, strLine); }
    void Print(const QString& strText) { m_out.Print(strText); }
    void SetProgress(int nPercent);

    // Connects a worker's log and progress signals to this job.
    void Attach(QObject* pWorker);

private:
    CliOutput& m_out;
    QByteArray m_strInterface;
    QString m_strPrefix;
    CliProgress* m_pProgress = nullptr;
    bool m_bOk = false;
    double m_dSeconds = 0;
};

// Runs fn on every target (at once when there are several), prints a summary
// table for a gang run, and returns the exit code.
int RunJobs(CliContext& ctx, const QList<QByteArray>& targets, const JobFn& fn);

// Set (by SIGINT or SIGTERM) to stop every job after its current flash
// command; every job's controller watches it.
std::atomic<bool>& StopFlag();

// Runs a BaseWorker's write or read and returns whether it succeeded.
bool RunImageWorker(BaseWorker& worker, Job& job, bool bWrite);
