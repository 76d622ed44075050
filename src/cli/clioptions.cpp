#include "clioptions.h"

#include <ratetable.h>
#include <textrules.h>

#include <QCoreApplication>
#include <QRegularExpression>
#include <QSet>

#include <cstdio>

namespace {

QString Epilogue()
{
    return QCoreApplication::translate("xqprog", "-i all (或多次 -i) 让 write、erase、read、verify、blank、reset、static write 和 run 同时在每个指定的适配器上运行。\n"
              "退出码: 0 成功，1 操作在芯片或适配器上失败，2 用法或输入错误。");
}

QList<QCommandLineOption> GlobalOptions()
{
    return {
        {{"h", "help"}, QCoreApplication::translate("xqprog", "显示本帮助 (在命令之后: 该命令的帮助)。")},
        {{"V", "version"}, QCoreApplication::translate("xqprog", "显示版本。")},
        {"simulate", QCoreApplication::translate("xqprog", "使用模拟测试台代替USB适配器；--simulate=DIR: 测试台目录。")},
        {{"i", "interface"},
         QCoreApplication::translate("xqprog", "要使用的适配器，按名称或序列号；多次给出或给出 \"all\" 时多个适配器同时运行 (默认: 列出的第一个)。"),
         "NAME|SERIAL"},
        {{"r", "rate"}, QCoreApplication::translate("xqprog", "SPI 时钟: %1，或序号 0 到 %2 (默认 %3)。")
                            .arg(RateLabels())
                            .arg(xq::kRateCount - 1)
                            .arg(xq::kRateTable[xq::kDefaultRateIndex].pLabel),
         "LABEL|INDEX"},
        {{"q", "quiet"}, QCoreApplication::translate("xqprog", "不显示进度条。")},
        {"json", QCoreApplication::translate("xqprog", "每个操作之后在标准输出上为每个适配器输出一个 JSON 对象；日志行改到标准错误。")},
        {"trace", QCoreApplication::translate("xqprog", "每次芯片操作向 FILE 追加一行 CSV (并写入磁盘)。"), "FILE"},
        {"lang", QCoreApplication::translate("xqprog", "输出的语言: zh 或 en (默认: 英文区域设置下为 en，否则为 zh)。"), "zh|en"},
        {"strict-order", QCoreApplication::translate("xqprog", "逐个发送页编程，每个在前一个的状态查询之后，按地址顺序 (默认；芯片厂商的帧顺序)。")},
        {"batch-programs", QCoreApplication::translate("xqprog", "每次USB交换成批发送最多 64 个页编程 (全速时更快)。这不是芯片厂商的帧顺序，"
                              "只在模拟测试台上运行过。加密镜像从不使用。")},
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

constexpr int kHelpWidth = 79;
constexpr int kNameColumn = 30;  // option names wider than this put their description on the next line

QString CommandTable()
{
    QString strTable = QCoreApplication::translate("xqprog", "命令:");
    for (const CliCommand& command : CliCommands()) {
        const QString strLine = QString("%1 %2").arg(command.pName, command.pSynopsis).trimmed();
        // A long synopsis goes on below its command, indented as the summary.
        strTable += "\n  " + xq::WrapToWidth(strLine, kHelpWidth - 6).join("\n      ");
        const QString strSummary = QCoreApplication::translate("xqprog", command.pSummary);
        for (const QString& strPart : xq::WrapToWidth(strSummary, kHelpWidth - 6))
            strTable += "\n      " + strPart;
    }
    return strTable;
}

// The options, one a line: the names, then the description wrapped beside
// them (display columns, so that Chinese lines fit a terminal too).
QString OptionTable(const QList<QCommandLineOption>& options)
{
    QList<QPair<QString, QString>> rows;
    int nColumn = 0;
    for (const QCommandLineOption& option : options) {
        QStringList names;
        for (const QString& strName : option.names())
            names << (strName.size() == 1 ? "-" : "--") + strName;
        QString strNames = names.join(", ");
        if (!option.valueName().isEmpty())
            strNames += " <" + option.valueName() + ">";
        rows << qMakePair(strNames, option.description());
        if (strNames.size() <= kNameColumn)
            nColumn = qMax(nColumn, strNames.size());
    }
    QString strTable = QCoreApplication::translate("xqprog", "选项:") + "\n";
    const QString strIndent(2 + nColumn + 2, ' ');
    for (const auto& row : rows) {
        const QStringList lines = xq::WrapToWidth(row.second, kHelpWidth - strIndent.size());
        QString strFirst = "  " + row.first;
        if (row.first.size() > nColumn)
            strTable += strFirst + "\n" + strIndent;
        else
            strTable += xq::PadToWidth(strFirst, strIndent.size());
        strTable += lines.join("\n" + strIndent) + "\n";
    }
    return strTable;
}

void PrintHelp(const CliCommand* pCommand)
{
    QString strHelp;
    QList<QCommandLineOption> options = GlobalOptions();
    if (pCommand) {
        const QString strUsage =
            QCoreApplication::translate("xqprog", "用法: xqprog [选项] %1 %2").arg(pCommand->pName, pCommand->pSynopsis);
        const QString strSummary = QCoreApplication::translate("xqprog", pCommand->pSummary);
        strHelp = xq::WrapToWidth(strUsage.trimmed(), kHelpWidth - 4).join("\n    ") + "\n" +
                  xq::WrapToWidth(strSummary, kHelpWidth).join('\n') + "\n\n";
        options += pCommand->pOptions();
    } else {
        strHelp = QCoreApplication::translate("xqprog", "用法: xqprog [选项] 命令 ...") + "\n" +
                  QCoreApplication::translate("xqprog", "通过 FTDI MPSSE 适配器烧写 XQ6130、XQ6230 和 XQ6030 芯片。") +
                  "\n\n" + CommandTable() + "\n\n";
    }
    strHelp += OptionTable(options) + "\n";
    for (const QString& strLine : Epilogue().split('\n'))
        strHelp += xq::WrapToWidth(strLine, kHelpWidth).join('\n') + "\n";
    std::fputs(strHelp.toUtf8().constData(), stdout);
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
        PrintHelp(result.pCommand);
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
