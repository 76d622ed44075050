// The line database against real engines: SQLite on a file and a
// PostgreSQL cluster the test starts itself.
#include <baseop.h>
#include <benchfixture.h>
#include <filesysmodel.h>
#include <imageops.h>
#include <linedb.h>
#include <mainwindow.h>
#include <messagebox.h>
#include <operationreport.h>
#include <pgcluster.h>
#include <resultpanel.h>
#include <windowlinedb.h>
#include <xqprogrunner.h>

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QRegularExpression>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>
#include <QtTest>

#include <functional>
#include <memory>

class TestLineDb : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void parsesUrls_data();
    void parsesUrls();
    void takesUniqueConsecutive_data();
    void takesUniqueConsecutive();
    void survivesServerCrash();
    void stationsShareOneFile();
    void lineOfFourStations();
    void refusesBeforeAdapterOpens_data();
    void refusesBeforeAdapterOpens();
    void windowTakesFromTheCounter_data();
    void windowTakesFromTheCounter();
    void windowFieldKeepsNoPassword();

private:
    QString Url(const QString& strEngine);
    // Four xqprog processes (stations st0..st3), two bench adapters each,
    // at once: the exit codes, and the serial of every chip that reported one.
    QList<int> RunStations(const XqprogRunner& xqprog, const QStringList& args, QList<qint64>& serials,
                           const std::function<void()>& whileRunning = nullptr);
    qint64 Count(const QString& strUrl, const QString& strSql) { return Query(strUrl, strSql).toLongLong(); }
    // The first column of the first row (-1 when there is none).
    QVariant Query(const QString& strUrl, const QString& strSql);

    QTemporaryDir m_dir;
    std::unique_ptr<PgCluster> m_pg;
    QString m_strPgSkip;
};

void TestLineDb::initTestCase()
{
    m_pg = std::make_unique<PgCluster>();
    m_strPgSkip = m_pg->Start();
}

QString TestLineDb::Url(const QString& strEngine)
{
    if (strEngine == "sqlite")
        return "sqlite:" + m_dir.filePath(QString("line-%1.db").arg(QTest::currentDataTag()));
    return m_pg->Url();
}

QVariant TestLineDb::Query(const QString& strUrl, const QString& strSql)
{
    LineDbUrl url;
    LineDbUrl::Parse(strUrl, url);
    QVariant value(qint64(-1));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(url.bSqlite ? "QSQLITE" : "QPSQL", "check");
        db.setDatabaseName(url.bSqlite ? url.strPath : url.strDatabase);
        db.setHostName(url.strHost);
        db.setPort(url.nPort);
        db.setUserName(url.strUser);
        QSqlQuery query(db);
        if (db.open() && query.exec(strSql) && query.next())
            value = query.value(0);
        db.close();
    }
    QSqlDatabase::removeDatabase("check");
    return value;
}

void TestLineDb::parsesUrls_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::newRow("sqlite file") << "sqlite:/tmp/x.db" << true << "" << 5432;
    QTest::newRow("sqlite without path") << "sqlite:" << false << "" << 0;
    QTest::newRow("tcp") << "postgresql://st1@10.0.0.5:6432/line" << true << "10.0.0.5" << 6432;
    QTest::newRow("default port") << "postgresql://st1@db/line" << true << "db" << 5432;
    QTest::newRow("socket dir") << "postgresql://st1@%2Frun%2Fpg:5432/line" << true << "/run/pg" << 5432;
    QTest::newRow("password refused") << "postgresql://st1:secret@db:5432/line" << false << "" << 0;
    QTest::newRow("no user") << "postgresql://db:5432/line" << false << "" << 0;
    QTest::newRow("no database") << "postgresql://st1@db:5432/" << false << "" << 0;
    QTest::newRow("bad port") << "postgresql://st1@db:70000/line" << false << "" << 0;
    QTest::newRow("other scheme") << "mysql://st1@db/line" << false << "" << 0;
}

void TestLineDb::parsesUrls()
{
    QFETCH(QString, url);
    QFETCH(bool, ok);
    QFETCH(QString, host);
    QFETCH(int, port);
    LineDbUrl parsed;
    const QString strRefusal = LineDbUrl::Parse(url, parsed);
    QCOMPARE(strRefusal.isEmpty(), ok);
    if (ok && !parsed.bSqlite) {
        QCOMPARE(parsed.strHost, host);
        QCOMPARE(parsed.nPort, port);
        QCOMPARE(parsed.strUser, QString("st1"));
        QCOMPARE(parsed.strDatabase, QString("line"));
    }
}

void TestLineDb::takesUniqueConsecutive_data()
{
    QTest::addColumn<QString>("engine");
    QTest::newRow("sqlite") << "sqlite";
    QTest::newRow("postgresql") << "postgresql";
}

// Four stations at once, each with a connection of its own, take the 200
// numbers of one counter: unique, consecutive, each with its row; the end
// is refused before a chip, by the check and by the take.
void TestLineDb::takesUniqueConsecutive()
{
    QFETCH(QString, engine);
    if (engine == "postgresql" && !m_strPgSkip.isEmpty()) {
        if (m_pg->Missing())
            QSKIP(qPrintable(m_strPgSkip));
        QFAIL(qPrintable(m_strPgSkip));
    }
    const QString strUrl = Url(engine);
    QString strError;
    {
        LineDb db;
        QVERIFY2(db.Open(strUrl, strError, true), qPrintable(strError));
        QVERIFY2(db.InitCounter("line-a", 1000, 1199, strError), qPrintable(strError));
        QVERIFY(!db.InitCounter("line-a", 1, 1199, strError));  // another first number is refused
        QVERIFY2(db.UseCounter("line-a", 200, strError), qPrintable(strError));
        QVERIFY(!db.UseCounter("line-a", 201, strError));
        QVERIFY(!db.UseCounter("no-such", 1, strError));
    }
    constexpr int kStations = 4;
    QVector<QList<uint32_t>> taken(kStations);
    QVector<QString> errors(kStations);
    std::vector<std::unique_ptr<QThread>> threads;
    for (int n = 0; n < kStations; ++n) {
        threads.emplace_back(QThread::create([&, n] {
            LineDb db;
            db.SetStation(QString("station-%1").arg(n));
            QString strWhy;
            if (!db.Open(strUrl, strWhy) || !db.UseCounter("line-a", 1, strWhy)) {
                errors[n] = strWhy;
                return;
            }
            uint32_t nSerial = 0;
            while (db.Take(SerialTakeInfo{"bench-1", "00FF", "job", "ab"}, nSerial, strWhy)) {
                taken[n] << nSerial;
                db.Settle(nSerial, nSerial % 10 != 0, nSerial % 10 != 0 ? QString() : "stopped", "00FF");
            }
            errors[n] = strWhy;
        }));
        threads.back()->start();
    }
    for (auto& pThread : threads)
        QVERIFY(pThread->wait(60000));
    QSet<uint32_t> all;
    for (int n = 0; n < kStations; ++n) {
        // A station that starts late may find the counter used up at its check.
        QVERIFY2(errors[n].contains(QRegularExpression("序列号已用完|剩余 \\d+ 个序列号")), qPrintable(errors[n]));
        for (uint32_t nSerial : taken[n])
            all.insert(nSerial);
    }
    QCOMPARE(all.size(), 200);
    QCOMPARE(*std::min_element(all.begin(), all.end()), 1000u);
    QCOMPARE(*std::max_element(all.begin(), all.end()), 1199u);
    QCOMPARE(Count(strUrl, "SELECT COUNT(*) FROM xq_serial WHERE state = 'stamped'"), 180);
    QCOMPARE(Count(strUrl, "SELECT COUNT(*) FROM xq_serial WHERE state = 'not stamped' AND reason = 'stopped'"), 20);
    QCOMPARE(Count(strUrl, "SELECT next FROM xq_counter WHERE name = 'line-a'"), 1200);
}

// The server crashes mid-run: no number is taken while it is away, the
// record and the settlement go to the spool, and a sync sends them once.
void TestLineDb::survivesServerCrash()
{
    if (!m_strPgSkip.isEmpty()) {
        if (m_pg->Missing())
            QSKIP(qPrintable(m_strPgSkip));
        QFAIL(qPrintable(m_strPgSkip));
    }
    const QString strUrl = m_pg->Url();
    const QString strSpool = m_dir.filePath("spool.jsonl");
    QString strError;
    LineDb db;
    db.SetSpool(strSpool);
    QVERIFY2(db.Open(strUrl, strError, true), qPrintable(strError));
    QVERIFY2(db.InitCounter("crash", 1, 100, strError), qPrintable(strError));
    QVERIFY2(db.UseCounter("crash", 2, strError), qPrintable(strError));
    uint32_t nSerial = 0;
    QVERIFY2(db.Take(SerialTakeInfo{}, nSerial, strError), qPrintable(strError));
    QCOMPARE(nSerial, 1u);

    QVERIFY(m_pg->Stop());
    uint32_t nOther = 0;
    QVERIFY(!db.Take(SerialTakeInfo{}, nOther, strError));
    QVERIFY2(strError.contains("未取得序列号"), qPrintable(strError));
    db.Settle(nSerial, true, QString(), "00AA");
    OperationReport report;
    report.strOperation = "write";
    report.eResult = OperationReport::kResultOk;
    report.bSerial = true;
    report.nSerial = nSerial;
    QVERIFY2(db.Record(report, "run-1", strError), qPrintable(strError));
    QFile spool(strSpool);
    QVERIFY(spool.open(QIODevice::ReadOnly));
    QCOMPARE(spool.readAll().count('\n'), 2);
    spool.close();
    int nSent = 0, nLeft = 0;
    QVERIFY(LineDb::Sync(strSpool, nSent, nLeft, strError));
    QCOMPARE(nLeft, 2);  // still away: kept

    QVERIFY(m_pg->Restart());
    QVERIFY2(LineDb::Sync(strSpool, nSent, nLeft, strError), qPrintable(strError));
    QCOMPARE(nSent, 2);
    QCOMPARE(nLeft, 0);
    QVERIFY(LineDb::Sync(strSpool, nSent, nLeft, strError));
    QCOMPARE(nSent, 0);
    QCOMPARE(Count(strUrl, "SELECT COUNT(*) FROM xq_chip WHERE serial = 1"), 1);
    QCOMPARE(Count(strUrl, "SELECT COUNT(*) FROM xq_serial WHERE counter = 'crash' AND state = 'stamped'"), 1);
    // The same connection is used again once the server is back.
    QVERIFY2(db.Take(SerialTakeInfo{}, nOther, strError), qPrintable(strError));
    QCOMPARE(nOther, 2u);
}

// Two xqprog processes with two bench adapters each write from one SQLite
// file: every chip gets its own number of the counter and its rows, and a
// run the counter cannot serve whole is refused before any adapter opens.
void TestLineDb::stationsShareOneFile()
{
    const QString strDb = "sqlite:" + m_dir.filePath("stations.db");
    XqprogRunner xqprog(XQPROG_PATH, m_dir.path());
    xqprog.SetLeadArgs({"--lang", "en"});
    QFile image(m_dir.filePath("fw.bin"));
    QVERIFY(image.open(QIODevice::WriteOnly));
    image.write(QByteArray(6000, '\x5a'));
    image.close();
    QCOMPARE(xqprog.Run({"line-db", "init", strDb, "--counter", "c", "--first", "7", "--last", "14"}).nExit, 0);
    for (int n = 0; n < 2; ++n) {
        QDir().mkpath(m_dir.filePath(QString("bench%1").arg(n)));
        QFile ini(m_dir.filePath(QString("bench%1/bench.ini").arg(n)));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[bench]\nadapters=2\n");
    }
    QSet<qint64> serials;
    const QStringList write{"-i", "all", "--json", "write", image.fileName(), "--line-db", strDb, "--serial-counter", "c"};
    for (int nRound = 0; nRound < 2; ++nRound) {
        QProcess a, b;
        xqprog.Prepare(a, write, m_dir.filePath("bench0"));
        xqprog.Prepare(b, write, m_dir.filePath("bench1"));
        for (QProcess* p : {&a, &b}) {
            QProcessEnvironment env = p->processEnvironment().isEmpty() ? QProcessEnvironment::systemEnvironment()
                                                                        : p->processEnvironment();
            env.insert("XQ_STATION", p == &a ? "st0" : "st1");
            p->setProcessEnvironment(env);
        }
        a.start();
        b.start();
        for (QProcess* p : {&a, &b}) {
            const XqprogResult result = XqprogRunner::Finish(*p);
            QVERIFY2(result.nExit == 0, qPrintable(result.strErr));
            for (const QJsonObject& json : JsonLines(result.strOut))
                serials.insert(json["serial"].toVariant().toLongLong());
        }
    }
    QCOMPARE(serials, (QSet<qint64>{7, 8, 9, 10, 11, 12, 13, 14}));
    QCOMPARE(Count(strDb, "SELECT COUNT(*) FROM xq_serial WHERE state = 'stamped'"), 8);
    QCOMPARE(Count(strDb, "SELECT COUNT(DISTINCT serial) FROM xq_chip WHERE operation = 'write' AND result = 'ok'"), 8);
    const XqprogResult refused = xqprog.Run(write, m_dir.filePath("bench0"));
    QCOMPARE(refused.nExit, 2);
    QVERIFY2(refused.strErr.contains("0 serial numbers left, 2 needed"), qPrintable(refused.strErr));
    QCOMPARE(Count(strDb, "SELECT COUNT(*) FROM xq_chip"), 8);

    // The line engineer's questions: the yield per station, one chip's history.
    const XqprogResult report = xqprog.Run({"--json", "line-db", "report", "--line-db", strDb});
    QCOMPARE(report.nExit, 0);
    const QJsonObject json = JsonLines(report.strOut).value(0);
    QCOMPARE(json["stations"].toArray().size(), 2);
    for (const QJsonValue& v : json["stations"].toArray()) {
        QCOMPARE(v["passed"].toInt(), 4);
        QCOMPARE(v["failed"].toInt(), 0);
    }
    QCOMPARE(json["serials"].toArray().at(0)["stamped"].toInt(), 8);
    const XqprogResult chip = xqprog.Run({"--json", "line-db", "chip", "9", "--line-db", strDb});
    QCOMPARE(chip.nExit, 0);
    QCOMPARE(JsonLines(chip.strOut).value(0)["records"].toArray().size(), 1);
    QCOMPARE(JsonLines(chip.strOut).value(0)["serials"].toArray().at(0)["state"].toString(), QString("stamped"));
}

QList<int> TestLineDb::RunStations(const XqprogRunner& xqprog, const QStringList& args, QList<qint64>& serials,
                                   const std::function<void()>& whileRunning)
{
    constexpr int kStations = 4;
    std::vector<std::unique_ptr<QProcess>> processes;
    for (int n = 0; n < kStations; ++n) {
        const QString strBench = m_dir.filePath(QString("line-bench%1").arg(n));
        if (!QFileInfo::exists(strBench + "/bench.ini")) {
            QDir().mkpath(strBench);
            QFile ini(strBench + "/bench.ini");
            if (ini.open(QIODevice::WriteOnly))
                ini.write("[bench]\nadapters=2\n[flash]\njedec=EF4012\n");
        }
        processes.push_back(std::make_unique<QProcess>());
        xqprog.Prepare(*processes.back(), args, strBench);
        QProcessEnvironment env = processes.back()->processEnvironment().isEmpty()
                                      ? QProcessEnvironment::systemEnvironment()
                                      : processes.back()->processEnvironment();
        env.insert("XQ_STATION", QString("st%1").arg(n));
        processes.back()->setProcessEnvironment(env);
    }
    for (auto& pProcess : processes)
        pProcess->start();
    if (whileRunning)
        whileRunning();
    QList<int> exits;
    for (auto& pProcess : processes) {
        const XqprogResult result = XqprogRunner::Finish(*pProcess);
        exits << result.nExit;
        for (const QJsonObject& json : JsonLines(result.strOut))
            if (json["result"].toString() == "ok" && !json["serial"].isNull())
                serials << json["serial"].toVariant().toLongLong();
    }
    return exits;
}

// A line of four stations runs one job that names the PostgreSQL database
// and its counter: 200 chips get the counter's 200 numbers, each once, each
// with its rows, and the station after the last number is refused before
// its adapters open. Then the server crashes while the stations run: what
// was stamped has its rows once the spool is synced, and a second sync
// sends nothing.
void TestLineDb::lineOfFourStations()
{
    if (!m_strPgSkip.isEmpty()) {
        if (m_pg->Missing())
            QSKIP(qPrintable(m_strPgSkip));
        QFAIL(qPrintable(m_strPgSkip));
    }
    const QString strUrl = m_pg->Url();
    XqprogRunner xqprog(XQPROG_PATH, m_dir.path());
    xqprog.SetLeadArgs({"--lang", "en"});
    QFile image(m_dir.filePath("line.bin"));
    QVERIFY(image.open(QIODevice::WriteOnly));
    image.write(QByteArray(256, '\x3c'));
    image.close();
    QCOMPARE(xqprog.Run({"line-db", "init", strUrl, "--counter", "line", "--first", "5000", "--last", "5199"}).nExit, 0);
    QCOMPARE(xqprog.Run({"line-db", "init", strUrl, "--counter", "outage", "--first", "9000", "--last", "9099"}).nExit, 0);
    const QString strJob = m_dir.filePath("line.xqjob");
    const XqprogResult created = xqprog.Run({"job", "create", strJob, "--image", image.fileName(), "--line-db", strUrl,
                                             "--serial-counter", "line"});
    QVERIFY2(created.nExit == 0, qPrintable(created.strErr));
    QVERIFY2(created.strOut.contains("serial: line database counter line\nline database: " + strUrl),
             qPrintable(created.strOut));

    const QStringList run{"-i", "all", "--json", "run", strJob};
    QList<qint64> serials;
    for (int nRound = 0; nRound < 25; ++nRound)
        QCOMPARE(RunStations(xqprog, run, serials), (QList<int>{0, 0, 0, 0}));
    QCOMPARE(serials.size(), 200);
    std::sort(serials.begin(), serials.end());
    for (int n = 0; n < serials.size(); ++n)
        QCOMPARE(serials[n], qint64(5000 + n));
    QCOMPARE(Count(strUrl, "SELECT COUNT(*) FROM xq_serial WHERE counter = 'line' AND state = 'stamped'"), 200);
    QCOMPARE(Count(strUrl, "SELECT COUNT(DISTINCT serial) FROM xq_chip WHERE result = 'ok' AND serial >= 5000"), 200);
    QCOMPARE(Count(strUrl, "SELECT COUNT(DISTINCT station) FROM xq_chip WHERE serial >= 5000"), 4);
    const XqprogResult refused = xqprog.Run(run, m_dir.filePath("line-bench0"));
    QCOMPARE(refused.nExit, 2);
    QVERIFY2(refused.strErr.contains("0 serial numbers left, 2 needed"), qPrintable(refused.strErr));
    QCOMPARE(Count(strUrl, "SELECT COUNT(*) FROM xq_chip WHERE serial >= 5000"), 200);

    // The crash: the command line's counter stands in for the job's.
    const qint64 nChipRows = Count(strUrl, "SELECT COUNT(*) FROM xq_chip");
    QList<qint64> stamped;
    const QStringList crashRun = run + QStringList{"--serial-counter", "outage"};
    bool bStopped = false;
    RunStations(xqprog, crashRun, stamped, [&] {
        // Down once the first number is taken: the stations are mid-run.
        QTRY_VERIFY_WITH_TIMEOUT(Count(strUrl, "SELECT COUNT(*) FROM xq_serial WHERE counter = 'outage'") > 0, 20000);
        bStopped = m_pg->Stop();
    });
    QVERIFY(bStopped);
    QVERIFY(m_pg->Restart());
    const XqprogResult sync = xqprog.Run({"--json", "line-db", "sync"});
    QVERIFY2(sync.nExit == 0, qPrintable(sync.strErr + sync.strOut));
    QCOMPARE(JsonLines(sync.strOut).value(0)["left"].toInt(-1), 0);
    const XqprogResult again = xqprog.Run({"--json", "line-db", "sync"});
    QVERIFY2(again.nExit == 0, qPrintable(again.strErr));
    QCOMPARE(JsonLines(again.strOut).value(0)["sent"].toInt(-1), 0);
    for (qint64 nSerial : stamped) {
        QCOMPARE(Count(strUrl, QString("SELECT COUNT(*) FROM xq_serial WHERE counter = 'outage' AND serial = %1 "
                                       "AND state = 'stamped'").arg(nSerial)), 1);
        QCOMPARE(Count(strUrl, QString("SELECT COUNT(*) FROM xq_chip WHERE serial = %1 AND result = 'ok'").arg(nSerial)),
                 1);
    }
    // Taken numbers are consecutive from the first, none twice; a number is
    // only ever stamped once its take was committed.
    const qint64 nTaken = Count(strUrl, "SELECT COUNT(*) FROM xq_serial WHERE counter = 'outage'");
    QCOMPARE(Count(strUrl, "SELECT COUNT(DISTINCT serial) FROM xq_serial WHERE counter = 'outage'"), nTaken);
    QCOMPARE(Count(strUrl, "SELECT next FROM xq_counter WHERE name = 'outage'"), 9000 + nTaken);
    QCOMPARE(Count(strUrl, "SELECT MIN(serial) FROM xq_serial WHERE counter = 'outage'"), 9000);
    QVERIFY(nChipRows + stamped.size() <= Count(strUrl, "SELECT COUNT(*) FROM xq_chip"));
}

void TestLineDb::refusesBeforeAdapterOpens_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("reason");
    const QString strDb = "sqlite:" + m_dir.filePath("refusals.db");
    QTest::newRow("no directory") << QStringList{"--line-db", "sqlite:/nonexistent/dir/x.db"} << "no directory";
    QTest::newRow("counter without database") << QStringList{"--serial-counter", "c"} << "needs --line-db";
    QTest::newRow("read-back with no serial number") << QStringList{"--check-serial"} << "--check-serial needs";
    QTest::newRow("password in address") << QStringList{"--line-db", "postgresql://st:pw@127.0.0.1:1/x"} << "password";
    QTest::newRow("server not there")
        << QStringList{"--line-db", "postgresql://st@" + QString::fromLatin1(QUrl::toPercentEncoding(m_dir.path())) + ":1/x"}
        << "not reachable";
    QTest::newRow("no such counter") << QStringList{"--line-db", strDb, "--serial-counter", "none"} << "no counter none";
    QTest::newRow("two serial sources") << QStringList{"--line-db", strDb, "--serial-counter", "c", "--serial", "5"}
                                        << "cannot be used with --serial";
}

// Each refusal ends with exit 2 before the adapter opens: the write is reported refused.
void TestLineDb::refusesBeforeAdapterOpens()
{
    QFETCH(QStringList, args);
    QFETCH(QString, reason);
    XqprogRunner xqprog(XQPROG_PATH, m_dir.path());
    xqprog.SetLeadArgs({"--lang", "en"});
    QFile image(m_dir.filePath("small.bin"));
    QVERIFY(image.open(QIODevice::WriteOnly));
    image.write(QByteArray(300, '\x11'));
    image.close();
    const XqprogResult result = xqprog.Run(QStringList{"--json", "write", image.fileName()} + args,
                                           m_dir.filePath("refusal-bench"));
    QCOMPARE(result.nExit, 2);
    QVERIFY2(result.strErr.contains(reason), qPrintable(result.strErr));
    for (const QJsonObject& json : JsonLines(result.strOut))
        QCOMPARE(json["result"].toString(), QString("refused"));
}

void TestLineDb::windowTakesFromTheCounter_data()
{
    QTest::addColumn<bool>("job");          // a job with [line] rather than the settings' address
    QTest::addColumn<bool>("check");        // the stamp read back (the settings' key, the job's --check-serial)
    QTest::addColumn<QString>("faults");    // the bench's [faults]
    QTest::addColumn<int>("left");          // numbers the counter has left
    QTest::addColumn<QString>("verdict");
    QTest::addColumn<QString>("state");     // of the number taken (empty: none taken)
    QTest::addColumn<QString>("reason");    // the number's reason, or the refusal's
    const QString strUnconfirmed = ImageWrite::SerialUnconfirmedText(700);
    QTest::newRow("settings") << false << false << "" << 10 << "成功" << "stamped" << "";
    QTest::newRow("job, checked") << true << true << "" << 10 << "成功" << "stamped" << "";
    // The stamp's program and its read-back both fail: it may be on the chip.
    QTest::newRow("read-back broken") << false << false << "fail_once=42, 48" << 10 << "失败" << "not stamped"
                                      << strUnconfirmed;
    QTest::newRow("job, read-back broken") << true << false << "fail_once=42, 48" << 10 << "失败" << "not stamped"
                                           << strUnconfirmed;
    // A program that reports success but leaves bits unprogrammed: only the
    // opt-in read-back fails it; unchecked, the stamp counts as before.
    const QString strDiffers = xq::ResultText(xq::kErrMismatch);
    QTest::newRow("stamp garbled, checked") << false << true << "weak_once=42" << 10 << "失败" << "not stamped"
                                            << strDiffers;
    QTest::newRow("job, stamp garbled, checked") << true << true << "weak_once=42" << 10 << "失败" << "not stamped"
                                                 << strDiffers;
    QTest::newRow("stamp garbled, unchecked") << false << false << "weak_once=42" << 10 << "成功" << "stamped" << "";
    QTest::newRow("exhausted") << false << false << "" << 0 << "未执行" << "" << "剩余 0 个序列号，需要 1 个";
    QTest::newRow("job, exhausted") << true << false << "" << 0 << "未执行" << "" << "剩余 0 个序列号，需要 1 个";
}

// The window's 烧写 with a line database: the number comes from its counter
// and is settled there, the chip's record is inserted; a counter with
// nothing left is refused before the adapter opens.
void TestLineDb::windowTakesFromTheCounter()
{
    QFETCH(bool, job);
    QFETCH(bool, check);
    QFETCH(QString, faults);
    QFETCH(int, left);
    QFETCH(QString, verdict);
    QFETCH(QString, state);
    QFETCH(QString, reason);
    const QString strUnconfirmed = ImageWrite::SerialUnconfirmedText(700);
    const QString strDir = m_dir.filePath(QString("win-%1").arg(QTest::currentDataTag()).replace(' ', '-').remove(','));
    QVERIFY(QDir().mkpath(strDir));
    const QString strUrl = "sqlite:" + strDir + "/line.db";
    QString strError;
    {
        LineDb db;
        QVERIFY2(db.Open(strUrl, strError, true) && db.InitCounter("c", 690, 699 + left, strError) &&
                     db.UseCounter("c", 1, strError),
                 qPrintable(strError));
        uint32_t nSerial = 0;
        for (int n = 0; n < 10; ++n)  // 690..699 went to other chips
            QVERIFY2(db.Take(SerialTakeInfo{}, nSerial, strError), qPrintable(strError));
    }
    QFile image(strDir + "/fw.bin");
    QVERIFY(image.open(QIODevice::WriteOnly));
    image.write(QByteArray(5000, '\x6b'));
    image.close();
    const QString strJob = strDir + "/line.xqjob";
    if (job) {
        QStringList args{"job", "create", strJob, "--image", image.fileName(), "--line-db", strUrl, "--serial-counter", "c"};
        if (check)
            args << "--check-serial";
        const XqprogResult r = XqprogRunner(XQPROG_PATH, strDir).Run(args);
        QVERIFY2(r.nExit == 0, qPrintable(r.strErr));
    }
    const QString strCwd = QDir::currentPath();
    QDir::setCurrent(strDir);
    {
        QSettings ini("XqProgrammer.ini", QSettings::IniFormat);
        ini.setValue("BaseOp/chk_seq", true);
        ini.setValue("BaseOp/path", strDir);
        if (check && !job)
            ini.setValue(QString("BaseOp/") + BaseOp::kCheckSerialKey, true);
        if (!job) {
            ini.setValue(WindowLineDb::kUrlKey, strUrl);
            ini.setValue(WindowLineDb::kCounterKey, "c");
        }
    }
    QStringList boxes;
    msgbox::SetHandler([&boxes](QMessageBox::Icon, const QString&, const QString& strText, QMessageBox::StandardButtons) {
        boxes << strText;
        return QMessageBox::Ok;
    });
    BenchFixture bench(faults.isEmpty() ? QString() : "[faults]\n" + faults + "\n");
    const int nTransfers = bench.Stats().nUsbTransfers;
    {
        MainWindow w(bench.BackendPtr());
        if (job) {
            QVERIFY(w.OpenJob(strJob));
        } else {
            auto* pBaseOp = w.findChild<BaseOp*>("tabBaseOp");
            QTRY_VERIFY(pBaseOp->FileModel()->mapFileCheck.contains("fw.bin"));
            QVERIFY(pBaseOp->FileModel()->setData(pBaseOp->FileModel()->index(image.fileName()), Qt::Checked,
                                                  Qt::CheckStateRole));
        }
        w.findChild<QAction*>("action_write")->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(!w.Busy(), 60000);
        QCOMPARE(w.Results()->Verdict(), verdict);
        if (state.isEmpty())
            QVERIFY2(w.Results()->Reason().contains(reason), qPrintable(w.Results()->Reason()));
    }
    msgbox::SetHandler(nullptr);
    QDir::setCurrent(strCwd);
    if (state.isEmpty()) {
        QCOMPARE(bench.Stats().nUsbTransfers, nTransfers);  // the adapter never opened
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(Count(strUrl, "SELECT COUNT(*) FROM xq_serial"), 10);
        QCOMPARE(Count(strUrl, "SELECT COUNT(*) FROM xq_chip"), 0);
        return;
    }
    QCOMPARE(Query(strUrl, "SELECT state FROM xq_serial WHERE serial = 700").toString(), state);
    QCOMPARE(Query(strUrl, "SELECT COALESCE(reason, '') FROM xq_serial WHERE serial = 700").toString(), reason);
    QCOMPARE(Count(strUrl, "SELECT next FROM xq_counter"), 701);
    // The chip's record names the number only where it may be on the chip.
    const bool bMayHoldIt = state == "stamped" || reason == strUnconfirmed;
    QCOMPARE(Query(strUrl, "SELECT result || ' ' || COALESCE(serial, '-') FROM xq_chip WHERE operation = 'write'")
                 .toString(),
             QString(verdict == "成功" ? "ok" : "failed") + (bMayHoldIt ? " 700" : " -"));
    QCOMPARE(Query(strUrl, "SELECT COUNT(DISTINCT run) FROM xq_chip").toLongLong(), 1);
    if (state == "stamped" && faults.isEmpty())
        QCOMPARE(bench.Security().mid(28, 4), QByteArray::fromHex("000002bc"));  // 700
}

// The dialog's fields go to the settings as they are edited; an address
// with a password is never stored.
void TestLineDb::windowFieldKeepsNoPassword()
{
    const QString strCwd = QDir::currentPath();
    QDir::setCurrent(m_dir.path());
    QFile::remove("XqProgrammer.ini");
    LineDbField field;
    auto* pUrl = field.findChild<QLineEdit*>("editLineDb");
    auto* pCounter = field.findChild<QLineEdit*>("editSerialCounter");
    pCounter->setText("prod-a");
    for (const QString& strUrl : {QString("postgresql://st1@db:5432/line"), QString("postgresql://st1:pw@db:5432/line")}) {
        pUrl->setText(strUrl);
        emit pUrl->editingFinished();
    }
    QSettings ini("XqProgrammer.ini", QSettings::IniFormat);
    QCOMPARE(ini.value(WindowLineDb::kUrlKey).toString(), QString("postgresql://st1@db:5432/line"));
    QCOMPARE(ini.value(WindowLineDb::kCounterKey).toString(), QString("prod-a"));
    QVERIFY(field.findChild<QLabel*>("lblLineDbNote")->text().contains("密码"));
    QDir::setCurrent(strCwd);
}

QTEST_MAIN(TestLineDb)
#include "test_linedb.moc"
