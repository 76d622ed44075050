// The toolbar's operations from start to finish: the adapter opened for
// each, the current tab handed 读取, 烧写, 校验 or 查空, an attempt refused
// before the chip (未执行 on the result panel, the run log's result line,
// the warning), the busy state and the stop, and the finish (the link
// closed, the rows written, the result shown, the action unchecked, the
// progress chunk coloured).
#pragma once

#include "operationkind.h"

#include <QObject>
#include <QString>

#include <atomic>

class QAction;
class QProgressBar;
class ResultPanel;
class RunRecord;
class Session;
class SpiConfig;
class TabWidgetInf;
class WindowLineDb;
namespace Ui {
class MainWindow;
}

class OperationActions : public QObject {
    Q_OBJECT

public:
    // Adds 校验 and 查空 to the toolbar before 停止. The parts are the
    // window's; they outlive this object.
    OperationActions(QWidget* pWindow, Ui::MainWindow& ui, SpiConfig& config, Session& session, RunRecord& record,
                     WindowLineDb& lineDb, ResultPanel& panel, QProgressBar& bar);
    ~OperationActions() override;

    QAction* VerifyAction() const { return m_pVerifyAction; }
    QAction* BlankAction() const { return m_pBlankAction; }
    // Whether an operation runs (from its start until its finish).
    bool Busy() const { return m_bBusy; }
    // Set to end the running operation after its current flash command.
    std::atomic<bool>& StopFlag() { return m_bStopRequested; }

    // Opens the adapter unless it is open, at nRateIndex (-1: the dialog's
    // rate); false after the warning, with pAction unchecked.
    bool OpenInterface(QAction* pAction, int nRateIndex = -1);
    // The line database of the settings, checked before 烧写 opens the
    // adapter, its counter handed to the image tab; false after the refusal.
    bool LineDbChecked(QAction* pAction);
    // Opens the adapter and hands pAction's operation to the current tab.
    void Start(QAction* pAction, OperationKind eKind);
    // The common start of an operation on the open adapter: busy, timed,
    // strWhat in the run log.
    void Begin(const QString& strWhat);
    // The tab (or a job) handed the operation to its worker: it runs from
    // now on, and its time counts from here.
    void WorkerStarted();
    // An attempt the operator started that never reached the chip.
    void Refuse(QAction* pAction, const QString& strReason);
    // The operation nOpt ended (bState false: it failed).
    void Finish(int nOpt, bool bState);
    // 停止: the running operation ends after its current flash command.
    void Stop();
    // 校验 and 查空, enabled when the window is idle (bEnable) and the
    // current tab can verify.
    void EnableVerify(bool bEnable);

signals:
    void log(QString strLog);
    // The toolbar's actions follow the busy state.
    void widgetsEnable(bool bEnable);

private:
    TabWidgetInf* CurrentTab() const;
    QString InterfaceName() const;
    void RefuseClosedInterface(QAction* pAction);
    void Uncheck(OperationKind eKind);

    QWidget* m_pWindow;
    Ui::MainWindow& ui;
    SpiConfig& m_config;
    Session& m_session;
    RunRecord& m_record;
    WindowLineDb& m_lineDb;
    ResultPanel& m_panel;
    QProgressBar& m_bar;
    QAction* m_pVerifyAction = nullptr;
    QAction* m_pBlankAction = nullptr;
    bool m_bBusy = false;
    bool m_bWorkerStarted = false;  // the current tab handed the operation to its worker
    bool m_bStarting = false;       // the current tab checks its input (a refusal box may open)
    QString m_strRefusal;           // why the current tab refused its input (its warning box)
    std::atomic<bool> m_bStopRequested{false};
};

// Progress chunk styles: operation start and success, failure.
extern const char* const kChunkSuccess;
extern const char* const kChunkFailure;
