// The Session's wrap-up rules, on the simulated bench, through the very
// controller both front ends use: an adapter that does not open is a
// refusal and nothing runs; a close that fails fails a run that succeeded
// (and says so in its report); a trace row not written is logged and fails
// the run; and the run log's line of each ending. Also the reset and the
// device information, the operations that leave the flash as it is; and
// the preflight every operation runs: identify the flash, hold the range to it.
#include "benchfixture.h"
#include "testfiles.h"

#include <chipops.h>
#include <commontexts.h>
#include <imageops.h>
#include <results.h>
#include <session.h>
#include <staticread.h>
#include <staticrecord.h>
#include <staticwrite.h>
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
    void Warning(const QString& strLine) override { warnings << strLine; }
    QString Text() const { return lines.join('\n'); }
    QStringList lines;
    QStringList warnings;
};

// A static record of nTotal bytes holding four data bytes.
QByteArray SmallRecord(uint32_t nTotal)
{
    const QByteArray data = QByteArray::fromHex("01020304");
    static_data_hdr header{kStaticMagic, 1, nTotal, uint32_t(data.size()), 0,
                           CalcCrc(reinterpret_cast<const uint8_t*>(data.constData()), int(data.size()))};
    return QByteArray(reinterpret_cast<const char*>(&header), sizeof header) + data;
}

// Runs one operation of the given kind over nLength bytes from nStart
// ("erase": a write without an image).
int RunKind(const QString& strKind, SpiFlashCtrl& ctrl, OperationObserver& observer, int32_t nStart,
            int32_t nLength, const QString& strDir, OperationReport& report)
{
    if (strKind == "write" || strKind == "erase") {
        ImageWriteRequest request;
        request.nStart = nStart;
        if (strKind == "write")
            request.image = QByteArray(nLength, '\x5A');
        else
            request.nEraseBytes = nLength;
        return ImageWrite(ctrl, observer).Run(request, report);
    }
    if (strKind == "read") {
        ImageReadRequest request{nStart, nLength, strDir + "/read.bin", false};
        return ImageRead(ctrl, observer).Run(request, report);
    }
    if (strKind == "blank") {
        ImageVerifyRequest request;
        request.nStart = nStart;
        request.nLength = nLength;
        return ImageVerify(ctrl, observer).Run(request, report);
    }
    if (strKind == "static write") {
        StaticWriteRequest request;
        request.record = SmallRecord(uint32_t(nLength));
        request.nStart = nStart;
        request.nTotal = nLength;
        return StaticWrite(ctrl, observer).Run(request, report);
    }
    return StaticRead(ctrl, observer).Run(StaticReadRequest{nStart, nLength, 4}, report);
}

// How the preflight ends a run.
enum Preflight {
    kRangeRefused,  // the range rule's line, logged and warned; the report refused
    kNoFlash,       // the operation cannot go on without the flash's identification
    kGoesOn,        // the range was held to the flash and the operation went on
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

    // Every operation, on flashes of the family's size, of a size outside
    // it and with no flash at all: a range past the flash's end is refused
    // with one code and one line before anything on the flash changes.
    void preflight_data()
    {
        QTest::addColumn<QString>("strKind");
        QTest::addColumn<QString>("strIni");
        QTest::addColumn<int>("nStart");
        QTest::addColumn<int>("nExpect");  // Preflight
        const QString k2MiB;
        const QString k4MiB = "[flash]\njedec=EF4016\n";  // 4 MiB: outside the family's sizes
        const QString kNone = "[faults]\nno_flash=true\n";
        const QStringList kinds = {"write", "erase", "read", "blank", "static write", "static read"};
        for (const QString& strKind : kinds) {
            const QByteArray kind = strKind.toLatin1();
            QTest::newRow(kind + ", past the end") << strKind << k2MiB << 0x1FF000 << int(kRangeRefused);
            QTest::newRow(kind + ", inside") << strKind << k2MiB << 0x1F0000 << int(kGoesOn);
            // The size such a flash gives still holds the range, where the
            // operation goes on without a size of the family's.
            const bool bNeedsFamilySize = strKind == "blank";
            QTest::newRow(kind + ", 4 MiB, past its end")
                << strKind << k4MiB << 0x3FF000 << int(bNeedsFamilySize ? kNoFlash : kRangeRefused);
            QTest::newRow(kind + ", 4 MiB, inside")
                << strKind << k4MiB << 0x1FF000 << int(bNeedsFamilySize ? kNoFlash : kGoesOn);
        }
        // Without a flash only an image write and the static operations go on:
        // their read-back or header search decides.
        QTest::newRow("erase, no flash") << "erase" << kNone << 0x1F0000 << int(kNoFlash);
        QTest::newRow("read, no flash") << "read" << kNone << 0x1F0000 << int(kNoFlash);
        QTest::newRow("blank, no flash") << "blank" << kNone << 0x1F0000 << int(kNoFlash);
    }

    void preflight()
    {
        QFETCH(QString, strKind);
        QFETCH(QString, strIni);
        QFETCH(int, nStart);
        QFETCH(int, nExpect);
        const int32_t nLength = 0x2000;
        BenchFixture bench(strIni);
        const uint32_t nFlash = strIni.contains("EF4016") ? 0x400000u : 0x200000u;
        const QByteArray before = bench.FillPattern(int(nFlash));
        QCOMPARE(bench.Open(), int(xq::kOk));
        LogLines log;
        OperationReport report;
        const int rc = RunKind(strKind, bench.Ctrl(), log, nStart, nLength, bench.Dir(), report);
        bench.Close();
        const QString strWhat = strKind + ": " + log.Text();
        const bool bRefusedLine = log.Text().contains("操作范围超出Flash容量");
        QCOMPARE(bRefusedLine, nExpect == kRangeRefused);
        if (nExpect == kRangeRefused) {
            const QString strLine = xq::FlashRangeRefusal(nStart, nLength, nFlash);
            QCOMPARE(rc, int(xq::kEndedAndReported));
            QCOMPARE(int(report.eResult), int(OperationReport::kResultRefused));
            QCOMPARE(report.nCode, int(xq::kErrBadArgument));
            QCOMPARE(report.strMessage, strLine);
            QCOMPARE(log.lines.last(), strLine);
            QCOMPARE(log.warnings, QStringList{strLine});
            QVERIFY2(bench.Flash() == before, qPrintable(strWhat));
        } else if (nExpect == kNoFlash) {
            QVERIFY2(rc != xq::kOk, qPrintable(strWhat));
            QVERIFY(report.eResult != OperationReport::kResultOk);
            QVERIFY2(log.Text().contains("Flash 信息读取失败"), qPrintable(strWhat));
            QVERIFY(log.warnings.isEmpty());
            QVERIFY2(bench.Flash() == before, qPrintable(strWhat));
        } else {
            QVERIFY2(report.eResult != OperationReport::kResultRefused, qPrintable(strWhat));
            QVERIFY2(log.warnings.isEmpty(), qPrintable(strWhat));
        }
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
