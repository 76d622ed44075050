// The line database: serial counters and chip records shared by every
// station of a line (PostgreSQL through QPSQL) or kept on one station
// (SQLite through QSQLITE), with the same schema and the same statements.
// QtCore and QtSql only. Every thread gets a connection of its own; a
// connection that failed is opened again for the next statement, so a
// server that comes back is used again. A record that cannot be inserted
// goes to the spool file and is sent later (Sync) under its own id, so it
// is never inserted twice.
#pragma once

#include <serialsource.h>

#include <QHash>
#include <QJsonObject>
#include <QMutex>
#include <QSqlDatabase>
#include <QString>

#include <cstdint>

struct LineDbUrl {
    bool bSqlite = false;
    QString strPath;  // sqlite:PATH
    QString strUser, strHost, strDatabase;
    int nPort = 5432;
    // Reads sqlite:PATH or postgresql://user@host:port/dbname (host may be
    // a socket directory, %2F-encoded); a password is refused: it comes
    // from PGPASSFILE or ~/.pgpass only. Empty, else the refusal.
    static QString Parse(const QString& strUrl, LineDbUrl& url);
};

class LineDb : public SerialSource, public ChipRecordSink {
public:
    static constexpr int kSchemaVersion = 1;

    LineDb();
    ~LineDb() override;

    // Connects and checks the schema; bCreate (or a new SQLite file)
    // creates it. An older schema is migrated forward, a newer one refused.
    bool Open(const QString& strUrl, QString& strError, bool bCreate = false);
    // Creates the counter (first .. last), or raises the last number of the
    // same counter; false with the reason.
    bool InitCounter(const QString& strName, uint32_t nFirst, uint32_t nLast, QString& strError);
    // The counter that Take uses; nNeeded numbers must be left.
    bool UseCounter(const QString& strName, int nNeeded, QString& strError);
    void SetStation(const QString& strStation) { m_strStation = strStation; }
    void SetSpool(const QString& strPath) { m_strSpool = strPath; }
    QString Url() const { return m_strUrl; }

    bool Take(const SerialTakeInfo& info, uint32_t& nSerial, QString& strError) override;
    void Settle(uint32_t nSerial, bool bStamped, const QString& strReason, const QString& strUid) override;
    int64_t NextFree() override;
    bool Record(const OperationReport& report, const QString& strRun, QString& strError) override;

    // Passed, failed and yield per station and job of the chip runs with a
    // write since strSince (ISO date or time; empty: all), only of strJob
    // when given, and the serial numbers used per counter.
    bool Report(const QString& strSince, const QString& strJob, QJsonObject& report, QString& strError);
    // Every record of the chip with unique id strKey, or of serial number
    // strKey, and its serial rows, oldest first.
    bool ChipHistory(const QString& strKey, QJsonObject& history, QString& strError);

    // Sends the spool's records to their databases; what could not be sent
    // stays. False with the reason when the spool cannot be rewritten.
    static bool Sync(const QString& strSpool, int& nSent, int& nLeft, QString& strError);
    // The spool beside the run log.
    static QString DefaultSpool();
    // This station's name: $XQ_STATION, else the host name.
    static QString DefaultStation();

private:
    QSqlDatabase Connection(QString& strError);
    void Drop();  // closes this thread's connection after a failure
    bool Migrate(QSqlDatabase& db, bool bCreate, QString& strError);
    // Runs one kind of spooled entry against the database.
    bool Apply(const QJsonObject& entry, QString& strError);
    bool Spool(const QJsonObject& entry, QString& strError);

    QString m_strUrl;
    LineDbUrl m_url;
    QString m_strBase;
    QMutex m_mutex;
    QHash<void*, QString> m_connections;
    QString m_strCounter;
    QString m_strStation;
    QString m_strSpool;
};
