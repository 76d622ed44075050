// The line database on the command line: line-db init and sync, and the
// --line-db and --serial-counter options of write, checked before any
// adapter opens.
#include "clirunner.h"
#include "commands.h"

#include <imagerequest.h>
#include <linedb.h>
#include <textrules.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>

QList<QCommandLineOption> LineDbOptions()
{
    return {{"line-db", QCoreApplication::translate("xqprog", "把每个芯片记录到这个产线数据库 (sqlite:PATH 或 postgresql://user@host:port/dbname；密码来自 PGPASSFILE 或 ~/.pgpass)。"),
             "URL"},
            {"serial-counter", QCoreApplication::translate("xqprog", "与 --line-db 一起: 写入从数据库的这个计数器取得的序列号。"), "NAME"}};
}

QList<QCommandLineOption> LineDbReportOptions()
{
    return {{"line-db", QCoreApplication::translate("xqprog", "产线数据库。"), "URL"},
            {"since", QCoreApplication::translate("xqprog", "只统计这个日期或时间以来的芯片 (ISO 8601，UTC: 2026-12-09 或 2026-12-09T08:00)。"), "DATE"},
            {"job", QCoreApplication::translate("xqprog", "只统计这个任务的芯片。"), "NAME"}};
}

QList<QCommandLineOption> LineDbChipOptions()
{
    return {{"line-db", QCoreApplication::translate("xqprog", "产线数据库。"), "URL"}};
}

QList<QCommandLineOption> LineDbInitOptions()
{
    return {{"counter", QCoreApplication::translate("xqprog", "要建立的序列号计数器 (或要调高其最后一个号的计数器)。"), "NAME"},
            {"first", QCoreApplication::translate("xqprog", "计数器的第一个号。"), "N"},
            {"last", QCoreApplication::translate("xqprog", "计数器的最后一个号。"), "M"}};
}

QString CounterNeedsLineDbText()
{
    return QCoreApplication::translate("xqprog", "--serial-counter 需要 --line-db");
}

QString BadSerialText(const QString& strSerial)
{
    return QCoreApplication::translate("xqprog", "序列号无效: %1").arg(strSerial);
}

int OpenLineDb(CliContext& ctx, LineDb& db, bool& bUsed, bool bSerials)
{
    const QCommandLineParser& p = ctx.parser;
    if (!p.isSet("line-db") && p.isSet("serial-counter"))
        return UsageError(ctx, CounterNeedsLineDbText());
    return OpenLineDb(ctx, p.value("line-db"), p.value("serial-counter"), db, bUsed, bSerials);
}

int OpenLineDb(CliContext& ctx, const QString& strUrl, const QString& strCounter, LineDb& db, bool& bUsed,
               bool bSerials)
{
    bUsed = !strUrl.isEmpty();
    if (!bUsed)
        return kExitOk;
    if (!strCounter.isEmpty() && !bSerials)
        return UsageError(ctx, QCoreApplication::translate("xqprog", "--serial-counter 不能与 --serial 或 --serial-file 同时使用"));
    QString strError;
    if (!db.Open(strUrl, strError))
        return UsageError(ctx, strError);
    if (!strCounter.isEmpty() && !db.UseCounter(strCounter, ctx.targets.size(), strError))
        return UsageError(ctx, strError);
    ctx.pRecords = &db;
    return kExitOk;
}

int CmdLineDbInit(CliContext& ctx)
{
    const QCommandLineParser& p = ctx.parser;
    uint32_t nFirst = 0, nLast = 0;
    if (!p.isSet("counter"))
        return UsageError(ctx, QCoreApplication::translate("xqprog", "line-db init 需要 --counter NAME --first N --last M"));
    if (!ImageRules::ParseSerial(p.value("first"), nFirst))
        return UsageError(ctx, BadSerialText(p.value("first")));
    if (!ImageRules::ParseSerial(p.value("last"), nLast))
        return UsageError(ctx, BadSerialText(p.value("last")));
    LineDb db;
    QString strError;
    if (!db.Open(ctx.args.value(0), strError, true) || !db.InitCounter(p.value("counter"), nFirst, nLast, strError))
        return UsageError(ctx, strError);
    if (ctx.out.Json())
        ctx.out.PrintJson(QJsonObject{{"counter", p.value("counter")}, {"first", qint64(nFirst)}, {"last", qint64(nLast)}});
    else
        ctx.out.Print(QCoreApplication::translate("xqprog", "计数器 %1: %2 .. %3\n").arg(p.value("counter")).arg(nFirst).arg(nLast));
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
        ctx.out.Print(QCoreApplication::translate("xqprog", "已发送 %1，剩余 %2 (%3)\n").arg(nSent).arg(nLeft).arg(strSpool));
    return nLeft == 0 ? kExitOk : kExitFailed;
}

namespace {
// A chip's result or a serial number's state as the database keeps it
// (always English), in the run's language; an unknown word as it is.
QString RecordWord(const QString& strStored)
{
    if (strStored == "ok")
        return QCoreApplication::translate("xqprog", "成功", "record");
    if (strStored == "failed")
        return QCoreApplication::translate("xqprog", "失败", "record");
    if (strStored == "refused")
        return QCoreApplication::translate("xqprog", "未执行", "record");
    if (strStored == "taken")
        return QCoreApplication::translate("xqprog", "已取", "record");
    if (strStored == "stamped")
        return QCoreApplication::translate("xqprog", "已写入", "record");
    if (strStored == "not stamped")
        return QCoreApplication::translate("xqprog", "未写入", "record");
    return strStored;
}

int OpenForQuery(CliContext& ctx, LineDb& db)
{
    if (!ctx.parser.isSet("line-db"))
        return UsageError(ctx, QCoreApplication::translate("xqprog", "此命令需要 --line-db URL"));
    QString strError;
    if (!db.Open(ctx.parser.value("line-db"), strError))
        return UsageError(ctx, strError);
    return kExitOk;
}
}  // namespace

int CmdLineDbReport(CliContext& ctx)
{
    const QString strSince = ctx.parser.value("since");
    if (!strSince.isEmpty() && !QDateTime::fromString(strSince, Qt::ISODate).isValid() &&
        !QDate::fromString(strSince, Qt::ISODate).isValid())
        return UsageError(ctx, QCoreApplication::translate("xqprog", "日期无效: %1 (2026-12-09 或 2026-12-09T08:00)").arg(strSince));
    LineDb db;
    if (const int nExit = OpenForQuery(ctx, db); nExit != kExitOk)
        return nExit;
    QJsonObject report;
    QString strError;
    if (!db.Report(strSince, ctx.parser.value("job"), report, strError)) {
        UsageError(ctx, strError);
        return kExitFailed;
    }
    if (ctx.out.Json()) {
        ctx.out.PrintJson(report);
        return kExitOk;
    }
    // Columns by terminal width: headings and names may be Chinese.
    auto row = [](const QString& strStation, const QString& strJob, const QString& strPassed, const QString& strFailed,
                  const QString& strYield) {
        return xq::PadToWidth(strStation, 20) + " " + xq::PadToWidth(strJob, 20) + " " +
               xq::PadToWidth(strPassed, 8, true) + " " + xq::PadToWidth(strFailed, 8, true) + " " +
               xq::PadToWidth(strYield, 7, true) + "\n";
    };
    QString strText = row(QCoreApplication::translate("xqprog", "工位"), QCoreApplication::translate("xqprog", "任务"),
                          QCoreApplication::translate("xqprog", "成功", "report heading"),
                          QCoreApplication::translate("xqprog", "失败", "report heading"),
                          QCoreApplication::translate("xqprog", "良率"));
    for (const QJsonValue& v : report["stations"].toArray()) {
        const QJsonObject o = v.toObject();
        strText += row(o["station"].toString(), o["job"].toString(), QString::number(o["passed"].toInt()),
                       QString::number(o["failed"].toInt()), QString::number(100.0 * o["yield"].toDouble(), 'f', 1) + "%");
    }
    for (const QJsonValue& v : report["serials"].toArray()) {
        const QJsonObject o = v.toObject();
        strText += QCoreApplication::translate("xqprog", "计数器 %1: %2 .. %3，已取 %4 个，已写入 %5 个\n")
                       .arg(o["counter"].toString())
                       .arg(o["first"].toVariant().toLongLong())
                       .arg(o["last"].toVariant().toLongLong())
                       .arg(o["taken"].toVariant().toLongLong())
                       .arg(o["stamped"].toVariant().toLongLong());
    }
    ctx.out.Print(strText);
    return kExitOk;
}

int CmdLineDbChip(CliContext& ctx)
{
    LineDb db;
    if (const int nExit = OpenForQuery(ctx, db); nExit != kExitOk)
        return nExit;
    QJsonObject history;
    QString strError;
    if (!db.ChipHistory(ctx.args.value(0), history, strError)) {
        UsageError(ctx, strError);
        return kExitFailed;
    }
    if (ctx.out.Json()) {
        ctx.out.PrintJson(history);
        return kExitOk;
    }
    QString strText;
    for (const QJsonValue& v : history["records"].toArray()) {
        const QJsonObject o = v.toObject();
        strText += QCoreApplication::translate("xqprog", "%1 %2 %3 %4 %5 序列号 %6 %7\n")
                       .arg(o["time"].toString(), o["station"].toString(), o["adapter"].toString(),
                            o["operation"].toString(), RecordWord(o["result"].toString()),
                            o["serial"].isNull() ? QString("-") : QString::number(o["serial"].toVariant().toLongLong()),
                            o["uid"].toString());
    }
    for (const QJsonValue& v : history["serials"].toArray()) {
        const QJsonObject o = v.toObject();
        const QString strReason = o["reason"].toString();
        const QString strState = RecordWord(o["state"].toString()) + (strReason.isEmpty() ? QString() : " " + strReason);
        strText += QCoreApplication::translate("xqprog", "序列号 %1 (%2): %3，工位 %4\n")
                       .arg(o["serial"].toVariant().toLongLong())
                       .arg(o["counter"].toString(), strState, o["station"].toString());
    }
    ctx.out.Print(strText.isEmpty() ? QCoreApplication::translate("xqprog", "没有记录\n") : strText);
    return kExitOk;
}
