// The Session's wrap-up rules, on the simulated bench, through the very
// controller both front ends use: an adapter that does not open is a
// refusal and nothing runs; a close that fails fails a run that succeeded
// (and says so in its report); a trace row not written is logged and fails
// the run; and the run log's line of each ending. Also the reset and the
// device information, the operations that leave the flash as it is.
#include "benchfixture.h"
#include "testfiles.h"

#include <chipops.h>
#include <results.h>
#include <session.h>
#include <tracefile.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Collects what the session logs.
class LogLines : public OperationObserver {
public:
    void Log(const QString& strLine) override { lines << strLine; }
    void Progress(int) override {}
    QString Text() const { return lines.join('\n'); }
    QStringList lines;
};

// The bench can no longer keep its chip: flash.bin turned into a folder,
// so the save on close fails with the bench's reason.
void SpoilBenchSave(BenchFixture& bench)
{
    const QString strFlash = bench.Dir() + "/flash.bin";
    QFile::remove(strFlash);
    QDir().mkdir(strFlash);
}

}  // namespace

class TestOps : public QObject {
    Q_OBJECT

private slots:
    void sessionRun_data()
    {
        QTest::addColumn<bool>("bOpens");        // the interface named exists
        QTest::addColumn<bool>("bRunOk");        // what the operation returns
        QTest::addColumn<bool>("bSaveFails");    // the bench cannot keep its chip on close
        QTest::addColumn<bool>("bExpectOk");
        QTest::addColumn<int>("nExpectResult");  // OperationReport::Result
        QTest::addColumn<bool>("bCloseLine");    // "接口关闭失败" in the log
        QTest::newRow("refused") << false << true << false << false << int(OperationReport::kResultRefused) << false;
        QTest::newRow("ok") << true << true << false << true << int(OperationReport::kResultOk) << false;
        QTest::newRow("failed") << true << false << false << false << int(OperationReport::kResultFailed) << false;
        QTest::newRow("ok, close fails") << true << true << true << false << int(OperationReport::kResultFailed) << true;
        // The run's own failure stays its report; the close's reason is still told.
        QTest::newRow("failed, close fails") << true << false << true << false << int(OperationReport::kResultFailed)
                                             << true;
    }

    void sessionRun()
    {
        QFETCH(bool, bOpens);
        QFETCH(bool, bRunOk);
        QFETCH(bool, bSaveFails);
        QFETCH(bool, bExpectOk);
        QFETCH(int, nExpectResult);
        QFETCH(bool, bCloseLine);
        BenchFixture bench;
        LogLines log;
        Session session(bench.Ctrl(), log);
        OperationReport report;
        bool bRan = false;
        const QByteArray strName = bOpens ? bench.names.value(0) : QByteArray("NO-SUCH-ADAPTER");
        const bool bOk = session.Run(
            strName, 9,
            [&] {
                bRan = true;
                report.SetResult(bRunOk, bRunOk ? xq::kOk : xq::kErrMismatch, "ran");
                if (bSaveFails)
                    SpoilBenchSave(bench);
                return bRunOk;
            },
            report);
        QCOMPARE(bOk, bExpectOk);
        QCOMPARE(bRan, bOpens);
        QCOMPARE(int(report.eResult), nExpectResult);
        QVERIFY(!bench.Ctrl().IsOpen());
        QCOMPARE(log.Text().contains("接口关闭失败: "), bCloseLine);
        if (bCloseLine)
            QVERIFY2(log.Text().contains(bench.Dir() + "/flash.bin"), qPrintable(log.Text()));
        if (!bOpens) {
            QCOMPARE(log.lines.value(0), QString("接口未打开\n请确认后重试"));
            QVERIFY(report.strMessage.startsWith("接口未打开\n请确认后重试"));
            QVERIFY(report.nCode != xq::kOk);
        } else if (bCloseLine && bRunOk) {
            // The report says why the run failed after all.
            QCOMPARE(report.nCode, int(xq::kErrAdapterClose));
            QCOMPARE(report.strMessage, log.lines.last());
        } else {
            QCOMPARE(report.strMessage, QString("ran"));
        }
    }

    // The window's split: open, then close later with the last of its reports.
    void sessionCloseWithoutReport()
    {
        BenchFixture bench;
        LogLines log;
        Session session(bench.Ctrl(), log);
        QCOMPARE(session.Open(bench.names.value(0), 9), int(xq::kOk));
        QCOMPARE(session.Open(bench.names.value(0), 9), int(xq::kOk));  // already open: kept
        SpoilBenchSave(bench);
        QVERIFY(!session.Close(true, nullptr));
        QCOMPARE(log.lines.size(), 1);
        QVERIFY(log.lines[0].startsWith("接口关闭失败: "));
    }

    void sessionTrace()
    {
        QTemporaryDir dir;
        BenchFixture bench;
        LogLines log;
        Session session(bench.Ctrl(), log);
        OperationReport first;
        first.strOperation = "write";
        OperationReport second;
        second.strOperation = "static write";
        // No trace file: nothing to lose.
        QVERIFY(session.Trace(nullptr, {first, second}));
        const TraceFile trace(dir.filePath("trace.csv"));
        QVERIFY(session.Trace(&trace, {first, second}));
        QCOMPARE(Slurp(trace.Path()).count('\n'), 3);  // the column names and a row each
        QVERIFY(log.lines.isEmpty());
        // A folder where the file should be: each row lost is told, and the run fails.
        QDir().mkdir(dir.filePath("folder.csv"));
        const TraceFile lost(dir.filePath("folder.csv"));
        QVERIFY(!session.Trace(&lost, {first, second}));
        QCOMPARE(log.lines.size(), 2);
        for (const QString& strLine : log.lines)
            QVERIFY2(strLine.startsWith("追溯记录写入失败: ") && strLine.size() > 10, qPrintable(strLine));
    }

    void chipOperations_data()
    {
        QTest::addColumn<QString>("strIni");
        QTest::addColumn<bool>("bFlash");  // a flash answers behind the chip
        QTest::newRow("flash answers") << QString() << true;
        QTest::newRow("no flash") << QString("[faults]\nno_flash=true\n") << false;
    }

    void chipOperations()
    {
        QFETCH(QString, strIni);
        QFETCH(bool, bFlash);
        BenchFixture bench(strIni);
        QCOMPARE(bench.Open(), int(xq::kOk));
        LogLines log;
        OperationReport reset;
        // The reset ends by reading the flash's identification: without a flash it fails, with its code.
        const int nReset = Reset(bench.Ctrl(), log).Run(reset);
        QCOMPARE(nReset == xq::kOk, bFlash);
        QCOMPARE(reset.strOperation, QString("reset"));
        QCOMPARE(int(reset.eResult), int(bFlash ? OperationReport::kResultOk : OperationReport::kResultFailed));
        QCOMPARE(log.lines, QStringList{bFlash ? QString("复位成功!") : QString("复位失败: %1").arg(nReset)});
        QCOMPARE(reset.strMessage, log.lines.value(0));

        log.lines.clear();
        OperationReport info;
        QStringList shown;
        const int rc = Info(bench.Ctrl(), log).Run(info, [&shown](const QString& strText) { shown << strText; });
        QCOMPARE(rc == xq::kOk, bFlash);
        QCOMPARE(int(info.eResult), int(bFlash ? OperationReport::kResultOk : OperationReport::kResultFailed));
        // The model first, then the flash's lines; a flash that does not answer is said in the log.
        QVERIFY2(shown.value(0).startsWith("MCU: XQ"), qPrintable(shown.value(0)));
        QCOMPARE(shown.size(), bFlash ? 2 : 1);
        QCOMPARE(info.strJedec.isEmpty(), !bFlash);
        QCOMPARE(log.lines, bFlash ? QStringList() : QStringList{"Flash 信息读取失败"});
        bench.Close();
    }

    void resultLine_data()
    {
        QTest::addColumn<int>("nOutcome");
        QTest::addColumn<QString>("strInterface");
        QTest::addColumn<QString>("strLine");
        QTest::newRow("window, not run") << int(Session::Outcome::kNotRun) << QString() << "结果: 未执行";
        QTest::newRow("window, ok") << int(Session::Outcome::kOk) << QString() << "结果: 成功";
        QTest::newRow("window, failed") << int(Session::Outcome::kFailed) << QString() << "结果: 失败";
        QTest::newRow("xqprog, ok") << int(Session::Outcome::kOk) << "FT2232-LOC-1" << "结果: 成功, 接口: FT2232-LOC-1";
        QTest::newRow("xqprog, failed") << int(Session::Outcome::kFailed) << "A" << "结果: 失败, 接口: A";
    }

    void resultLine()
    {
        QFETCH(int, nOutcome);
        QFETCH(QString, strInterface);
        QFETCH(QString, strLine);
        QCOMPARE(Session::ResultLine(Session::Outcome(nOutcome), strInterface), strLine);
    }
};

QTEST_GUILESS_MAIN(TestOps)
#include "test_ops.moc"
