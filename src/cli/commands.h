// The commands of xqprog, one function each, with the options each takes.
#pragma once

#include "clioptions.h"

// list, info, reset
int CmdList(CliContext& ctx);
int CmdInfo(CliContext& ctx);
int CmdReset(CliContext& ctx);

// write, erase, read
QList<QCommandLineOption> WriteOptions();
QList<QCommandLineOption> EraseOptions();
QList<QCommandLineOption> ReadOptions();
int CmdWrite(CliContext& ctx);
int CmdErase(CliContext& ctx);
int CmdRead(CliContext& ctx);

// verify, blank
QList<QCommandLineOption> VerifyOptions();
QList<QCommandLineOption> BlankOptions();
int CmdVerify(CliContext& ctx);
int CmdBlank(CliContext& ctx);

// static write, static read, static template
QList<QCommandLineOption> StaticWriteOptions();
QList<QCommandLineOption> StaticReadOptions();
int CmdStaticWrite(CliContext& ctx);
int CmdStaticRead(CliContext& ctx);
int CmdStaticTemplate(CliContext& ctx);

// job create, job show, run
QList<QCommandLineOption> JobCreateOptions();
int CmdJobCreate(CliContext& ctx);
int CmdJobShow(CliContext& ctx);
int CmdRun(CliContext& ctx);

// line-db init, line-db sync; --line-db and --serial-counter of write
class LineDb;
QList<QCommandLineOption> LineDbOptions();
QList<QCommandLineOption> LineDbInitOptions();
int CmdLineDbInit(CliContext& ctx);
int CmdLineDbSync(CliContext& ctx);
QList<QCommandLineOption> LineDbReportOptions();
QList<QCommandLineOption> LineDbChipOptions();
int CmdLineDbReport(CliContext& ctx);
int CmdLineDbChip(CliContext& ctx);
// Opens the --line-db database when given (bUsed), checks its counter for
// every target, and makes it the run's chip record sink; an exit code.
int OpenLineDb(CliContext& ctx, LineDb& db, bool& bUsed, bool bSerials);
// The same for a database and counter given otherwise (a job's, unless the
// command line names its own); empty strUrl: none.
int OpenLineDb(CliContext& ctx, const QString& strUrl, const QString& strCounter, LineDb& db, bool& bUsed,
               bool bSerials);
// The refusal of a serial counter named without a line database to take it
// from (write, job create, run).
QString CounterNeedsLineDbText();
// The refusal of a serial number that does not read as one (write --serial,
// line-db init --first and --last).
QString BadSerialText(const QString& strSerial);

// Option descriptions shared by two commands (each in the run's language):
// --protect of write and job create; the record's start and total of static
// write/read (--start, --total) and job create (--static-start, --static-total).
QString ProtectOptionText();
QString RecordStartOptionText();
QString RecordTotalOptionText();

// No options of its own.
inline QList<QCommandLineOption> NoOptions()
{
    return {};
}
