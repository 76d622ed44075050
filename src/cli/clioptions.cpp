#include "clioptions.h"

#include <ratetable.h>
#include <textrules.h>

#include <QCoreApplication>
#include <QRegularExpression>
#include <QSet>

#include <cstdio>

namespace {

const char* const kEpilogue =
    "\n-i all (or -i several times) runs write, erase, read, verify, blank, reset, static write and run on every named adapter at once.\n"
    "Exit codes: 0 success, 1 the operation failed on the chip or adapter, 2 bad usage or input.\n";

QList<QCommandLineOption> GlobalOptions()
{
    return {
        {{"h", "help"}, "Show this help (after a command: the command's help)."},
        {{"V", "version"}, "Show the version."},
        {"simulate", "Use the simulated bench instead of USB adapters; --simulate=DIR: the bench directory."},
        {{"i", "interface"},
         "The adapter to use, by name or serial number; several times, or \"all\", for a gang run (default: the "
         "first listed).",
         "NAME|SERIAL"},
        {{"r", "rate"}, QString("The SPI clock: %1, or the index 0 to %2 (default %3).")
                            .arg(RateLabels())
                            .arg(xq::kRateCount - 1)
                            .arg(xq::kRateTable[xq::kDefaultRateIndex].pLabel),
         "LABEL|INDEX"},
        {{"q", "quiet"}, "No progress bar."},
        {"json", "After each operation one JSON object per adapter on standard output; log lines go to standard error."},
        {"trace", "Append one CSV row per chip operation to FILE (flushed to disk).", "FILE"},
        {"lang", "The language of the log lines: zh or en.", "zh|en"},
        {"strict-order", "Send each page program on its own, after the status poll of the one before, in address "
                         "order (the default; the chip maker's frame order)."},
        {"batch-programs", "Send page programs in batches of up to 64 per USB exchange (faster at full speed). Not "
                           "the chip maker's frame order; it has only been run on the simulated bench. Never used "
                           "for encrypted images."},
    };
}

// Whether each option name takes a value: 1 always, 0 never, -1 it depends on
// the command (such a name takes a value only when a number follows).
QHash<QString, int> ValueKinds()
{
    QHash<QString, int> kinds;
    auto add = [&kinds](const QList<QCommandLineOption>& options) {
        for (const QCommandLineOption& option : options)
            for (const QString& strName : option.names()) {
                const int nKind = option.valueName().isEmpty() ? 0 : 1;
                const auto it = kinds.constFind(strName);
                kinds[strName] = it == kinds.constEnd() || *it == nKind ? nKind : -1;
            }
    };
    add(GlobalOptions());
    for (const CliCommand& command : CliCommands())
        add(command.pOptions());
    return kinds;
}

// The words that name the command ("write", or "static" and its sub-command),
// found before the parser knows which options the command has.
QStringList CommandWords(const QStringList& args)
{
    const QHash<QString, int> kinds = ValueKinds();
    QStringList words;
    for (int i = 1; i < args.size() && words.size() < 2; ++i) {
        const QString& strArg = args[i];
        if (strArg == "--") {
            words += args.mid(i + 1, 2 - words.size());
            break;
        }
        if (!strArg.startsWith('-') || strArg == "-") {
            words << strArg;
            if (words.first() != "static" && words.first() != "job" && words.first() != "line-db")
                break;
            continue;
        }
        if (strArg.contains('='))
            continue;
        const QString strName = strArg.startsWith("--") ? strArg.mid(2) : strArg.mid(1);
        const int nKind = kinds.value(strName, 0);
        int64_t nUnused = 0;
        if (i + 1 < args.size() && (nKind == 1 || (nKind == -1 && xq::ParseNumber(args[i + 1], nUnused))))
            ++i;
    }
    return words;
}

const CliCommand* FindCommand(const QStringList& words)
{
    for (const CliCommand& command : CliCommands()) {
        const QStringList name = QString(command.pName).split(' ');
        if (words.mid(0, name.size()) == name)
            return &command;
    }
    return nullptr;
}

QString CommandTable()
{
    QString strTable = "Commands:";
    for (const CliCommand& command : CliCommands()) {
        const QString strLine = QString("%1 %2").arg(command.pName, command.pSynopsis).trimmed();
        strTable += QString("\n  %1\n      %2").arg(strLine, command.pSummary);
    }
    return strTable;
}

void PrintHelp(QCommandLineParser& parser, const CliCommand* pCommand)
{
    QString strUsage = "Usage: xqprog [options] COMMAND ...\n";
    if (pCommand) {
        strUsage = QString("Usage: xqprog [options] %1 %2\n").arg(pCommand->pName, pCommand->pSynopsis);
        parser.setApplicationDescription(pCommand->pSummary);
    } else {
        parser.setApplicationDescription("Programs XQ6130, XQ6230 and XQ6030 chips through FTDI MPSSE adapters.\n\n" +
                                         CommandTable());
    }
    // The parser's own usage line names the program by the path it was started with.
    const QString strHelp = parser.helpText();
    std::fputs((strUsage + strHelp.mid(strHelp.indexOf('\n') + 1)).toUtf8().constData(), stdout);
    std::fputs(kEpilogue, stdout);
}

// Reads the options that every command shares; false after a usage error.
bool ReadGlobals(const QCommandLineParser& parser, CliGlobals& globals)
{
    globals.bSimulate = parser.isSet("simulate");
    globals.interfaces = parser.values("interface");
    globals.bQuiet = parser.isSet("quiet");
    globals.bJson = parser.isSet("json");
    globals.bBatchPrograms = parser.isSet("batch-programs");
    if (globals.bBatchPrograms && parser.isSet("strict-order")) {
        UsageError(QCoreApplication::translate("xqprog", "--batch-programs 与 --strict-order 互相矛盾"));
        return false;
    }
    globals.strTrace = parser.value("trace");
    if (parser.isSet("trace") && globals.strTrace.isEmpty()) {
        UsageError(QCoreApplication::translate("xqprog", "--trace 需要一个文件 FILE"));
        return false;
    }
    globals.nRateIndex = xq::kDefaultRateIndex;
    if (parser.isSet("rate")) {
        const QString strRate = parser.value("rate");
        globals.nRateIndex = xq::RateIndexOf(strRate.toUtf8().constData());
        if (globals.nRateIndex < 0) {
            UsageError(QCoreApplication::translate("xqprog", "未知的速率: %1 (可选 %2，或序号 0 到 %3)")
                           .arg(strRate, RateLabels())
                           .arg(xq::kRateCount - 1));
            return false;
        }
    }
    return true;
}

// The command words that are not a command: the commands there are, and a
// directory given to --simulate with a space instead of "=".
QString UnknownCommandText(const QStringList& args, const QStringList& words)
{
    const int nAt = args.indexOf(words.first(), 1);
    if (nAt > 1 && args[nAt - 1] == "--simulate")
        return QCoreApplication::translate("xqprog", "未知的命令: %1 (--simulate 的目录须写成 --simulate=%1)\n用法见 'xqprog --help'。")
            .arg(words.first());
    QStringList names;
    for (const CliCommand& command : CliCommands())
        names << command.pName;
    return QCoreApplication::translate("xqprog", "未知的命令: %1 (命令有: %2)\n用法见 'xqprog --help'。").arg(words.join(' '), names.join(", "));
}

// The options a command takes, for the error of an unknown one.
QString OptionNames(const CliCommand* pCommand)
{
    QStringList names;
    QList<QCommandLineOption> options = GlobalOptions();
    if (pCommand)
        options += pCommand->pOptions();
    for (const QCommandLineOption& option : options)
        names << (option.names().last().size() == 1 ? "-" : "--") + option.names().last();
    return QCoreApplication::translate("xqprog", "%1选项有: %2").arg(pCommand ? QString(pCommand->pName) + " " : QString(), names.join(", "));
}

// The parser's refusal in the run's language (its own texts are English):
// an unknown option without the closing full stop, for the options to follow.
QString ParserErrorText(const QCommandLineParser& parser, bool& bUnknownOption)
{
    const QString strError = parser.errorText();
    bUnknownOption = false;
    static const QRegularExpression kMissing("^Missing value after '(.*)'\\.$");
    static const QRegularExpression kUnexpected("^Unexpected value after '(.*)'\\.$");
    if (const QRegularExpressionMatch m = kMissing.match(strError); m.hasMatch())
        return QCoreApplication::translate("xqprog", "选项 '%1' 后缺少值。").arg(m.captured(1));
    if (const QRegularExpressionMatch m = kUnexpected.match(strError); m.hasMatch())
        return QCoreApplication::translate("xqprog", "选项 '%1' 不带值。").arg(m.captured(1));
    const QStringList unknown = parser.unknownOptionNames();
    bUnknownOption = !unknown.isEmpty();
    if (unknown.size() == 1)
        return QCoreApplication::translate("xqprog", "未知的选项 '%1'").arg(unknown.first());
    if (unknown.size() > 1)
        return QCoreApplication::translate("xqprog", "未知的选项: %1").arg(unknown.join(", "));
    return strError;
}

}  // namespace

CliParse ParseCommandLine(const QStringList& arguments, QCommandLineParser& parser)
{
    CliParse result;
    // "--simulate=DIR" carries an optional value, which the parser does not
    // know: keep the directory and leave the plain flag.
    QStringList args = arguments;
    for (QString& strArg : args)
        if (strArg.startsWith("--simulate=")) {
            result.globals.strBenchDir = strArg.mid(int(strlen("--simulate=")));
            strArg = "--simulate";
        }

    const QStringList words = CommandWords(args);
    result.pCommand = FindCommand(words);
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
    parser.addOptions(GlobalOptions());
    if (result.pCommand)
        parser.addOptions(result.pCommand->pOptions());
    const bool bParsed = parser.parse(args);
    if (bParsed && parser.isSet("help")) {
        PrintHelp(parser, result.pCommand);
        result.nExit = kExitOk;
    } else if (bParsed && parser.isSet("version")) {
        std::fprintf(stdout, "xqprog %s\n", qPrintable(QCoreApplication::applicationVersion()));
        result.nExit = kExitOk;
    } else if (!bParsed) {
        bool bUnknownOption = false;
        QString strError = ParserErrorText(parser, bUnknownOption);
        if (bUnknownOption)
            strError += QString(" (%1)").arg(OptionNames(result.pCommand));
        result.nExit = UsageError(QCoreApplication::translate("xqprog", "%1\n用法见 'xqprog %2--help'。")
                                      .arg(strError, result.pCommand ? QString(result.pCommand->pName) + " " : QString()));
    } else if (words.isEmpty()) {
        result.nExit = UsageError(QCoreApplication::translate("xqprog", "没有给出命令\n用法见 'xqprog --help'。"));
    } else if (!result.pCommand) {
        result.nExit = UsageError(UnknownCommandText(args, words));
    } else if (!ReadGlobals(parser, result.globals)) {
        result.nExit = kExitUsage;
    } else {
        result.args = parser.positionalArguments().mid(QString(result.pCommand->pName).count(' ') + 1);
    }
    return result;
}

namespace {
QString g_strLastUsageError;
}

QString LastUsageError()
{
    return g_strLastUsageError;
}

int UsageError(const QString& strMessage)
{
    g_strLastUsageError = strMessage.section('\n', 0, 0);
    std::fprintf(stderr, "xqprog: %s\n", strMessage.toUtf8().constData());
    return kExitUsage;
}

QString RateLabels()
{
    QStringList labels;
    for (const xq::RateEntry& rate : xq::kRateTable)
        labels << rate.pLabel;
    return labels.join(", ");
}
