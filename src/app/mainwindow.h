// The main window: toolbar, the two operation tabs, the run log dock and the
// status bar with the progress bar; it runs the write/read/reset protocol.
#pragma once

#include "runlogfile.h"

#include <operationreport.h>

#include <QElapsedTimer>
#include <QMainWindow>

#include <atomic>
#include <memory>
#include <optional>

class QAction;
class QHBoxLayout;
class QLabel;
class QProgressBar;
class SpiConfig;
class TabWidgetInf;

namespace Ui {
class MainWindow;
}
namespace mpsse {
class Backend;
}

class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    // Operates the adapters of pBackend: null for real adapters only; a
    // simulated bench (simbench.h) marks the window as simulated for good.
    explicit MainWindow(std::shared_ptr<mpsse::Backend> pBackend = nullptr, QWidget* pParent = nullptr);
    ~MainWindow() override;

    SpiConfig* Config() const { return m_pConfig; }
    QAction* VerifyAction() const { return m_pVerifyAction; }
    QAction* BlankAction() const { return m_pBlankAction; }
    QProgressBar* ProgressBar() const { return m_pProgressBar; }
    // Whether an operation runs (from its start until its finish).
    bool Busy() const { return m_bBusy; }

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
    void RecordOperation(const OperationReport& report);

protected:
    virtual void LoadSettings();
    virtual void SaveSettings();
    void closeEvent(QCloseEvent* pEvent) override;
    void changeEvent(QEvent* pEvent) override;
    void resizeEvent(QResizeEvent* pEvent) override;

private:
    bool WritePendingTraceRow();
    int CheckInterface();
    void StartOperation(QAction* pAction, bool bWrite);
    void WireTabs();
    void BuildLogMenu();
    // 校验 and 查空 beside 烧写, for a tab that can verify.
    void AddVerifyActions();
    TabWidgetInf* CurrentTab() const;
    void TraceOperation(const QString& strWhat);
    void AppendPlainLogLine(const QString& strLine);
    bool AskStopAndQuit();
    void StopWorkers();
    // Marks the window as running on the simulated bench in DIR: a permanent
    // status bar label, a title suffix and a log line.
    void ShowSimulatedBench(const QString& strDir);

    Ui::MainWindow* ui;
    QWidget* m_pProgressBox = nullptr;
    QLabel* m_pProgressLabel = nullptr;
    QProgressBar* m_pProgressBar = nullptr;
    QLabel* m_pProgressPercent = nullptr;
    QHBoxLayout* m_pProgressLayout = nullptr;
    QAction* m_pCopyAction = nullptr;
    QAction* m_pSelectAllAction = nullptr;
    QAction* m_pDeleteAllAction = nullptr;
    QAction* m_pVerifyAction = nullptr;
    QAction* m_pBlankAction = nullptr;
    // Owns the controller that the tabs' worker threads use: the destructor
    // joins those threads before it deletes the dialog.
    SpiConfig* m_pConfig = nullptr;
    RunLogFile m_runLog;
    bool m_bBusy = false;
    bool m_bWorkerStarted = false;  // the current tab handed the operation to its worker
    QString m_strLogInterface;      // "[interface] " on the file's lines of a running operation
    bool m_bQuitWhenDone = false;  // the operator chose to stop and quit
    // Set to end the running operation after its current flash command.
    std::atomic<bool> m_bStopRequested{false};
    QString m_strTraceFile;  // the traceability file, empty for none
    // The running operation's traceability row, written once the link has
    // closed, so that a close that fails is in the row too.
    std::optional<OperationReport> m_pendingReport;
    QElapsedTimer m_operationTimer;
};

// Progress chunk styles: operation start and success, failure.
extern const char* const kChunkSuccess;
extern const char* const kChunkFailure;
