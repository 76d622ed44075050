// xqprog: the command-line programmer. It runs the very same controller and
// worker sequences as the window, prints the same run-log lines on standard
// output and reports by exit code: 0 success, 1 the operation failed on the
// chip or adapter, 2 bad usage or input. main reads the command line, finds
// the adapters and hands over to the command's function.
#include "clioptions.h"
#include "clirunner.h"
#include "commands.h"

#include <i18n.h>
#include <simbench.h>
#include <operationreport.h>
#include <results.h>
#include <spiflashctrl.h>

#include <QCoreApplication>
#include <QJsonObject>
#include <QJsonValue>
#include <QLoggingCategory>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

const QList<CliCommand>& CliCommands()
{
    static const QList<CliCommand> commands = {
        {"list", "", QT_TRANSLATE_NOOP("xqprog", "每行一个适配器: 名称、序列号、描述和端口路径 (以制表符分隔)。"),
         NoOptions, CmdList, 0, true},
        {"info", "", QT_TRANSLATE_NOOP("xqprog", "芯片型号和 Flash 的识别信息。"), NoOptions, CmdInfo, 0, true},
        {"write", "IMAGE [--start HEX] [--erase whole|file|smart|BYTES] [--protect] [--serial N|0xN]",
         QT_TRANSLATE_NOOP("xqprog", "擦除、编程、校验 (含扇区修复)，可选写保护和写入序列号。"), WriteOptions,
         CmdWrite, 1, true},
        {"erase", "[--start HEX] (--whole | --size BYTES)", QT_TRANSLATE_NOOP("xqprog", "擦除整片或一段范围。"), EraseOptions, CmdErase,
         0, true},
        {"read", "FILE [--start HEX] (--length BYTES | --all) [--serial]", QT_TRANSLATE_NOOP("xqprog", "把一段 Flash 读入文件。"),
         ReadOptions, CmdRead, 1, true},
        {"verify", "IMAGE [--start HEX]",
         QT_TRANSLATE_NOOP("xqprog", "比较 Flash 与镜像；不擦除也不编程。不一致时退出码为 1。"), VerifyOptions,
         CmdVerify, 1, true},
        {"blank", "[--start HEX] (--length BYTES | --all)",
         QT_TRANSLATE_NOOP("xqprog", "检查一段 Flash 是否全为 0xFF。不是时退出码为 1。"), BlankOptions, CmdBlank, 0, true},
        {"reset", "", QT_TRANSLATE_NOOP("xqprog", "软复位芯片。"), NoOptions, CmdReset, 0, true},
        {"static write",
         "WORKBOOK [--start HEX] [--total BYTES] [--values default|current] [--set NAME=VALUE]...",
         QT_TRANSLATE_NOOP("xqprog", "写入按工作簿布局的静态数据记录。"), StaticWriteOptions, CmdStaticWrite, 1, true},
        {"static read", "WORKBOOK [--start HEX] [--total BYTES]",
         QT_TRANSLATE_NOOP("xqprog", "读取静态数据记录；每项一行: 工作表、项、名称、数值。"), StaticReadOptions,
         CmdStaticRead, 1, true},
        {"static template", "FILE", QT_TRANSLATE_NOOP("xqprog", "写出一个空的布局工作簿作为起点。"), NoOptions, CmdStaticTemplate, 1,
         false},
        {"job create",
         "JOBFILE --image IMAGE [--name TEXT] [--start HEX] [--erase whole|file|smart|BYTES] [--protect] "
         "[--serial-file FILE [--serial N]] [--line-db URL [--serial-counter NAME]] [--static WORKBOOK [--static-start HEX] [--static-total BYTES] "
         "[--static-values default|current]] [--verify]",
         QT_TRANSLATE_NOOP("xqprog", "写入生产任务 (NAME.xqjob): 完整的配置及各文件的 SHA-256。"), JobCreateOptions,
         CmdJobCreate, 1, false},
        {"job show", "JOBFILE", QT_TRANSLATE_NOOP("xqprog", "显示任务及其是否可以运行。"), NoOptions, CmdJobShow, 1, false},
        {"line-db init", "URL", QT_TRANSLATE_NOOP("xqprog", "建立产线数据库的结构和一个序列号计数器。"), LineDbInitOptions,
         CmdLineDbInit, 1, false},
        {"line-db report", "--line-db URL [--since DATE] [--job NAME]",
         QT_TRANSLATE_NOOP("xqprog", "每个工位和任务的成功数、失败数和良率，以及已用的序列号。"), LineDbReportOptions,
         CmdLineDbReport, 0, false},
        {"line-db chip", "UID|SERIAL --line-db URL", QT_TRANSLATE_NOOP("xqprog", "一个芯片的全部记录。"), LineDbChipOptions, CmdLineDbChip, 1,
         false},
        {"line-db sync", "", QT_TRANSLATE_NOOP("xqprog", "发送产线数据库无法连接时留在缓存中的记录。"), NoOptions,
         CmdLineDbSync, 0, false},
        {"run", "JOBFILE", QT_TRANSLATE_NOOP("xqprog", "完整检查任务，然后在每个选定的适配器上运行其步骤。"), LineDbOptions, CmdRun, 1,
         true},
    };
    return commands;
}

namespace {

std::atomic<int> g_nSignal{0};

// SIGINT/SIGTERM/SIGHUP (a closed terminal or ssh session): the jobs stop
// after their current flash command and close their adapters (a simulated
// bench saves and unlocks); a second signal ends the program at once.
void OnStopSignal(int nSignal)
{
    if (g_nSignal.exchange(nSignal) != 0) {
        std::signal(nSignal, SIG_DFL);
        std::raise(nSignal);
        return;
    }
    StopFlag() = true;
}

void InstallSignalHandlers()
{
    // A closed output (xqprog ... | head -1) must never abort a chip operation.
    std::signal(SIGPIPE, SIG_IGN);
    struct sigaction action = {};
    action.sa_handler = OnStopSignal;
    // A write to a slow or full output goes on after the handler: a signal
    // must not cost the JSON object or trace row of a result already decided.
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
}

// The exit code after the command: 128 + the signal when one stopped an
// operation, 1 when standard output could not take what was written. A
// signal that came after the results were decided (or that stopped nothing)
// leaves the exit code those results gave, as their JSON and trace rows say.
int FinalExitCode(CliOutput& out, int nExit)
{
    const int nSignal = g_nSignal.load();
    // The stopped operation has logged the stop and what it left, as its last lines.
    if (nSignal != 0 && out.Stopped())
        nExit = 128 + nSignal;
    errno = 0;
    const bool bFlushed = std::fflush(stdout) == 0;
    const int nFlushErrno = errno;
    if (!bFlushed || std::ferror(stdout)) {
        // The reason of the write that failed first, not whatever errno holds now.
        const int nErrno = out.StdoutErrno() != 0 ? out.StdoutErrno() : nFlushErrno != 0 ? nFlushErrno : EIO;
        std::fprintf(stderr, "xqprog: %s\n",
                     QCoreApplication::translate("xqprog", "无法写入标准输出: %1")
                         .arg(QString::fromLocal8Bit(std::strerror(nErrno)))
                         .toUtf8()
                         .constData());
        if (nExit == kExitOk)
            nExit = kExitFailed;
    }
    return nExit;
}

// With --json, a command refused before any adapter opened still prints
// one object per operation and adapter: "refused", with the reason.
int JsonRefusal(CliContext& ctx, const CliCommand& command, int nExit)
{
    if (nExit != kExitUsage || !ctx.out.Json() || ctx.out.JsonPrinted() > 0)
        return nExit;
    QList<QByteArray> names = ctx.targets;
    if (names.isEmpty())
        for (const QString& strName : ctx.globals.interfaces)
            names << strName.toUtf8();
    if (names.isEmpty())
        names << QByteArray();
    for (const QByteArray& strName : names) {
        OperationReport report;
        report.strOperation = command.pName;
        report.strInterface = QString::fromUtf8(strName);
        report.Refuse(xq::kErrBadArgument, ctx.out.Refusal());
        QJsonObject json = report.ToJson();
        if (strName.isEmpty())
            json["interface"] = QJsonValue();
        ctx.out.PrintJson(json);
    }
    return nExit;
}

// The adapters a command runs on: the first listed by default, every one with
// "-i all", else those named by -i (an interface name or a serial number);
// an exit code, or -1 to go on.
int ChooseTargets(CliContext& ctx)
{
    if (ctx.globals.interfaces.contains("all")) {
        ctx.targets = ctx.names;
    } else {
        // A name, or the serial number of one adapter.
        for (const QString& strKey : ctx.globals.interfaces) {
            QString strError;
            QByteArray strName = strKey.toUtf8();
            if (!ctx.names.contains(strName))
                strName = FindAdapter(ctx.adapters, strKey, strError);
            if (strName.isEmpty()) {
                // The refusal is filed under the adapters named so far and the name that is none.
                ctx.targets << strKey.toUtf8();
                return UsageError(ctx, strError);
            }
            if (!ctx.targets.contains(strName))  // an interface named twice runs once
                ctx.targets << strName;
        }
        if (ctx.targets.isEmpty() && !ctx.names.isEmpty())
            ctx.targets << ctx.names.first();
    }
    return -1;
}

// Whether the command has exactly the positional arguments it takes.
bool ArgumentsFit(const CliCommand& command, const QStringList& args)
{
    if (args.size() < command.nArgs) {
        const QStringList synopsis = QString(command.pSynopsis).split(' ');
        UsageError(QCoreApplication::translate("xqprog", "%1 需要 %2").arg(command.pName, synopsis.mid(0, command.nArgs).join(' ')));
        return false;
    }
    if (args.size() > command.nArgs) {
        UsageError(QCoreApplication::translate("xqprog", "多余的参数: %1").arg(args[command.nArgs]));
        return false;
    }
    return true;
}

// Whether the command line asks for --json (before any "--").
bool JsonWanted(const QStringList& arguments)
{
    for (const QString& strArg : arguments.mid(1)) {
        if (strArg == "--")
            return false;
        if (strArg == "--json")
            return true;
    }
    return false;
}

// The adapters named by -i on a command line that could not be read whole.
QStringList NamedInterfaces(const QStringList& arguments)
{
    QStringList names;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString& strArg = arguments[i];
        if (strArg == "--")
            break;
        if ((strArg == "-i" || strArg == "--interface") && i + 1 < arguments.size())
            names << arguments[++i];
        else if (strArg.startsWith("--interface="))
            names << strArg.mid(int(strlen("--interface=")));
        else if (strArg.startsWith("-i") && !strArg.startsWith("--") && strArg.size() > 2)
            names << strArg.mid(2);
    }
    return names;
}

// A command line refused while it was read: with --json still the "refused"
// object of every other refusal, for the command when it is known (else
// null) and each adapter named by -i (else null).
int ParseRefusal(const QStringList& arguments, const CliCommand* pCommand, int nExit)
{
    if (nExit != kExitUsage || !JsonWanted(arguments))
        return nExit;
    QStringList names = NamedInterfaces(arguments);
    if (names.isEmpty())
        names << QString();
    CliOutput out;
    for (const QString& strName : names) {
        OperationReport report;
        report.strOperation = pCommand ? QString(pCommand->pName) : QString();
        report.strInterface = strName;
        report.Refuse(xq::kErrBadArgument, LastUsageError());
        QJsonObject json = report.ToJson();
        if (strName.isEmpty())
            json["interface"] = QJsonValue();
        if (!pCommand)
            json["operation"] = QJsonValue();
        out.PrintJson(json);
    }
    return FinalExitCode(out, nExit);
}

}  // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("xqprog");
    QCoreApplication::setApplicationVersion("3.0.0");
    // Diagnostics for developers (the adapter layer's "can not open") stay
    // off the operator's terminal; QT_LOGGING_RULES=default.debug=true shows them.
    QLoggingCategory::setFilterRules("default.debug=false");

    QStringList arguments = app.arguments();
    const QString strLang = TakeLanguageArgument(arguments);
    // A language it does not know is refused in the locale's language.
    if (!InstallTranslation(app, strLang) && InstallTranslation(app, QString()))
        return ParseRefusal(app.arguments(), nullptr,
                            UsageError(QCoreApplication::translate("xqprog", "未知的语言: %1 (zh 或 en)").arg(strLang)));
    QCommandLineParser parser;
    const CliParse parse = ParseCommandLine(arguments, parser);
    if (parse.nExit >= 0)
        return ParseRefusal(app.arguments(), parse.pCommand, parse.nExit);
    const CliCommand& command = *parse.pCommand;
    if (!ArgumentsFit(command, parse.args))
        return ParseRefusal(app.arguments(), &command, kExitUsage);
    InstallSignalHandlers();

    CliOutput out;
    out.SetJson(parse.globals.bJson);
    out.RunLog().SetEnabled(RunLogFile::EnabledBySettings() && !qEnvironmentVariableIsSet("XQPROG_NO_LOG_FILE"));
    // Without --simulate a libftdi1 backend: real adapters only. One backend
    // for the run: the adapters of a gang share it.
    CliContext ctx{parser, parse.args, parse.globals, out, {}, {}, nullptr, {}, {}, {}};
    if (parse.globals.bSimulate)
        ctx.pBackend = sim::MakeSimulatedBench(parse.globals.strBenchDir);
    else
        ctx.pBackend = mpsse::MakeFtdiBackend();
    if (const sim::SimBackend* pBench = sim::AsSimulatedBench(ctx.pBackend.get()))
        std::fprintf(stderr, "xqprog: %s\n",
                     QCoreApplication::translate("xqprog", "模拟测试台 %1: 不烧写真实的芯片")
                         .arg(pBench->Dir())
                         .toUtf8()
                         .constData());
    if (QString(command.pName) != "list")
        out.Record(QString("xqprog %1").arg(app.arguments().mid(1).join(' ')));
    if (!command.bAdapters)
        return FinalExitCode(out, command.pRun(ctx));

    SpiFlashCtrl lister(ctx.pBackend);
    const bool bListed = lister.SelectAdapter(ctx.names, 0) == xq::kOk;
    ctx.adapters = lister.Adapters();
    if (QString(command.pName) == "list") {
        const int nExit = command.pRun(ctx);
        return FinalExitCode(out, bListed ? nExit : kExitFailed);
    }
    const int nExit = ChooseTargets(ctx);
    if (nExit >= 0)
        return FinalExitCode(out, JsonRefusal(ctx, command, nExit));
    if (ctx.targets.isEmpty())
        return (std::fprintf(stderr, "xqprog: %s\n",
                             QCoreApplication::translate("xqprog", "没有找到接口: 请检查USB线、udev规则 60-xqprogrammer.rules，以及您是否在 plugdev 组中 (--simulate 使用模拟测试台)")
                                 .toUtf8()
                                 .constData()),
                kExitFailed);
    return FinalExitCode(out, JsonRefusal(ctx, command, command.pRun(ctx)));
}
