#include "mainwindow.h"

#include "application.h"
#include "messagebox.h"
#include "runlogfile.h"
#include "spiconfig.h"
#include "tabwidgetinf.h"
#include "ui_mainwindow.h"

#include <jobfile.h>
#include <simbench.h>
#include <spiflashctrl.h>
#include <textrules.h>
#include <tracefile.h>

#include <QCloseEvent>
#include <QDateTime>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QResizeEvent>
#include <QScrollBar>
#include <QTextCursor>
#include <QSettings>
#include <QThread>
#include <QTimer>

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
    ui->statusbar->addPermanentWidget(m_pProgressBox);

    m_runLog.SetEnabled(RunLogFile::EnabledBySettings());
    m_strTraceFile = QSettings(kSettingsFile, QSettings::IniFormat).value("trace_file").toString();
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
}

MainWindow::~MainWindow()
{
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
    auto* pLabel = new QLabel(tr("模拟测试台：不会烧写真实芯片"), ui->statusbar);
    pLabel->setObjectName("lblBench");
    pLabel->setToolTip(strDir);
    ui->statusbar->addPermanentWidget(pLabel);
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
        connect(pTab, &TabWidgetInf::startWrite, this, [this] { m_bWorkerStarted = true; });
        connect(pTab, &TabWidgetInf::startRead, this, [this] { m_bWorkerStarted = true; });
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
        ui->toolBar->insertAction(ui->action_reset, pAction);
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
                            {{QMessageBox::Abort, tr("停止并退出")}, {QMessageBox::Cancel, tr("等待")}}) ==
           QMessageBox::Abort;
}

void MainWindow::closeEvent(QCloseEvent* pEvent)
{
    if (m_bBusy) {
        // The window closes only once the worker has finished: the close
        // comes back from SpiFinish when the operator chose to stop.
        pEvent->ignore();
        if (!m_bQuitWhenDone && AskStopAndQuit()) {
            m_bQuitWhenDone = true;
            m_bStopRequested = true;
            SetLog(tr("正在停止: 当前Flash命令完成后停止操作并退出"));
        }
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
    if (m_strTraceFile.isEmpty())
        return;
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
    bool bAll = true;
    for (const OperationReport& row : rows) {
        QString strError;
        if (!TraceFile(m_strTraceFile).Append(row, strError)) {
            SetLog(tr("追溯记录写入失败: %1").arg(strError));
            bAll = false;
        }
    }
    return bAll;
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
    SpiFlashCtrl* pCtrl = m_pConfig->Ctrl();
    if (pCtrl->IsOpen() ||
        pCtrl->Open(m_pConfig->InterfaceName(), nRateIndex >= 0 ? nRateIndex : m_pConfig->RateIndex()) == 0)
        return true;
    msgbox::Warning(this, tr("告警"), tr("接口未打开\n请确认后重试"));
    pAction->setChecked(false);
    return false;
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
    m_strLogInterface = QString("[%1] ").arg(QString::fromUtf8(m_pConfig->InterfaceName()));
    if (pAction == m_pVerifyAction || pAction == m_pBlankAction)
        pTab->Verify(pAction == m_pBlankAction);
    else if (bWrite)
        pTab->Write();
    else
        pTab->Read();
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
    m_strLogInterface = QString("[%1] ").arg(QString::fromUtf8(m_pConfig->InterfaceName()));
    m_operationTimer.start();
    const int nResult = m_pConfig->Ctrl()->SoftReset(false);
    OperationReport report;
    report.strOperation = "reset";
    report.SetResult(nResult == 0, nResult, nResult == 0 ? tr("复位成功!") : tr("复位失败: %1").arg(nResult));
    SetLog(report.strMessage);
    RecordOperation(report);
    SpiFinish(xq::kOptReset, nResult == 0);
}

void MainWindow::SpiFinish(int nOpt, bool bState)
{
    // The link closes first: a simulated bench that cannot save its chip
    // fails the operation, with the file and the reason.
    SpiFlashCtrl* pCtrl = m_pConfig->Ctrl();
    const int nClosed = pCtrl->Close();
    const QString strWhy = pCtrl->AdapterErrorText();
    if (nClosed != xq::kOk && (bState || !strWhy.isEmpty())) {
        const QString strLine = tr("接口关闭失败: %1").arg(strWhy.isEmpty() ? xq::ResultText(nClosed) : strWhy);
        SetLog(strLine);
        if (bState && !m_pendingReports.isEmpty())
            m_pendingReports.last().SetResult(false, nClosed, strLine);
        bState = false;
    }
    // An operation whose traceability row was lost is not a success.
    if (!WritePendingTraceRow())
        bState = false;
    // A tab that refused its input never started its worker: nothing ran.
    const bool bRan = m_bWorkerStarted || nOpt == xq::kOptReset;
    TraceOperation(tr("结果: %1").arg(!bRan ? tr("未执行") : bState ? tr("成功") : tr("失败")));
    m_bWorkerStarted = false;
    m_bBusy = false;
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
    if (m_bQuitWhenDone)
        QTimer::singleShot(0, this, [this] { close(); });
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
