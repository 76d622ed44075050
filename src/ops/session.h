// The set-up and wrap-up around every operation, for the window and xqprog
// alike: open the adapter (a refusal, not a failure, when it does not
// open), run, close (a close that fails fails a run that succeeded), the
// trace rows (a row not written fails the run) and the run log's line of
// how it ended. The window opens on its own thread and finishes when the
// tab's worker has ended, so the steps are also callable one by one.
#pragma once

#include "operationobserver.h"

#include <operationreport.h>

#include <QCoreApplication>
#include <QList>
#include <QString>

#include <functional>

class SpiFlashCtrl;
class TraceFile;

class Session {
    Q_DECLARE_TR_FUNCTIONS(Session)

public:
    // How an operation ended, for the run log.
    enum class Outcome { kNotRun, kOk, kFailed };

    Session(SpiFlashCtrl& ctrl, OperationObserver& observer) : m_ctrl(ctrl), m_observer(observer) {}

    // Opens strInterface at nRateIndex unless the controller is open: kOk,
    // or the adapter's result code. Logs nothing (see Refuse).
    int Open(const QByteArray& strInterface, int nRateIndex);
    // Tells that the adapter did not open: the refusal and the adapter's
    // reason, logged. Returns the report's line for it.
    QString Refuse();
    // Closes the adapter. A close that fails, after a run that succeeded or
    // with a reason from the adapter, is logged; it fails a run that
    // succeeded, and pLast (the run's last report, null for none) says so.
    // Returns whether the run still succeeded.
    bool Close(bool bOk, OperationReport* pLast);
    // Appends a trace row per report (pTrace null: none); each row not
    // written is logged. False when one was lost: the run has failed.
    bool Trace(const TraceFile* pTrace, const QList<OperationReport>& reports);

    // Open, run, close on one thread: a refusal marks report refused and
    // runs nothing; otherwise fn's result, failed by a close that fails.
    bool Run(const QByteArray& strInterface, int nRateIndex, const std::function<bool()>& fn,
             OperationReport& report);

    // The run log's line of an operation's end; with the interface when one is given.
    static QString ResultLine(Outcome eOutcome, const QString& strInterface = QString());

private:
    SpiFlashCtrl& m_ctrl;
    OperationObserver& m_observer;
};

// An observer made of functions: for a front end whose log is a function
// of its own (the window's log pane, xqprog's output).
class FunctionObserver : public OperationObserver {
public:
    explicit FunctionObserver(std::function<void(const QString&)> log,
                              std::function<void(int)> progress = nullptr)
        : m_log(std::move(log)), m_progress(std::move(progress))
    {
    }
    void Log(const QString& strLine) override { m_log(strLine); }
    void Progress(int nPercent) override
    {
        if (m_progress)
            m_progress(nPercent);
    }

private:
    std::function<void(const QString&)> m_log;
    std::function<void(int)> m_progress;
};
