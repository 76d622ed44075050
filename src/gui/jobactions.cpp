// The window's production jobs (jobactions.h).
#include "jobactions.h"

#include "application.h"
#include "baseop.h"
#include "messagebox.h"
#include "resultpanel.h"
#include "spiconfig.h"
#include "staticdata.h"
#include "toolactions.h"
#include "windowlinedb.h"

#include <commontexts.h>
#include <jobfile.h>
#include <jobrun.h>
#include <jobstart.h>
#include <operationreport.h>
#include <ratetable.h>
#include <spiflashctrl.h>

#include <QAction>
#include <QFileInfo>
#include <QLabel>
#include <QSettings>
#include <QStatusBar>
#include <QThread>
#include <QToolBar>

JobActions::JobActions(JobHost& host, const JobWidgets& widgets, QObject* pParent)
    : QObject(pParent), m_host(host), m_w(widgets)
{
    m_strTitle = m_w.pWindow->windowTitle();
    m_pOpenAction = NewToolAction(":/main/icon/job_open_48.png", tr("打开任务"), "action_open_job",
                                  tr("打开生产任务：选项锁定为任务的设置"), m_w.pWindow);
    m_pCloseAction = NewToolAction(":/main/icon/job_close_48.png", tr("关闭任务"), "action_close_job",
                                   tr("关闭任务，解除锁定"), m_w.pWindow);
    m_pSaveAction = NewToolAction(":/main/icon/job_save_48.png", tr("保存为任务"), "action_save_job",
                                  tr("将当前设置保存为生产任务"), m_w.pWindow);
    // After the operations: the first buttons stay configure, read, write, reset and log.
    m_w.pToolBar->addSeparator();
    m_w.pToolBar->addAction(m_pOpenAction);
    m_w.pToolBar->addAction(m_pCloseAction);
    m_w.pToolBar->addAction(m_pSaveAction);
    m_pCloseAction->setEnabled(false);
    m_pLabel = new QLabel(m_w.pStatusBar);
    m_pLabel->setObjectName("lblJob");
    m_pLabel->hide();
    m_w.pStatusBar->insertPermanentWidget(0, m_pLabel);
    connect(m_pOpenAction, &QAction::triggered, this, &JobActions::Choose);
    connect(m_pCloseAction, &QAction::triggered, this, &JobActions::Close);
    connect(m_pSaveAction, &QAction::triggered, this, &JobActions::SaveAs);
}

JobActions::~JobActions()
{
    Wait();
}

void JobActions::Wait()
{
    if (m_pThread) {
        m_pThread->wait();
        delete m_pThread;
        m_pThread = nullptr;
    }
}

void JobActions::SetEnabled(bool bEnable)
{
    m_pOpenAction->setEnabled(bEnable);
    m_pCloseAction->setEnabled(bEnable && m_pJob);
    m_pSaveAction->setEnabled(bEnable && !m_pJob);
}

void JobActions::Choose()
{
    const QString strDir = QSettings(kSettingsFile, QSettings::IniFormat).value("job_dir").toString();
    const QString strPath = msgbox::OpenFileName(m_w.pWindow, tr("打开任务"), strDir, tr("任务文件 (*.xqjob)"));
    if (strPath.isEmpty())
        return;
    QSettings(kSettingsFile, QSettings::IniFormat).setValue("job_dir", QFileInfo(strPath).absolutePath());
    Open(strPath);
}

bool JobActions::Open(const QString& strPath)
{
    JobPlan plan;
    QString strError;
    if (!JobRules::Prepare(strPath, plan, strError)) {
        m_host.JobLog(tr("任务无法打开: %1").arg(strError));
        msgbox::Warning(m_w.pWindow, tr("告警"), strError);
        return false;
    }
    if (m_pJob)
        Close();
    // The tabs keep their own settings to come back to when the job closes.
    m_w.pBaseOp->SaveSettings();
    m_w.pStatic->SaveSettings();
    m_pJob = std::make_unique<JobPlan>(plan);
    m_w.pBaseOp->ShowJob(plan);
    m_w.pStatic->ShowJob(plan);
    m_w.pBaseOp->setEnabled(false);
    m_w.pStatic->setEnabled(false);
    const QString strJob = tr("任务: %1 [%2]").arg(plan.spec.strName, plan.ImageShortHash());
    m_w.pWindow->setWindowTitle(m_strTitle + " - " + strJob);
    m_pLabel->setText(strJob);
    m_pLabel->setToolTip(plan.strPath);
    m_pLabel->show();
    m_w.pResultPanel->SetJobName(QString("%1 [%2]").arg(plan.spec.strName, plan.ImageShortHash()));
    m_host.JobLog(tr("已打开任务: %1 (%2)").arg(plan.spec.strName, plan.strPath));
    m_host.JobChanged();
    return true;
}

void JobActions::Close()
{
    if (!m_pJob)
        return;
    const QString strName = m_pJob->spec.strName;
    m_pJob.reset();
    m_w.pBaseOp->setEnabled(true);
    m_w.pStatic->setEnabled(true);
    m_w.pBaseOp->LoadSettings();
    m_w.pStatic->LoadSettings();
    m_w.pWindow->setWindowTitle(m_strTitle);
    m_pLabel->hide();
    m_w.pResultPanel->SetJobName(QString());
    m_host.JobLog(tr("已关闭任务: %1").arg(strName));
    m_host.JobChanged();
}

void JobActions::SaveAs()
{
    JobSpec spec;
    m_w.pBaseOp->JobSettings(spec);
    if (spec.strImage.isEmpty()) {
        msgbox::Warning(m_w.pWindow, tr("告警"), tr("请先勾选任务要烧写的文件"));
        return;
    }
    const QString strDir = QSettings(kSettingsFile, QSettings::IniFormat).value("job_dir").toString();
    QString strPath = msgbox::SaveFileName(m_w.pWindow, tr("保存为任务"), strDir, tr("任务文件 (*.xqjob)"));
    if (strPath.isEmpty())
        return;
    if (!strPath.endsWith(".xqjob"))
        strPath += ".xqjob";
    spec.strName = QFileInfo(strPath).completeBaseName();
    spec.strRate = xq::kRateTable[m_w.pConfig->RateIndex()].pLabel;
    spec.strImage = JobRules::StorePath(strPath, spec.strImage);
    if (spec.bSerial) {
        // A job's serial numbers come from a counter file shared with every run on this PC.
        const QString strCounter = msgbox::SaveFileName(m_w.pWindow, tr("序列号计数文件"), QFileInfo(strPath).absolutePath(),
                                                        tr("文本文件 (*.txt)"));
        if (strCounter.isEmpty())
            return;
        spec.strCounterFile = JobRules::StorePath(strPath, strCounter);
    }
    JobSpec staticSpec;
    m_w.pStatic->JobSettings(staticSpec);
    if (!staticSpec.strWorkbook.isEmpty() &&
        msgbox::Question(m_w.pWindow, tr("请确认"), tr("任务是否包含静态数据写入?\n工作簿: %1").arg(staticSpec.strWorkbook)) ==
            QMessageBox::Yes) {
        spec.bStatic = true;
        spec.strWorkbook = JobRules::StorePath(strPath, staticSpec.strWorkbook);
        spec.strStaticStart = staticSpec.strStaticStart;
        spec.strStaticTotal = staticSpec.strStaticTotal;
        spec.bStaticCurrent = staticSpec.bStaticCurrent;
    }
    QString strError;
    if (!JobRules::Complete(strPath, spec, strError) || !JobRules::Write(strPath, spec, strError)) {
        m_host.JobLog(tr("任务无法保存: %1").arg(strError));
        msgbox::Warning(m_w.pWindow, tr("告警"), strError);
        return;
    }
    QSettings(kSettingsFile, QSettings::IniFormat).setValue("job_dir", QFileInfo(strPath).absolutePath());
    m_host.JobLog(tr("任务已保存: %1").arg(strPath));
}

void JobActions::Run(QAction* pAction)
{
    QString strError;
    auto pStart = std::make_shared<JobStart>();
    // Checked again whole before the adapter opens: a file changed since the
    // job was opened is refused here, the job file itself too (its name and
    // hash are in the title). Then the line database (the job's, unless the
    // window's settings name one) and its counter, which stands in for the
    // job's counter file.
    const bool bChecked = pStart->Load(m_pJob->strPath, strError, &m_pJob->jobSha256) &&
                          m_w.pLineDb->Begin(&pStart->Plan().spec, pStart->Plan().write.bSerial, strError) &&
                          pStart->PrepareSerials(m_w.pLineDb->Serials(), 1, strError);
    if (!bChecked) {
        m_host.JobTrace(
            tr("操作: 任务 %1, 接口: %2").arg(m_pJob->spec.strName, QString::fromUtf8(m_w.pConfig->InterfaceName())));
        m_host.JobLog(tr("任务被拒绝: %1").arg(strError));
        m_host.JobRefused(pAction, strError);
        return;
    }
    SpiFlashCtrl* pCtrl = m_w.pConfig->Ctrl();
    if (pCtrl->IsOpen())
        pCtrl->Close();  // opened again at the job's rate
    if (!m_host.JobOpenAdapter(pAction, pStart->Plan().nRateIndex))
        return;
    const QString strInterface = QString::fromUtf8(m_w.pConfig->InterfaceName());
    m_host.JobStarted(tr("操作: 任务 %1, 接口: %2").arg(pStart->Plan().spec.strName, strInterface));
    auto pOk = std::make_shared<bool>(false);
    m_pThread = QThread::create([this, pCtrl, pStart, pOk] {
        JobSink sink;
        sink.log = [this](const QString& strLine) {
            QMetaObject::invokeMethod(this, [this, strLine] { m_host.JobLog(strLine); }, Qt::QueuedConnection);
        };
        sink.progress = [this](int n) {
            QMetaObject::invokeMethod(this, [this, n] { m_host.JobProgress(n); }, Qt::QueuedConnection);
        };
        sink.report = [this](const OperationReport& report) {
            QMetaObject::invokeMethod(this, [this, report] { m_host.JobReport(report); }, Qt::QueuedConnection);
        };
        *pOk = pStart->Run(*pCtrl, sink);
    });
    connect(m_pThread, &QThread::finished, this, [this, pStart, pOk] {
        m_pThread->deleteLater();
        m_pThread = nullptr;
        // After a stop nothing is said of the next number (the stop's lines
        // stay the last); the locked tab offers what the counter gives next.
        if (const int64_t nNext = pStart->NextSerial(); nNext >= 0)
            m_host.JobLog(xq::NextSerialLine(uint64_t(nNext)));
        if (const int64_t nFree = pStart->Serials() ? pStart->Serials()->NextFree() : -1; nFree >= 0)
            m_w.pBaseOp->ShowNextSerial(uint64_t(nFree));
        m_host.JobFinished(*pOk);
    });
    m_pThread->start();
}
