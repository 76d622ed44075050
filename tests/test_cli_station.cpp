// xqprog at a production station: signals, closed and full outputs, unique
// serial numbers across adapters and processes, a bench that cannot save,
// input refused before the chip is touched, and the run log file.
#include "benchfixture.h"
#include "testfiles.h"
#include "tmpfsmount.h"
#include "xqprogrunner.h"

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

    void signalStopsAfterTheCurrentFlashCommand_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<QString>("waitFor");
        QTest::addColumn<int>("exit");
        QTest::newRow("SIGTERM while erasing") << int(SIGTERM) << "正在擦除" << 143;
        QTest::newRow("SIGINT while programming") << int(SIGINT) << "正在烧写镜像..." << 130;
    }
    void signalStopsAfterTheCurrentFlashCommand()
    {
        QFETCH(int, signal);
        QFETCH(QString, waitFor);
        QFETCH(int, exit);
        const QString strBench = Bench(QString("sig%1").arg(signal), "[timing]\nrealtime=true\n");
        FlashPattern flash;
        flash.Fill(strBench + "/flash.bin");
        QProcess p;
        Prepare(p, {"write", P("big.bin")}, strBench);
        p.start();
        QString strOut;
        QTRY_VERIFY_WITH_TIMEOUT((strOut += QString::fromUtf8(p.readAllStandardOutput())).contains(waitFor), 60000);
        ::kill(pid_t(p.processId()), signal);
        QVERIFY(p.waitForFinished(60000));
        strOut += QString::fromUtf8(p.readAllStandardOutput());
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), exit);
        QVERIFY2(strOut.contains("已中断") && !strOut.contains("校验成功"), qPrintable(strOut));
        // The adapter was closed: the bench saved a consistent chip and let go of its lock.
        QVERIFY(!QFile::exists(strBench + "/bench.lock"));
        XQ_VERIFY_FLASH_KEPT(flash, {{0, 1024 * 1024}});
        QCOMPARE(Run({"info"}, strBench).nExit, 0);
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
        QVERIFY(full.readAllStandardError().contains("cannot write standard output"));
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

    // A second signal while the first one waits for a long erase ends the
    // program at once, killed by that signal: no "已中断", no close.
    void secondSignalEndsAtOnce()
    {
        const QString strBench = Bench("sig2", "[timing]\nrealtime=true\nerase64k_ms=20000\n");
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

    // Process A waits for the counter's lock after its verify; meanwhile the
    // holder (the test, as another station would) takes 200 to 202. A reads
    // the file again under the lock: it stamps 203 and announces 204, and a
    // second process goes on from there.
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
        QTRY_VERIFY_WITH_TIMEOUT((strOut += QString::fromUtf8(a.readAllStandardOutput())).contains("校验成功"), 30000);
        QTest::qWait(300);  // A is at the lock now
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
        QVERIFY2(r.strErr.contains(QString::fromUtf8("warning: --set name: the value is cut to 16 bytes: 烧写工具名\n")),
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

    void runLogFileMustBeRegular()
    {
        const QString strBench = P("logs");
        QDir().mkpath(P("state/xqprogrammer/logs"));
        QFile::remove(TodayLog());
        QCOMPARE(::mkfifo(QFile::encodeName(TodayLog()).constData(), 0644), 0);
        // Nobody reads the FIFO: the program must not wait on it.
        const Result r = Run({"reset"}, strBench);
        QCOMPARE(r.nExit, 0);
        QCOMPARE(r.strErr.count("run log file"), 1);
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
        QVERIFY(gang.strOut.contains(QRegularExpression("\\[FT2232-LOC-2\\] simulated bench: .*in use")));
        QVERIFY(gang.strOut.contains(QRegularExpression("\\]: \\[FT2232-LOC-2\\] 请确认后重试\n")));
        const QString strLog = QString::fromUtf8(Slurp(TodayLog()));
        QVERIFY(strLog.contains(QRegularExpression("\\]: \\[FT2232-LOC-2\\] 请确认后重试\n")));
    }
};

QTEST_GUILESS_MAIN(TestCliStation)
#include "test_cli_station.moc"
