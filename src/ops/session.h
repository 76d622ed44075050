// The set-up and wrap-up around every operation, for the window and xqprog
// alike: open the adapter (a refusal, not a failure, when it does not
// open), the preflight each operation runs before it touches the flash
// (identify it, hold the range to its size), run, close (a close that
// fails fails a run that succeeded), the trace rows (a row not written
// fails the run) and the run log's line of how it ended. The window opens
// on its own thread and finishes when the tab's worker has ended, so the
// steps are also callable one by one.
#pragma once

#include "operationobserver.h"

#include <flashops.h>
#include <operationreport.h>
#include <results.h>
#include <stepend.h>

#include <QCoreApplication>
#include <QList>
#include <QString>

#include <functional>

class SpiFlashCtrl;
class TraceFile;

// What the preflight found of the flash: the identification's result and
// what it read.
struct FlashFound {
    int nResult = xq::kErrBadArgument;
    FlashInfo info;
    bool Answered() const { return nResult == xq::kOk; }
    // The size the flash gave, also one outside the family's (0: none): the
    // ranges are held to it.
    uint32_t Size() const { return Answered() ? info.nTotalSize : 0; }
    // Whether it gave one of the family's sizes.
    bool SizeKnown() const;
};

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

    // The preflight every operation runs before it touches the flash, in
    // two steps so that each states what it needs in between. Identify
    // reads the identification (the flash's description goes into report).
    FlashFound Identify(OperationReport& report);
    // The range rule: the flash ignores the address bits above its size, so
    // a range that does not lie inside the nFlashSize bytes (0: no size to
    // go by, nothing checked) would land on its first bytes. Such a range is
    // refused: the line logged and warned, report refused with
    // kErrBadArgument, and kEndedAndReported returned; else kOk. With
    // kBytesNeeded an empty range is refused the same way.
    enum RangeNeed { kAnyLength, kBytesNeeded };
    int CheckRange(int64_t nStart, int64_t nLength, uint32_t nFlashSize, OperationReport& report,
                   RangeNeed eNeed = kAnyLength);

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
