// The main window: toolbar, the two operation tabs, the run log dock and the
// status bar with the progress bar; it runs the write/read/reset protocol.
#pragma once

#include "jobactions.h"
#include "operationactions.h"
#include "runrecord.h"
#include "screenfit.h"
#include "windowlinedb.h"

#include <operationreport.h>

#include <QMainWindow>

#include <memory>

class QAction;
class QProgressBar;
class CloseGuard;
class FunctionObserver;
class ResultPanel;
class Session;
class SpiConfig;
class TabWidgetInf;

namespace Ui {
class MainWindow;
}
namespace mpsse {
class Backend;
}

class MainWindow : public QMainWindow, private JobHost {
    Q_OBJECT

public:
    // Operates the adapters of pBackend: null for real adapters only; a
    // simulated bench (simbench.h) marks the window as simulated for good.
    explicit MainWindow(std::shared_ptr<mpsse::Backend> pBackend = nullptr, QWidget* pParent = nullptr);
    ~MainWindow() override;

    SpiConfig* Config() const { return m_pConfig; }
    QAction* VerifyAction() const { return m_pOps->VerifyAction(); }
    QAction* BlankAction() const { return m_pOps->BlankAction(); }
    QProgressBar* ProgressBar() const { return m_pProgressBar; }
    // Whether an operation runs (from its start until its finish).
    bool Busy() const { return m_pOps->Busy(); }
    // The large pass/fail of the last operation and the station's counters.
    ResultPanel* Results() const { return m_pResultPanel; }
    // The rectangle a window of (frame) geometry WANTED takes on a screen
    // whose free area is AVAILABLE: as it is when it is inside, else shrunk
    // to fit and centred.
    static QRect FitIntoScreen(const QRect& wanted, const QRect& available) { return ::FitIntoScreen(wanted, available); }

    // Loads a production job (after checking it whole) and locks the
    // options, the browser and the static data tab to it; 烧写 then runs the
    // whole job. False, after a warning, when the job is refused.
    bool OpenJob(const QString& strPath) { return m_pJobs->Open(strPath); }
    // Unlocks the window: the tabs show their own settings again.
    void CloseJob() { m_pJobs->Close(); }
    // The loaded job, or null.
    const JobPlan* LoadedJob() const { return m_pJobs->Loaded(); }

    // SIGTERM, SIGINT and SIGHUP end the window as a close does, stopping a
    // running operation after its current flash command first.
    void QuitOnSignals();

signals:
    void winStateChange(Qt::WindowStates state);

public slots:
    void show();

private slots:
    void SpiRead(bool bPressed);
    void SpiWrite(bool bPressed);
    void SpiReset(bool bPressed);
    void SetWidgetsEnable(bool bEnable);
    void SpiFinish(int nOpt, bool bState = true);
    void SetLog(QString strLog);
    void SetProgress(int nVal);
    // Ends the running operation after its current flash command; the window stays open.
    void StopOperation();
    void RecordOperation(const OperationReport& report);

protected:
    virtual void LoadSettings();
    virtual void SaveSettings();
    void closeEvent(QCloseEvent* pEvent) override;
    void changeEvent(QEvent* pEvent) override;
    void resizeEvent(QResizeEvent* pEvent) override;

private:
    void WireTabs();
    void BuildLogMenu();
    void SetUpKeyboard();
    void StopWorkers();
    // Marks the window as running on the simulated bench in DIR: a permanent
    // status bar label, a title suffix and a log line.
    void ShowSimulatedBench(const QString& strDir);
    // JobHost: the job actions' way to the window.
    void JobLog(const QString& strLine) override
    {
        for (const QString& strPart : strLine.split('\n'))  // each line with its own time stamp
            SetLog(strPart);
    }
    void JobTrace(const QString& strLine) override { m_record.Trace(strLine); }
    void JobRefused(QAction* pAction, const QString& strReason) override { m_pOps->Refuse(pAction, strReason); }
    bool JobOpenAdapter(QAction* pAction, int nRateIndex) override { return m_pOps->OpenInterface(pAction, nRateIndex); }
    void JobStarted(const QString& strWhat) override;
    void JobProgress(int nPercent) override { SetProgress(nPercent); }
    void JobReport(const OperationReport& report) override { RecordOperation(report); }
    void JobFinished(bool bOk) override { SpiFinish(OptOf(OperationKind::kWrite), bOk); }
    void JobChanged() override { SetWidgetsEnable(!Busy()); }

    Ui::MainWindow* ui;
    class StatusProgress* m_pProgress = nullptr;
    QProgressBar* m_pProgressBar = nullptr;
    ResultPanel* m_pResultPanel = nullptr;
    QAction* m_pCopyAction = nullptr;
    QAction* m_pSelectAllAction = nullptr;
    QAction* m_pDeleteAllAction = nullptr;
    // Owns the controller that the tabs' worker threads use: the destructor
    // joins those threads before it deletes the dialog.
    SpiConfig* m_pConfig = nullptr;
    // The set-up and wrap-up of every operation on the controller; its log
    // lines go to the log pane.
    std::unique_ptr<FunctionObserver> m_pSessionLog;
    std::unique_ptr<Session> m_pSession;
    // The running attempt's run log lines and traceability rows.
    RunRecord m_record;
    // The line database 烧写 records in and takes serial numbers from.
    WindowLineDb m_lineDb;
    // The toolbar's operations: their start, refusal, busy state and finish.
    OperationActions* m_pOps = nullptr;
    // The close question while busy, and the termination signals.
    CloseGuard* m_pCloseGuard = nullptr;
    // The production jobs: their actions, the loaded job and its run.
    JobActions* m_pJobs = nullptr;
};
