// The window's production jobs: open a job (the options, the browser and the
// static data tab locked to it), close it, save the current settings as one,
// and 烧写 running the whole job through the code xqprog's run uses.
#include "mainwindow.h"
#include "resultpanel.h"

#include "application.h"
#include "messagebox.h"
#include "spiconfig.h"
#include "ui_mainwindow.h"

#include <commontexts.h>
#include <baseop.h>
#include <jobfile.h>
#include <jobrun.h>
#include <ratetable.h>
#include <serialcounter.h>
#include <spiflashctrl.h>
#include <staticdata.h>

#include <QAction>
#include <QCoreApplication>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QSettings>
#include <QThread>
#include <QStatusBar>
#include <QToolBar>

void MainWindow::BuildJobActions()
{
    m_strTitle = windowTitle();
    m_pOpenJobAction = new QAction(QIcon(":/main/icon/job_open_48.png"), tr("打开任务"), this);
    m_pOpenJobAction->setObjectName("action_open_job");
    m_pOpenJobAction->setToolTip(tr("打开生产任务：选项锁定为任务的设置"));
    m_pCloseJobAction = new QAction(QIcon(":/main/icon/job_close_48.png"), tr("关闭任务"), this);
    m_pCloseJobAction->setObjectName("action_close_job");
    m_pCloseJobAction->setToolTip(tr("关闭任务，解除锁定"));
    m_pSaveJobAction = new QAction(QIcon(":/main/icon/job_save_48.png"), tr("保存为任务"), this);
    m_pSaveJobAction->setObjectName("action_save_job");
    m_pSaveJobAction->setToolTip(tr("将当前设置保存为生产任务"));
    // After the operations: the first buttons stay configure, read, write, reset and log.
    ui->toolBar->addSeparator();
    ui->toolBar->addAction(m_pOpenJobAction);
    ui->toolBar->addAction(m_pCloseJobAction);
    ui->toolBar->addAction(m_pSaveJobAction);
    m_pCloseJobAction->setEnabled(false);
    m_pJobLabel = new QLabel(ui->statusbar);
    m_pJobLabel->setObjectName("lblJob");
    m_pJobLabel->hide();
    ui->statusbar->insertPermanentWidget(0, m_pJobLabel);
    connect(m_pOpenJobAction, &QAction::triggered, this, &MainWindow::ChooseJob);
    connect(m_pCloseJobAction, &QAction::triggered, this, &MainWindow::CloseJob);
    connect(m_pSaveJobAction, &QAction::triggered, this, &MainWindow::SaveAsJob);
}

void MainWindow::ChooseJob()
{
    const QString strDir = QSettings(kSettingsFile, QSettings::IniFormat).value("job_dir").toString();
    const QString strPath = msgbox::OpenFileName(this, tr("打开任务"), strDir, tr("任务文件 (*.xqjob)"));
    if (strPath.isEmpty())
        return;
    QSettings(kSettingsFile, QSettings::IniFormat).setValue("job_dir", QFileInfo(strPath).absolutePath());
    OpenJob(strPath);
}

bool MainWindow::OpenJob(const QString& strPath)
{
    JobPlan plan;
    QString strError;
    if (!JobRules::Prepare(strPath, plan, strError) || !(strError = JobRules::WindowRefusal(plan.spec)).isEmpty()) {
        SetLog(tr("任务无法打开: %1").arg(strError));
        msgbox::Warning(this, tr("告警"), strError);
        return false;
    }
    if (m_pJob)
        CloseJob();
    // The tabs keep their own settings to come back to when the job closes.
    ui->tabBaseOp->SaveSettings();
    ui->tabStatic->SaveSettings();
    m_pJob = std::make_unique<JobPlan>(plan);
    ui->tabBaseOp->ShowJob(plan);
    ui->tabStatic->ShowJob(plan);
    ui->tabBaseOp->setEnabled(false);
    ui->tabStatic->setEnabled(false);
    const QString strJob = tr("任务: %1 [%2]").arg(plan.spec.strName, plan.ImageShortHash());
    setWindowTitle(m_strTitle + " - " + strJob);
    m_pJobLabel->setText(strJob);
    m_pJobLabel->setToolTip(plan.strPath);
    m_pJobLabel->show();
    m_pResultPanel->SetJobName(QString("%1 [%2]").arg(plan.spec.strName, plan.ImageShortHash()));
    SetLog(tr("已打开任务: %1 (%2)").arg(plan.spec.strName, plan.strPath));
    SetWidgetsEnable(!m_bBusy);
    return true;
}

void MainWindow::CloseJob()
{
    if (!m_pJob)
        return;
    const QString strName = m_pJob->spec.strName;
    m_pJob.reset();
    ui->tabBaseOp->setEnabled(true);
    ui->tabStatic->setEnabled(true);
    ui->tabBaseOp->LoadSettings();
    ui->tabStatic->LoadSettings();
    setWindowTitle(m_strTitle);
    m_pJobLabel->hide();
    m_pResultPanel->SetJobName(QString());
    SetLog(tr("已关闭任务: %1").arg(strName));
    SetWidgetsEnable(!m_bBusy);
}

void MainWindow::SaveAsJob()
{
    JobSpec spec;
    ui->tabBaseOp->JobSettings(spec);
    if (spec.strImage.isEmpty()) {
        msgbox::Warning(this, tr("告警"), tr("请先勾选任务要烧写的文件"));
        return;
    }
    const QString strDir = QSettings(kSettingsFile, QSettings::IniFormat).value("job_dir").toString();
    QString strPath = msgbox::SaveFileName(this, tr("保存为任务"), strDir, tr("任务文件 (*.xqjob)"));
    if (strPath.isEmpty())
        return;
    if (!strPath.endsWith(".xqjob"))
        strPath += ".xqjob";
    spec.strName = QFileInfo(strPath).completeBaseName();
    spec.strRate = xq::kRateTable[m_pConfig->RateIndex()].pLabel;
    spec.strImage = JobRules::StorePath(strPath, spec.strImage);
    if (spec.bSerial) {
        // A job's serial numbers come from a counter file shared with every run on this PC.
        const QString strCounter = msgbox::SaveFileName(this, tr("序列号计数文件"), QFileInfo(strPath).absolutePath(),
                                                        tr("文本文件 (*.txt)"));
        if (strCounter.isEmpty())
            return;
        spec.strCounterFile = JobRules::StorePath(strPath, strCounter);
    }
    JobSpec staticSpec;
    ui->tabStatic->JobSettings(staticSpec);
    if (!staticSpec.strWorkbook.isEmpty() &&
        msgbox::Question(this, tr("请确认"), tr("任务是否包含静态数据写入?\n工作簿: %1").arg(staticSpec.strWorkbook)) ==
            QMessageBox::Yes) {
        spec.bStatic = true;
        spec.strWorkbook = JobRules::StorePath(strPath, staticSpec.strWorkbook);
        spec.strStaticStart = staticSpec.strStaticStart;
        spec.strStaticTotal = staticSpec.strStaticTotal;
        spec.bStaticCurrent = staticSpec.bStaticCurrent;
    }
    QString strError;
    if (!JobRules::Complete(strPath, spec, strError) || !JobRules::Write(strPath, spec, strError)) {
        SetLog(tr("任务无法保存: %1").arg(strError));
        msgbox::Warning(this, tr("告警"), strError);
        return;
    }
    QSettings(kSettingsFile, QSettings::IniFormat).setValue("job_dir", QFileInfo(strPath).absolutePath());
    SetLog(tr("任务已保存: %1").arg(strPath));
}

void MainWindow::RunJob()
{
    QString strError;
    auto pPlan = std::make_shared<JobPlan>();
    auto pSerials = std::make_shared<SerialCounter>();
    // Checked again whole before the adapter opens: a file changed since the
    // job was opened is refused here.
    bool bChecked = JobRules::Prepare(m_pJob->strPath, *pPlan, strError) &&
                    (strError = JobRules::WindowRefusal(pPlan->spec)).isEmpty();
    // The job file itself must still be the one shown (its name and hash in the title).
    if (bChecked && pPlan->jobSha256 != m_pJob->jobSha256) {
        strError = JobRules::Changed(m_pJob->strPath, m_pJob->jobSha256, pPlan->jobSha256);
        bChecked = false;
    }
    bChecked = bChecked && (!pPlan->write.bSerial || pSerials->Init(pPlan->strCounterFile, pPlan->nFirstSerial, strError));
    if (!bChecked) {
        TraceOperation(tr("操作: 任务 %1, 接口: %2").arg(m_pJob->spec.strName, QString::fromUtf8(m_pConfig->InterfaceName())));
        SetLog(tr("任务被拒绝: %1").arg(strError));
        RefuseAttempt(ui->action_write, strError);
        return;
    }
    SpiFlashCtrl* pCtrl = m_pConfig->Ctrl();
    if (pCtrl->IsOpen())
        pCtrl->Close();  // opened again at the job's rate
    if (!OpenInterface(ui->action_write, pPlan->nRateIndex))
        return;
    m_pProgressBar->setStyleSheet(kChunkSuccess);
    m_operationTimer.start();
    const QString strInterface = QString::fromUtf8(m_pConfig->InterfaceName());
    TraceOperation(tr("操作: 任务 %1, 接口: %2").arg(pPlan->spec.strName, strInterface));
    SetWidgetsEnable(false);
    m_bStopRequested = false;
    m_bBusy = true;
    m_strRefusal.clear();
    m_strLastLine.clear();
    m_pendingReports.clear();
    WorkerStarted();
    m_strLogInterface = QString("[%1] ").arg(strInterface);
    auto pOk = std::make_shared<bool>(false);
    m_pJobThread = QThread::create([this, pCtrl, pPlan, pSerials, pOk] {
        JobSink sink;
        sink.log = [this](const QString& strLine) {
            QMetaObject::invokeMethod(this, [this, strLine] { SetLog(strLine); }, Qt::QueuedConnection);
        };
        sink.progress = [this](int n) {
            QMetaObject::invokeMethod(this, [this, n] { SetProgress(n); }, Qt::QueuedConnection);
        };
        sink.report = [this](const OperationReport& report) {
            QMetaObject::invokeMethod(this, [this, report] { RecordOperation(report); }, Qt::QueuedConnection);
        };
        *pOk = RunJobSteps(*pCtrl, *pPlan, pPlan->write.bSerial ? pSerials.get() : nullptr, sink);
    });
    connect(m_pJobThread, &QThread::finished, this, [this, pPlan, pSerials, pOk] {
        m_pJobThread->deleteLater();
        m_pJobThread = nullptr;
        if (pPlan->write.bSerial) {
            SetLog(xq::NextSerialLine(pSerials->Next()));
            ui->tabBaseOp->ShowNextSerial(pSerials->Next());
        }
        SpiFinish(xq::kOptWrite, *pOk);
    });
    m_pJobThread->start();
}
