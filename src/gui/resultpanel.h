// The station's result panel: after each operation a large 成功 / 失败 with
// the reason (wrapped, never cut) and the time it took, the job being run, and the
// counts of passed and failed chips since the window opened.
#pragma once

#include <operationreport.h>

#include <QFrame>
#include <QList>

#include <cstdint>
#include <optional>

class QLabel;
class QPushButton;

class ResultPanel : public QFrame {
    Q_OBJECT

public:
    explicit ResultPanel(QWidget* pParent = nullptr);

    // An operation has started: the panel says so until its result comes.
    void ShowRunning();
    // The operation ended: the verdict, its reason (from the operation's
    // report, empty when it sent none) and the seconds it took. bCount adds
    // it to the counters (false for an operation that never reached the chip).
    void ShowResult(bool bPassed, const QString& strReason, double dSeconds, bool bCount = true);
    // Nothing ran (input refused, or the adapter did not open, before the
    // chip was touched), with the refusal's reason.
    void ShowNotRun(const QString& strReason = QString());
    // The serial number the operation stamped (none hides it).
    void SetSerial(std::optional<uint32_t> nSerial);
    QString Serial() const;
    // The production job whose chips are counted, shown above the counters
    // (empty hides it).
    void SetJobName(const QString& strName);
    QString JobName() const;
    // A label that marks the station (the simulated bench), beside the job.
    void AddMarker(QWidget* pMarker);

    int Passed() const { return m_nPassed; }
    int Failed() const { return m_nFailed; }
    QString Verdict() const;
    QString Reason() const;

    // The one line that says why an operation ended as it did: the report's
    // message, and for a verify whose repair failed that the chip is to be
    // replaced.
    static QString ReasonLine(const OperationReport& report);

    // How an operation the window ran ended, for ShowOutcome.
    struct Outcome {
        bool bRan = false;    // it reached the worker (a refused input never did)
        bool bState = false;  // the window's verdict, its own end (link close, trace row) included
        QList<OperationReport> steps;  // the reports, one per step
        QString strRefusal;   // why the input was refused (its warning box)
        QString strLastLine;  // the operation's last log line
        double dSeconds = 0;
    };
    // The verdict and one line of reason: from the first step that failed,
    // else the last; from the last log line when the window's own end failed
    // what the worker reported as a success, or no report came. The serial
    // number shown is the one the write stamped.
    void ShowOutcome(const Outcome& outcome);

public slots:
    void ResetCounters();
    // 清零: asks first (the counts are the shift's record), 否 by default.
    void AskResetCounters();

private:
    void ShowVerdict(const QString& strText, const char* pState);
    void ShowCounters();

    QLabel* m_pVerdict = nullptr;
    QLabel* m_pReason = nullptr;
    QLabel* m_pElapsed = nullptr;
    QLabel* m_pSerial = nullptr;
    QLabel* m_pJob = nullptr;
    class QHBoxLayout* m_pMarkerRow = nullptr;
    QLabel* m_pCounters = nullptr;
    QPushButton* m_pReset = nullptr;
    int m_nPassed = 0;
    int m_nFailed = 0;
};
