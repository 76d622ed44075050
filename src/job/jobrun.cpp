#include "jobrun.h"

#include <spiflashctrl.h>

#include "serialcounter.h"

#include <serialstamp.h>

#include <commontexts.h>
#include <deviceinfo.h>
#include <flashrules.h>
#include <imageops.h>
#include <results.h>
#include <session.h>
#include <staticwrite.h>

#include <QElapsedTimer>

void TagJobReport(OperationReport& report, const JobPlan& plan)
{
    report.strJob = plan.spec.strName;
    report.jobSha256 = plan.jobSha256;
}

namespace {

// Hands a step's report on, tagged, and says whether the step succeeded.
bool EndStep(const JobPlan& plan, const JobSink& sink, bool bOk, OperationReport report, const QElapsedTimer& timer)
{
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

// Runs one step of src/ops (run starts it with the step's observer)
// and hands its report on, tagged; whether the step succeeded.
bool RunStep(const JobPlan& plan, const JobSink& sink, const std::function<int(OperationObserver&, OperationReport&)>& run)
{
    FunctionObserver observer(sink.log ? sink.log : [](const QString&) {}, sink.progress);
    QElapsedTimer timer;
    timer.start();
    OperationReport report;
    const int rc = run(observer, report);
    return EndStep(plan, sink, rc == xq::kOk, report, timer);
}

}  // namespace

bool RunJobSteps(SpiFlashCtrl& ctrl, const JobPlan& plan, SerialSource* pSerials, const JobSink& sink)
{
    // The job was checked against every flash size of the family; the flash
    // found now decides, by the same rules, before any step changes the chip
    // or takes a serial number. A flash that does not identify itself is left
    // to the write step, which refuses it in its own terms.
    {
        FlashInfo info;
        if (ctrl.ReadFlashInfo(&info) == 0 && xq::FlashSizeKnown(info.nTotalSize)) {
            const QString strRefusal = JobRules::FlashRefusal(plan, info.nTotalSize);
            if (!strRefusal.isEmpty()) {
                OperationReport report;
                report.strOperation = "write";
                report.strImage = plan.write.strImage;
                DescribeFlash(info, report);
                TagJobReport(report, plan);
                report.Refuse(xq::kErrBadArgument, strRefusal);
                if (sink.log)
                    sink.log(strRefusal);
                if (sink.report)
                    sink.report(report);
                return false;
            }
        }
    }
    // The job fixes how its page programs are sent; the link's own choice
    // comes back once the job is done.
    struct BatchChoice {
        SpiFlashCtrl& ctrl;
        const bool bBefore;
        ~BatchChoice() { ctrl.SetBatchPrograms(bBefore); }
    } batchChoice{ctrl, ctrl.BatchPrograms()};
    ctrl.SetBatchPrograms(plan.spec.bBatchPrograms);
    if (sink.log)
        sink.log(JobRules::tr("任务: %1 (任务文件SHA-256: %2)").arg(plan.spec.strName, QString::fromLatin1(plan.jobSha256)));
    if (sink.log)
        sink.log(xq::PrepareWriteLine(plan.write.strImage));
    const bool bWritten = RunStep(plan, sink, [&](OperationObserver& observer, OperationReport& report) {
        ImageWrite write(ctrl, observer);
        return RunWriteWithSerials(write, plan.write, report, plan.write.bSerial ? pSerials : nullptr, QString(),
                                   plan.spec.strName, sink.log);
    });
    if (!bWritten)
        return false;
    if (plan.bStatic &&
        !RunStep(plan, sink, [&](OperationObserver& observer, OperationReport& report) {
            return StaticWrite(ctrl, observer).Run(plan.staticWrite, report);
        }))
        return false;
    if (plan.bVerify &&
        !RunStep(plan, sink, [&](OperationObserver& observer, OperationReport& report) {
            return ImageVerify(ctrl, observer).Run(plan.verify, report);
        }))
        return false;
    return true;
}
