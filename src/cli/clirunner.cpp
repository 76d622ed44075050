#include "clirunner.h"

#include "cliprogress.h"

#include <baseworker.h>
#include <spiflashctrl.h>
#include <worker.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QThread>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

QString Stamp()
{
    return QDateTime::currentDateTime().toString("[yyyy-MM-dd hh:mm:ss.zzz]: ");
}

}  // namespace

void CliOutput::Log(const QString& strPrefix, const QString& strLine)
{
    if (strLine.isEmpty())
        return;
    QMutexLocker lock(&m_mutex);
    const QString strStamp = Stamp();
    for (const QString& strPart : strLine.split('\n')) {
        const QString strStamped = strStamp + strPrefix + strPart;
        CliProgress::PrintLine(stdout, strStamped.toUtf8().constData());
        m_runLog.Append(strStamped);
    }
}

void CliOutput::Print(const QString& strText)
{
    QMutexLocker lock(&m_mutex);
    std::fputs(strText.toUtf8().constData(), stdout);
    std::fflush(stdout);
}

void CliOutput::Record(const QString& strLine)
{
    m_runLog.Append(Stamp() + strLine);
}

Job::Job(CliOutput& out, const QByteArray& strInterface, bool bGang)
    : m_out(out), m_strInterface(strInterface),
      m_strPrefix(bGang ? QString("[%1] ").arg(QString::fromUtf8(strInterface)) : QString())
{
}

void Job::SetProgress(int nPercent)
{
    if (m_pProgress)
        m_pProgress->Set(nPercent);
}

void Job::Attach(QObject* pWorker)
{
    auto onLog = [this](const QString& s) { Log(s); };
    auto onProgress = [this](int n) { SetProgress(n); };
    if (auto* p = qobject_cast<BaseWorker*>(pWorker)) {
        QObject::connect(p, &BaseWorker::log, p, onLog, Qt::DirectConnection);
        QObject::connect(p, &BaseWorker::progress, p, onProgress, Qt::DirectConnection);
    } else if (auto* w = qobject_cast<Worker*>(pWorker)) {
        QObject::connect(w, &Worker::log, w, onLog, Qt::DirectConnection);
        QObject::connect(w, &Worker::progress, w, onProgress, Qt::DirectConnection);
    }
}

void Job::Execute(const JobFn& fn, int nRateIndex)
{
    QElapsedTimer timer;
    timer.start();
    SpiFlashCtrl ctrl;
    QList<QByteArray> names;
    ctrl.SelectAdapter(names, 0);
    ctrl.SetStopFlag(&StopFlag());
    if (ctrl.Open(m_strInterface, nRateIndex) != 0) {
        Log(QCoreApplication::translate("xqprog", "接口未打开\n请确认后重试"));
        const QString strWhy = ctrl.AdapterErrorText();  // the adapter library's reason
        if (!strWhy.isEmpty())
            Log(strWhy);
        m_bOk = false;
    } else {
        m_bOk = fn(ctrl, *this);
        // A simulated bench saves its chip here: a save that fails fails the job.
        const int nClosed = ctrl.Close();
        const QString strWhy = ctrl.AdapterErrorText();
        if (nClosed != xq::kOk && (m_bOk || !strWhy.isEmpty())) {
            Log(QCoreApplication::translate("xqprog", "接口关闭失败: %1")
                    .arg(strWhy.isEmpty() ? xq::ResultText(nClosed) : strWhy));
            m_bOk = false;
        }
    }
    m_dSeconds = double(timer.elapsed()) / 1000.0;
    m_out.Record(QCoreApplication::translate("xqprog", "结果: %1, 接口: %2")
                     .arg(m_bOk ? QCoreApplication::translate("xqprog", "成功") : QCoreApplication::translate("xqprog", "失败"),
                          QString::fromUtf8(m_strInterface)));
}

std::atomic<bool>& StopFlag()
{
    static std::atomic<bool> bStop{false};
    return bStop;
}

int RunJobs(CliContext& ctx, const QList<QByteArray>& targets, const JobFn& fn)
{
    const bool bGang = targets.size() > 1;
    const int nRateIndex = ctx.globals.nRateIndex;
    std::vector<std::unique_ptr<Job>> jobs;
    for (const QByteArray& strName : targets)
        jobs.push_back(std::make_unique<Job>(ctx.out, strName, bGang));
    if (!bGang) {
        CliProgress progress(!ctx.globals.bQuiet);
        jobs[0]->SetProgressBar(&progress);
        jobs[0]->Execute(fn, nRateIndex);
        progress.Done();
        return jobs[0]->Ok() ? kExitOk : kExitFailed;
    }
    std::vector<std::unique_ptr<QThread>> threads;
    for (auto& pJob : jobs) {
        Job* p = pJob.get();
        threads.emplace_back(QThread::create([p, &fn, nRateIndex] { p->Execute(fn, nRateIndex); }));
        threads.back()->start();
    }
    for (auto& pThread : threads)
        pThread->wait();
    bool bAll = true;
    QString strTable = QString::asprintf("\n%-24s %-8s %s\n", "interface", "result", "seconds");
    for (auto& pJob : jobs) {
        const bool bOk = pJob->Ok();
        strTable += QString::asprintf("%-24s %-8s %.2f\n", pJob->Interface().constData(), bOk ? "ok" : "FAILED",
                                      pJob->Seconds());
        bAll = bAll && bOk;
    }
    ctx.out.Print(strTable);
    return bAll ? kExitOk : kExitFailed;
}

bool RunImageWorker(BaseWorker& worker, Job& job, bool bWrite)
{
    bool bOk = false;
    job.Attach(&worker);
    QObject::connect(&worker, &BaseWorker::finish, &worker, [&bOk](int, bool b) { bOk = b; }, Qt::DirectConnection);
    if (bWrite)
        worker.OnWrite();
    else
        worker.OnRead();
    return bOk;
}
