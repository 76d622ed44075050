// The command line of xqprog: the options every command takes, the commands
// with their own options, and the parse of both through QCommandLineParser.
// Options may stand before or after the command; "--name=value" and
// "--name value" are the same.
#pragma once

#include <spiinterface.h>

#include <QByteArray>
#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>

class ChipRecordSink;
class CliOutput;
namespace mpsse {
class Backend;
}

// Exit codes of xqprog.
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;  // the operation failed on the chip or adapter
constexpr int kExitUsage = 2;   // bad usage or input

// The options that apply to every command.
struct CliGlobals {
    bool bSimulate = false;
    QString strBenchDir;
    QStringList interfaces;
    int nRateIndex = 0;
    bool bQuiet = false;
    bool bJson = false;  // one JSON object per adapter on standard output, log lines on standard error
    QString strTrace;    // the traceability file, or empty
    bool bBatchPrograms = false;  // --batch-programs: page programs in batches (opt-in)
};

// What one command runs with.
struct CliContext {
    const QCommandLineParser& parser;
    QStringList args;  // the positional arguments after the command's words
    CliGlobals globals;
    CliOutput& out;
    QList<QByteArray> names;    // every adapter found
    QList<QByteArray> targets;  // the adapters the command runs on
    // Where adapters are listed and opened: null for real adapters, or the
    // simulated bench of --simulate.
    std::shared_ptr<mpsse::Backend> pBackend;
    // The production job being run, carried by every report: its name and
    // the job file's SHA-256; empty outside a job.
    QString strJob;
    QByteArray jobSha256;
    QList<AdapterDescription> adapters;  // serial number, description and port path of each adapter found
    ChipRecordSink* pRecords = nullptr;  // the line database's record of every chip, or null
};

struct CliCommand {
    const char* pName;      // "write", "static read"
    const char* pSynopsis;  // its arguments, for the help
    const char* pSummary;   // untranslated (QT_TRANSLATE_NOOP, context xqprog): shown through translate
    QList<QCommandLineOption> (*pOptions)();
    int (*pRun)(CliContext&);
    int nArgs;       // how many positional arguments it takes
    bool bAdapters;  // whether it needs the adapter list and a target
};

// Every command, in the order the help lists them.
const QList<CliCommand>& CliCommands();

// The result of reading the command line.
struct CliParse {
    const CliCommand* pCommand = nullptr;
    QStringList args;  // positional arguments after the command's words
    CliGlobals globals;
    int nExit = -1;  // >= 0: stop with this exit code (help, version, usage error)
};

// Reads the command line (the program name first) into pParser, which must
// outlive the result.
CliParse ParseCommandLine(const QStringList& arguments, QCommandLineParser& parser);

// Prints "xqprog: MESSAGE" on standard error and returns kExitUsage.
int UsageError(const QString& strMessage);
// The first line of the last message UsageError printed.
QString LastUsageError();
// The same, kept by the command's output for the JSON object of a refusal.
int UsageError(const CliContext& ctx, const QString& strMessage);
// The rate labels, for the help and the error of an unknown rate.
QString RateLabels();
