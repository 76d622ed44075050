#include "linedb.h"

#include <operationreport.h>
#include <runlogfile.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMap>
#include <QJsonObject>
#include <QLockFile>
#include <QSaveFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QSysInfo>
#include <QThread>
#include <QUrl>
#include <QUuid>
#include <QVariant>

#include <atomic>

namespace {

// Each entry brings the schema from the version before it to its own.
const QList<QStringList> kMigrations = {
    {"CREATE TABLE xq_schema (version INTEGER NOT NULL)",
     "CREATE TABLE xq_counter (name TEXT PRIMARY KEY, first BIGINT NOT NULL, next BIGINT NOT NULL, "
     "last BIGINT NOT NULL)",
     "CREATE TABLE xq_serial (counter TEXT NOT NULL, serial BIGINT NOT NULL, state TEXT NOT NULL, reason TEXT, "
     "station TEXT, adapter TEXT, uid TEXT, job TEXT, image_sha256 TEXT, taken_at TEXT, settled_at TEXT, "
     "PRIMARY KEY (counter, serial))",
     "CREATE TABLE xq_chip (id TEXT PRIMARY KEY, run TEXT, time TEXT, station TEXT, adapter TEXT, chip TEXT, "
     "jedec TEXT, uid TEXT, operation TEXT, job TEXT, job_sha256 TEXT, image_sha256 TEXT, start BIGINT, "
     "size BIGINT, serial BIGINT, result TEXT, code INTEGER, message TEXT, seconds DOUBLE PRECISION)",
     "CREATE INDEX xq_chip_uid ON xq_chip (uid)", "CREATE INDEX xq_chip_serial ON xq_chip (serial)",
     "INSERT INTO xq_schema (version) VALUES (0)"},
};

QString Now()
{
    return QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
}

QString SqlError(const QSqlError& error)
{
    const QString strText = error.text().trimmed();
    return strText.isEmpty() ? QCoreApplication::translate("LineDb", "未知的数据库错误") : strText;
}

QVariant Text(const QString& s)
{
    return s.isNull() ? QVariant(QVariant::String) : QVariant(s);
}

bool Exec(QSqlQuery& query, const QString& strSql, const QVariantList& values, QString& strError)
{
    if (!query.prepare(strSql)) {
        strError = SqlError(query.lastError());
        return false;
    }
    for (const QVariant& v : values)
        query.addBindValue(v);
    if (!query.exec()) {
        strError = SqlError(query.lastError());
        return false;
    }
    return true;
}

std::atomic<int> g_nInstance{0};

}  // namespace

QString LineDbUrl::Parse(const QString& strUrl, LineDbUrl& url)
{
    url = LineDbUrl();
    if (strUrl.startsWith("sqlite:")) {
        url.bSqlite = true;
        url.strPath = strUrl.mid(7);
        return url.strPath.isEmpty() ? QCoreApplication::translate("LineDb", "产线数据库 sqlite:PATH 没有给出文件") : QString();
    }
    if (!strUrl.startsWith("postgresql://"))
        return QCoreApplication::translate("LineDb", "产线数据库必须是 sqlite:PATH 或 postgresql://user@host:port/dbname: %1").arg(strUrl);
    const QString strRest = strUrl.mid(13);
    const int nAt = strRest.lastIndexOf('@');
    const int nSlash = strRest.indexOf('/', nAt + 1);
    if (nAt <= 0 || nSlash < 0)
        return QCoreApplication::translate("LineDb", "产线数据库需要 user@host:port/dbname: %1").arg(strUrl);
    const QString strUser = strRest.left(nAt);
    if (strUser.contains(':'))
        return QCoreApplication::translate("LineDb", "产线数据库地址中不能含密码: 请写在 PGPASSFILE 或 ~/.pgpass 中");
    QString strHostPort = strRest.mid(nAt + 1, nSlash - nAt - 1);
    url.strDatabase = QUrl::fromPercentEncoding(strRest.mid(nSlash + 1).toUtf8());
    const int nColon = strHostPort.lastIndexOf(':');
    if (nColon >= 0) {
        bool bOk = false;
        url.nPort = strHostPort.mid(nColon + 1).toInt(&bOk);
        if (!bOk || url.nPort <= 0 || url.nPort > 65535)
            return QCoreApplication::translate("LineDb", "产线数据库地址中的端口无效: %1").arg(strUrl);
        strHostPort = strHostPort.left(nColon);
    }
    url.strUser = QUrl::fromPercentEncoding(strUser.toUtf8());
    url.strHost = QUrl::fromPercentEncoding(strHostPort.toUtf8());
    if (url.strUser.isEmpty() || url.strHost.isEmpty() || url.strDatabase.isEmpty() || url.strDatabase.contains('/') ||
        url.strDatabase.contains('?'))
        return QCoreApplication::translate("LineDb", "产线数据库需要 user@host:port/dbname: %1").arg(strUrl);
    return QString();
}

LineDb::LineDb() : m_strBase(QString("xq-linedb-%1-").arg(g_nInstance++)), m_strStation(DefaultStation()) {}

LineDb::~LineDb()
{
    // Only its own thread may use a connection: another thread's (a worker
    // that took numbers) is removed as it is, and its driver closes it.
    void* pThread = QThread::currentThread();
    for (auto it = m_connections.cbegin(); it != m_connections.cend(); ++it) {
        if (it.key() == pThread)
            QSqlDatabase::database(it.value(), false).close();
        QSqlDatabase::removeDatabase(it.value());
    }
}

QString LineDb::DefaultStation()
{
    const QString strEnv = qEnvironmentVariable("XQ_STATION");
    return strEnv.isEmpty() ? QSysInfo::machineHostName() : strEnv;
}

QString LineDb::DefaultSpool()
{
    return QDir(RunLogFile::Directory()).filePath("linedb-spool.jsonl");
}

QSqlDatabase LineDb::Connection(QString& strError)
{
    QString strName;
    {
        QMutexLocker lock(&m_mutex);
        void* pThread = QThread::currentThread();
        strName = m_connections.value(pThread);
        if (strName.isEmpty()) {
            strName = m_strBase + QString::number(m_connections.size());
            m_connections.insert(pThread, strName);
            QSqlDatabase db = QSqlDatabase::addDatabase(m_url.bSqlite ? "QSQLITE" : "QPSQL", strName);
            if (m_url.bSqlite) {
                db.setDatabaseName(m_url.strPath);
                db.setConnectOptions("QSQLITE_BUSY_TIMEOUT=10000");
            } else {
                db.setHostName(m_url.strHost);
                db.setPort(m_url.nPort);
                db.setDatabaseName(m_url.strDatabase);
                db.setUserName(m_url.strUser);
                // A dropped network ends a statement in seconds, not minutes.
                db.setConnectOptions("connect_timeout=3;keepalives=1;keepalives_idle=5;keepalives_interval=2;"
                                     "keepalives_count=2;tcp_user_timeout=5000");
            }
        }
    }
    QSqlDatabase db = QSqlDatabase::database(strName, false);
    if (!db.isValid()) {
        strError = QCoreApplication::translate("LineDb", "缺少 Qt 驱动 %1").arg(m_url.bSqlite ? "QSQLITE" : "QPSQL");
        return db;
    }
    if (!db.isOpen() && !db.open())
        strError = QCoreApplication::translate("LineDb", "产线数据库 %1 无法连接: %2").arg(m_strUrl, SqlError(db.lastError()));
    return db;
}

void LineDb::Drop()
{
    QString strName;
    {
        QMutexLocker lock(&m_mutex);
        strName = m_connections.value(QThread::currentThread());
    }
    if (!strName.isEmpty())
        QSqlDatabase::database(strName, false).close();
}

bool LineDb::Open(const QString& strUrl, QString& strError, bool bCreate)
{
    m_strUrl = strUrl;
    strError = LineDbUrl::Parse(strUrl, m_url);
    if (!strError.isEmpty())
        return false;
    if (m_url.bSqlite) {
        const QFileInfo file(m_url.strPath);
        if (!file.exists()) {
            if (!QFileInfo(file.absolutePath()).isDir())
                return (strError = QCoreApplication::translate("LineDb", "产线数据库 %1: 目录 %2 不存在").arg(strUrl, file.absolutePath())), false;
            bCreate = true;  // a new file gets the schema
        }
    }
    QSqlDatabase db = Connection(strError);
    if (!db.isOpen())
        return false;
    return Migrate(db, bCreate, strError);
}

bool LineDb::Migrate(QSqlDatabase& db, bool bCreate, QString& strError)
{
    for (int nTry = 0; nTry < 2; ++nTry) {
        int nVersion = -1;  // -1: no schema at all
        {
            QSqlQuery query(db);
            if (db.tables().contains("xq_schema")) {
                if (!query.exec("SELECT version FROM xq_schema") || !query.next())
                    return (strError = QCoreApplication::translate("LineDb", "产线数据库 %1: 无法读取结构版本: %2")
                                           .arg(m_strUrl, SqlError(query.lastError()))),
                           false;
                nVersion = query.value(0).toInt();
            }
        }
        if (nVersion > kSchemaVersion)
            return (strError = QCoreApplication::translate("LineDb", "产线数据库 %1 的结构版本为 %2，比本程序的 %3 新")
                                   .arg(m_strUrl).arg(nVersion).arg(kSchemaVersion)),
                   false;
        if (nVersion == kSchemaVersion)
            return true;
        if (nVersion < 0 && !bCreate)
            return (strError = QCoreApplication::translate("LineDb", "产线数据库 %1 没有结构: 请运行 xqprog line-db init").arg(m_strUrl)), false;
        // Forward only, in one transaction: a failed step leaves the old version.
        QSqlQuery query(db);
        bool bOk = query.exec(m_url.bSqlite ? "BEGIN IMMEDIATE" : "BEGIN");
        for (int n = qMax(nVersion, 0); bOk && n < kSchemaVersion; ++n) {
            for (const QString& strSql : kMigrations[n])
                bOk = bOk && (n > 0 || nVersion < 0 || !strSql.startsWith("CREATE TABLE xq_schema")) && query.exec(strSql);
        }
        bOk = bOk && query.exec(QString("UPDATE xq_schema SET version = %1").arg(kSchemaVersion)) && query.exec("COMMIT");
        if (bOk)
            return true;
        strError = QCoreApplication::translate("LineDb", "产线数据库 %1: 无法建立结构: %2").arg(m_strUrl, SqlError(query.lastError()));
        query.exec("ROLLBACK");
        // Another station may have made it at the same time: read again.
    }
    return false;
}

bool LineDb::InitCounter(const QString& strName, uint32_t nFirst, uint32_t nLast, QString& strError)
{
    if (nLast < nFirst)
        return (strError = QCoreApplication::translate("LineDb", "计数器的最后一个号 %1 小于第一个号 %2").arg(nLast).arg(nFirst)), false;
    QSqlDatabase db = Connection(strError);
    if (!db.isOpen())
        return false;
    QSqlQuery query(db);
    if (!Exec(query, "SELECT first, next, last FROM xq_counter WHERE name = ?", {strName}, strError))
        return false;
    if (!query.next())
        return Exec(query, "INSERT INTO xq_counter (name, first, next, last) VALUES (?, ?, ?, ?)",
                    {strName, qint64(nFirst), qint64(nFirst), qint64(nLast)}, strError);
    const qint64 nOldFirst = query.value(0).toLongLong(), nNext = query.value(1).toLongLong();
    if (nOldFirst != qint64(nFirst) || qint64(nLast) < nNext - 1)
        return (strError = QCoreApplication::translate("LineDb", "计数器 %1 已存在 (第一个 %2，下一个 %3，最后一个 %4): 只能调高其最后一个号")
                               .arg(strName)
                               .arg(nOldFirst)
                               .arg(nNext)
                               .arg(query.value(2).toLongLong())),
               false;
    return Exec(query, "UPDATE xq_counter SET last = ? WHERE name = ?", {qint64(nLast), strName}, strError);
}

bool LineDb::UseCounter(const QString& strName, int nNeeded, QString& strError)
{
    m_strCounter = strName;
    QSqlDatabase db = Connection(strError);
    if (!db.isOpen())
        return false;
    QSqlQuery query(db);
    if (!Exec(query, "SELECT next, last FROM xq_counter WHERE name = ?", {strName}, strError))
        return false;
    if (!query.next())
        return (strError = QCoreApplication::translate("LineDb", "产线数据库 %1 中没有计数器 %2").arg(m_strUrl, strName)), false;
    const qint64 nLeft = query.value(1).toLongLong() - query.value(0).toLongLong() + 1;
    if (nLeft < qMax(nNeeded, 1))
        return (strError = QCoreApplication::translate("LineDb", "计数器 %1: 剩余 %2 个序列号，需要 %3 个").arg(strName).arg(qMax<qint64>(nLeft, 0)).arg(nNeeded)),
               false;
    return true;
}

bool LineDb::Take(const SerialTakeInfo& info, uint32_t& nSerial, QString& strError)
{
    QSqlDatabase db = Connection(strError);
    if (!db.isOpen())
        return false;
    // One transaction: the counter moves and the number's row is there, or neither.
    QSqlQuery query(db);
    bool bOk = query.exec(m_url.bSqlite ? "BEGIN IMMEDIATE" : "BEGIN");
    if (bOk)
        bOk = Exec(query, "UPDATE xq_counter SET next = next + 1 WHERE name = ? AND next <= last RETURNING next - 1",
                   {m_strCounter}, strError);
    else
        strError = SqlError(query.lastError());
    bool bNone = false;
    qint64 nTaken = 0;
    if (bOk) {
        bNone = !query.next();
        nTaken = bNone ? 0 : query.value(0).toLongLong();
        query.finish();
    }
    if (bOk && !bNone)
        bOk = Exec(query,
                   "INSERT INTO xq_serial (counter, serial, state, station, adapter, uid, job, image_sha256, taken_at) "
                   "VALUES (?, ?, 'taken', ?, ?, ?, ?, ?, ?)",
                   {m_strCounter, nTaken, m_strStation, Text(info.strAdapter), Text(info.strUid), Text(info.strJob),
                    Text(QString::fromLatin1(info.imageSha256)), Now()},
                   strError);
    if (bOk && !bNone && !query.exec("COMMIT")) {
        bOk = false;
        strError = SqlError(query.lastError());
    }
    if (!bOk || bNone) {
        QSqlQuery(db).exec("ROLLBACK");
        if (!bOk) {
            Drop();
            strError = QCoreApplication::translate("LineDb", "产线数据库 %1: 未取得序列号: %2").arg(m_strUrl, strError);
        } else {
            strError = QCoreApplication::translate("LineDb", "计数器 %1: 序列号已用完").arg(m_strCounter);
        }
        return false;
    }
    nSerial = uint32_t(nTaken);
    return true;
}

void LineDb::Settle(uint32_t nSerial, bool bStamped, const QString& strReason, const QString& strUid)
{
    QJsonObject entry{{"url", m_strUrl},
                      {"kind", "settle"},
                      {"counter", m_strCounter},
                      {"serial", qint64(nSerial)},
                      {"state", bStamped ? "stamped" : "not stamped"},
                      {"reason", strReason},
                      {"uid", strUid},
                      {"time", Now()}};
    QString strError;
    if (!Apply(entry, strError))
        Spool(entry, strError);
}

int64_t LineDb::NextFree()
{
    QString strError;
    QSqlDatabase db = Connection(strError);
    if (!db.isOpen())
        return -1;
    QSqlQuery query(db);
    if (!Exec(query, "SELECT next FROM xq_counter WHERE name = ?", {m_strCounter}, strError) || !query.next()) {
        Drop();
        return -1;
    }
    return query.value(0).toLongLong();
}

bool LineDb::Record(const OperationReport& report, const QString& strRun, QString& strError)
{
    if (report.eResult == OperationReport::kResultRefused)
        return true;  // the chip was never reached
    QJsonObject row{{"id", QUuid::createUuid().toString(QUuid::WithoutBraces)},
                    {"run", strRun},
                    {"time", Now()},
                    {"station", m_strStation},
                    {"adapter", report.strInterface},
                    {"chip", report.strChip},
                    {"jedec", report.strJedec},
                    {"uid", report.strUid},
                    {"operation", report.strOperation},
                    {"job", report.strJob},
                    {"job_sha256", QString::fromLatin1(report.jobSha256)},
                    {"image_sha256", QString::fromLatin1(report.sha256)},
                    {"start", qint64(report.nStart)},
                    {"size", qint64(report.nSize)},
                    {"serial", report.bSerial ? QJsonValue(qint64(report.nSerial)) : QJsonValue()},
                    {"result", report.ResultName()},
                    {"code", report.nCode},
                    {"message", report.strMessage},
                    {"seconds", report.dSeconds}};
    const QJsonObject entry{{"url", m_strUrl}, {"kind", "chip"}, {"row", row}};
    QString strWhy;
    if (Apply(entry, strWhy))
        return true;
    return Spool(entry, strError);
}

bool LineDb::Apply(const QJsonObject& entry, QString& strError)
{
    QSqlDatabase db = Connection(strError);
    if (!db.isOpen())
        return false;
    QSqlQuery query(db);
    bool bOk = false;
    if (entry["kind"].toString() == "settle") {
        // Only a number still taken is settled: a second send changes nothing.
        bOk = Exec(query,
                   "UPDATE xq_serial SET state = ?, reason = ?, uid = COALESCE(?, uid), settled_at = ? "
                   "WHERE counter = ? AND serial = ? AND state = 'taken'",
                   {entry["state"].toString(), Text(entry["reason"].toString()),
                    entry["uid"].toString().isEmpty() ? QVariant(QVariant::String) : QVariant(entry["uid"].toString()),
                    entry["time"].toString(), entry["counter"].toString(), qint64(entry["serial"].toDouble())},
                   strError);
    } else {
        const QJsonObject row = entry["row"].toObject();
        auto text = [&row](const char* p) { return Text(row[p].toString()); };
        auto number = [&row](const char* p) {
            return row[p].isNull() || qint64(row[p].toDouble()) < 0 ? QVariant(QVariant::LongLong)
                                                                      : QVariant(qint64(row[p].toDouble()));
        };
        bOk = Exec(query,
                   "INSERT INTO xq_chip (id, run, time, station, adapter, chip, jedec, uid, operation, job, job_sha256, "
                   "image_sha256, start, size, serial, result, code, message, seconds) "
                   "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?) ON CONFLICT (id) DO NOTHING",
                   {text("id"), text("run"), text("time"), text("station"), text("adapter"), text("chip"),
                    text("jedec"), text("uid"), text("operation"), text("job"), text("job_sha256"),
                    text("image_sha256"), number("start"), number("size"), number("serial"), text("result"),
                    row["code"].toInt(), text("message"), row["seconds"].toDouble()},
                   strError);
    }
    if (!bOk)
        Drop();
    return bOk;
}

bool LineDb::Spool(const QJsonObject& entry, QString& strError)
{
    const QString strPath = m_strSpool.isEmpty() ? DefaultSpool() : m_strSpool;
    QDir().mkpath(QFileInfo(strPath).absolutePath());
    QLockFile lock(strPath + ".lock");
    lock.setStaleLockTime(0);
    QFile file(strPath);
    if (!lock.tryLock(10000) || !file.open(QIODevice::Append) ||
        file.write(QJsonDocument(entry).toJson(QJsonDocument::Compact) + '\n') < 0 || !file.flush()) {
        strError = QCoreApplication::translate("LineDb", "产线数据库记录丢失: 缓存文件 %1: %2").arg(strPath, file.errorString());
        return false;
    }
    return true;
}

bool LineDb::Sync(const QString& strSpool, int& nSent, int& nLeft, QString& strError)
{
    nSent = nLeft = 0;
    QLockFile lock(strSpool + ".lock");
    lock.setStaleLockTime(0);
    if (!lock.tryLock(10000))
        return (strError = QCoreApplication::translate("LineDb", "缓存文件 %1: 无法加锁").arg(strSpool)), false;
    QFile file(strSpool);
    if (!file.exists())
        return true;
    if (!file.open(QIODevice::ReadOnly))
        return (strError = QCoreApplication::translate("LineDb", "缓存文件 %1: %2").arg(strSpool, file.errorString())), false;
    QHash<QString, LineDb*> dbs;
    QHash<QString, bool> reachable;
    QByteArray kept;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine();
        const QJsonObject entry = QJsonDocument::fromJson(line).object();
        if (entry.isEmpty())
            continue;
        const QString strUrl = entry["url"].toString();
        if (!dbs.contains(strUrl)) {
            dbs.insert(strUrl, new LineDb);
            QString strWhy;
            reachable.insert(strUrl, dbs[strUrl]->Open(strUrl, strWhy));
        }
        QString strWhy;
        if (reachable[strUrl] && dbs[strUrl]->Apply(entry, strWhy)) {
            ++nSent;
        } else {
            ++nLeft;
            kept += line.endsWith('\n') ? line : line + '\n';
        }
    }
    file.close();
    qDeleteAll(dbs);
    QSaveFile out(strSpool);
    if (!out.open(QIODevice::WriteOnly) || out.write(kept) < 0 || !out.commit())
        return (strError = QCoreApplication::translate("LineDb", "缓存文件 %1: %2").arg(strSpool, out.errorString())), false;
    return true;
}

bool LineDb::Report(const QString& strSinceArg, const QString& strJobArg, QJsonObject& report, QString& strError)
{
    // Bound as '' rather than NULL, which would compare as unknown.
    const QString strSince = strSinceArg.isNull() ? QString("") : strSinceArg;
    const QString strJob = strJobArg.isNull() ? QString("") : strJobArg;
    QSqlDatabase db = Connection(strError);
    if (!db.isOpen())
        return false;
    QSqlQuery query(db);
    if (!Exec(query,
              "SELECT station, COALESCE(job, ''), run, operation, result FROM xq_chip WHERE time >= ? "
              "AND (? = '' OR job = ?) ORDER BY time",
              {strSince, strJob, strJob}, strError))
        return false;
    struct Run {
        QString strStation, strJob;
        bool bWrite = false, bOk = true;
    };
    QMap<QString, Run> runs;
    while (query.next()) {
        Run& run = runs[query.value(2).toString()];
        run.strStation = query.value(0).toString();
        run.strJob = query.value(1).toString();
        run.bWrite = run.bWrite || query.value(3).toString() == "write";
        run.bOk = run.bOk && query.value(4).toString() == "ok";
    }
    QMap<QPair<QString, QString>, QPair<int, int>> counts;  // (station, job): passed, failed
    for (const Run& run : runs)
        if (run.bWrite) {
            QPair<int, int>& c = counts[{run.strStation, run.strJob}];
            (run.bOk ? c.first : c.second)++;
        }
    QJsonArray stations;
    for (auto it = counts.constBegin(); it != counts.constEnd(); ++it) {
        const int nAll = it.value().first + it.value().second;
        stations.append(QJsonObject{{"station", it.key().first},
                                    {"job", it.key().second},
                                    {"passed", it.value().first},
                                    {"failed", it.value().second},
                                    {"yield", nAll ? double(it.value().first) / nAll : 0.0}});
    }
    if (!Exec(query,
              "SELECT counter, MIN(serial), MAX(serial), COUNT(*), SUM(CASE WHEN state = 'stamped' THEN 1 ELSE 0 END) "
              "FROM xq_serial WHERE taken_at >= ? AND (? = '' OR job = ?) GROUP BY counter ORDER BY counter",
              {strSince, strJob, strJob}, strError))
        return false;
    QJsonArray counters;
    while (query.next())
        counters.append(QJsonObject{{"counter", query.value(0).toString()},
                                    {"first", query.value(1).toLongLong()},
                                    {"last", query.value(2).toLongLong()},
                                    {"taken", query.value(3).toLongLong()},
                                    {"stamped", query.value(4).toLongLong()}});
    report = QJsonObject{{"stations", stations}, {"serials", counters}};
    return true;
}

bool LineDb::ChipHistory(const QString& strKey, QJsonObject& history, QString& strError)
{
    QSqlDatabase db = Connection(strError);
    if (!db.isOpen())
        return false;
    bool bNumber = false;
    const qint64 nSerial = strKey.toLongLong(&bNumber, 0);
    QSqlQuery query(db);
    if (!Exec(query,
              "SELECT time, station, adapter, chip, uid, operation, job, image_sha256, serial, result, message "
              "FROM xq_chip WHERE UPPER(uid) = UPPER(?) OR serial = ? ORDER BY time",
              {strKey, bNumber ? QVariant(nSerial) : QVariant(qint64(-1))}, strError))
        return false;
    const char* kKeys[] = {"time", "station", "adapter", "chip", "uid", "operation", "job", "image_sha256", "serial",
                           "result", "message"};
    QJsonArray records;
    while (query.next()) {
        QJsonObject row;
        for (int n = 0; n < 11; ++n)
            row[kKeys[n]] = query.isNull(n) ? QJsonValue() : QJsonValue::fromVariant(query.value(n));
        records.append(row);
    }
    if (!Exec(query,
              "SELECT counter, serial, state, reason, station, adapter, uid, taken_at, settled_at FROM xq_serial "
              "WHERE UPPER(uid) = UPPER(?) OR serial = ? ORDER BY taken_at",
              {strKey, bNumber ? QVariant(nSerial) : QVariant(qint64(-1))}, strError))
        return false;
    const char* kSerialKeys[] = {"counter", "serial", "state", "reason", "station", "adapter", "uid", "taken_at",
                                 "settled_at"};
    QJsonArray serials;
    while (query.next()) {
        QJsonObject row;
        for (int n = 0; n < 9; ++n)
            row[kSerialKeys[n]] = query.isNull(n) ? QJsonValue() : QJsonValue::fromVariant(query.value(n));
        serials.append(row);
    }
    history = QJsonObject{{"key", strKey}, {"records", records}, {"serials", serials}};
    return true;
}
