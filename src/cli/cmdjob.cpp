// job create, job show and run: production jobs on the command line. A job
// is checked whole (jobfile.h) before any adapter opens, then its steps run
// on every chosen adapter through the same code as the window's (jobrun.h).
#include "clirunner.h"
#include "commands.h"

#include <linedb.h>

#include <commontexts.h>
#include <imagerequest.h>
#include <jobfile.h>
#include <jobrun.h>
#include <jobstart.h>
#include <ratetable.h>
#include <spiflashctrl.h>

#include <QCoreApplication>
#include <QFileInfo>

QList<QCommandLineOption> JobCreateOptions()
{
    return {{"image", QCoreApplication::translate("xqprog", "要写入的镜像 (必需)；与任务文件在同一目录时按相对路径保存。"),
             "FILE"},
            {"name", QCoreApplication::translate("xqprog", "任务名称 (默认: 任务文件名去掉 .xqjob)。"), "TEXT"},
            {"description", QCoreApplication::translate("xqprog", "任意的描述。"), "TEXT"},
            {"start", QCoreApplication::translate("xqprog", "镜像的 Flash 地址 (十六进制，默认 0)。"), "HEX"},
            {"erase", QCoreApplication::translate("xqprog", "先擦除什么: whole、file (默认)、smart 或字节数。"),
             "whole|file|smart|BYTES"},
            {"protect", ProtectOptionText()},
            {"serial-file", QCoreApplication::translate("xqprog", "写入从这个计数文件取得的序列号。"), "FILE"},
            {"serial", QCoreApplication::translate("xqprog", "与 --serial-file 一起: 计数文件不存在时的第一个号 (默认 1)。"),
             "N"},
            {"check-serial",
             QCoreApplication::translate("xqprog", "读回每个写入的序列号记录并比较 (默认关闭；只在模拟测试台上运行过)。")},
            {"static", QCoreApplication::translate("xqprog", "同时写入按这个工作簿布局的静态数据记录。"), "WORKBOOK"},
            {"static-start", RecordStartOptionText(), "HEX"},
            {"static-total", RecordTotalOptionText(), "BYTES"},
            {"static-values", QCoreApplication::translate("xqprog", "写入工作簿的默认值或当前值 (默认: default)。"),
             "default|current"},
            {"verify", QCoreApplication::translate("xqprog", "最后加一个校验步骤: 读回镜像并比较，不写入任何内容。")},
            {"from",
             QCoreApplication::translate("xqprog", "从这个任务文件取用全部配置 (也可以是没有格式版本和校验和的旧格式，"
                                                   "其文件必须仍是它所记录的)，重新写出。"),
             "JOB"},
            {"line-db",
             QCoreApplication::translate("xqprog", "把任务每次运行的每个芯片记录到这个产线数据库 (sqlite:PATH 或 "
                                                   "postgresql://user@host:port/dbname；不含密码: 密码来自 PGPASSFILE 或 "
                                                   "~/.pgpass)。"),
             "URL"},
            {"serial-counter",
             QCoreApplication::translate("xqprog", "与 --line-db 一起: 写入从数据库的这个计数器取得的序列号 (代替 "
                                                   "--serial-file)。"),
             "NAME"},
            {"force", QCoreApplication::translate("xqprog", "替换已有的任务文件。")}};
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
        return UsageError(ctx, CounterNeedsLineDbText());
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
        ctx.out.Print(QCoreApplication::translate("xqprog", "状态: 拒绝运行\n"));
        return UsageError(ctx, strError);
    }
    ctx.out.Print(QCoreApplication::translate("xqprog", "状态: 可以运行\n"));
    return kExitOk;
}

int CmdRun(CliContext& ctx)
{
    JobStart start;
    QString strError;
    if (!start.Load(ctx.args.first(), strError))
        return UsageError(ctx, strError);
    const JobPlan& plan = start.Plan();
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
        return UsageError(ctx, CounterNeedsLineDbText());
    LineDb lineDb;
    bool bLineDb = false;
    if (const int nExit = OpenLineDb(ctx, strUrl, strCounter, lineDb, bLineDb, true); nExit != kExitOk)
        return nExit;
    const bool bDbSerials = bLineDb && !strCounter.isEmpty();
    if (!start.PrepareSerials(bDbSerials ? &lineDb : nullptr, ctx.targets.size(), strError))
        return UsageError(ctx, strError);
    ctx.globals.nRateIndex = plan.nRateIndex;
    ctx.strJob = plan.spec.strName;
    ctx.jobSha256 = plan.jobSha256;
    const int nExit = RunJobs(ctx, "write", ctx.targets, [&start](SpiFlashCtrl& ctrl, Job& job) {
        JobSink sink;
        sink.log = [&job](const QString& s) { job.Log(s); };
        sink.progress = [&job](int n) { job.SetProgress(n); };
        sink.report = [&job](const OperationReport& report) { job.AddStepReport(report); };
        return start.Run(ctrl, sink);
    });
    LogNextSerial(ctx, start.Serials());
    return nExit;
}
