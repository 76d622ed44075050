// xqprog end to end on the simulated bench: outputs, bench files, exit codes
// and gang programming.
#include "benchfixture.h"

#include <QProcess>
#include <QtTest>

namespace {
struct Result {
    int nExit = -1;
    QString strOut;
    QString strErr;
};
}  // namespace

class TestCli : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    Result Run(const QStringList& args, const QString& strBench)
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_STATE_HOME", P("state"));
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(m_dir.path());
        p.start(XQPROG_PATH, QStringList{"--simulate=" + strBench, "-q"} + args);
        p.waitForFinished(120000);
        return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
    }

    QString P(const QString& s) { return m_dir.filePath(s); }

    static QByteArray Slurp(const QString& strPath)
    {
        QFile f(strPath);
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }

private slots:
    void imageCommands()
    {
        const QString strBench = P("bench");
        const QByteArray image = RandomBytes(70000, 31);
        QFile f(P("fw.bin"));
        f.open(QIODevice::WriteOnly);
        f.write(image);
        f.close();

        Result r = Run({"list"}, strBench);
        QCOMPARE(r.nExit, 0);
        QCOMPARE(r.strOut, QString("FT2232-LOC-1\n"));
        r = Run({"info"}, strBench);
        QCOMPARE(r.nExit, 0);
        QVERIFY(r.strOut.startsWith("MCU: XQ6230\n厂商ID   : EF\t\t设备ID   : 14\n"));

        r = Run({"write", P("fw.bin"), "--serial", "0x9", "--start", "1000"}, strBench);
        QCOMPARE(r.nExit, 0);
        QVERIFY(r.strOut.contains("]: 写入序列号: DEC: 00000009 HEX: 0X00000009\n"));
        QVERIFY(r.strOut.contains("]: 下一个序列号: 10\n"));
        QCOMPARE(Slurp(strBench + "/flash.bin").mid(0x1000, image.size()), image);
        QCOMPARE(Slurp(strBench + "/security.bin").mid(28, 4), QByteArray::fromHex("00000009"));

        // The run log file keeps the command, the lines and the result.
        const QByteArray logFile =
            Slurp(P("state/xqprogrammer/logs/") + QDate::currentDate().toString("yyyy-MM-dd") + ".log");
        QVERIFY(logFile.contains(QString("]: xqprog --simulate=%1 -q write %2").arg(strBench, P("fw.bin")).toUtf8()));
        QVERIFY(logFile.contains(QString("准备烧写%1文件").arg(P("fw.bin")).toUtf8()));
        QVERIFY(logFile.contains("校验成功"));
        QVERIFY(logFile.contains("结果: 成功, 接口: FT2232-LOC-1"));

        r = Run({"read", P("out.bin"), "--start=1000", "--length=70000", "--serial"}, strBench);
        QCOMPARE(r.nExit, 0);
        QCOMPARE(Slurp(P("out.bin")), image);
        QVERIFY(r.strOut.endsWith("serial: 9\n"));

        r = Run({"erase", "--whole"}, strBench);
        QCOMPARE(r.nExit, 0);
        QCOMPARE(Slurp(strBench + "/flash.bin"), QByteArray(2 * 1024 * 1024, char(0xFF)));
        r = Run({"reset"}, strBench);
        QCOMPARE(r.nExit, 0);
        QVERIFY(r.strOut.endsWith("]: 复位成功!\n"));
    }

    void exitCodes()
    {
        const QString strBench = P("codes");
        QCOMPARE(Run({"frobnicate"}, strBench).nExit, 2);
        QCOMPARE(Run({"write", P("missing.bin")}, strBench).nExit, 2);
        QCOMPARE(Run({"read", P("x.bin")}, strBench).nExit, 2);  // neither --length nor --all
        QCOMPARE(Run({"erase", "--size", "abc"}, strBench).nExit, 2);
        QCOMPARE(Run({"-i", "NOPE", "reset"}, strBench).nExit, 2);
        Result r = Run({"--rate", "7MHz", "reset"}, strBench);
        QCOMPARE(r.nExit, 2);
        QVERIFY(r.strErr.contains("unknown rate: 7MHz (one of 1KHz, 4KHz, 1MHz, 2MHz, 5MHz, 6MHz, 10MHz, 12MHz, "
                                  "15MHz, 30MHz, 60MHz, or the index 0 to 10)"));
        r = Run({"read", P("x.bin"), "--length"}, strBench);
        QCOMPARE(r.nExit, 2);
        QVERIFY(r.strErr.contains("Missing value after '--length'"));
        r = Run({"write", P("x.bin"), "--whole"}, strBench);  // an option of another command
        QCOMPARE(r.nExit, 2);
        QVERIFY(r.strErr.contains("Unknown option 'whole'"));
        QCOMPARE(Run({"reset", "extra"}, strBench).nExit, 2);
        QDir().mkpath(P("nf"));
        QFile ini(P("nf/bench.ini"));
        ini.open(QIODevice::WriteOnly);
        ini.write("[faults]\nno_flash=true\n");
        ini.close();
        QCOMPARE(Run({"reset"}, P("nf")).nExit, 1);
    }

    void optionsBeforeOrAfterTheCommand()
    {
        const QString strBench = P("opts");
        Result r = Run({"-V"}, strBench);
        QCOMPARE(r.nExit, 0);
        QCOMPARE(r.strOut, QString("xqprog 3.0.0\n"));
        QCOMPARE(Run({"--version"}, strBench).strOut, QString("xqprog 3.0.0\n"));
        r = Run({"--help"}, strBench);
        QCOMPARE(r.nExit, 0);
        QVERIFY(r.strOut.startsWith("Usage: xqprog [options] COMMAND ...\n"));
        QVERIFY(r.strOut.contains("static template FILE"));
        QVERIFY(r.strOut.contains("15MHz, 30MHz, 60MHz"));
        r = Run({"erase", "--help"}, strBench);
        QCOMPARE(r.nExit, 0);
        QVERIFY(r.strOut.startsWith("Usage: xqprog [options] erase [--start HEX] (--whole | --size BYTES)\n"));
        QVERIFY(r.strOut.contains("--whole"));
        // Global options after the command, "--name=value" and "--name value".
        r = Run({"reset", "--interface=FT2232-LOC-1", "-r", "30MHz"}, strBench);
        QCOMPARE(r.nExit, 0);
        QVERIFY(r.strOut.endsWith("]: 复位成功!\n"));
        // A command option before the command.
        QCOMPARE(Run({"--start", "1000", "erase", "--size=4096"}, strBench).nExit, 0);
        QCOMPARE(Run({"--serial", "read", P("s.bin"), "--length", "16"}, strBench).nExit, 0);
        QCOMPARE(Slurp(P("s.bin")).size(), 16);
    }

    void windowInfoOptions()
    {
        QProcess p;
        p.start(XQPROGRAMMER_PATH, {"--version"});
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitCode(), 0);
        QCOMPARE(p.readAllStandardOutput(), QByteArray("xqprogrammer 3.0.0\n"));
        p.start(XQPROGRAMMER_PATH, {"--help"});
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitCode(), 0);
        QVERIFY(p.readAllStandardOutput().startsWith("Usage: xqprogrammer [--simulate[=DIR]]"));
    }

    void staticCommands()
    {
        const QString strBench = P("static");
        Result r = Run({"static", "template", P("t.xlsx")}, strBench);
        QCOMPARE(r.nExit, 0);
        // Current values for only some items: refused, naming the others, unless forced.
        const QStringList current{"static", "write", P("t.xlsx"), "--values", "current", "--set", "count=42", "--set", "name=bench"};
        r = Run(current, strBench);
        QCOMPARE(r.nExit, 2);
        QVERIFY2(r.strErr.contains("no value given for enable, offset, version, gain"), qPrintable(r.strErr));
        QVERIFY(!QFile::exists(strBench + "/flash.bin"));  // refused before any adapter was opened
        r = Run(current + QStringList{"--force"}, strBench);
        QCOMPARE(r.nExit, 0);
        QVERIFY(r.strOut.contains("准备写入当前静态数据..."));
        r = Run({"static", "read", P("t.xlsx")}, strBench);
        QCOMPARE(r.nExit, 0);
        QVERIFY(r.strOut.contains("Sheet1\tcount\t计数\t42\n"));
        QVERIFY(r.strOut.contains("Sheet1\tname\t名称\tbench\n"));
        QVERIFY(r.strOut.contains("Sheet1\toffset\t偏移\t-5 12\n"));  // from the defaults
        // Reads that show nothing fail: an area without a record, a layout of another length.
        r = Run({"static", "read", P("t.xlsx"), "--start", "1000"}, strBench);
        QCOMPARE(r.nExit, 1);
        QVERIFY(r.strOut.contains("未找到静态数据标识!"));
        QVERIFY(!r.strOut.contains("Sheet1\t"));
        r = Run({"static", "write", P("t.xlsx"), "--values", "current", "--set", "enable=1", "--set", "count=1",
                 "--set", "offset=1", "--set", "version=1", "--set", "gain=1", "--set", "name=x"},
                strBench);
        QCOMPARE(r.nExit, 0);  // every item given: no --force needed
        // The template's 34 data bytes: a search length of 53 finds the record but cannot copy it.
        r = Run({"static", "read", P("t.xlsx"), "--total", "53"}, strBench);
        QCOMPARE(r.nExit, 1);
        QVERIFY(r.strOut.contains("显示数据异常，请查看导入配置是否正确"));
        QCOMPARE(Run({"static", "read", P("t.xlsx"), "--total", "54"}, strBench).nExit, 0);
        QCOMPARE(Run({"static", "write", P("t.xlsx"), "--set", "nosuch=1"}, strBench).nExit, 2);
        QCOMPARE(Run({"static", "write", P("t.xlsx"), "--total", "8"}, strBench).nExit, 2);
    }

    void gangWriteWithOneDeadSector()
    {
        const QString strBench = P("gang");
        QDir().mkpath(strBench + "/adapter-2");
        QFile top(strBench + "/bench.ini");
        top.open(QIODevice::WriteOnly);
        top.write("[bench]\nadapters=3\n");
        top.close();
        QFile dead(strBench + "/adapter-2/bench.ini");
        dead.open(QIODevice::WriteOnly);
        dead.write("[faults]\ndead_sectors=1000\n");
        dead.close();
        const QByteArray image = RandomBytes(0x3000, 32);
        QFile f(P("gang.bin"));
        f.open(QIODevice::WriteOnly);
        f.write(image);
        f.close();
        const Result r = Run({"-i", "all", "write", P("gang.bin")}, strBench);
        QCOMPARE(r.nExit, 1);
        QVERIFY(r.strOut.contains("[FT2232-LOC-2] 校验失败，请重新烧写"));
        QVERIFY(r.strOut.contains(QRegularExpression("FT2232-LOC-1\\s+ok")));
        QVERIFY(r.strOut.contains(QRegularExpression("FT2232-LOC-2\\s+FAILED")));
        QVERIFY(r.strOut.contains(QRegularExpression("FT2232-LOC-3\\s+ok")));
        QCOMPARE(Slurp(strBench + "/adapter-1/flash.bin").left(image.size()), image);
        QCOMPARE(Slurp(strBench + "/adapter-3/flash.bin").left(image.size()), image);
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "test_cli.moc"
