// xqprog at a production station: signals, closed and full outputs, unique
// serial numbers across adapters and processes, a bench that cannot save,
// input refused before the chip is touched, and the run log file.
#include "benchfixture.h"
#include "testfiles.h"
#include "tmpfsmount.h"
#include "xqprogrunner.h"

#include <workbookwriter.h>

#include <QLockFile>
#include <QProcess>
#include <QtTest>

#include <csignal>
#include <cstring>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

namespace {
using Result = XqprogResult;

// The texts of the log lines on standard output, without their time stamps.
QStringList LogTexts(const QString& strOut)
{
    QStringList texts;
    for (const QString& strLine : strOut.split('\n', Qt::SkipEmptyParts))
        if (const int nAt = strLine.indexOf("]: "); strLine.startsWith('[') && nAt > 0)
            texts << strLine.mid(nAt + 3);
    return texts;
}

// Whether a stopped run said "已中断" once, followed by strEnding as its last line.
bool EndsStopped(const QString& strOut, const QString& strEnding)
{
    const QStringList texts = LogTexts(strOut);
    return texts.count("已中断") == 1 && texts.size() >= 2 && texts.last() == strEnding &&
           texts[texts.size() - 2] == "已中断";
}

// The 32-bit serial number stamped in a bench's security register.
uint32_t StampedSerial(const QString& strBenchDir)
{
    const QByteArray sec = Slurp(strBenchDir + "/security.bin");
    return sec.size() < 32 ? 0 : qFromBigEndian<quint32>(sec.constData() + 28);
}
}  // namespace

class TestCliStation : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    QString P(const QString& s) { return m_dir.filePath(s); }

    XqprogRunner m_xqprog{XQPROG_PATH, m_dir.path()};

    void Prepare(QProcess& p, const QStringList& args, const QString& strBench) { m_xqprog.Prepare(p, args, strBench); }
    Result Run(const QStringList& args, const QString& strBench) { return m_xqprog.Run(args, strBench); }

    QString Bench(const QString& strName, const QByteArray& ini)
    {
        QDir().mkpath(P(strName));
        if (!ini.isEmpty() && !WriteFile(P(strName + "/bench.ini"), ini))
            QTest::qFail("bench.ini not written", __FILE__, __LINE__);
        return P(strName);
    }

    QString TodayLog() { return P("state/xqprogrammer/logs/") + QDate::currentDate().toString("yyyy-MM-dd") + ".log"; }

private slots:
    void initTestCase() { QVERIFY(WriteFile(P("big.bin"), RandomBytes(1024 * 1024, 7))); }

    // A stop ends the run after the flash command in progress and says what
    // the chip was left with; a serial number taken and not stamped is named.
    void signalStopsAfterTheCurrentFlashCommand_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<QString>("waitFor");
        QTest::addColumn<int>("exit");
        QTest::addColumn<QString>("ending");
        QTest::newRow("SIGTERM while erasing") << int(SIGTERM) << "正在擦除" << 143 << "已停止，芯片上的数据不完整，请重新烧写";
        QTest::newRow("SIGINT while programming") << int(SIGINT) << "正在烧写镜像..." << 130 << "已停止，芯片上的数据不完整，请重新烧写";
        QTest::newRow("SIGTERM while verifying") << int(SIGTERM) << "正在校验..." << 143 << "已停止，镜像已烧写但未校验完，请重新烧写";
        QTest::newRow("SIGHUP while stamping") << int(SIGHUP) << "校验成功" << 129 << "已停止，镜像已校验，序列号未写入";
    }
    void signalStopsAfterTheCurrentFlashCommand()
    {
        QFETCH(int, signal);
        QFETCH(QString, waitFor);
        QFETCH(int, exit);
        QFETCH(QString, ending);
        // The security register's erase takes 3 s: the signal lands in it.
        const QString strBench = Bench(QString("sig-") + QString(QTest::currentDataTag()).replace(' ', '-'),
                                       "[timing]\nrealtime=true\nsecurity_erase_ms=3000\n");
        FlashPattern flash;
        flash.Fill(strBench + "/flash.bin");
        const QString strCounter = strBench + "/serial.txt";
        QVERIFY(WriteFile(strCounter, "41\n"));
        QProcess p;
        Prepare(p, {"write", P("big.bin"), "--serial-file", strCounter}, strBench);
        p.start();
        QString strOut;
        QTRY_VERIFY_WITH_TIMEOUT((strOut += QString::fromUtf8(p.readAllStandardOutput())).contains(waitFor), 60000);
        ::kill(pid_t(p.processId()), signal);
        QVERIFY(p.waitForFinished(60000));
        strOut += QString::fromUtf8(p.readAllStandardOutput());
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), exit);
        QVERIFY2(EndsStopped(strOut, ending), qPrintable(strOut));
        // A stop is no failure of the chip: no failure line is logged for it.
        QVERIFY2(!strOut.contains("校验失败") && !strOut.contains("烧写失败"), qPrintable(strOut));
        if (signal == SIGHUP) {
            // The number was taken from the counter: it is named with its fate.
            QVERIFY2(strOut.contains("]: 序列号 41 未写入\n"), qPrintable(strOut));
            QCOMPARE(Slurp(strCounter).trimmed(), QByteArray("42"));
        } else {
            QVERIFY(!strOut.contains("校验成功"));
            QCOMPARE(Slurp(strCounter).trimmed(), QByteArray("41"));
        }
        // The adapter was closed: the bench saved a consistent chip and let go of its lock.
        QVERIFY(!QFile::exists(strBench + "/bench.lock"));
        XQ_VERIFY_FLASH_KEPT(flash, {{0, 1024 * 1024}});
        QVERIFY(Slurp(TodayLog()).contains("结果: 失败, 接口: FT2232-LOC-1"));
        QCOMPARE(Run({"info"}, strBench).nExit, 0);
    }

    // Every operation a signal can stop ends its log the same way: "已中断"
    // once, then what the chip was left with. The bench runs in real time,
    // reads and verifies at 1 MHz, so the signal lands in the step waited for.
    void everyStopEndsWithWhatItLeft_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("timing");  // [timing] keys beyond realtime
        QTest::addColumn<QString>("waitFor");
        QTest::addColumn<QString>("ending");
        const QString kUnchanged = "已停止，芯片未被改动";
        const QString kIncomplete = "已停止，芯片上的数据不完整，请重新烧写";
        const QStringList slow{"-r", "1MHz"};
        QTest::newRow("read") << slow + QStringList{"read", P("stopped.bin"), "--all"} << QByteArray() << "开始读取Flash"
                              << kUnchanged;
        QTest::newRow("verify") << slow + QStringList{"verify", P("big.bin")} << QByteArray() << "正在校验..." << kUnchanged;
        QTest::newRow("blank check") << slow + QStringList{"blank", "--all"} << QByteArray() << "正在查空..." << kUnchanged;
        QTest::newRow("erase by blocks") << QStringList{"erase", "--size", "0x100000"} << QByteArray("erase64k_ms=500\n")
                                         << "正在擦除" << kIncomplete;
        QTest::newRow("erase check after a chip erase")
            << slow + QStringList{"erase", "--whole"} << QByteArray() << "正在擦除" << "已停止，擦除已完成，未检查擦除结果";
        QTest::newRow("encrypted write") << QStringList{"write", P("encrypted.bin")} << QByteArray("erase4k_ms=500\n")
                                         << "正在加密烧写镜像..." << kIncomplete;
        QTest::newRow("static write") << QStringList{"static", "write", P("stop.xlsx")} << QByteArray("erase4k_ms=3000\n")
                                      << "擦除原有静态数据..." << "静态数据区的数据不完整，请重新写入";
        QTest::newRow("job run") << QStringList{"run", P("stop.xqjob")} << QByteArray() << "正在烧写镜像..." << kIncomplete;
        // The job's own verify reads back what its write step programmed (at 1 MHz, as the job sets).
        QTest::newRow("job's verify step") << QStringList{"run", P("stopverify.xqjob")} << QByteArray()
                                           << "开始校验(不擦除、不烧写)" << "已停止，0x0 ~ 0x40000 已烧写，未校验完";
    }
    void everyStopEndsWithWhatItLeft()
    {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, timing);
        QFETCH(QString, waitFor);
        QFETCH(QString, ending);
        QByteArray encrypted = RandomBytes(0x8000, 5);
        encrypted[0x2FB0] = 2;  // the marker that asks for the chip's encrypted programming
        QVERIFY(WriteFile(P("encrypted.bin"), encrypted));
        if (!QFile::exists(P("stop.xlsx")))
            QCOMPARE(Run({"static", "template", P("stop.xlsx")}, QString()).nExit, 0);
        if (!QFile::exists(P("stop.xqjob")))
            QCOMPARE(Run({"job", "create", P("stop.xqjob"), "--image", P("big.bin")}, QString()).nExit, 0);
        if (!QFile::exists(P("stopverify.xqjob"))) {
            QVERIFY(WriteFile(P("quarter.bin"), RandomBytes(0x40000, 8)));
            QCOMPARE(Run({"-r", "1MHz", "job", "create", P("stopverify.xqjob"), "--image", P("quarter.bin"), "--verify"},
                         QString()).nExit, 0);
        }
        const QString strBench = Bench(QString("stop-") + QString(QTest::currentDataTag()).replace(' ', '-'),
                                       "[timing]\nrealtime=true\n" + timing);
        FlashPattern flash;
        flash.Fill(strBench + "/flash.bin");
        QProcess p;
        Prepare(p, args, strBench);
        p.start();
        QString strOut;
        QTRY_VERIFY_WITH_TIMEOUT((strOut += QString::fromUtf8(p.readAllStandardOutput())).contains(waitFor), 60000);
        ::kill(pid_t(p.processId()), SIGTERM);
        QVERIFY(p.waitForFinished(60000));
        strOut += QString::fromUtf8(p.readAllStandardOutput());
        QCOMPARE(p.exitCode(), 143);
        QVERIFY2(EndsStopped(strOut, ending), qPrintable(strOut));
        if (ending == "已停止，芯片未被改动")
            XQ_VERIFY_FLASH_KEPT(flash, {});
    }

    // What can make a write fail besides the chip is found before any
    // adapter opens: the trace file, the serial counter file, numbers left.
    void checksBeforeTheChip_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("why");
        const QString strDir = m_dir.path();
        QTest::newRow("trace a directory") << QStringList{"--trace", strDir} << "追溯文件无法使用: " + strDir;
        QTest::newRow("trace in a missing directory")
            << QStringList{"--trace", strDir + "/nodir/t.csv"} << "追溯文件无法使用: " + strDir + "/nodir/t.csv";
        QTest::newRow("trace a FIFO") << QStringList{"--trace", strDir + "/trace.fifo"} << "trace.fifo";
        QTest::newRow("trace /dev/full") << QStringList{"--trace", "/dev/full"} << "/dev/full: 不是普通文件";
        QTest::newRow("serial file in a missing directory")
            << QStringList{"--serial-file", strDir + "/nodir/serial.txt"} << "序列号计数文件 " + strDir + "/nodir/serial.txt";
        QTest::newRow("serial file at its end")
            << QStringList{"--serial-file", strDir + "/end.txt"} << "序列号计数文件 " + strDir + "/end.txt: 序列号已用完";
        QTest::newRow("serial file one short of the gang")
            << QStringList{"--serial-file", strDir + "/last.txt"} << "序列号计数文件 " + strDir + "/last.txt: 序列号已用完";
        QTest::newRow("serial one short of the gang") << QStringList{"--serial", "0xFFFFFFFF"} << "xqprog: 序列号已用完";
    }
    void checksBeforeTheChip()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, why);
        QVERIFY(WriteFile(P("end.txt"), "4294967296\n"));
        QVERIFY(WriteFile(P("last.txt"), "4294967295\n"));
        if (!QFile::exists(P("trace.fifo")))
            QCOMPARE(::mkfifo(QFile::encodeName(P("trace.fifo")).constData(), 0644), 0);
        QVERIFY(WriteFile(P("tiny.bin"), RandomBytes(0x1000, 9)));
        const QString strBench = Bench("checks", "[bench]\nadapters=2\n");
        const QVector<FlashPattern> flashes = FillGangFlash(strBench, 2);
        const Result r = Run(QStringList{"-i", "all", "write", P("tiny.bin")} + args, strBench);
        QCOMPARE(r.nExit, 2);
        QVERIFY2(r.strErr.contains(why), qPrintable(r.strErr));
        QVERIFY2(!r.strOut.contains("正在擦除"), qPrintable(r.strOut));
        for (const FlashPattern& flash : flashes)
            XQ_VERIFY_FLASH_KEPT(flash, {});
        QCOMPARE(Slurp(P("end.txt")), QByteArray("4294967296\n"));
        QCOMPARE(Slurp(P("last.txt")), QByteArray("4294967295\n"));
    }

    void closedOrFullOutputNeverAbortsTheChip()
    {
        const QString strBench = Bench("pipe", QByteArray());
        FlashPattern flash;
        flash.Fill(strBench + "/flash.bin");
        // Standard output into a pipe whose reader is gone at once.
        QProcess p;
        Prepare(p, {"write", P("big.bin")}, strBench);
        p.setArguments(QStringList{"-c", "\"$0\" \"$@\" | true; exit ${PIPESTATUS[0]}", p.program()} + p.arguments());
        p.setProgram("bash");
        p.start();
        QVERIFY(p.waitForFinished(120000));
        QCOMPARE(p.exitCode(), 1);  // the output was lost, the chip was not (141: killed by SIGPIPE)
        QVERIFY(p.readAllStandardError().contains("无法写入标准输出: Broken pipe"));
        QVERIFY(!QFile::exists(strBench + "/bench.lock"));
        QCOMPARE(Slurp(strBench + "/flash.bin").left(1024 * 1024), RandomBytes(1024 * 1024, 7));
        XQ_VERIFY_FLASH_KEPT(flash, {{0, 1024 * 1024}});
        QVERIFY(Slurp(TodayLog()).contains("结果: 成功, 接口: FT2232-LOC-1"));

        QProcess full;
        Prepare(full, {"list"}, strBench);
        full.setStandardOutputFile("/dev/full");
        full.start();
        QVERIFY(full.waitForFinished(30000));
        QCOMPARE(full.exitCode(), 1);
        QVERIFY(full.readAllStandardError().contains("无法写入标准输出: No space left on device"));
    }

    void gangSerialNumbersAreUnique()
    {
        // Adapter 2 fails before its stamp: the others get 5 and 6, consecutively.
        const QString strBench = Bench("gang", "[bench]\nadapters=3\n");
        QDir().mkpath(strBench + "/adapter-2");
        QVERIFY(WriteFile(strBench + "/adapter-2/bench.ini", "[faults]\ndead_sectors=1000\n"));
        QVERIFY(WriteFile(P("small.bin"), RandomBytes(0x3000, 8)));
        const QVector<FlashPattern> flashes = FillGangFlash(strBench, 3);
        const Result r = Run({"-i", "all", "write", P("small.bin"), "--serial", "5"}, strBench);
        QCOMPARE(r.nExit, 1);
        for (const FlashPattern& flash : flashes)
            XQ_VERIFY_FLASH_KEPT(flash, {{0, 0x3000}});
        const QList<uint32_t> stamped{StampedSerial(strBench + "/adapter-1"), StampedSerial(strBench + "/adapter-3")};
        QCOMPARE(QSet<uint32_t>(stamped.begin(), stamped.end()), (QSet<uint32_t>{5, 6}));
        for (int k : {1, 3})
            QVERIFY(r.strOut.contains(QString("[FT2232-LOC-%1] 写入序列号: DEC: %2")
                                          .arg(k)
                                          .arg(StampedSerial(strBench + QString("/adapter-%1").arg(k)), 8, 10,
                                               QChar('0'))));
        QVERIFY(!r.strOut.contains("[FT2232-LOC-2] 写入序列号"));
        QCOMPARE(r.strOut.count("下一个序列号"), 1);
        QVERIFY(r.strOut.contains("下一个序列号: 7\n"));
        // The same interface named twice runs once.
        const Result twice = Run({"-i", "FT2232-LOC-1", "-i", "FT2232-LOC-1", "reset"}, strBench);
        QCOMPARE(twice.nExit, 0);
        QCOMPARE(twice.strOut.count("复位成功!"), 1);
    }

    // A signal that comes right after the result is decided changes
    // nothing: the exit code, the JSON object and the trace row all say what
    // the chip got, and nothing is logged as stopped.
    void signalAfterTheResultChangesNothing_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exit");
        QTest::addColumn<QString>("result");
        QTest::newRow("SIGTERM after a reset") << int(SIGTERM) << QStringList{"reset"} << 0 << "ok";
        QTest::newRow("SIGINT after a write") << int(SIGINT) << QStringList{"write", P("late.bin")} << 0 << "ok";
        QTest::newRow("SIGHUP after a failed verify") << int(SIGHUP) << QStringList{"verify", P("late.bin")} << 1
                                                      << "failed";
    }
    void signalAfterTheResultChangesNothing()
    {
        QFETCH(int, signal);
        QFETCH(QStringList, args);
        QFETCH(int, exit);
        QFETCH(QString, result);
        QVERIFY(WriteFile(P("late.bin"), QByteArray(3000, '\x6b')));
        const QString strBench = Bench(QString("late-") + QString(QTest::currentDataTag()).replace(' ', '-'), {});
        const QString strTrace = strBench + ".csv";
        QProcess p;
        Prepare(p, QStringList{"--json", "--trace", strTrace} + args, strBench);
        QProcessEnvironment env = p.processEnvironment().isEmpty() ? QProcessEnvironment::systemEnvironment()
                                                                   : p.processEnvironment();
        env.insert("XQPROG_TEST_SIGNAL_AFTER_RESULT", QString::number(signal));
        p.setProcessEnvironment(env);
        p.start();
        const Result r = XqprogRunner::Finish(p);
        QCOMPARE(r.nExit, exit);
        const QList<QJsonObject> json = JsonLines(r.strOut);
        QCOMPARE(json.size(), 1);
        QCOMPARE(json[0]["result"].toString(), result);
        const QList<QStringList> rows = TraceRows(strTrace, 1);
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[1].mid(2, 2), (QStringList{args.first(), result}));
        QVERIFY2(!r.strErr.contains("已中断") && !r.strErr.contains("已停止"), qPrintable(r.strErr));
    }

    // A second signal while the first one waits for a long erase ends the
    // program at once, killed by that signal: no "已中断", no close.
    void secondSignalEndsAtOnce()
    {
        const QString strBench = Bench("sig2", "[timing]\nrealtime=true\nerase64k_ms=20000\n");
        QFile flash(strBench + "/flash.bin");  // programmed, so that every profile erases
        QVERIFY(flash.open(QIODevice::WriteOnly));
        flash.write(QByteArray(2 * 1024 * 1024, '\0'));
        flash.close();
        QProcess p;
        Prepare(p, {"write", P("big.bin")}, strBench);
        p.start();
        QString strOut;
        QTRY_VERIFY_WITH_TIMEOUT((strOut += QString::fromUtf8(p.readAllStandardOutput())).contains("正在擦除"), 60000);
        ::kill(pid_t(p.processId()), SIGTERM);
        QTest::qWait(300);
        QCOMPARE(p.state(), QProcess::Running);  // the first one waits for the erase in progress
        ::kill(pid_t(p.processId()), SIGINT);
        QVERIFY(p.waitForFinished(10000));  // well before the 20 s erase ends
        strOut += QString::fromUtf8(p.readAllStandardOutput());
        QCOMPARE(p.exitStatus(), QProcess::CrashExit);
        QCOMPARE(p.exitCode(), int(SIGINT));
        QVERIFY2(!strOut.contains("已中断"), qPrintable(strOut));
    }

    // Process A waits for the counter's lock (checked before its adapter
    // opens); meanwhile the holder (the test, as another station would) takes
    // 200 to 202. A reads the file again under the lock: it stamps 203 and
    // announces 204, and a second process goes on from there. A third one
    // has read 205 when it starts, and the holder takes 205 to 299 during its
    // erase: the number it stamps is read under the lock once more, 300.
    void serialFileReadAgainUnderItsLock()
    {
        const QString strCounter = P("turns.txt");
        QVERIFY(WriteFile(strCounter, "200\n"));
        QVERIFY(WriteFile(P("turn.bin"), RandomBytes(0x1000, 21)));
        QLockFile holder(strCounter + ".lock");
        QVERIFY(holder.tryLock(0));
        QProcess a;
        Prepare(a, {"write", P("turn.bin"), "--serial-file", strCounter}, Bench("turnA", {}));
        a.start();
        QString strOut;
        QTest::qWait(300);  // A is at the lock now (or reaches it after the file holds 203)
        QVERIFY(WriteFile(strCounter, "203\n"));
        holder.unlock();
        const Result ra = XqprogRunner::Finish(a);
        strOut += ra.strOut;
        QCOMPARE(ra.nExit, 0);
        QCOMPARE(StampedSerial(P("turnA")), 203u);
        QVERIFY2(strOut.contains("下一个序列号: 204\n"), qPrintable(strOut));
        const Result rb = Run({"write", P("turn.bin"), "--serial-file", strCounter}, Bench("turnB", {}));
        QCOMPARE(rb.nExit, 0);
        QCOMPARE(StampedSerial(P("turnB")), 204u);
        QVERIFY2(rb.strOut.contains("下一个序列号: 205\n"), qPrintable(rb.strOut));
        QCOMPARE(Slurp(strCounter).trimmed(), QByteArray("205"));

        QProcess c;
        Prepare(c, {"write", P("turn.bin"), "--serial-file", strCounter},
                Bench("turnC", "[timing]\nrealtime=true\nerase4k_ms=3000\n"));
        c.start();
        strOut.clear();
        QTRY_VERIFY_WITH_TIMEOUT((strOut += QString::fromUtf8(c.readAllStandardOutput())).contains("正在擦除"), 60000);
        QVERIFY(holder.tryLock(10000));
        QVERIFY(WriteFile(strCounter, "300\n"));
        holder.unlock();
        const Result rc = XqprogRunner::Finish(c);
        strOut += rc.strOut;
        QCOMPARE(rc.nExit, 0);
        QCOMPARE(StampedSerial(P("turnC")), 300u);
        QVERIFY2(strOut.contains("下一个序列号: 301\n"), qPrintable(strOut));
        QCOMPARE(Slurp(strCounter).trimmed(), QByteArray("301"));
    }

    void serialFileSharedByTwoProcesses()
    {
        const QString strCounter = P("serial.txt");
        QList<QString> benches;
        for (const char* pName : {"par1", "par2"}) {
            benches << Bench(pName, "[bench]\nadapters=3\n");
        }
        QVERIFY(WriteFile(P("tiny.bin"), RandomBytes(0x1000, 9)));
        const QVector<FlashPattern> flashes = FillGangFlash(benches[0], 3) + FillGangFlash(benches[1], 3);
        // A missing counter file starts at --serial.
        QProcess a, b;
        Prepare(a, {"-i", "all", "write", P("tiny.bin"), "--serial-file", strCounter, "--serial", "100"}, benches[0]);
        Prepare(b, {"-i", "all", "write", P("tiny.bin"), "--serial-file", strCounter, "--serial", "100"}, benches[1]);
        a.start();
        b.start();
        QVERIFY(a.waitForFinished(120000) && b.waitForFinished(120000));
        QCOMPARE(a.exitCode(), 0);
        QCOMPARE(b.exitCode(), 0);
        QSet<uint32_t> stamped;
        for (const QString& strBench : benches)
            for (int k = 1; k <= 3; ++k)
                stamped << StampedSerial(strBench + QString("/adapter-%1").arg(k));
        QCOMPARE(stamped, (QSet<uint32_t>{100, 101, 102, 103, 104, 105}));
        for (const FlashPattern& flash : flashes)
            XQ_VERIFY_FLASH_KEPT(flash, {{0, 0x1000}});
        QCOMPARE(Slurp(strCounter).trimmed(), QByteArray("106"));
        // The next run goes on from the file, whatever --serial says.
        QCOMPARE(Run({"write", P("tiny.bin"), "--serial-file", strCounter, "--serial", "1"}, P("par3")).nExit, 0);
        QCOMPARE(StampedSerial(P("par3")), 106u);
        // The last serial number is stamped, from --serial and from the file.
        QCOMPARE(Run({"write", P("tiny.bin"), "--serial", "0xFFFFFFFF"}, P("par3")).nExit, 0);
        QCOMPARE(StampedSerial(P("par3")), 0xFFFFFFFFu);
        QVERIFY(WriteFile(strCounter, "4294967295\n"));
        QCOMPARE(Run({"write", P("tiny.bin"), "--serial-file", strCounter}, P("par4")).nExit, 0);
        QCOMPARE(StampedSerial(P("par4")), 0xFFFFFFFFu);
        QVERIFY(WriteFile(strCounter, "not a number\n"));
        QCOMPARE(Run({"write", P("tiny.bin"), "--serial-file", strCounter}, P("par3")).nExit, 2);
    }

    void benchOnAFullFileSystemFails()
    {
        TmpfsMount full(3 * 1024);
        if (!full.Mounted())
            QSKIP(qPrintable(full.Why()));
        const Result r = Run({"write", P("big.bin")}, full.Path());
        QCOMPARE(r.nExit, 1);
        QVERIFY2(r.strOut.contains(full.Path() + "/flash.bin") && r.strOut.contains("No space left on device"),
                 qPrintable(r.strOut));
        QVERIFY(!QFile::exists(full.Path() + "/bench.lock"));
    }

    void inputRefusedBeforeTheChip()
    {
        const QString strBench = P("input");
        // A file larger than any flash is refused by its size, unread.
        QFile huge(P("huge.bin"));
        QVERIFY(huge.open(QIODevice::WriteOnly));
        QVERIFY(huge.resize(1536ll * 1024 * 1024));
        huge.close();
        QElapsedTimer timer;
        timer.start();
        Result r = Run({"write", P("huge.bin")}, strBench);
        QCOMPARE(r.nExit, 2);
        QVERIFY(r.strErr.contains("烧写文件大小大于Flash容量"));
        QVERIFY(timer.elapsed() < 10000);
        QFile::remove(P("huge.bin"));
        // A read whose output directory is missing never opens the adapter.
        r = Run({"read", P("nodir/out.bin"), "--length", "16"}, strBench);
        QCOMPARE(r.nExit, 2);
        QVERIFY(r.strErr.contains("无法保存文件:" + P("nodir/out.bin") + ", 原因: 文件夹不存在"));
        QVERIFY(!QFile::exists(strBench + "/flash.bin"));

        // --set: numbers for numeric items, strings cut at a whole character.
        QCOMPARE(Run({"static", "template", P("t.xlsx")}, strBench).nExit, 0);
        r = Run({"static", "write", P("t.xlsx"), "--values", "current", "--force", "--set", "count=abc"}, strBench);
        QCOMPARE(r.nExit, 2);
        QVERIFY2(r.strErr.contains("--set count: \"abc\""), qPrintable(r.strErr));
        QVERIFY(!QFile::exists(strBench + "/flash.bin"));
        FlashPattern flash;
        flash.Fill(strBench + "/flash.bin");
        const QString strLong = QString::fromUtf8("烧写工具名称测试x");  // 3 bytes a character: 16 bytes cut at 15
        r = Run({"static", "write", P("t.xlsx"), "--values", "current", "--force", "--set", "name=" + strLong}, strBench);
        QCOMPARE(r.nExit, 0);
        QVERIFY2(r.strErr.contains(QString::fromUtf8("警告: --set name: 值被截为 16 字节: 烧写工具名\n")),
                 qPrintable(r.strErr));
        XQ_VERIFY_FLASH_KEPT(flash, {{0x1FF000, 0x1000}});
    }

    // A FIFO or a character device is written in place, never replaced by a
    // regular file; a directory or a socket is refused before the adapter opens.
    void outputsThatAreNotRegularFiles()
    {
        const QString strBench = Bench("outputs", QByteArray());
        FlashPattern flash;
        flash.Fill(strBench + "/flash.bin");
        const QByteArray fifo = QFile::encodeName(P("out.fifo"));
        QCOMPARE(::mkfifo(fifo.constData(), 0644), 0);
        const QByteArray device = QFile::encodeName(P("out.null"));
        QCOMPARE(::mknod(device.constData(), S_IFCHR | 0666, makedev(1, 3)), 0);  // a null device of its own
        auto kind = [](const QByteArray& path) {
            struct stat st {};
            return ::stat(path.constData(), &st) == 0 ? st.st_mode & S_IFMT : 0;
        };
        for (const QStringList& args : {QStringList{"read", P("out.fifo"), "--length", "100"},
                                        QStringList{"static", "template", P("out.fifo")}}) {
            QProcess reader;
            reader.start("cat", {P("out.fifo")});
            QVERIFY(reader.waitForStarted());
            const Result r = Run(args, strBench);
            QVERIFY(reader.waitForFinished(30000));
            QVERIFY2(r.nExit == 0, qPrintable(r.strOut + r.strErr));
            QCOMPARE(kind(fifo), mode_t(S_IFIFO));
            const QByteArray got = reader.readAllStandardOutput();
            QCOMPARE(got.left(2), args[0] == "read" ? flash.Bytes().left(2) : QByteArray("PK"));
            if (args[0] == "read")
                QCOMPARE(got, flash.Bytes().left(100));
        }
        for (const QStringList& args :
             {QStringList{"read", P("out.null"), "--all"}, QStringList{"static", "template", P("out.null")}}) {
            QCOMPARE(Run(args, strBench).nExit, 0);
            QCOMPARE(kind(device), mode_t(S_IFCHR));
        }
        // A directory and a socket: refused, naming the path and why; the adapter never opened.
        QDir().mkpath(P("out.dir"));
        const int nSocket = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        const QByteArray socketPath = QFile::encodeName(P("out.sock"));
        std::strncpy(address.sun_path, socketPath.constData(), sizeof(address.sun_path) - 1);
        QCOMPARE(::bind(nSocket, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
        const QList<QPair<QStringList, QString>> refused{
            {{"read", P("out.dir"), "--length", "16"}, P("out.dir") + ", 原因: 同名文件夹已存在"},
            {{"static", "template", P("out.dir")}, P("out.dir") + ", 原因: 同名文件夹已存在"},
            {{"read", P("out.sock"), "--length", "16"}, P("out.sock") + ", 原因: 不是普通文件、管道或字符设备"}};
        for (const auto& row : refused) {
            const Result r = Run(row.first, strBench);
            QCOMPARE(r.nExit, 2);
            QVERIFY2(r.strErr.contains("无法保存文件:" + row.second), qPrintable(r.strErr));
            QVERIFY(!r.strOut.contains("开始读取Flash"));
        }
        ::close(nSocket);
        QVERIFY(QFileInfo(P("out.dir")).isDir());
        XQ_VERIFY_FLASH_KEPT(flash, {});
    }

    // A workbook start address that does not read as hexadecimal would put
    // the record (and its erase) at 0: refused, naming the cell's text,
    // unless --start gives the address.
    void unreadableWorkbookStartIsRefused()
    {
        const QString strBench = Bench("badstart", QByteArray());
        FlashPattern flash;
        flash.Fill(strBench + "/flash.bin");
        const QVector<QVector<QVariant>> items{
            {"序号", "名称", "数据名称", "数据类型", "数量", "数值格式", "默认值", "只读", "描述"},
            {1, "gain", "增益", "uint8_t", 2, "十进制数", "3 4"}};
        for (const QString strText : {"1ff00O", "zzz", "", "-1000", "ffffffffff", "1000000"}) {
            QString strError;
            QVERIFY2(xlsx::WriteWorkbook(P("badstart.xlsx"),
                                         {{"xq_config", {{"start_address", strText.isEmpty() ? QVariant() : strText}}},
                                          {"Sheet1", items}},
                                         strError),
                     qPrintable(strError));
            const Result r = Run({"static", "write", P("badstart.xlsx")}, strBench);
            QCOMPARE(r.nExit, 2);
            QVERIFY2(r.strErr.contains("工作簿的起始地址 \"" + strText + "\""), qPrintable(r.strErr));
            XQ_VERIFY_FLASH_KEPT(flash, {});
        }
        QCOMPARE(Run({"static", "write", P("badstart.xlsx"), "--start", "1FE000"}, strBench).nExit, 0);
        XQ_VERIFY_FLASH_KEPT(flash, {{0x1FE000, 0x1000}});
    }

    // Input that would run on the wrong adapter, address, image or item is
    // refused before any adapter opens.
    void ambiguousInputRefused()
    {
        const QString strGang = Bench("ambiguous", "[bench]\nadapters=2\n");
        const QVector<FlashPattern> flashes = FillGangFlash(strGang, 2);
        QVERIFY(WriteFile(P("empty.bin"), QByteArray()));
        const QVector<QVector<QVariant>> items{
            {"序号", "名称", "数据名称", "数据类型", "数量", "数值格式", "默认值", "只读", "描述"},
            {1, "gain", "增益", "uint8_t", 1, "十进制数", "3"}};
        QString strError;
        QVERIFY2(xlsx::WriteWorkbook(P("twice.xlsx"), {{"A", items}, {"B", items}}, strError), qPrintable(strError));
        const QList<QPair<QStringList, QString>> rows{
            {{"-i", "all", "info"}, "info 只能在一个接口上运行"},
            {{"-i", "all", "static", "read", P("twice.xlsx")}, "static read 只能在一个接口上运行"},
            {{"erase", "--start", "0x+10", "--size", "4096"}, "请正确填写起始地址: 0x+10"},
            {{"write", P("empty.bin")}, "烧写文件 " + P("empty.bin") + " 为空 (0 字节)"},
            {{"static", "write", P("twice.xlsx"), "--values", "current", "--set", "gain=1"},
             "--set gain: 多个工作表中都有这个名称 (A, B)"}};
        for (const auto& row : rows) {
            const Result r = Run(row.first, strGang);
            QVERIFY2(r.nExit == 2 && r.strErr.contains(row.second), qPrintable(row.first.join(' ') + "\n" + r.strErr));
        }
        for (const FlashPattern& flash : flashes)
            XQ_VERIFY_FLASH_KEPT(flash, {});
    }

    void runLogFileMustBeRegular()
    {
        const QString strBench = P("logs");
        QDir().mkpath(P("state/xqprogrammer/logs"));
        QFile::remove(TodayLog());
        QCOMPARE(::mkfifo(QFile::encodeName(TodayLog()).constData(), 0644), 0);
        // Nobody reads the FIFO: the program must not wait on it.
        const Result r = Run({"reset"}, strBench);
        QCOMPARE(r.nExit, 0);
        QCOMPARE(r.strErr.count("运行日志文件"), 1);
        QVERIFY(r.strErr.contains(TodayLog()));
        QFile::remove(TodayLog());
        // Lines of a message of several lines each carry the stamp and the interface.
        const QString strGang = Bench("loggang", "[bench]\nadapters=2\n");
        QDir().mkpath(strGang + "/adapter-2");
        QFile held(strGang + "/adapter-2/bench.lock");
        QVERIFY(held.open(QIODevice::ReadWrite));
        QCOMPARE(::flock(held.handle(), LOCK_EX | LOCK_NB), 0);
        const Result gang = Run({"-i", "all", "reset"}, strGang);
        QCOMPARE(gang.nExit, 1);
        QVERIFY(gang.strOut.contains("[FT2232-LOC-2] 接口未打开\n"));
        QVERIFY(gang.strOut.contains(QRegularExpression("\\[FT2232-LOC-2\\] 模拟测试台: .*正被另一个程序使用")));
        QVERIFY(gang.strOut.contains(QRegularExpression("\\]: \\[FT2232-LOC-2\\] 请确认后重试\n")));
        const QString strLog = QString::fromUtf8(Slurp(TodayLog()));
        QVERIFY(strLog.contains(QRegularExpression("\\]: \\[FT2232-LOC-2\\] 请确认后重试\n")));
    }
};

QTEST_GUILESS_MAIN(TestCliStation)
#include "test_cli_station.moc"
