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

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

const QList<CliCommand>& CliCommands()
{
    static const QList<CliCommand> commands = {
        {"list", "", "One adapter per line: name, serial number, description and port path (tab-separated).",
         NoOptions, CmdList, 0, true},
        {"info", "", "The chip model and the flash identification.", NoOptions, CmdInfo, 0, true},
        {"write", "IMAGE [--start HEX] [--erase whole|file|smart|BYTES] [--protect] [--serial N|0xN]",
         "Erase, program, verify (with sector repair), optionally protect and stamp a serial number.", WriteOptions,
         CmdWrite, 1, true},
        {"erase", "[--start HEX] (--whole | --size BYTES)", "Erase the whole chip or a range.", EraseOptions, CmdErase,
         0, true},
        {"read", "FILE [--start HEX] (--length BYTES | --all) [--serial]", "Read a flash range into a file.",
         ReadOptions, CmdRead, 1, true},
        {"verify", "IMAGE [--start HEX]",
         "Compare the flash with an image; erases and programs nothing. Exit 1 when they differ.", VerifyOptions,
         CmdVerify, 1, true},
        {"blank", "[--start HEX] (--length BYTES | --all)",
         "Check that a flash range reads all 0xFF. Exit 1 when it does not.", BlankOptions, CmdBlank, 0, true},
        {"reset", "", "Soft-reset the chip.", NoOptions, CmdReset, 0, true},
        {"static write",
         "WORKBOOK [--start HEX] [--total BYTES] [--values default|current] [--set NAME=VALUE]...",
         "Write the static data record laid out by the workbook.", StaticWriteOptions, CmdStaticWrite, 1, true},
        {"static read", "WORKBOOK [--start HEX] [--total BYTES]",
         "Read the static data record; one line per item: sheet, item, name, value.", StaticReadOptions,
         CmdStaticRead, 1, true},
        {"static template", "FILE", "Write an empty layout workbook to start from.", NoOptions, CmdStaticTemplate, 1,
         false},
        {"job create",
         "JOBFILE --image IMAGE [--name TEXT] [--start HEX] [--erase whole|file|smart|BYTES] [--protect] "
         "[--serial-file FILE [--serial N]] [--line-db URL [--serial-counter NAME]] [--static WORKBOOK [--static-start HEX] [--static-total BYTES] "
         "[--static-values default|current]] [--verify]",
         "Write a production job (NAME.xqjob): the whole recipe, with the files' SHA-256.", JobCreateOptions,
         CmdJobCreate, 1, false},
        {"job show", "JOBFILE", "Print a job and whether it is ready to run.", NoOptions, CmdJobShow, 1, false},
        {"line-db init", "URL", "Create the line database's schema and a serial counter.", LineDbInitOptions,
         CmdLineDbInit, 1, false},
        {"line-db report", "--line-db URL [--since DATE] [--job NAME]",
         "Passed, failed and yield per station and job, and the serial numbers used.", LineDbReportOptions,
         CmdLineDbReport, 0, false},
        {"line-db chip", "UID|SERIAL --line-db URL", "Every record of one chip.", LineDbChipOptions, CmdLineDbChip, 1,
         false},
        {"line-db sync", "", "Send the records kept in the spool while the line database was unreachable.", NoOptions,
         CmdLineDbSync, 0, false},
        {"run", "JOBFILE", "Check a job whole, then run its steps on every chosen adapter.", LineDbOptions, CmdRun, 1,
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
