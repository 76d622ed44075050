// The line database on the command line: line-db init and sync, and the
// --line-db and --serial-counter options of write, checked before any
// adapter opens.
#include "clirunner.h"
#include "commands.h"

#include <imagerequest.h>
#include <linedb.h>

#include <QJsonObject>

QList<QCommandLineOption> LineDbOptions()
{
    return {{"line-db", "Record every chip in this line database (sqlite:PATH or postgresql://user@host:port/dbname; "
                        "the password from PGPASSFILE or ~/.pgpass).",
             "URL"},
            {"serial-counter", "With --line-db: stamp serial numbers taken from this counter of the database.", "NAME"}};
}

QList<QCommandLineOption> LineDbInitOptions()
{
    return {{"counter", "The serial counter to create (or whose last number to raise).", "NAME"},
            {"first", "The counter's first number.", "N"},
            {"last", "The counter's last number.", "M"}};
}

int OpenLineDb(CliContext& ctx, LineDb& db, bool& bUsed, bool bSerials)
{
    bUsed = ctx.parser.isSet("line-db");
    if (!bUsed) {
        if (ctx.parser.isSet("serial-counter"))
            return UsageError(ctx, "--serial-counter needs --line-db");
        return kExitOk;
    }
    if (ctx.parser.isSet("serial-counter") && !bSerials)
        return UsageError(ctx, "--serial-counter cannot be used with --serial or --serial-file");
    QString strError;
    if (!db.Open(ctx.parser.value("line-db"), strError))
        return UsageError(ctx, strError);
    if (ctx.parser.isSet("serial-counter") &&
        !db.UseCounter(ctx.parser.value("serial-counter"), ctx.targets.size(), strError))
        return UsageError(ctx, strError);
    ctx.pRecords = &db;
    return kExitOk;
}

int CmdLineDbInit(CliContext& ctx)
{
    const QCommandLineParser& p = ctx.parser;
    uint32_t nFirst = 0, nLast = 0;
    if (!p.isSet("counter"))
        return UsageError(ctx, "line-db init needs --counter NAME --first N --last M");
    if (!ImageRules::ParseSerial(p.value("first"), nFirst) || !ImageRules::ParseSerial(p.value("last"), nLast))
        return UsageError(ctx, QString("bad serial number: %1").arg(p.isSet("first") ? p.value("last") : p.value("first")));
    LineDb db;
    QString strError;
    if (!db.Open(ctx.args.value(0), strError, true) || !db.InitCounter(p.value("counter"), nFirst, nLast, strError))
        return UsageError(ctx, strError);
    if (ctx.out.Json())
        ctx.out.PrintJson(QJsonObject{{"counter", p.value("counter")}, {"first", qint64(nFirst)}, {"last", qint64(nLast)}});
    else
        ctx.out.Print(QString("counter %1: %2 .. %3\n").arg(p.value("counter")).arg(nFirst).arg(nLast));
    return kExitOk;
}

int CmdLineDbSync(CliContext& ctx)
{
    int nSent = 0, nLeft = 0;
    QString strError;
    const QString strSpool = LineDb::DefaultSpool();
    if (!LineDb::Sync(strSpool, nSent, nLeft, strError)) {
        UsageError(ctx, strError);
        return kExitFailed;
    }
    if (ctx.out.Json())
        ctx.out.PrintJson(QJsonObject{{"spool", strSpool}, {"sent", nSent}, {"left", nLeft}});
    else
        ctx.out.Print(QString("sent %1, left %2 (%3)\n").arg(nSent).arg(nLeft).arg(strSpool));
    return nLeft == 0 ? kExitOk : kExitFailed;
}
