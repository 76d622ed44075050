#include "jobrun.h"

#include "serialcounter.h"

#include <baseworker.h>
#include <worker.h>

#include <QElapsedTimer>

void TagJobReport(OperationReport& report, const JobPlan& plan)
{
    report.strJob = plan.spec.strName;
    report.jobSha256 = plan.jobSha256;
}

namespace {

// Connects one step's worker to the sink; the step's result and report come back in bOk and report.
template <typename W>
void Connect(W& worker, const JobSink& sink, bool& bOk, OperationReport& report, bool& bReported)
{
    if (sink.log)
        QObject::connect(&worker, &W::log, &worker, sink.log, Qt::DirectConnection);
    if (sink.progress)
        QObject::connect(&worker, &W::progress, &worker, sink.progress, Qt::DirectConnection);
    QObject::connect(&worker, &W::report, &worker, [&report, &bReported](const OperationReport& r) {
        report = r;
        bReported = true;
    }, Qt::DirectConnection);
    QObject::connect(&worker, &W::finish, &worker, [&bOk](int, bool b) { bOk = b; }, Qt::DirectConnection);
}

// Hands a step's report on, tagged, and says whether the step succeeded.
bool EndStep(const JobPlan& plan, const JobSink& sink, bool bOk, OperationReport report, bool bReported,
             const QString& strOperation, const QElapsedTimer& timer)
{
    if (!bReported)
        report.strOperation = strOperation;
    report.dSeconds = double(timer.elapsed()) / 1000.0;
    TagJobReport(report, plan);
    if (bOk)
        report.eResult = OperationReport::kResultOk;
    else if (report.eResult == OperationReport::kResultOk)
        report.eResult = OperationReport::kResultFailed;
    if (sink.report)
        sink.report(report);
    return bOk;
}

}  // namespace

bool RunJobSteps(SpiFlashCtrl& ctrl, const JobPlan& plan, SerialCounter* pSerials, const JobSink& sink)
{
    if (sink.log)
        sink.log(JobRules::tr("任务: %1 (任务文件SHA-256: %2)").arg(plan.spec.strName, QString::fromLatin1(plan.jobSha256)));
    {
        BaseWorker worker;
        worker.pSpiCtrl = &ctrl;
        if (plan.write.bSerial && pSerials)
            worker.takeSerial = [pSerials, &sink](uint32_t& nSerial) {
                QString strError;
                if (pSerials->Take(nSerial, strError))
                    return true;
                if (sink.log)
                    sink.log(strError);
                return false;
            };
        bool bOk = false;
        bool bReported = false;
        OperationReport report;
        Connect(worker, sink, bOk, report, bReported);
        if (sink.log)
            sink.log(QCoreApplication::translate("xqprog", "准备烧写%1文件").arg(plan.write.strImage));
        QElapsedTimer timer;
        timer.start();
        worker.OnWrite(plan.write);
        if (!EndStep(plan, sink, bOk, report, bReported, "write", timer))
            return false;
    }
    if (plan.bStatic) {
        Worker worker;
        worker.pSpiCtrl = &ctrl;
        bool bOk = false;
        bool bReported = false;
        OperationReport report;
        Connect(worker, sink, bOk, report, bReported);
        QElapsedTimer timer;
        timer.start();
        worker.OnWrite(plan.staticWrite);
        if (!EndStep(plan, sink, bOk, report, bReported, "static write", timer))
            return false;
    }
    if (plan.bVerify) {
        BaseWorker worker;
        worker.pSpiCtrl = &ctrl;
        bool bOk = false;
        bool bReported = false;
        OperationReport report;
        Connect(worker, sink, bOk, report, bReported);
        QElapsedTimer timer;
        timer.start();
        worker.OnVerify(plan.verify);
        if (!EndStep(plan, sink, bOk, report, bReported, "verify", timer))
            return false;
    }
    return true;
}
