#include "mainwindow.h"

#include "application.h"
#include "closeguard.h"
#include "jobactions.h"
#include "logpane.h"
#include "resultpanel.h"
#include "screenfit.h"
#include "spiconfig.h"
#include "statusprogress.h"
#include "tabwidgetinf.h"
#include "toolactions.h"
#include "ui_mainwindow.h"

#include <chipops.h>
#include <session.h>
#include <simbench.h>
#include <spiflashctrl.h>
#include <textrules.h>

#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QResizeEvent>
#include <QSettings>
#include <QToolBar>

MainWindow::MainWindow(std::shared_ptr<mpsse::Backend> pBackend, QWidget* pParent)
    : QMainWindow(pParent), ui(new Ui::MainWindow)
{
    ui->setupUi(this);
    setWindowTitle(tr("XQ烧写工具 V%1").arg(kAppVersion));
    const sim::SimBackend* pBench = sim::AsSimulatedBench(pBackend.get());
    const bool bBench = pBench != nullptr;
    const QString strBenchDir = bBench ? pBench->Dir() : QString();
    m_pConfig = new SpiConfig(std::move(pBackend), this);
    m_pSessionLog = std::make_unique<FunctionObserver>([this](const QString& strLine) { SetLog(strLine); });
    m_pSession = std::make_unique<Session>(*m_pConfig->Ctrl(), *m_pSessionLog);

    m_pProgress = new StatusProgress(this);
    m_pProgressBar = m_pProgress->Bar();
    ui->statusbar->addPermanentWidget(m_pProgress);
    m_pResultPanel = new ResultPanel(ui->centralwidget);
    ui->verticalLayout->insertWidget(0, m_pResultPanel);
    m_pOps = new OperationActions(this, *ui, *m_pConfig, *m_pSession, m_record, m_lineDb, *m_pResultPanel,
                                  *m_pProgressBar);
    connect(m_pOps, &OperationActions::log, this, &MainWindow::SetLog);
    connect(m_pOps, &OperationActions::widgetsEnable, this, &MainWindow::SetWidgetsEnable);
    m_pConfig->Ctrl()->SetStopFlag(&m_pOps->StopFlag());
    m_pCloseGuard = new CloseGuard(
        this, [this] { return Busy(); }, m_pOps->StopFlag(), [this](const QString& strLine) { SetLog(strLine); });

    // Batched page programs only when the station asks for them (as xqprog
    // --batch-programs); by default each page program goes on its own.
    m_pConfig->Ctrl()->SetBatchPrograms(
        QSettings(kSettingsFile, QSettings::IniFormat).value("timing/batch_programs", false).toBool());
    WireTabs();
    BuildLogMenu();
    connect(ui->tabWidget, &QTabWidget::currentChanged, this, [this] { SetWidgetsEnable(!Busy()); });
    SetWidgetsEnable(true);
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
                                                 {VerifyAction(), QKeySequence(Qt::Key_F7)},
                                                 {BlankAction(), QKeySequence(Qt::Key_F8)}};
    SetUpToolKeys(ui->toolBar, keys, ui->action_stop);
}

MainWindow::~MainWindow()
{
    if (Busy()) {
        // Only reached when the program ends without the close question
        // (for instance the session ends): the chip is left as it is.
        m_pOps->StopFlag() = true;
        m_record.Trace(tr("程序退出时操作仍在进行: 已在当前Flash命令完成后停止，芯片上的数据可能不完整"));
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
        connect(pTab, &TabWidgetInf::startWrite, m_pOps, &OperationActions::WorkerStarted);
        connect(pTab, &TabWidgetInf::startRead, m_pOps, &OperationActions::WorkerStarted);
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

void MainWindow::closeEvent(QCloseEvent* pEvent)
{
    if (!m_pCloseGuard->MayClose()) {
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
    m_record.Log(strPrefix, strLog);
}

// One row of the traceability file (trace_file in the settings) per chip
// operation; kept until the operation finishes.
void MainWindow::RecordOperation(const OperationReport& report)
{
    m_record.Add(report, QString::fromUtf8(m_pConfig->InterfaceName()));
}

void MainWindow::SetProgress(int nVal)
{
    if (nVal >= 0 && nVal <= 100)
        m_pProgressBar->setValue(nVal);
}

// A job hands its steps to its thread at once: it runs from the start.
void MainWindow::JobStarted(const QString& strWhat)
{
    m_pOps->Begin(strWhat);
    m_pOps->WorkerStarted();
}

void MainWindow::SpiWrite(bool bPressed)
{
    if (bPressed && m_pJobs->Loaded())
        m_pJobs->Run(ui->action_write);
    else if (bPressed && m_pOps->LineDbChecked(ui->action_write))
        m_pOps->Start(ui->action_write, OperationKind::kWrite);
}

void MainWindow::SpiRead(bool bPressed)
{
    if (bPressed)
        m_pOps->Start(ui->action_read, OperationKind::kRead);
}

// The reset runs on the GUI thread, without a worker.
void MainWindow::SpiReset(bool bPressed)
{
    if (!bPressed || !m_pOps->OpenInterface(ui->action_reset))
        return;
    const QString strInterface = QString::fromUtf8(m_pConfig->InterfaceName());
    m_record.Trace(tr("操作: 复位, 接口: %1").arg(strInterface));
    SetWidgetsEnable(false);
    m_record.Begin(strInterface);
    OperationReport report;
    const int nResult = Reset(*m_pConfig->Ctrl(), *m_pSessionLog).Run(report);
    RecordOperation(report);
    SpiFinish(OptOf(OperationKind::kReset), nResult == 0);
}

void MainWindow::SpiFinish(int nOpt, bool bState)
{
    m_pOps->Finish(nOpt, bState);
    m_pCloseGuard->OperationEnded();
}

void MainWindow::QuitOnSignals()
{
    m_pCloseGuard->QuitOnSignals();
}

void MainWindow::StopOperation()
{
    m_pOps->Stop();
}

void MainWindow::SetWidgetsEnable(bool bEnable)
{
    ui->action_config->setEnabled(bEnable);
    ui->action_read->setEnabled(bEnable && !(m_pJobs && m_pJobs->Loaded()));  // a job only writes
    ui->action_write->setEnabled(bEnable);
    ui->action_reset->setEnabled(bEnable);
    if (m_pJobs)  // built after the other actions
        m_pJobs->SetEnabled(bEnable);
    m_pOps->EnableVerify(bEnable);
}
