// The window's production jobs: 打开任务, 关闭任务 and 保存为任务 on the
// toolbar, the loaded job (the options, the browser and the static data tab
// locked to it) and 烧写 running the whole job through the code xqprog's run
// uses, on a thread of its own. The window it serves is reached through
// JobHost only.
#pragma once

#include <QObject>
#include <QString>

#include <memory>

struct JobPlan;
struct OperationReport;
class BaseOp;
class QAction;
class QLabel;
class QStatusBar;
class QThread;
class QToolBar;
class ResultPanel;
class SpiConfig;
class StaticData;
class WindowLineDb;

// What the job actions need of the window that runs operations.
class JobHost {
public:
    virtual ~JobHost() = default;
    // A line in the log pane and the run log.
    virtual void JobLog(const QString& strLine) = 0;
    // A line in the run log only.
    virtual void JobTrace(const QString& strLine) = 0;
    // An attempt that never reached the chip: said on the panel and in a box.
    virtual void JobRefused(QAction* pAction, const QString& strReason) = 0;
    // Opens the adapter at nRateIndex; false after the warning.
    virtual bool JobOpenAdapter(QAction* pAction, int nRateIndex) = 0;
    // The operation described by strWhat (a run log line) starts: the
    // window is busy and the worker runs from now on.
    virtual void JobStarted(const QString& strWhat) = 0;
    virtual void JobProgress(int nPercent) = 0;
    virtual void JobReport(const OperationReport& report) = 0;
    // The job run ended (bOk: every step succeeded).
    virtual void JobFinished(bool bOk) = 0;
    // The job was opened or closed: the actions follow.
    virtual void JobChanged() = 0;
};

// The widgets the job actions lock, show the job in, and run on.
struct JobWidgets {
    QWidget* pWindow = nullptr;  // its title names the job
    QToolBar* pToolBar = nullptr;
    QStatusBar* pStatusBar = nullptr;
    BaseOp* pBaseOp = nullptr;
    StaticData* pStatic = nullptr;
    ResultPanel* pResultPanel = nullptr;
    SpiConfig* pConfig = nullptr;
    WindowLineDb* pLineDb = nullptr;  // the line database a run checks first, records in and takes numbers from
};

class JobActions : public QObject {
    Q_OBJECT

public:
    // Adds the three actions to the toolbar (after what it holds) and the
    // job's label to the status bar.
    JobActions(JobHost& host, const JobWidgets& widgets, QObject* pParent = nullptr);
    ~JobActions() override;

    // Loads a production job (after checking it whole) and locks the tabs
    // to it; false, after a warning, when the job is refused.
    bool Open(const QString& strPath);
    // Unlocks the window: the tabs show their own settings again.
    void Close();
    // The loaded job, or null.
    const JobPlan* Loaded() const { return m_pJob.get(); }
    // Runs the loaded job on the chosen adapter; pAction is 烧写.
    void Run(QAction* pAction);
    // The actions, enabled when the window is idle (bEnable) as the job allows.
    void SetEnabled(bool bEnable);
    // Waits for a running job's thread to end.
    void Wait();

private:
    void Choose();
    void SaveAs();

    JobHost& m_host;
    JobWidgets m_w;
    std::unique_ptr<JobPlan> m_pJob;
    QString m_strTitle;  // the window's title without the job
    QAction* m_pOpenAction = nullptr;
    QAction* m_pCloseAction = nullptr;
    QAction* m_pSaveAction = nullptr;
    QLabel* m_pLabel = nullptr;       // the loaded job in the status bar
    QThread* m_pThread = nullptr;     // the running job's steps
};
