// job create, job show and run: production jobs on the command line. A job
// is checked whole (jobfile.h) before any adapter opens, then its steps run
// on every chosen adapter through the same code as the window's (jobrun.h).
#include "clirunner.h"
#include "commands.h"
#include "serialcounter.h"

#include <linedb.h>

#include <commontexts.h>
#include <imagerequest.h>
#include <jobfile.h>
#include <jobrun.h>
#include <ratetable.h>
#include <spiflashctrl.h>

#include <QCoreApplication>
#include <QFileInfo>

QList<QCommandLineOption> JobCreateOptions()
{
    return {{"image", "The image to write (required); stored relative to the job file when it lies beside it.", "FILE"},
            {"name", "The job's name (default: the job file's name without .xqjob).", "TEXT"},
            {"description", "A free description.", "TEXT"},
            {"start", "The flash address of the image (hexadecimal, default 0).", "HEX"},
            {"erase", "What to erase first: whole, file (the default), smart, or a byte count.",
             "whole|file|smart|BYTES"},
            {"protect", "Write-protect the flash afterwards."},
            {"serial-file", "Stamp serial numbers taken from this counter file.", "FILE"},
            {"serial", "With --serial-file: the first number when the counter file is missing (default 1).", "N"},
            {"check-serial", "Read each stamped serial number record back and compare it (off by default; has only "
                             "run on the simulated bench)."},
            {"static", "Also write the static data record laid out by this workbook.", "WORKBOOK"},
            {"static-start", "The record's flash address (hexadecimal; default the workbook's, else 1FF000).", "HEX"},
            {"static-total", "The record's total size in bytes (default: its used length + 20, rounded up to 4).",
             "BYTES"},
            {"static-values", "Write the workbook's default or current values (default: default).",
             "default|current"},
            {"verify", "End with a verify step: the image read back and compared, nothing written."},
            {"from", "Take the whole recipe from this job file, also one of the older format without format "
                     "version and checksum, whose files must still be the ones it names; writes it anew.",
             "JOB"},
            {"line-db", "Record every chip of the job's runs in this line database (sqlite:PATH or "
                        "postgresql://user@host:port/dbname; never a password: it comes from PGPASSFILE or ~/.pgpass).",
             "URL"},
            {"serial-counter", "With --line-db: stamp serial numbers taken from this counter of the database "
                               "(instead of --serial-file).",
             "NAME"},
            {"force", "Replace an existing job file."}};
}

namespace {

// Writes a checked job and shows it as read back.
int WriteJob(CliContext& ctx, const QString& strPath, JobSpec spec)
{
    QString strError;
    if (!JobRules::Write(strPath, spec, strError))
        return (std::fprintf(stderr, "xqprog: %s\n", qPrintable(strError)), kExitFailed);
    QByteArray jobSha256;
    if (!JobRules::Read(strPath, spec, jobSha256, strError))
        return (std::fprintf(stderr, "xqprog: %s\n", qPrintable(strError)), kExitFailed);
    ctx.out.Print(JobRules::Describe(spec, jobSha256));
    return kExitOk;
}

// job create J --from OLD: OLD's recipe, its files where OLD names them and
// still the bytes it names, written anew (format version and checksum).
int CreateFrom(CliContext& ctx, const QString& strPath)
{
    const QCommandLineParser& p = ctx.parser;
    for (const QCommandLineOption& option : JobCreateOptions()) {
        const QString strName = option.names().first();
        if (strName != "from" && strName != "force" && p.isSet(strName))
            return UsageError(ctx, QCoreApplication::translate("xqprog", "--from 从任务中取用全部配置: 不能再加 --%1").arg(strName));
    }
    // --rate and --batch-programs are global options: the job takes them, --from may not add them.
    for (const char* pGlobal : {"rate", "batch-programs"})
        if (p.isSet(pGlobal))
            return UsageError(ctx, QCoreApplication::translate("xqprog", "--from 从任务中取用全部配置: 不能再加 --%1").arg(pGlobal));
    const QString strFrom = QFileInfo(p.value("from")).absoluteFilePath();
    JobSpec spec;
    QByteArray jobSha256;
    QString strError;
    if (!JobRules::Read(strFrom, spec, jobSha256, strError, true))
        return UsageError(ctx, strError);
    // The paths are stored relative to the new file's directory.
    auto moved = [&](const QString& strStored) {
        return strStored.isEmpty() ? strStored : JobRules::StorePath(strPath, JobRules::Resolve(strFrom, strStored));
    };
    spec.strImage = moved(spec.strImage);
    spec.strWorkbook = moved(spec.strWorkbook);
    spec.strCounterFile = moved(spec.strCounterFile);
    if (!JobRules::Complete(strPath, spec, strError, true))
        return UsageError(ctx, strError);
    return WriteJob(ctx, strPath, spec);
}

}  // namespace

int CmdJobCreate(CliContext& ctx)
{
    const QCommandLineParser& p = ctx.parser;
    const QString strPath = QFileInfo(ctx.args.first()).absoluteFilePath();
    if (!strPath.endsWith(".xqjob"))
        return UsageError(ctx, QCoreApplication::translate("xqprog", "任务文件名须以 .xqjob 结尾: %1").arg(ctx.args.first()));
    if (QFileInfo::exists(strPath) && !p.isSet("force"))
        return UsageError(ctx, QCoreApplication::translate("xqprog", "任务文件已存在: %1 (--force 可替换)").arg(strPath));
    if (p.isSet("from"))
        return CreateFrom(ctx, strPath);
    if (!p.isSet("image"))
        return UsageError(ctx, QCoreApplication::translate("xqprog", "job create 需要 --image FILE"));
    JobSpec spec;
    spec.strName = p.isSet("name") ? p.value("name") : QFileInfo(strPath).completeBaseName();
    spec.strDescription = p.value("description");
    if (p.isSet("rate"))
        spec.strRate = xq::kRateTable[ctx.globals.nRateIndex].pLabel;
    spec.strImage = JobRules::StorePath(strPath, p.value("image"));
    if (p.isSet("start"))
        spec.strStart = p.value("start");
    if (p.isSet("erase")) {
        const QString strErase = p.value("erase");
        const bool bSize = ImageRules::EraseMode(strErase) == kEraseBySize;
        spec.strErase = bSize ? QString("size") : strErase;
        spec.strEraseSize = bSize ? strErase : QString();
    }
    spec.bProtect = p.isSet("protect");
    if (p.isSet("serial") && !p.isSet("serial-file"))
        return UsageError(ctx, QCoreApplication::translate("xqprog", "--serial 需要 --serial-file: 任务的序列号来自计数文件"));
    if (p.isSet("serial-counter") && !p.isSet("line-db"))
        return UsageError(ctx, QCoreApplication::translate("xqprog", "--serial-counter 需要 --line-db"));
    if (p.isSet("serial-counter") && p.isSet("serial-file"))
        return UsageError(ctx, QCoreApplication::translate("xqprog", "--serial-counter 与 --serial-file: 任务的序列号只能来自其中之一"));
    spec.strLineDb = p.value("line-db");
    spec.strSerialCounter = p.value("serial-counter");
    spec.bSerial = p.isSet("serial-file") || p.isSet("serial-counter");
    if (p.isSet("check-serial") && !spec.bSerial)
        return UsageError(ctx, QCoreApplication::translate("xqprog", "--check-serial 需要 --serial-file 或 --serial-counter"));
    spec.bCheckSerial = p.isSet("check-serial");
    if (p.isSet("serial-file")) {
        spec.strCounterFile = JobRules::StorePath(strPath, p.value("serial-file"));
        if (p.isSet("serial"))
            spec.strFirstSerial = p.value("serial");
    }
    spec.bStatic = p.isSet("static");
    if (!spec.bStatic && (p.isSet("static-start") || p.isSet("static-total") || p.isSet("static-values")))
        return UsageError(ctx, QCoreApplication::translate("xqprog", "--static-start、--static-total 和 --static-values 需要 --static WORKBOOK"));
    if (spec.bStatic) {
        spec.strWorkbook = JobRules::StorePath(strPath, p.value("static"));
        spec.strStaticStart = p.value("static-start");
        spec.strStaticTotal = p.value("static-total");
        const QString strValues = p.isSet("static-values") ? p.value("static-values") : QString("default");
        if (strValues != "default" && strValues != "current")
            return UsageError(ctx, QCoreApplication::translate("xqprog", "--static-values 无效: %1").arg(strValues));
        spec.bStaticCurrent = strValues == "current";
    }
    spec.bVerify = p.isSet("verify");
    spec.bBatchPrograms = p.isSet("batch-programs");
    QString strError;
    if (!JobRules::Complete(strPath, spec, strError))
        return UsageError(ctx, strError);
    return WriteJob(ctx, strPath, spec);
}

int CmdJobShow(CliContext& ctx)
{
    JobSpec spec;
    QByteArray jobSha256;
    QString strError;
    if (!JobRules::Read(ctx.args.first(), spec, jobSha256, strError))
        return UsageError(ctx, strError);
    ctx.out.Print(JobRules::Describe(spec, jobSha256));
    // The file as read once: what is shown is what is checked.
    JobPlan plan;
    if (!JobRules::Prepare(ctx.args.first(), spec, jobSha256, plan, strError)) {
        ctx.out.Print("status: refused\n");
        return UsageError(ctx, strError);
    }
    ctx.out.Print("status: ready\n");
    return kExitOk;
}

int CmdRun(CliContext& ctx)
{
    JobPlan plan;
    QString strError;
    if (!JobRules::Prepare(ctx.args.first(), plan, strError))
        return UsageError(ctx, strError);
    if (ctx.parser.isSet("rate") && ctx.globals.nRateIndex != plan.nRateIndex)
        return UsageError(ctx, QCoreApplication::translate("xqprog", "--rate: 速率由任务设定 (%1)").arg(xq::kRateTable[plan.nRateIndex].pLabel));
    if (ctx.globals.bBatchPrograms && !plan.spec.bBatchPrograms)
        return UsageError(ctx, QCoreApplication::translate("xqprog", "--batch-programs: 页编程的发送方式由任务设定 (逐个发送)"));
    // The line database and its counter: the job's, unless the command line
    // names its own; the counter stands in for the job's counter file.
    const QCommandLineParser& p = ctx.parser;
    if (p.isSet("serial-counter") && !plan.write.bSerial)
        return UsageError(ctx, QCoreApplication::translate("xqprog", "--serial-counter: 该任务不写序列号"));
    QString strUrl, strCounter;
    JobRules::LineDbOfRun(plan.spec, p.value("line-db"), p.value("serial-counter"), strUrl, strCounter);
    if (strUrl.isEmpty() && !strCounter.isEmpty())
        return UsageError(ctx, QCoreApplication::translate("xqprog", "--serial-counter 需要 --line-db"));
    LineDb lineDb;
    bool bLineDb = false;
    if (const int nExit = OpenLineDb(ctx, strUrl, strCounter, lineDb, bLineDb, true); nExit != kExitOk)
        return nExit;
    const bool bDbSerials = bLineDb && !strCounter.isEmpty();
    SerialCounter serials;
    if (plan.write.bSerial && !bDbSerials &&
        !serials.Init(plan.strCounterFile, plan.nFirstSerial, strError, ctx.targets.size()))
        return UsageError(ctx, strError);
    ctx.globals.nRateIndex = plan.nRateIndex;
    ctx.strJob = plan.spec.strName;
    ctx.jobSha256 = plan.jobSha256;
    SerialSource* pSerials = !plan.write.bSerial ? nullptr : bDbSerials ? static_cast<SerialSource*>(&lineDb) : &serials;
    const int nExit = RunJobs(ctx, "write", ctx.targets, [&plan, pSerials](SpiFlashCtrl& ctrl, Job& job) {
        JobSink sink;
        sink.log = [&job](const QString& s) { job.Log(s); };
        sink.progress = [&job](int n) { job.SetProgress(n); };
        sink.report = [&job](const OperationReport& report) { job.AddStepReport(report); };
        return RunJobSteps(ctrl, plan, pSerials, sink);
    });
    LogNextSerial(ctx, pSerials);
    return nExit;
}
