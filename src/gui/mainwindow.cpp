#include "mainwindow.h"

#include "application.h"
#include "baseop.h"
#include "baseworker.h"
#include "jobactions.h"
#include "logpane.h"
#include "messagebox.h"
#include "quitsignals.h"
#include "resultpanel.h"
#include "runlogfile.h"
#include "screenfit.h"
#include "spiconfig.h"
#include "statusprogress.h"
#include "tabwidgetinf.h"
#include "toolactions.h"
#include "ui_mainwindow.h"

#include <chipops.h>
#include <commontexts.h>
#include <jobfile.h>
#include <results.h>
#include <session.h>
#include <simbench.h>
#include <spiflashctrl.h>
#include <textrules.h>
#include <tracefile.h>

#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QResizeEvent>
#include <QSettings>
#include <QTimer>
#include <QToolBar>

const char* const kChunkSuccess = "QProgressBar::chunk {background-color: #05B8CC;}";
const char* const kChunkFailure = "QProgressBar::chunk {background-color: #FF6E6E;}";

MainWindow::MainWindow(std::shared_ptr<mpsse::Backend> pBackend, QWidget* pParent)
    : QMainWindow(pParent), ui(new Ui::MainWindow)
{
    ui->setupUi(this);
    setWindowTitle(tr("XQ烧写工具 V%1").arg(kAppVersion));
    const sim::SimBackend* pBench = sim::AsSimulatedBench(pBackend.get());
    const bool bBench = pBench != nullptr;
    const QString strBenchDir = bBench ? pBench->Dir() : QString();
    m_pConfig = new SpiConfig(std::move(pBackend), this);
    m_pConfig->Ctrl()->SetStopFlag(&m_bStopRequested);
    m_pSessionLog = std::make_unique<FunctionObserver>([this](const QString& strLine) { SetLog(strLine); });
    m_pSession = std::make_unique<Session>(*m_pConfig->Ctrl(), *m_pSessionLog);

    m_pProgress = new StatusProgress(this);
    m_pProgressBar = m_pProgress->Bar();
    ui->statusbar->addPermanentWidget(m_pProgress);
    m_pResultPanel = new ResultPanel(ui->centralwidget);
    ui->verticalLayout->insertWidget(0, m_pResultPanel);

    m_runLog.SetEnabled(RunLogFile::EnabledBySettings());
    const QSettings settings(kSettingsFile, QSettings::IniFormat);
    m_strTraceFile = settings.value("trace_file").toString();
    // Batched page programs only when the station asks for them (as xqprog
    // --batch-programs); by default each page program goes on its own.
    m_pConfig->Ctrl()->SetBatchPrograms(settings.value("timing/batch_programs", false).toBool());
    WireTabs();
    BuildLogMenu();
    AddVerifyActions();
    if (bBench)
        ShowSimulatedBench(strBenchDir);
    m_pJobs = new JobActions(*this,
                             {this, ui->toolBar, ui->statusbar, ui->tabBaseOp, ui->tabStatic, m_pResultPanel, m_pConfig,
                              &m_lineDb},
                             this);
    if (!m_pConfig->InterfacesFound())
        SetLog(tr("未找到USB适配器: 请检查USB线缆是否连接、udev规则60-xqprogrammer.rules是否已安装、"
                  "当前用户是否属于plugdev组（加入后需重新登录）"));

    connect(ui->action_config, &QAction::triggered, m_pConfig, &SpiConfig::exec);
    connect(ui->action_read, &QAction::triggered, this, &MainWindow::SpiRead);
    connect(ui->action_write, &QAction::triggered, this, &MainWindow::SpiWrite);
    connect(ui->action_reset, &QAction::triggered, this, &MainWindow::SpiReset);
    connect(ui->action_log, &QAction::triggered, ui->dockWidget, &QDockWidget::setVisible);
    connect(ui->action_stop, &QAction::triggered, this, &MainWindow::StopOperation);
    SetUpKeyboard();
    // A warning while a tab checks its input is the refusal of the attempt:
    // the panel says so before the operator reads the box.
    msgbox::Watch(this, [this](const msgbox::Shown& shown) {
        if (m_bStarting && shown.icon != QMessageBox::Question && m_strRefusal.isEmpty()) {
            m_strRefusal = shown.strText;
            m_pResultPanel->ShowNotRun(m_strRefusal);
        }
    });
}

// Shortcuts on the toolbar's actions (named in their status tips) and the
// toolbar's buttons in the Tab order, so the station works without a mouse.
void MainWindow::SetUpKeyboard()
{
    QList<QPair<QAction*, QKeySequence>> keys = {{ui->action_config, QKeySequence(Qt::Key_F2)},
                                                 {ui->action_read, QKeySequence(Qt::Key_F3)},
                                                 {ui->action_write, QKeySequence(Qt::Key_F5)},
                                                 {ui->action_reset, QKeySequence(Qt::Key_F6)},
                                                 {ui->action_log, QKeySequence(Qt::Key_F9)},
                                                 {m_pVerifyAction, QKeySequence(Qt::Key_F7)},
                                                 {m_pBlankAction, QKeySequence(Qt::Key_F8)}};
    SetUpToolKeys(ui->toolBar, keys, ui->action_stop);
}

MainWindow::~MainWindow()
{
    msgbox::Unwatch(this);
    if (m_bBusy) {
        // Only reached when the program ends without the close question
        // (for instance the session ends): the chip is left as it is.
        m_bStopRequested = true;
        TraceOperation(tr("程序退出时操作仍在进行: 已在当前Flash命令完成后停止，芯片上的数据可能不完整"));
    }
    StopWorkers();
    delete m_pConfig;
    delete ui;
}

// Joins every tab's worker thread: after this nothing uses the controller.
void MainWindow::StopWorkers()
{
    if (m_pJobs)
        m_pJobs->Wait();
    for (int i = 0; i < ui->tabWidget->count(); ++i) {
        if (auto* pTab = qobject_cast<TabWidgetInf*>(ui->tabWidget->widget(i)))
            pTab->StopWorker();
    }
}

void MainWindow::ShowSimulatedBench(const QString& strDir)
{
    auto* pLabel = new QLabel(tr("模拟测试台：不会烧写真实芯片"));
    pLabel->setObjectName("lblBench");
    pLabel->setToolTip(strDir);
    m_pResultPanel->AddMarker(pLabel);
    setWindowTitle(windowTitle() + tr(" [模拟]"));
    SetLog(tr("使用模拟测试台: %1").arg(strDir));
}

void MainWindow::WireTabs()
{
    for (int i = 0; i < ui->tabWidget->count(); ++i) {
        auto* pTab = qobject_cast<TabWidgetInf*>(ui->tabWidget->widget(i));
        if (!pTab)
            continue;
        pTab->SetFlashCtrl(m_pConfig->Ctrl());
        connect(pTab, &TabWidgetInf::startWrite, this, &MainWindow::WorkerStarted);
        connect(pTab, &TabWidgetInf::startRead, this, &MainWindow::WorkerStarted);
        connect(pTab, &TabWidgetInf::finish, this, &MainWindow::SpiFinish);
        connect(pTab, &TabWidgetInf::log, this, &MainWindow::SetLog);
        connect(pTab, &TabWidgetInf::progress, this, &MainWindow::SetProgress);
        connect(pTab, &TabWidgetInf::report, this, &MainWindow::RecordOperation);
        connect(this, &MainWindow::winStateChange, pTab, &TabWidgetInf::winStateChanged);
        pTab->LoadSettings();
    }
}

void MainWindow::BuildLogMenu()
{
    AddLogPaneMenu(ui->teLog);
    ui->dockWidget->setVisible(true);
    connect(ui->dockWidget, &QDockWidget::visibilityChanged, ui->action_log, &QAction::setChecked);
}

void MainWindow::AddVerifyActions()
{
    m_pVerifyAction = NewToolAction(":/main/icon/verify_flash_48.png", tr("校验"), "action_verify",
                                    tr("校验Flash: 与选中的镜像比较，不擦除、不烧写"), this);
    m_pBlankAction = NewToolAction(":/main/icon/blank_flash_48.png", tr("查空"), "action_blank",
                                   tr("查空: 擦除选项的范围是否全部为空白(0xFF)"), this);
    for (QAction* pAction : {m_pVerifyAction, m_pBlankAction}) {
        pAction->setCheckable(true);
        ui->toolBar->insertAction(ui->action_stop, pAction);
        connect(pAction, &QAction::triggered, this, [this, pAction](bool bPressed) {
            if (bPressed)
                StartOperation(pAction, false);
        });
    }
    connect(ui->tabWidget, &QTabWidget::currentChanged, this, [this] { SetWidgetsEnable(!m_bBusy); });
    SetWidgetsEnable(true);
}

void MainWindow::show()
{
    LoadSettings();
    QMainWindow::show();
    FitWindowToScreen(this);  // again: the frame may be known now
    FitWhenFramed(this);      // and once a window manager has framed it
    // The log takes a quarter of the height: the tabs keep room for their options.
    resizeDocks({ui->dockWidget}, {qMax(100, height() / 4)}, Qt::Vertical);
    emit winStateChange(windowState());
}

void MainWindow::LoadSettings()
{
    QSettings settings(kSettingsFile, QSettings::IniFormat);
    const QPoint pos = settings.value("pos", QPoint(550, 170)).toPoint();
    const QSize size = settings.value("size", QSize(820, 640)).toSize();
    ui->dockWidget->setVisible(settings.value("dockwidget_show", true).toBool());
    ui->action_log->setChecked(settings.value("log_check", true).toBool());
    move(pos);
    resize(size);
    FitWindowToScreen(this);
}

void MainWindow::SaveSettings()
{
    QSettings settings(kSettingsFile, QSettings::IniFormat);
    settings.setValue("pos", pos());
    settings.setValue("size", size());
    settings.setValue("dockwidget_show", ui->dockWidget->isVisible());
    settings.setValue("log_check", ui->action_log->isChecked());
}

bool MainWindow::AskStopAndQuit()
{
    return msgbox::Question(this, tr("请确认"),
                            tr("操作正在进行中。\n等待: 操作结束后再关闭窗口。\n"
                               "停止并退出: 当前Flash命令完成后停止操作并退出，芯片上的数据可能不完整。"),
                            QMessageBox::Abort | QMessageBox::Cancel,
                            {{QMessageBox::Abort, tr("停止并退出")}, {QMessageBox::Cancel, tr("等待")}},
                            QMessageBox::Cancel) ==
           QMessageBox::Abort;
}

void MainWindow::closeEvent(QCloseEvent* pEvent)
{
    if (m_bBusy && !m_bStopRequested && !m_bAsking) {
        // Asked again after 等待: the operator may now choose to stop.
        m_bAsking = true;
        const bool bStop = AskStopAndQuit();
        m_bAsking = false;
        if (m_bBusy) {
            // The window closes only once the worker has finished, after
            // either answer: the close comes back from SpiFinish.
            m_bQuitWhenDone = true;
            if (bStop) {
                m_bStopRequested = true;
                SetLog(tr("正在停止: 当前Flash命令完成后停止操作并退出"));
            }
            pEvent->ignore();
            return;
        }
        // The operation ended while the question was open (its box closed
        // itself, or the answer came late): the window closes as asked.
    } else if (m_bBusy) {
        // Already stopping (or the question is open): close once it has ended.
        if (!m_bAsking)
            m_bQuitWhenDone = true;
        pEvent->ignore();
        return;
    }
    SaveSettings();
    if (m_pJobs->Loaded())
        m_pJobs->Close();  // the tabs' own settings are saved, never the job's
    for (int i = 0; i < ui->tabWidget->count(); ++i) {
        if (auto* pTab = qobject_cast<TabWidgetInf*>(ui->tabWidget->widget(i)))
            pTab->SaveSettings();
    }
    pEvent->accept();
}

void MainWindow::changeEvent(QEvent* pEvent)
{
    if (pEvent->type() == QEvent::WindowStateChange)
        emit winStateChange(windowState());
    QMainWindow::changeEvent(pEvent);
}

void MainWindow::resizeEvent(QResizeEvent* pEvent)
{
    if (qAbs(pEvent->oldSize().width() - pEvent->size().width()) >= 20) {
        emit winStateChange(windowState());
        m_pProgressBar->setFixedWidth(int(pEvent->size().width() * 0.3));
    }
    QMainWindow::resizeEvent(pEvent);
}

void MainWindow::SetLog(QString strLog)
{
    if (strLog.isEmpty())
        return;
    const QString strPrefix = xq::LogStamp();
    AppendPlainLogLine(ui->teLog, strPrefix + strLog);
    ui->statusbar->showMessage(strLog, 5000);
    m_strLastLine = strLog;
    m_runLog.Append(strPrefix + m_strLogInterface, strLog);
}

// Lines for the log file only: which interface an operation used, and how it ended.
void MainWindow::TraceOperation(const QString& strWhat)
{
    m_runLog.Append(xq::LogStamp() + strWhat);
}

// One row of the traceability file (trace_file in the settings) per chip
// operation; kept until the operation finishes (WritePendingTraceRow).
void MainWindow::RecordOperation(const OperationReport& report)
{
    OperationReport row = report;
    row.strInterface = QString::fromUtf8(m_pConfig->InterfaceName());
    row.dSeconds = double(m_operationTimer.elapsed()) / 1000.0;
    m_pendingReports << row;
}

// Appends the running operation's rows; false when one could not be written.
bool MainWindow::WritePendingTraceRow()
{
    const QList<OperationReport> rows = m_pendingReports;
    m_pendingReports.clear();
    if (m_strTraceFile.isEmpty())
        return true;
    const TraceFile trace(m_strTraceFile);
    return m_pSession->Trace(&trace, rows);
}

void MainWindow::SetProgress(int nVal)
{
    if (nVal >= 0 && nVal <= 100)
        m_pProgressBar->setValue(nVal);
}

TabWidgetInf* MainWindow::CurrentTab() const
{
    return qobject_cast<TabWidgetInf*>(ui->tabWidget->currentWidget());
}

bool MainWindow::OpenInterface(QAction* pAction, int nRateIndex)
{
    if (m_pSession->Open(m_pConfig->InterfaceName(), nRateIndex >= 0 ? nRateIndex : m_pConfig->RateIndex()) ==
        xq::kOk)
        return true;
    RefuseClosedInterface(pAction);
    return false;
}

// The adapter did not open (none selected, or it vanished): said in the log
// pane and the run log as well as in the box, with the adapter's reason.
void MainWindow::RefuseClosedInterface(QAction* pAction)
{
    TraceOperation(tr("操作: %1, 接口: %2").arg(pAction->text(), QString::fromUtf8(m_pConfig->InterfaceName())));
    RefuseAttempt(pAction, m_pSession->Refuse());
}

// An attempt the operator started that never reached the chip: the panel
// and the run log say so (before the box, which may stay open a while).
void MainWindow::RefuseAttempt(QAction* pAction, const QString& strReason)
{
    m_lineDb.Cancel();
    m_pResultPanel->ShowNotRun(strReason);
    ui->action_stop->setEnabled(false);
    TraceOperation(Session::ResultLine(Session::Outcome::kNotRun));
    msgbox::Warning(this, tr("告警"), strReason);
    pAction->setChecked(false);
}

// The tab handed the operation to its worker: it runs from now on, and its
// time counts from here (never the time a file dialog was open).
void MainWindow::WorkerStarted()
{
    m_bWorkerStarted = true;
    m_operationTimer.start();
    m_pResultPanel->ShowRunning();
    ui->action_stop->setEnabled(true);
}

void MainWindow::StartOperation(QAction* pAction, bool bWrite)
{
    if (!OpenInterface(pAction))
        return;
    TabWidgetInf* pTab = CurrentTab();
    if (!pTab) {
        pAction->setChecked(false);
        return;
    }
    BeginOperation(tr("操作: %1 %2, 接口: %3")
                       .arg(pAction->text(), ui->tabWidget->tabText(ui->tabWidget->currentIndex()).trimmed(),
                            QString::fromUtf8(m_pConfig->InterfaceName())));
    // Until the tab hands the operation to its worker (WorkerStarted) it is
    // checking its input, perhaps in a box: the panel does not say 进行中.
    m_bStarting = true;
    if (pAction == m_pVerifyAction || pAction == m_pBlankAction)
        pTab->Verify(pAction == m_pBlankAction);
    else if (bWrite)
        pTab->Write();
    else
        pTab->Read();
    m_bStarting = false;
}

void MainWindow::BeginOperation(const QString& strWhat)
{
    m_pProgressBar->setStyleSheet(kChunkSuccess);
    m_operationTimer.start();
    TraceOperation(strWhat);
    SetWidgetsEnable(false);
    m_bStopRequested = false;
    m_bBusy = true;
    m_strLastLine.clear();
    m_strRefusal.clear();
    m_pendingReports.clear();
    m_strLogInterface = QString("[%1] ").arg(QString::fromUtf8(m_pConfig->InterfaceName()));
}

// A job hands its steps to its thread at once: it runs from the start.
void MainWindow::JobStarted(const QString& strWhat)
{
    BeginOperation(strWhat);
    WorkerStarted();
}

void MainWindow::JobFinished(bool bOk)
{
    SpiFinish(OptOf(OperationKind::kWrite), bOk);
}

void MainWindow::SpiWrite(bool bPressed)
{
    if (bPressed && m_pJobs->Loaded())
        m_pJobs->Run(ui->action_write);
    else if (bPressed && LineDbChecked(ui->action_write))
        StartOperation(ui->action_write, true);
}

bool MainWindow::LineDbChecked(QAction* pAction)
{
    // The image tab's write stamps serial numbers from the counter when its box is checked.
    JobSpec tab;
    if (CurrentTab() == ui->tabBaseOp)
        ui->tabBaseOp->JobSettings(tab);
    QString strError;
    if (!m_lineDb.Begin(nullptr, tab.bSerial, strError)) {
        TraceOperation(tr("操作: %1, 接口: %2").arg(pAction->text(), QString::fromUtf8(m_pConfig->InterfaceName())));
        SetLog(strError);
        RefuseAttempt(pAction, strError);
        return false;
    }
    ui->tabBaseOp->Worker()->pSerials = m_lineDb.Serials();
    ui->tabBaseOp->Worker()->strSerialAdapter = QString::fromUtf8(m_pConfig->InterfaceName());
    return true;
}

void MainWindow::SpiRead(bool bPressed)
{
    if (bPressed)
        StartOperation(ui->action_read, false);
}

void MainWindow::SpiReset(bool bPressed)
{
    if (!bPressed)
        return;
    if (!OpenInterface(ui->action_reset))
        return;
    TraceOperation(tr("操作: 复位, 接口: %1").arg(QString::fromUtf8(m_pConfig->InterfaceName())));
    SetWidgetsEnable(false);
    m_pendingReports.clear();
    m_strLastLine.clear();
    m_strLogInterface = QString("[%1] ").arg(QString::fromUtf8(m_pConfig->InterfaceName()));
    m_operationTimer.start();
    OperationReport report;
    const int nResult = Reset(*m_pConfig->Ctrl(), *m_pSessionLog).Run(report);
    RecordOperation(report);
    SpiFinish(OptOf(OperationKind::kReset), nResult == 0);
}

void MainWindow::SpiFinish(int nOpt, bool bState)
{
    OperationKind eKind = OperationKind::kRead;
    const bool bKnown = KindOf(nOpt, eKind);
    // The link closes first: a simulated bench that cannot save its chip
    // fails the operation, with the file and the reason.
    bState = m_pSession->Close(bState, m_pendingReports.isEmpty() ? nullptr : &m_pendingReports.last());
    ResultPanel::Outcome outcome;
    outcome.steps = m_pendingReports;
    // An operation whose traceability row was lost is not a success.
    if (!WritePendingTraceRow())
        bState = false;
    QString strLost;
    if (!m_lineDb.Finish(outcome.steps, strLost)) {
        SetLog(strLost);
        bState = false;
    }
    // A tab that refused its input never started its worker: nothing ran.
    const bool bRan = outcome.bRan = m_bWorkerStarted || (bKnown && eKind == OperationKind::kReset);
    outcome.bState = bState;
    outcome.strRefusal = m_strRefusal;
    outcome.strLastLine = m_strLastLine;
    outcome.dSeconds = double(m_operationTimer.elapsed()) / 1000.0;
    m_pResultPanel->ShowOutcome(outcome);
    TraceOperation(Session::ResultLine(!bRan     ? Session::Outcome::kNotRun
                                       : bState ? Session::Outcome::kOk
                                                : Session::Outcome::kFailed));
    m_bWorkerStarted = false;
    m_bBusy = false;
    ui->action_stop->setEnabled(false);
    m_strLogInterface.clear();
    SetWidgetsEnable(true);
    if (bKnown)
        Uncheck(eKind);
    m_pProgressBar->setStyleSheet(bState ? kChunkSuccess : kChunkFailure);
    // The close question is moot once the operation has ended: its box
    // closes, and closeEvent goes on to close the window.
    if (m_bAsking)
        msgbox::CloseQuestion();
    if (m_bQuitWhenDone)
        QTimer::singleShot(0, this, [this] { close(); });
}

void MainWindow::Uncheck(OperationKind eKind)
{
    switch (eKind) {
    case OperationKind::kRead: ui->action_read->setChecked(false); break;
    case OperationKind::kWrite: ui->action_write->setChecked(false); break;
    case OperationKind::kReset: ui->action_reset->setChecked(false); break;
    case OperationKind::kVerify:
        m_pVerifyAction->setChecked(false);
        m_pBlankAction->setChecked(false);
        break;
    }
}

void MainWindow::QuitOnSignals()
{
    connect(new QuitSignals(this), &QuitSignals::received, this, &MainWindow::QuitBySignal);
}

// A running operation stops after its current flash command and says what
// the chip was left with; the window then closes as usual (result line,
// settings saved).
void MainWindow::QuitBySignal()
{
    if (m_bBusy) {
        m_bQuitWhenDone = true;
        if (!m_bStopRequested) {
            m_bStopRequested = true;
            SetLog(tr("收到终止信号: 当前Flash命令完成后停止操作并退出"));
        }
        return;
    }
    close();
}

void MainWindow::StopOperation()
{
    if (!m_bBusy || m_bStopRequested)
        return;
    m_bStopRequested = true;
    ui->action_stop->setEnabled(false);
    SetLog(tr("正在停止: 当前Flash命令完成后停止操作"));
}

void MainWindow::SetWidgetsEnable(bool bEnable)
{
    ui->action_config->setEnabled(bEnable);
    ui->action_read->setEnabled(bEnable && !(m_pJobs && m_pJobs->Loaded()));  // a job only writes
    ui->action_write->setEnabled(bEnable);
    ui->action_reset->setEnabled(bEnable);
    if (m_pJobs)  // built after the other actions
        m_pJobs->SetEnabled(bEnable);
    const TabWidgetInf* pTab = CurrentTab();
    for (QAction* pAction : {m_pVerifyAction, m_pBlankAction})
        if (pAction)
            pAction->setEnabled(bEnable && pTab && pTab->CanVerify());
}
