#include "mainwindow.h"

#include "application.h"
#include "messagebox.h"
#include "resultpanel.h"
#include "runlogfile.h"
#include "spiconfig.h"
#include "tabwidgetinf.h"
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
#include <QSocketNotifier>
#include <QDateTime>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QResizeEvent>
#include <QScreen>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QScrollBar>
#include <QTextCursor>
#include <QSettings>
#include <QThread>
#include <QTimer>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {
// SIGTERM, SIGINT and SIGHUP reach the event loop through this socket pair:
// the handler only writes a byte, the window reads it on the GUI thread.
int g_signalFds[2] = {-1, -1};
void OnQuitSignal(int)
{
    const char c = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_signalFds[0], &c, 1);
}
}  // namespace

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

    m_pProgressBox = new QWidget(this);
    m_pProgressLabel = new QLabel(tr("执行进度:"), m_pProgressBox);
    m_pProgressBar = new QProgressBar(m_pProgressBox);
    m_pProgressBar->setRange(0, 100);
    m_pProgressBar->setValue(0);
    m_pProgressBar->setFixedSize(250, 10);
    // A 10 px bar is too thin for legible text: the percentage stands beside it.
    m_pProgressBar->setTextVisible(false);
    m_pProgressPercent = new QLabel(m_pProgressBox);
    m_pProgressPercent->setObjectName("labelProgressPercent");
    m_pProgressPercent->setMinimumWidth(m_pProgressPercent->fontMetrics().horizontalAdvance("100%") + 4);
    m_pProgressPercent->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_pProgressPercent->setText("0%");
    connect(m_pProgressBar, &QProgressBar::valueChanged, m_pProgressPercent,
            [this](int nVal) { m_pProgressPercent->setText(QString("%1%").arg(nVal)); });
    m_pProgressLabel->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    m_pProgressLayout = new QHBoxLayout(m_pProgressBox);
    m_pProgressLayout->setContentsMargins(0, 0, 6, 0);
    m_pProgressLayout->setSpacing(2);
    // The stretch keeps the label next to its bar however wide the box grows.
    m_pProgressLayout->addStretch(1);
    m_pProgressLayout->addWidget(m_pProgressLabel);
    m_pProgressLayout->addWidget(m_pProgressBar);
    m_pProgressLayout->addWidget(m_pProgressPercent);
    // The box keeps to its contents: the status bar's message gets the rest.
    m_pProgressBox->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Preferred);
    ui->statusbar->addPermanentWidget(m_pProgressBox);
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
    BuildJobActions();
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
    const QList<QPair<QAction*, QKeySequence>> keys = {{ui->action_config, QKeySequence(Qt::Key_F2)},
                                                       {ui->action_read, QKeySequence(Qt::Key_F3)},
                                                       {ui->action_write, QKeySequence(Qt::Key_F5)},
                                                       {ui->action_reset, QKeySequence(Qt::Key_F6)},
                                                       {ui->action_log, QKeySequence(Qt::Key_F9)}};
    for (const auto& [pAction, key] : keys)
        pAction->setShortcut(key);
    if (m_pVerifyAction)
        m_pVerifyAction->setShortcut(QKeySequence(Qt::Key_F7));
    if (m_pBlankAction)
        m_pBlankAction->setShortcut(QKeySequence(Qt::Key_F8));
    for (QAction* pAction : ui->toolBar->actions()) {
        if (pAction->isSeparator())
            continue;
        if (QWidget* pButton = ui->toolBar->widgetForAction(pAction))
            pButton->setFocusPolicy(Qt::TabFocus);
        if (pAction != ui->action_stop && !pAction->shortcut().isEmpty())
            pAction->setStatusTip(
                QString("%1 (%2)").arg(pAction->toolTip(), pAction->shortcut().toString(QKeySequence::NativeText)));
    }
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
    if (m_pJobThread) {
        m_pJobThread->wait();
        delete m_pJobThread;
        m_pJobThread = nullptr;
    }
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
    m_pCopyAction = new QAction(tr("拷贝"), ui->teLog);
    m_pSelectAllAction = new QAction(tr("全选"), ui->teLog);
    m_pDeleteAllAction = new QAction(tr("全删"), ui->teLog);
    m_pSelectAllAction->setShortcut(QKeySequence::SelectAll);
    m_pCopyAction->setShortcut(QKeySequence::Copy);
    m_pDeleteAllAction->setShortcut(QKeySequence(Qt::Key_Delete));
    connect(m_pSelectAllAction, &QAction::triggered, ui->teLog, &QTextEdit::selectAll);
    connect(m_pCopyAction, &QAction::triggered, ui->teLog, &QTextEdit::copy);
    connect(m_pDeleteAllAction, &QAction::triggered, ui->teLog, &QTextEdit::clear);
    ui->teLog->addAction(m_pSelectAllAction);
    ui->teLog->addAction(m_pCopyAction);
    ui->teLog->addAction(m_pDeleteAllAction);
    ui->teLog->setContextMenuPolicy(Qt::ActionsContextMenu);
    ui->dockWidget->setVisible(true);
    connect(ui->dockWidget, &QDockWidget::visibilityChanged, ui->action_log, &QAction::setChecked);
}

void MainWindow::AddVerifyActions()
{
    m_pVerifyAction = new QAction(QIcon(":/main/icon/verify_flash_48.png"), tr("校验"), this);
    m_pVerifyAction->setObjectName("action_verify");
    m_pVerifyAction->setToolTip(tr("校验Flash: 与选中的镜像比较，不擦除、不烧写"));
    m_pBlankAction = new QAction(QIcon(":/main/icon/blank_flash_48.png"), tr("查空"), this);
    m_pBlankAction->setObjectName("action_blank");
    m_pBlankAction->setToolTip(tr("查空: 擦除选项的范围是否全部为空白(0xFF)"));
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
    FitToScreen();  // again, now that the frame is known
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
    FitToScreen();
}

QRect MainWindow::FitIntoScreen(const QRect& wanted, const QRect& available)
{
    QRect fit(wanted.topLeft(), wanted.size().boundedTo(available.size()));
    if (fit.right() > available.right())
        fit.moveRight(available.right());
    if (fit.bottom() > available.bottom())
        fit.moveBottom(available.bottom());
    if (fit.left() < available.left())
        fit.moveLeft(available.left());
    if (fit.top() < available.top())
        fit.moveTop(available.top());
    return fit;
}

// The saved (or default) place and size shrunk and moved into the free area
// of the screen the window is on, frame included, so that the log, the
// progress bar and the status bar are on the screen.
void MainWindow::FitToScreen()
{
    QScreen* pScreen = QGuiApplication::screenAt(geometry().center());
    if (!pScreen)
        pScreen = QGuiApplication::primaryScreen();
    if (!pScreen)
        return;
    // Before the window is shown its frame is unknown: reserve a title bar.
    QMargins frame(geometry().left() - frameGeometry().left(), geometry().top() - frameGeometry().top(),
                   frameGeometry().right() - geometry().right(), frameGeometry().bottom() - geometry().bottom());
    if (!isVisible() && frame.isNull())
        frame.setTop(style()->pixelMetric(QStyle::PM_TitleBarHeight));
    const QRect available = pScreen->availableGeometry() - frame;
    const QRect fit = FitIntoScreen(geometry(), available);
    if (fit != geometry())
        setGeometry(fit);
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
    if (m_pJob)
        CloseJob();  // the tabs' own settings are saved, never the job's
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
    AppendPlainLogLine(strPrefix + strLog);
    ui->statusbar->showMessage(strLog, 5000);
    m_strLastLine = strLog;
    m_runLog.Append(strPrefix + m_strLogInterface, strLog);
}

// Log lines are plain text: a file name such as "x<b>y.bin" must show as typed, never as markup.
void MainWindow::AppendPlainLogLine(const QString& strLine)
{
    QTextCursor cursor(ui->teLog->document());
    cursor.movePosition(QTextCursor::End);
    if (!ui->teLog->document()->isEmpty())
        cursor.insertBlock();
    cursor.insertText(strLine);
    ui->teLog->ensureCursorVisible();
    if (QScrollBar* pBar = ui->teLog->verticalScrollBar())
        pBar->setValue(pBar->maximum());
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
    m_pProgressBar->setStyleSheet(kChunkSuccess);
    TabWidgetInf* pTab = CurrentTab();
    if (!pTab) {
        pAction->setChecked(false);
        return;
    }
    m_operationTimer.start();
    TraceOperation(tr("操作: %1 %2, 接口: %3")
                       .arg(pAction->text(), ui->tabWidget->tabText(ui->tabWidget->currentIndex()).trimmed(),
                            QString::fromUtf8(m_pConfig->InterfaceName())));
    SetWidgetsEnable(false);
    m_bStopRequested = false;
    m_bBusy = true;
    m_strLastLine.clear();
    m_strRefusal.clear();
    m_pendingReports.clear();
    m_strLogInterface = QString("[%1] ").arg(QString::fromUtf8(m_pConfig->InterfaceName()));
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

void MainWindow::SpiWrite(bool bPressed)
{
    if (bPressed && m_pJob)
        RunJob();
    else if (bPressed)
        StartOperation(ui->action_write, true);
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
    SpiFinish(xq::kOptReset, nResult == 0);
}

void MainWindow::SpiFinish(int nOpt, bool bState)
{
    // The link closes first: a simulated bench that cannot save its chip
    // fails the operation, with the file and the reason.
    bState = m_pSession->Close(bState, m_pendingReports.isEmpty() ? nullptr : &m_pendingReports.last());
    // An operation whose traceability row was lost is not a success.
    // The panel's report: the first step that failed, else the last one.
    std::optional<OperationReport> report;
    for (const OperationReport& step : m_pendingReports) {
        report = step;
        if (step.eResult != OperationReport::kResultOk)
            break;
    }
    // The number stamped on this chip, for the operator to mark it.
    std::optional<uint32_t> nStamped;
    for (const OperationReport& step : m_pendingReports)
        if (step.bSerial && step.strOperation == "write")
            nStamped = step.nSerial;
    if (!WritePendingTraceRow())
        bState = false;
    // A tab that refused its input never started its worker: nothing ran.
    const bool bRan = m_bWorkerStarted || nOpt == xq::kOptReset;
    ShowOutcome(bRan, bState, report, nStamped);
    TraceOperation(Session::ResultLine(!bRan     ? Session::Outcome::kNotRun
                                       : bState ? Session::Outcome::kOk
                                                : Session::Outcome::kFailed));
    m_bWorkerStarted = false;
    m_bBusy = false;
    ui->action_stop->setEnabled(false);
    m_strLogInterface.clear();
    SetWidgetsEnable(true);
    if (nOpt == xq::kOptRead)
        ui->action_read->setChecked(false);
    else if (nOpt == xq::kOptWrite)
        ui->action_write->setChecked(false);
    else if (nOpt == xq::kOptReset)
        ui->action_reset->setChecked(false);
    if (nOpt == xq::kOptVerify) {
        m_pVerifyAction->setChecked(false);
        m_pBlankAction->setChecked(false);
    }
    m_pProgressBar->setStyleSheet(bState ? kChunkSuccess : kChunkFailure);
    // The close question is moot once the operation has ended: its box
    // closes, and closeEvent goes on to close the window.
    if (m_bAsking)
        msgbox::CloseQuestion();
    if (m_bQuitWhenDone)
        QTimer::singleShot(0, this, [this] { close(); });
}

// The result panel: the verdict and one line of reason, from the operation's
// report; when the window's own end of it (closing the link, the trace row)
// failed an operation the worker reported as a success, or no report came,
// from the operation's last log line.
void MainWindow::ShowOutcome(bool bRan, bool bState, const std::optional<OperationReport>& report,
                             std::optional<uint32_t> nStamped)
{
    if (!bRan) {
        m_pResultPanel->ShowNotRun(m_strRefusal.isEmpty() ? m_strLastLine : m_strRefusal);
        return;
    }
    QString strReason = m_strLastLine;
    if (report && (report->eResult == OperationReport::kResultOk) == bState) {
        strReason = ResultPanel::ReasonLine(*report);
        // A stop: the worker's last line says what the chip was left with.
        if (report->nCode == xq::kErrStopped && !m_strLastLine.isEmpty() && m_strLastLine != strReason)
            strReason = QString("%1: %2").arg(strReason, m_strLastLine);
    }
    if (strReason.isEmpty())  // a report without a message line
        strReason = m_strLastLine;
    m_pResultPanel->ShowResult(bState, strReason, double(m_operationTimer.elapsed()) / 1000.0);
    m_pResultPanel->SetSerial(nStamped);
}

void MainWindow::QuitOnSignals()
{
    if (g_signalFds[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalFds) != 0)
        return;
    auto* pNotifier = new QSocketNotifier(g_signalFds[1], QSocketNotifier::Read, this);
    connect(pNotifier, &QSocketNotifier::activated, this, [this] {
        char c = 0;
        [[maybe_unused]] const ssize_t n = ::read(g_signalFds[1], &c, 1);
        QuitBySignal();
    });
    struct sigaction action = {};
    action.sa_handler = OnQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int nSignal : {SIGTERM, SIGINT, SIGHUP})
        sigaction(nSignal, &action, nullptr);
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
    ui->action_read->setEnabled(bEnable && !m_pJob);  // a job only writes
    ui->action_write->setEnabled(bEnable);
    ui->action_reset->setEnabled(bEnable);
    if (m_pOpenJobAction) {  // built after the other actions
        m_pOpenJobAction->setEnabled(bEnable);
        m_pCloseJobAction->setEnabled(bEnable && m_pJob);
        m_pSaveJobAction->setEnabled(bEnable && !m_pJob);
    }
    const TabWidgetInf* pTab = CurrentTab();
    for (QAction* pAction : {m_pVerifyAction, m_pBlankAction})
        if (pAction)
            pAction->setEnabled(bEnable && pTab && pTab->CanVerify());
}
