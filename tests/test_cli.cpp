// xqprog end to end on the simulated bench: outputs, bench files, exit codes
// and gang programming.
#include "benchfixture.h"
#include "testfiles.h"
#include "xqprogrunner.h"

#include <textrules.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSysInfo>
#include <QtTest>

#include <sys/file.h>

#include <memory>

using Result = XqprogResult;

class TestCli : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    XqprogRunner m_xqprog{XQPROG_PATH, m_dir.path()};

    Result Run(const QStringList& args, const QString& strBench) { return m_xqprog.Run(args, strBench); }

    QString P(const QString& s) { return m_dir.filePath(s); }

private slots:
    void imageCommands()
    {
        const QString strBench = P("bench");
        const QByteArray image = RandomBytes(70000, 31);
        QVERIFY(WriteFile(P("fw.bin"), image));

        Result r = Run({"list"}, strBench);
        QCOMPARE(r.nExit, 0);
        QCOMPARE(r.strOut, QString("FT2232-LOC-1\tXQ000001\tDual RS232-HS\tbench-1\n"));
        QVERIFY2(r.strErr.contains(QString("xqprog: 模拟测试台 %1: 不烧写真实的芯片").arg(strBench)),
                 qPrintable(r.strErr));
        r = Run({"info"}, strBench);
        QCOMPARE(r.nExit, 0);
        QVERIFY(r.strOut.startsWith("MCU: XQ6230\n厂商ID   : EF\t\t设备ID   : 14\n"));

        FlashPattern flash;
        flash.Fill(strBench + "/flash.bin");
        r = Run({"write", P("fw.bin"), "--serial", "0x9", "--start", "1000"}, strBench);
        QCOMPARE(r.nExit, 0);
        XQ_VERIFY_FLASH_KEPT(flash, {{0x1000, 0x12000}});  // 70000 bytes, erased in whole sectors
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
        QVERIFY(r.strOut.endsWith("序列号: 9\n"));

        r = Run({"erase", "--whole"}, strBench);
        QCOMPARE(r.nExit, 0);
        QCOMPARE(Slurp(strBench + "/flash.bin"), QByteArray(2 * 1024 * 1024, char(0xFF)));
        r = Run({"reset"}, strBench);
        QCOMPARE(r.nExit, 0);
        QVERIFY(r.strOut.endsWith("]: 复位成功!\n"));
    }

    // --erase smart: the second run of the same image leaves every sector alone,
    // a changed byte costs one sector; the flash holds the image either way.
    void smartWrite()
    {
        const QString strBench = P("bench-smart");
        QByteArray image = RandomBytes(3 * 4096 + 100, 57);
        auto writeImage = [&] { QVERIFY(WriteFile(P("smart.bin"), image)); };
        writeImage();
        FlashPattern flash;
        flash.Fill(strBench + "/flash.bin");
        Result r = Run({"write", P("smart.bin"), "--start", "2000", "--erase", "smart"}, strBench);
        QCOMPARE(r.nExit, 0);
        QCOMPARE(Slurp(strBench + "/flash.bin").mid(0x2000, image.size()), image);
        r = Run({"write", P("smart.bin"), "--start", "2000", "--erase=smart"}, strBench);
        QCOMPARE(r.nExit, 0);
        QVERIFY2(r.strOut.contains("擦除0个扇区，仅编程0个扇区，跳过4个未变化的扇区"), qPrintable(r.strOut));
        image[5000] = char(~image[5000]);
        writeImage();
        r = Run({"write", P("smart.bin"), "--start", "2000", "--erase", "smart"}, strBench);
        QCOMPARE(r.nExit, 0);
        QVERIFY2(r.strOut.contains("跳过3个未变化的扇区"), qPrintable(r.strOut));
        QCOMPARE(Slurp(strBench + "/flash.bin").mid(0x2000, image.size()), image);
        XQ_VERIFY_FLASH_KEPT(flash, {{0x2000, 0x4000}});
        QCOMPARE(Run({"write", P("smart.bin"), "--erase", "clever"}, strBench).nExit, 2);
    }

    void exitCodes()
    {
        const QString strBench = P("codes");
        QCOMPARE(Run({"frobnicate"}, strBench).nExit, 2);
        QCOMPARE(Run({"write", P("missing.bin")}, strBench).nExit, 2);
        QCOMPARE(Run({"read", P("x.bin")}, strBench).nExit, 2);  // neither --length nor --all
        QCOMPARE(Run({"erase", "--size", "abc"}, strBench).nExit, 2);
        QCOMPARE(Run({"-i", "NOPE", "reset"}, strBench).nExit, 2);
        Result r = Run({"--lang", "en", "--rate", "7MHz", "reset"}, strBench);
        QCOMPARE(r.nExit, 2);
        QVERIFY(r.strErr.contains("unknown rate: 7MHz (one of 1KHz, 4KHz, 1MHz, 2MHz, 5MHz, 6MHz, 10MHz, 12MHz, "
                                  "15MHz, 30MHz, 60MHz, or the index 0 to 10)"));
        QCOMPARE(Run({"--rate", "11", "reset"}, strBench).nExit, 2);  // one past the last index
        r = Run({"read", P("x.bin"), "--length"}, strBench);
        QCOMPARE(r.nExit, 2);
        QVERIFY(r.strErr.contains("选项 '--length' 后缺少值。"));
        r = Run({"write", P("x.bin"), "--whole"}, strBench);  // an option of another command
        QCOMPARE(r.nExit, 2);
        QVERIFY(r.strErr.contains("未知的选项 'whole'"));
        QCOMPARE(Run({"reset", "extra"}, strBench).nExit, 2);
        // A length or size of 0 is refused before the adapter opens (no bench
        // files appear); 1 is the smallest that runs.
        const QString strFresh = P("fresh-bench");
        r = Run({"read", P("zero.bin"), "--length", "0"}, strFresh);
        QCOMPARE(r.nExit, 2);
        QVERIFY2(r.strErr.contains("请正确填写读取大小: 0"), qPrintable(r.strErr));
        r = Run({"erase", "--size", "0"}, strFresh);
        QCOMPARE(r.nExit, 2);
        QVERIFY2(r.strErr.contains("请输入正确擦除大小: 0"), qPrintable(r.strErr));
        QVERIFY(!QFile::exists(P("zero.bin")) && !QFile::exists(strFresh + "/flash.bin"));
        QCOMPARE(Run({"read", P("one.bin"), "--length", "1"}, strFresh).nExit, 0);
        QCOMPARE(QFileInfo(P("one.bin")).size(), 1);
        QDir().mkpath(P("nf"));
        QVERIFY(WriteFile(P("nf/bench.ini"), "[faults]\nno_flash=true\n"));
        QCOMPARE(Run({"reset"}, P("nf")).nExit, 1);
        // No XQ chip behind the adapter: its closing reset fails, and so does the write.
        QDir().mkpath(P("bare"));
        QVERIFY(WriteFile(P("bare/bench.ini"), "[chip]\nmodel=none\n"));
        QVERIFY(WriteFile(P("bare.bin"), RandomBytes(100, 4)));
        r = Run({"write", P("bare.bin")}, P("bare"));
        QVERIFY2(r.nExit == 1 && r.strOut.contains("执行复位 失败!"), qPrintable(r.strOut));
    }

    void optionsBeforeOrAfterTheCommand()
    {
        const QString strBench = P("opts");
        Result r = Run({"-V"}, strBench);
        QCOMPARE(r.nExit, 0);
        QCOMPARE(r.strOut, QString("xqprog 3.0.0\n"));
        QCOMPARE(Run({"--version"}, strBench).strOut, QString("xqprog 3.0.0\n"));
        r = Run({"--lang", "en", "--help"}, strBench);
        QCOMPARE(r.nExit, 0);
        QVERIFY(r.strOut.startsWith("Usage: xqprog [options] COMMAND ...\n"));
        QVERIFY(r.strOut.contains("static template FILE"));
        QVERIFY(r.strOut.contains("15MHz, 30MHz, 60MHz"));
        r = Run({"erase", "--help"}, strBench);
        QCOMPARE(r.nExit, 0);
        QVERIFY(r.strOut.startsWith("用法: xqprog [选项] erase [--start HEX] (--whole | --size BYTES)\n"));
        QVERIFY(r.strOut.contains("--whole"));
        // Wrapped by terminal columns: a Chinese character takes two.
        for (const QString& strLine : r.strOut.split('\n'))
            QVERIFY2(xq::TerminalWidth(strLine) < 80, qPrintable(strLine));
        // Global options after the command, "--name=value" and "--name value".
        r = Run({"reset", "--interface=FT2232-LOC-1", "-r", "30MHz"}, strBench);
        QCOMPARE(r.nExit, 0);
        QVERIFY(r.strOut.endsWith("]: 复位成功!\n"));
        // A command option before the command.
        FlashPattern flash;
        flash.Fill(strBench + "/flash.bin");
        QCOMPARE(Run({"--start", "1000", "erase", "--size=4096"}, strBench).nExit, 0);
        XQ_VERIFY_FLASH_KEPT(flash, {{0x1000, 0x1000}});
        QCOMPARE(Slurp(strBench + "/flash.bin").mid(0x1000, 0x1000), QByteArray(0x1000, char(0xFF)));
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
        // A mistyped option is refused before any window opens; Qt's own
        // options (taken by Qt first) and a value after --lang are not.
        for (const QStringList& args : {QStringList{"-platform", "offscreen", "--simulte=" + P("b")},
                                        QStringList{"--platform", "offscreen", "--lang", "en", "extra"}}) {
            p.start(XQPROGRAMMER_PATH, args);
            QVERIFY(p.waitForFinished(30000));
            QCOMPARE(p.exitCode(), 2);
            QVERIFY(p.readAllStandardError().contains((args.contains("en") ? "unknown option " : "未知的选项 ") + args.last().toUtf8()));
        }
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
        QVERIFY2(r.strErr.contains("enable, offset, version, gain 没有给出值"), qPrintable(r.strErr));
        QVERIFY(!QFile::exists(strBench + "/flash.bin"));  // refused before any adapter was opened
        FlashPattern flash;
        flash.Fill(strBench + "/flash.bin");
        r = Run(current + QStringList{"--force"}, strBench);
        QCOMPARE(r.nExit, 0);
        XQ_VERIFY_FLASH_KEPT(flash, {{0x1FF000, 0x1000}});
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
        QCOMPARE(Run({"static", "write", P("t.xlsx"), "--values", "current", "--set", "nosuch=1"}, strBench).nExit, 2);
        r = Run({"static", "write", P("t.xlsx"), "--set", "count=5"}, strBench);  // the defaults would drop it
        QCOMPARE(r.nExit, 2);
        QVERIFY(r.strErr.contains("--set 给出的是当前值: 请加上 --values current"));
        QCOMPARE(Run({"static", "write", P("t.xlsx"), "--total", "8"}, strBench).nExit, 2);
        // An area at an unaligned start: its sectors are erased, no others.
        QCOMPARE(Run({"static", "write", P("t.xlsx"), "--start", "1FDFC0", "--total", "64"}, strBench).nExit, 0);
        XQ_VERIFY_FLASH_KEPT(flash, {{0x1FD000, 0x1000}, {0x1FF000, 0x1000}});
        QCOMPARE(Run({"static", "read", P("t.xlsx")}, strBench).nExit, 0);  // the record at 1FF000 is kept
    }

    // The JSON objects on standard output, one per line.
    // A protected flash after a static write: the whole flash protected
    // (0x9C) after the record is written, whatever it held before; after a
    // failed write the status register as it was found.
    void staticWriteProtectionValues_data()
    {
        QTest::addColumn<QString>("ini");
        QTest::addColumn<int>("exit");
        QTest::addColumn<QString>("status");
        QTest::newRow("SRP0 only, written") << "[flash]\nstatus1=80\n" << 0 << "9C";
        QTest::newRow("all protected, written") << "[flash]\nstatus1=9C\n" << 0 << "9C";
        QTest::newRow("SRP0 only, program fails") << "[flash]\nstatus1=80\n[faults]\nfail_once=02\n" << 1 << "80";
        QTest::newRow("unprotected, written") << "[flash]\nstatus1=00\n" << 0 << "00";
    }
    void staticWriteProtectionValues()
    {
        QFETCH(QString, ini);
        QFETCH(int, exit);
        QFETCH(QString, status);
        if (!QFile::exists(P("prot.xlsx")))
            QCOMPARE(Run({"static", "template", P("prot.xlsx")}, P("prot-template")).nExit, 0);
        const QString strBench = P(QString("prot-%1").arg(QTest::currentDataTag()).replace(' ', '-').replace(',', ""));
        QVERIFY(QDir().mkpath(strBench));
        QVERIFY(WriteFile(strBench + "/bench.ini", ini.toUtf8()));
        const Result r = Run({"static", "write", P("prot.xlsx")}, strBench);
        QCOMPARE(r.nExit, exit);
        const QSettings bench(strBench + "/bench.ini", QSettings::IniFormat);
        QCOMPARE(bench.value("flash/status1").toString().toUpper(), status);
    }

    // Erases take whole sectors: from the start rounded down through the
    // range's end rounded up, so an image always lands on erased flash.
    // Checked on the bench's flash bytes: the span erased (outside what is
    // then programmed), everything else kept.
    void eraseTakesWholeSectors_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("spanStart");
        QTest::addColumn<int>("spanLength");
        QTest::addColumn<int>("imageStart");  // -1: nothing programmed
        QTest::addColumn<int>("erasedFrom");  // where the span's bytes are all 0xFF (but the image)
        QTest::newRow("erase 5000 bytes at 0") << QStringList{"erase", "--start", "0", "--size", "5000"} << 0 << 8192 << -1 << 0;
        QTest::newRow("erase inside one sector") << QStringList{"erase", "--start", "5100", "--size", "512"} << 0x5000 << 0x1000 << -1
                                                 << 0x5000;
        QTest::newRow("write 0x1000 bytes at 0x800") << QStringList{"write", P("k.bin"), "--start", "800"} << 0 << 0x2000 << 0x800 << 0;
        QTest::newRow("write with --erase 5000 at 0x800") << QStringList{"write", P("k.bin"), "--start", "800", "--erase", "5000"}
                                                           << 0 << 0x2000 << 0x800 << 0;
        // The record goes at the area's start; the area's tail past the
        // first sector (0x2000 ~ 0x27FF) is erased with the rest of its sector.
        QTest::newRow("static area of 4096 bytes at 0x1800")
            << QStringList{"static", "write", P("span.xlsx"), "--start", "1800", "--total", "4096"} << 0x1000 << 0x2000 << -1
            << 0x2000;
    }
    void eraseTakesWholeSectors()
    {
        QFETCH(QStringList, args);
        QFETCH(int, spanStart);
        QFETCH(int, spanLength);
        QFETCH(int, imageStart);
        QFETCH(int, erasedFrom);
        const QByteArray image = RandomBytes(0x1000, 77);
        QVERIFY(WriteFile(P("k.bin"), image));
        if (!QFile::exists(P("span.xlsx")))
            QCOMPARE(Run({"static", "template", P("span.xlsx")}, P("span-template")).nExit, 0);
        const QString strBench = P(QString("span-%1").arg(QTest::currentDataTag()).replace(' ', '-'));
        FlashPattern flash;
        flash.Fill(strBench + "/flash.bin");
        const Result r = Run(args, strBench);
        QVERIFY2(r.nExit == 0, qPrintable(r.strErr));
        QFile file(strBench + "/flash.bin");
        QVERIFY(file.open(QIODevice::ReadOnly));
        QByteArray expected(spanStart + spanLength - erasedFrom, char(0xFF));
        if (imageStart >= 0)
            expected.replace(imageStart - erasedFrom, image.size(), image);
        QCOMPARE(file.readAll().mid(erasedFrom, expected.size()), expected);
        XQ_VERIFY_FLASH_KEPT(flash, {{spanStart, spanLength}});
    }

    // The adapter unplugged at points through writes and erases that cover
    // their first and last sector only in part: each run fails, and every
    // byte outside the sectors they erase still holds what it held or lies
    // in a range a log line names as not put back; the smart write, which
    // keeps the other bytes of its edge sectors, names some.
    void unplugKeepsOrNamesOutsideBytes_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("length");
        QTest::addColumn<bool>("keepsEdges");
        const QString strImage = P("part.bin");
        QTest::newRow("write") << QStringList{"write", strImage, "--start", "1800"} << 0x1000 << 0x3000 << false;
        QTest::newRow("smart write") << QStringList{"write", strImage, "--start", "1800", "--erase", "smart"} << 0x1800
                                     << 0x2100 << true;
        QTest::newRow("erase") << QStringList{"erase", "--start", "1800", "--size", "8448"} << 0x1000 << 0x3000 << false;
        QTest::newRow("static write") << QStringList{"static", "write", P("part.xlsx"), "--start", "1FE800", "--total", "4092"}
                                      << 0x1FE000 << 0x2000 << false;
    }
    void unplugKeepsOrNamesOutsideBytes()
    {
        QFETCH(QStringList, args);
        QFETCH(int, start);
        QFETCH(int, length);
        QFETCH(bool, keepsEdges);
        QVERIFY(WriteFile(P("part.bin"), RandomBytes(0x2100, 41)));
        if (!QFile::exists(P("part.xlsx")))
            QCOMPARE(Run({"static", "template", P("part.xlsx")}, P("part-template")).nExit, 0);
        int nNamed = 0;
        for (int nAfter = 20; nAfter <= 200; nAfter += 9) {
            const QString strBench = P(QString("part-%1-%2").arg(QTest::currentDataTag()).arg(nAfter));
            FlashPattern flash;
            flash.Fill(strBench + "/flash.bin");
            QVERIFY(WriteFile(strBench + "/bench.ini", QString("[faults]\nunplug_after_transfers=%1\n").arg(nAfter).toUtf8()));
            const Result r = Run(args, strBench);
            const QVector<FlashRange> lost = NamedLosses(r.strOut + r.strErr);
            nNamed += lost.isEmpty() ? 0 : 1;
            QVector<FlashRange> allowed = lost;
            allowed.push_back({start, length});
            const QString strChanged = flash.ChangedOutside(allowed);
            QVERIFY2(strChanged.isEmpty(), qPrintable(QString("after %1 transfers: %2\n%3").arg(nAfter).arg(strChanged, r.strOut)));
            QVERIFY(r.nExit != 0 || lost.isEmpty());
        }
        QCOMPARE(nNamed > 0, keepsEdges);
    }

    void jsonAndTraceOfEachOperation()
    {
        const QString strBench = P("json");
        const QString strTrace = P("json-trace.csv");
        const QByteArray image = RandomBytes(70000, 33);
        QVERIFY(WriteFile(P("j.bin"), image));
        FlashPattern flash;
        flash.Fill(strBench + "/flash.bin");

        Result r = Run({"--json", "--trace", strTrace, "info"}, strBench);
        QCOMPARE(r.nExit, 0);
        QList<QJsonObject> json = JsonLines(r.strOut);
        QCOMPARE(json.size(), 1);
        QCOMPARE(json[0]["operation"].toString(), QString("info"));
        QCOMPARE(json[0]["chip"].toString(), QString("XQ6230"));
        QCOMPARE(json[0]["flash_size"].toInt(), 2 * 1024 * 1024);
        const QString strJedec = json[0]["jedec"].toString();
        const QString strUid = json[0]["uid"].toString();
        QVERIFY(QRegularExpression("^EF[0-9A-F]{4}$").match(strJedec).hasMatch());
        QCOMPARE(strUid, QString("58514245") + "4E434830" + "31323334" + "35363738");
        QVERIFY(r.strErr.isEmpty() || !r.strErr.contains("{"));

        r = Run({"write", P("j.bin"), "--json", "--serial=12", "--start", "2000", "--trace=" + strTrace}, strBench);
        QCOMPARE(r.nExit, 0);
        json = JsonLines(r.strOut);
        QCOMPARE(json.size(), 1);
        const QJsonObject w = json[0];
        QCOMPARE(w["interface"].toString(), QString("FT2232-LOC-1"));
        QCOMPARE(w["result"].toString(), QString("ok"));
        QCOMPARE(w["code"].toInt(-1), 0);
        QCOMPARE(w["message"].toString(), QString("校验成功"));
        QVERIFY(w["seconds"].toDouble(-1) >= 0);
        QCOMPARE(w["image"].toString(), P("j.bin"));
        QCOMPARE(w["sha256"].toString(), Sha256(image));
        QCOMPARE(w["start"].toInt(), 0x2000);
        QCOMPARE(w["size"].toInt(), image.size());
        QCOMPARE(w["serial"].toInt(), 12);
        QCOMPARE(w["uid"].toString(), strUid);
        QVERIFY(r.strErr.contains("]: 写入序列号: DEC: 00000012"));  // the log lines go to standard error

        r = Run({"--json", "read", P("j-out.bin"), "--start", "2000", "--length", "70000", "--serial"}, strBench);
        QCOMPARE(r.nExit, 0);
        json = JsonLines(r.strOut);
        QCOMPARE(json.size(), 1);
        QCOMPARE(json[0]["file"].toString(), P("j-out.bin"));
        QCOMPARE(json[0]["sha256"].toString(), Sha256(image));
        QCOMPARE(json[0]["serial"].toInt(), 12);

        // Refused by the worker (the image would run past the end of the flash): nothing changed.
        r = Run({"--json", "--trace", strTrace, "write", P("j.bin"), "--start", "1F0000"}, strBench);
        QCOMPARE(r.nExit, 1);
        json = JsonLines(r.strOut);
        QCOMPARE(json.size(), 1);
        QCOMPARE(json[0]["result"].toString(), QString("refused"));
        QVERIFY(json[0]["message"].toString().startsWith("操作范围超出Flash容量: 0x1F0000 ~ 0x201170"));

        // One row per chip operation, header first, appended.
        const QList<QStringList> rows = TraceRows(strTrace);
        QCOMPARE(rows.size(), 4);
        QCOMPARE(rows[0].join(','), QString("time,host,interface,operation,result,code,jedec,uid,serial,sha256,start,size,job,job_sha256"));
        QCOMPARE(rows[1][3], QString("info"));
        const QStringList write = rows[2];
        QCOMPARE(write.size(), 14);
        QVERIFY(QDateTime::fromString(write[0], Qt::ISODateWithMs).isValid());
        QCOMPARE(write[1], QSysInfo::machineHostName());
        QCOMPARE(write.mid(2, 4), (QStringList{"FT2232-LOC-1", "write", "ok", "0"}));
        QCOMPARE(write.mid(6), (QStringList{strJedec, strUid, "12", Sha256(image), "0x002000", "70000", "", ""}));
        QCOMPARE(rows[3].mid(3, 2), (QStringList{"write", "refused"}));

        // static read: the values as an object.
        QCOMPARE(Run({"static", "template", P("jt.xlsx")}, strBench).nExit, 0);
        QCOMPARE(Run({"static", "write", P("jt.xlsx")}, strBench).nExit, 0);
        XQ_VERIFY_FLASH_KEPT(flash, {{0x2000, 0x12000}, {0x1FF000, 0x1000}});
        r = Run({"static", "read", P("jt.xlsx"), "--json"}, strBench);
        QCOMPARE(r.nExit, 0);
        json = JsonLines(r.strOut);
        QCOMPARE(json.size(), 1);
        QCOMPARE(json[0]["values"].toObject()["Sheet1"].toObject()["offset"].toString(), QString("-5 12"));
        QVERIFY(r.strErr.contains("Sheet1\toffset"));
        // The flash identified itself: the record's object names it as info's does.
        QCOMPARE(json[0]["jedec"].toString(), strJedec);
        QCOMPARE(json[0]["uid"].toString(), strUid);

        // A trace that cannot be written is refused before the adapter opens, saying why.
        QDir().mkpath(P("trace-dir"));
        r = Run({"--trace", P("trace-dir"), "reset"}, strBench);
        QCOMPARE(r.nExit, 2);
        QVERIFY(r.strErr.contains("追溯文件无法使用: " + P("trace-dir")));
    }

    // With --json every run prints one object per operation and adapter,
    // refusals before any adapter opened and a locked bench included.
    void jsonOfRefusalsAndList()
    {
        const QString strBench = P("json-refused");
        QVERIFY(WriteFile(P("jr.bin"), RandomBytes(0x2000, 3)));
        QByteArray encrypted = RandomBytes(0x4000, 5);  // encrypted, with a second region it is too small for
        encrypted.replace(0, 4, QByteArray::fromHex("6F700000"));
        encrypted[0x2FB0] = 2;
        QVERIFY(WriteFile(P("enc.bin"), encrypted));
        QDir().mkpath(P("jr-dir"));
        FlashPattern flash;
        flash.Fill(strBench + "/flash.bin");
        struct Row {
            QStringList args;
            QString strOperation;
            QString strInterface;
            int nExit;
            QString strMessage;
        };
        const QString strLoc = "FT2232-LOC-1";
        const QList<Row> rows{
            {{"write", P("jr.bin"), "--erase", "4096"}, "write", strLoc, 2, "4096"},
            {{"write", P("missing.bin")}, "write", strLoc, 2, "烧写文件无法读取: " + P("missing.bin")},
            {{"-i", "NOPE", "reset"}, "reset", "NOPE", 2, "没有这个接口或序列号: NOPE"},
            {{"read", P("jr-dir"), "--length", "16"}, "read", strLoc, 2, "同名文件夹已存在\n文件访问失败"},
            // An image too small to hold its encrypted part: refused before the chip is changed.
            {{"write", P("enc.bin")}, "write", strLoc, 1, "加密镜像太小，没有加密部分: 16384 字节"}};
        // Their lines as the operation ends them: the cause, then the result line.
        const QString strEncrypted = Run({"write", P("enc.bin")}, strBench).strOut;
        QVERIFY2(strEncrypted.contains(QRegularExpression("加密镜像太小，没有加密部分: 16384 字节\n[^\n]*\\]: 未知错误 -3\n")),
                 qPrintable(strEncrypted));
        for (const Row& row : rows) {
            const Result r = Run(QStringList{"--json"} + row.args, strBench);
            const QString strWhat = row.args.join(' ') + "\n" + r.strOut + r.strErr;
            QVERIFY2(r.nExit == row.nExit, qPrintable(strWhat));
            const QList<QJsonObject> json = JsonLines(r.strOut);
            QVERIFY2(json.size() == 1, qPrintable(strWhat));
            QCOMPARE(json[0]["result"].toString(), QString("refused"));
            QCOMPARE(json[0]["operation"].toString(), row.strOperation);
            QCOMPARE(json[0]["interface"].toString(), row.strInterface);
            QVERIFY2(json[0]["message"].toString().contains(row.strMessage), qPrintable(strWhat));
            XQ_VERIFY_FLASH_KEPT(flash, {});
        }
        // A bench another process holds: refused, nothing changed.
        QFile held(strBench + "/bench.lock");
        QVERIFY(held.open(QIODevice::ReadWrite));
        QCOMPARE(::flock(held.handle(), LOCK_EX | LOCK_NB), 0);
        Result r = Run({"--json", "reset"}, strBench);
        QCOMPARE(r.nExit, 1);
        QList<QJsonObject> json = JsonLines(r.strOut);
        QCOMPARE(json.size(), 1);
        QCOMPARE(json[0]["result"].toString(), QString("refused"));
        held.close();
        // A smart write's success says how it ended, as a plain write's does.
        r = Run({"--json", "write", P("jr.bin"), "--erase", "smart"}, strBench);
        QCOMPARE(r.nExit, 0);
        json = JsonLines(r.strOut);
        QCOMPARE(json.size(), 1);
        QCOMPARE(json[0]["message"].toString(), QString("校验成功"));
        XQ_VERIFY_FLASH_KEPT(flash, {{0, 0x2000}});
        r = Run({"--json", "list"}, strBench);
        QCOMPARE(r.nExit, 0);
        const QJsonDocument list = QJsonDocument::fromJson(r.strOut.toUtf8());
        QVERIFY2(list.isArray() && list.array().size() == 1 && r.strOut.count('\n') == 1, qPrintable(r.strOut));
        QCOMPARE(list.array()[0].toObject()["name"].toString(), QString("FT2232-LOC-1"));
    }

    // A command line refused while it is read still gives scripts the
    // "refused" object with --json, and every usage error says why.
    void refusalsWhileReading()
    {
        const QString strBench = P("parse-refused");
        QVERIFY(WriteFile(P("pr.bin"), RandomBytes(0x2000, 9)));
        struct Row {
            QStringList args;
            QJsonValue operation;
            QJsonValue interface;
            QString strMessage;
        };
        const QList<Row> rows{
            {{"frob"}, QJsonValue(), QJsonValue(), "unknown command: frob (commands: list, info, write,"},
            {{"write", P("pr.bin"), "--wole"}, "write", QJsonValue(), "Unknown option 'wole' (write options: "},
            {{"-r", "7MHz", "reset"}, "reset", QJsonValue(), "unknown rate: 7MHz"},
            // A language it does not know is refused in the locale's language.
            {{"--lang", "fr", "reset"}, QJsonValue(), QJsonValue(), "未知的语言: fr (zh 或 en)"},
            {{"reset", "extra"}, "reset", QJsonValue(), "unexpected argument: extra"},
            {{"-i", "FT2232-LOC-1", "write"}, "write", "FT2232-LOC-1", "write needs IMAGE"},
            {{"read", P("pr-out.bin"), "--all", "--length", "5"}, "read", "FT2232-LOC-1",
             "--length and --all exclude each other"},
            {{"blank", "--length", "3000000"}, "blank", "FT2232-LOC-1", "past the flash end"},
            {{"write", P("pr.bin"), "--erase", "1000"}, "write", "FT2232-LOC-1", "smaller than the image: 8192 bytes"},
            {{"write", P("pr.bin"), "--erase", "clever"}, "write", "FT2232-LOC-1", "(whole, file, smart or a byte count)"},
        };
        for (const Row& row : rows) {
            const QStringList lang = row.args.contains("--lang") ? QStringList() : QStringList{"--lang", "en"};
            const Result r = Run(lang + QStringList{"--json"} + row.args, strBench);
            const QString strWhat = row.args.join(' ') + "\n" + r.strOut + r.strErr;
            QVERIFY2(r.nExit == 2, qPrintable(strWhat));
            const QList<QJsonObject> json = JsonLines(r.strOut);
            QVERIFY2(json.size() == 1, qPrintable(strWhat));
            QCOMPARE(json[0]["result"].toString(), QString("refused"));
            QVERIFY2(json[0]["operation"] == row.operation, qPrintable(strWhat));
            QVERIFY2(json[0]["interface"] == row.interface, qPrintable(strWhat));
            QVERIFY2(json[0]["message"].toString().contains(row.strMessage), qPrintable(strWhat));
            QVERIFY2(r.strErr.contains(row.strMessage), qPrintable(strWhat));
        }
        // A directory after --simulate with a space is no command.
        Result r = Run({"--simulate", strBench, "reset"}, QString());
        QCOMPARE(r.nExit, 2);
        QVERIFY2(r.strErr.contains("--simulate 的目录须写成 --simulate=" + strBench), qPrintable(r.strErr));
        // A name that is none is filed under itself, beside the adapter that was found.
        r = Run({"--json", "-i", "XQ000001", "-i", "nope", "reset"}, strBench);
        QCOMPARE(r.nExit, 2);
        const QList<QJsonObject> json = JsonLines(r.strOut);
        QCOMPARE(json.size(), 2);
        QCOMPARE(json[0]["interface"].toString(), QString("FT2232-LOC-1"));
        QCOMPARE(json[1]["interface"].toString(), QString("nope"));
        QVERIFY(json[1]["message"].toString().contains("没有这个接口或序列号: nope"));
    }

    // A run speaks one language throughout, its refusals, help, tables and
    // progress bar too. Under the C locale Chinese: no line keeps an English
    // word once option names, paths, hex numbers, names in capitals (IMAGE,
    // FILE), command names and the words given are set aside, and a line with
    // any other word holds Chinese. With --lang en no line holds Chinese.
    void cLocaleRunSpeaksOneLanguage()
    {
        const QString strBench = P("c-locale");
        QVERIFY(WriteFile(P("cl.bin"), RandomBytes(0x2000, 5)));
        QVERIFY(WriteFile(P("cl-bad.xlsx"), "no zip"));
        const QString strGang = P("c-locale-gang"), strBadBench = P("c-locale-bad");
        QVERIFY(QDir().mkpath(strGang) && QDir().mkpath(strBadBench));
        QVERIFY(WriteFile(strGang + "/bench.ini", "[bench]\nadapters=2\n"));
        QVERIFY(WriteFile(strBadBench + "/bench.ini", "[bench]\nadapters=99\n"));
        // A job to show, and a line database with one chip and one number.
        const QString strDb = "sqlite:" + P("cl.db");
        QCOMPARE(Run({"static", "template", P("cl-book.xlsx")}, QString()).nExit, 0);
        QCOMPARE(Run({"job", "create", P("cl.xqjob"), "--image", P("cl.bin"), "--serial-file", P("cl-n.txt"),
                      "--static", P("cl-book.xlsx"), "--line-db", strDb, "--verify"}, QString()).nExit, 0);
        QCOMPARE(Run({"line-db", "init", strDb, "--counter", "c", "--first", "1", "--last", "9"}, QString()).nExit, 0);
        {
            QProcess p;
            m_xqprog.Prepare(p, {"write", P("cl.bin"), "--line-db", strDb, "--serial-counter", "c"}, strBench);
            QProcessEnvironment env = p.processEnvironment();
            env.insert("XQ_STATION", "S-1");
            p.setProcessEnvironment(env);
            p.start();
            QCOMPARE(XqprogRunner::Finish(p).nExit, 0);
        }

        QSet<QString> allowed{"xqprog", "Flash", "FLASH", "whole", "file", "smart", "default", "current", "xqjob",
                              "xlsx", "sqlite"};
        for (const char* pName : {"list", "info", "write", "erase", "read", "verify", "blank", "reset", "static",
                                  "template", "job", "create", "show", "line", "init", "report", "chip", "sync", "run"})
            allowed += pName;
        struct Row {
            Row(const QStringList& a, int n, const QString& b, const QString& says = QString(), bool bTty = false)
                : args(a), nExit(n), strBench(b), strSays(says), bTerminal(bTty)
            {
            }
            QStringList args;
            int nExit;
            QString strBench;
            QString strSays;  // what the output holds in either language
            bool bTerminal;   // standard error is a terminal: the progress bar is drawn
        };
        const QList<Row> rows{
            {{"write", P("cl.bin"), "--wole"}, 2, strBench},
            {{"write", P("cl.bin"), "--start"}, 2, strBench},
            {{"reset", "--quiet=1"}, 2, strBench},
            {{"wirte", P("cl.bin")}, 2, strBench},
            {{"read", P("cl-out.bin"), "--all", "--length", "5"}, 2, strBench},
            {{"blank", "--length", "3000000"}, 2, strBench},
            {{"write", P("cl.bin"), "--erase", "1000"}, 2, strBench},
            {{"write", P("cl.bin"), "--erase", "clever"}, 2, strBench},
            {{"--simulate", strBench, "reset"}, 2, QString()},
            {{"-r", "7MHz", "reset"}, 2, strBench},
            {{"--lang", "fr", "reset"}, 2, strBench},
            {{"reset", "extra"}, 2, strBench},
            {{"write"}, 2, strBench},
            {{"write", P("none.bin")}, 2, strBench},
            {{"-i", "nosuch", "reset"}, 2, strBench},
            {{"line-db", "init", "sqlite:" + P("l.db")}, 2, strBench},
            {{"line-db", "init", "sqlite:" + P("l.db"), "--counter", "c", "--first", "x1", "--last", "9"}, 2,
             strBench, ": x1"},
            {{"job", "create", P("j.xqjob")}, 2, strBench},
            {{"line-db", "report"}, 2, strBench},
            {{"static", "read", P("none.xlsx")}, 2, strBench},
            {{"static", "read", P("cl-bad.xlsx")}, 2, strBench, ".xlsx"},
            {{"write", P("cl.bin")}, 0, strBench},
            {{"verify", P("cl.bin")}, 0, strBench},
            {{"--help"}, 0, strBench, "--batch-programs"},
            {{"job", "create", "--help"}, 0, strBench, "--static-values <default|current>"},
            {{"job", "show", P("cl.xqjob")}, 0, strBench, "cl-book.xlsx"},
            {{"line-db", "report", "--line-db", strDb}, 0, strBench, "100.0%"},
            {{"line-db", "chip", "1", "--line-db", strDb}, 0, strBench, "S-1"},
            {{"-i", "all", "reset"}, 0, strGang, "FT2232-LOC-2"},
            {{"reset"}, 1, strBadBench, "bench/adapters"},
            {{"--simulate=" + strBench, "write", P("cl.bin")}, 0, QString(), "KiB/s", true},
        };
        const QRegularExpression kSetAside("\\S*/\\S*|--?[A-Za-z][\\w-]*(=\\S*)?|0[xX]\\w+|\\b[A-Z][A-Z0-9_]*\\b|"
                                           "\\b[0-9A-Fa-f]{16,}\\b|\\x{1b}\\[K");
        const QRegularExpression kWord("[A-Za-z]{2,}");
        const QRegularExpression kHan("[\\x{4e00}-\\x{9fff}]");
        for (const Row& row : rows) {
            for (const bool bEnglish : {false, true}) {
                if (bEnglish && row.args.contains("--lang"))
                    continue;  // a language of its own
                const QStringList args = bEnglish ? QStringList{"--lang", "en"} + row.args : row.args;
                QSet<QString> given = allowed;
                for (const QString& strArg : args)
                    given << strArg << QString(strArg).remove(QRegularExpression("^-+"));
                std::unique_ptr<QProcess> p(row.bTerminal ? new TerminalProcess : new QProcess);
                m_xqprog.Prepare(*p, args, row.strBench);
                QProcessEnvironment env = p->processEnvironment();
                for (const char* pName : {"LANG", "LANGUAGE", "LC_MESSAGES"})
                    env.remove(pName);
                env.insert("LC_ALL", "C");
                p->setProcessEnvironment(env);
                p->start();
                const Result r = XqprogRunner::Finish(*p);
                const QString strAll =
                    r.strOut + (row.bTerminal ? QString::fromUtf8(static_cast<TerminalProcess&>(*p).TakeTerminal()) : r.strErr);
                const QString strWhat = args.join(' ') + "\n" + strAll;
                QVERIFY2(r.nExit == row.nExit, qPrintable(strWhat));
                QVERIFY2(strAll.contains(row.strSays), qPrintable(strWhat));
                for (const QString& strLine : strAll.split(QRegularExpression("[\r\n]"), Qt::SkipEmptyParts)) {
                    if (bEnglish) {
                        QVERIFY2(!strLine.contains(kHan), qPrintable("Chinese in: " + strLine + "\n" + strWhat));
                        continue;
                    }
                    bool bWords = false;
                    for (auto it = kWord.globalMatch(QString(strLine).remove(kSetAside)); it.hasNext();) {
                        const QString strWord = it.next().captured();
                        bWords = bWords || !given.contains(strWord);
                        QVERIFY2(strWord.size() < 4 || given.contains(strWord),
                                 qPrintable("English \"" + strWord + "\" in: " + strLine + "\n" + strWhat));
                    }
                    QVERIFY2(!bWords || strLine.contains(kHan), qPrintable("no Chinese in: " + strLine + "\n" + strWhat));
                }
            }
        }
    }

    // verify and blank only read: the first difference and the count of
    // differing bytes, exit 1 when the chip differs, and the flash is never
    // repaired or erased. Whatever cannot be compared truly is not a success.
    void verifyAndBlankOnlyRead()
    {
        const QString strBench = P("verify");
        const QString strTrace = P("verify-trace.csv");
        FlashPattern flash;
        const QByteArray bytes = flash.Fill(strBench + "/flash.bin");
        QByteArray image = bytes.mid(0x1000, 5000);
        QVERIFY(WriteFile(P("same.bin"), image));
        image[5] = char(~image[5]);
        image[4000] = char(~image[4000]);
        QVERIFY(WriteFile(P("differs.bin"), image));

        Result r = Run({"verify", P("same.bin"), "--start", "1000"}, strBench);
        QCOMPARE(r.nExit, 0);
        QVERIFY2(r.strOut.contains("]: 校验成功: 芯片与镜像一致 (0x1000 ~ 0x2388, 5000 字节)\n"), qPrintable(r.strOut));
        r = Run({"--json", "--trace", strTrace, "verify", P("differs.bin"), "--start", "1000"}, strBench);
        QCOMPARE(r.nExit, 1);
        QVERIFY2(r.strErr.contains("]: 校验失败: 首个不同的地址 0x1005, 共 2 字节不同\n"), qPrintable(r.strErr));
        QList<QJsonObject> json = JsonLines(r.strOut);
        QCOMPARE(json.size(), 1);
        QCOMPARE(json[0]["operation"].toString(), QString("verify"));
        QCOMPARE(json[0]["result"].toString(), QString("failed"));
        QCOMPARE(json[0]["first_difference"], QJsonValue(0x1005));
        QCOMPARE(json[0]["differences"].toInt(), 2);
        QCOMPARE(json[0]["image"].toString(), P("differs.bin"));
        QCOMPARE(json[0]["sha256"].toString(), Sha256(image));
        QCOMPARE(json[0]["size"].toInt(), 5000);
        QVERIFY(!json[0]["uid"].toString().isEmpty());
        r = Run({"--lang", "en", "verify", P("differs.bin"), "--start=1000"}, strBench);
        QCOMPARE(r.nExit, 1);
        QVERIFY2(r.strOut.contains("]: Verify failed: first differing address 0x1005, 2 bytes differ\n"), qPrintable(r.strOut));
        XQ_VERIFY_FLASH_KEPT(flash, {});  // nothing repaired

        // Blank check: the pattern's first non-0xFF byte and their count.
        const QByteArray head = bytes.mid(0x1000, 64);
        const int nFirst = int(std::find_if(head.begin(), head.end(), [](char c) { return c != char(0xFF); }) - head.begin());
        const int nBusy = int(std::count_if(head.begin(), head.end(), [](char c) { return c != char(0xFF); }));
        r = Run({"--json", "--trace", strTrace, "blank", "--start", "1000", "--length", "64"}, strBench);
        QCOMPARE(r.nExit, 1);
        QVERIFY2(r.strErr.contains(QString("查空失败: 首个非空白地址 0x%1, 共 %2 字节不是空白")
                                       .arg(QString::number(0x1000 + nFirst, 16).toUpper())
                                       .arg(nBusy)),
                 qPrintable(r.strErr));
        json = JsonLines(r.strOut);
        QCOMPARE(json.size(), 1);
        QCOMPARE(json[0]["operation"].toString(), QString("blank"));
        QCOMPARE(json[0]["differences"].toInt(), nBusy);
        QVERIFY(!json[0].contains("image"));
        QCOMPARE(Run({"erase", "--start", "1F0000", "--size", "0x10000"}, strBench).nExit, 0);
        r = Run({"--json", "blank", "--start", "1F0000", "--all"}, strBench);
        QCOMPARE(r.nExit, 0);
        json = JsonLines(r.strOut);
        QCOMPARE(json.size(), 1);
        QCOMPARE(json[0]["result"].toString(), QString("ok"));
        QCOMPARE(json[0]["size"].toInt(), 0x10000);
        QCOMPARE(json[0]["first_difference"], QJsonValue());
        QCOMPARE(json[0]["differences"].toInt(), 0);
        r = Run({"--lang", "en", "blank", "--start", "1F0000", "--length", "0x100"}, strBench);
        QCOMPARE(r.nExit, 0);
        QVERIFY2(r.strOut.contains("Blank check passed: 0x1F0000 ~ 0x1F0100, 256 bytes all blank"), qPrintable(r.strOut));
        XQ_VERIFY_FLASH_KEPT(flash, {{0x1F0000, 0x10000}});
        const QList<QStringList> rows = TraceRows(strTrace);
        QCOMPARE(rows.size(), 3);
        QCOMPARE(rows[1].mid(3, 3), (QStringList{"verify", "failed", "2002"}));
        QCOMPARE(rows[1].mid(9, 3), (QStringList{Sha256(image), "0x001000", "5000"}));
        QCOMPARE(rows[2].mid(3, 2), (QStringList{"blank", "failed"}));

        // No flash answering: nothing to compare with, never a success.
        QDir().mkpath(P("verify-nf"));
        QVERIFY(WriteFile(P("verify-nf/bench.ini"), "[faults]\nno_flash=true\n"));
        r = Run({"blank", "--all"}, P("verify-nf"));
        QCOMPARE(r.nExit, 1);
        QVERIFY(r.strOut.contains("Flash 信息读取失败，Flash无应答"));
        QCOMPARE(Run({"verify", P("same.bin")}, P("verify-nf")).nExit, 1);

        // Refused before the adapter opens: an encrypted image (its key shows
        // only by writing), and blank's range options.
        QByteArray encrypted = RandomBytes(0x3001, 9);
        encrypted[0x2FB0] = 2;
        QVERIFY(WriteFile(P("enc.bin"), encrypted));
        const QString strFresh = P("verify-fresh");
        r = Run({"verify", P("enc.bin")}, strFresh);
        QCOMPARE(r.nExit, 2);
        QVERIFY2(r.strErr.contains("加密镜像无法只校验"), qPrintable(r.strErr));
        r = Run({"--lang", "en", "verify", P("enc.bin")}, strFresh);
        QVERIFY2(r.strErr.contains("An encrypted image cannot be verified alone"), qPrintable(r.strErr));
        for (const QStringList& args : QList<QStringList>{{"blank"}, {"blank", "--all", "--length", "5"}, {"blank", "--length", "0"}})
            QCOMPARE(Run(args, strFresh).nExit, 2);
        QVERIFY(!QFile::exists(strFresh + "/flash.bin"));
    }

    // Every operation whose range runs past the end of the flash (where the
    // flash goes on at address 0) is refused before the chip is touched: a
    // line naming the range and the flash size, exit 1; and at the edge it runs.
    void rangesBeyondTheFlashExitOne()
    {
        const QString strBench = P("range");
        QVERIFY(WriteFile(P("four.bin"), RandomBytes(4096, 51)));
        QCOMPARE(Run({"static", "template", P("r.xlsx")}, strBench).nExit, 0);
        QCOMPARE(Run({"info"}, strBench).nExit, 0);  // a new bench, of 2 MiB
        FlashPattern flash;
        flash.Fill(strBench + "/flash.bin");
        const QList<QStringList> refused{{"erase", "--start", "1FF000", "--size", "8192"},
                                         {"write", P("four.bin"), "--start", "1FF000", "--erase", "8192"},
                                         {"write", P("four.bin"), "--start", "1FF800"},
                                         {"erase", "--start", "300000", "--size", "4096"},
                                         {"read", P("wrapped.bin"), "--start", "1FF000", "--length", "8192"},
                                         {"read", P("wrapped.bin"), "--start", "200000", "--all"},
                                         {"verify", P("four.bin"), "--start", "1FF800"},
                                         {"blank", "--start", "1FF000", "--length", "8192"},
                                         {"blank", "--start", "200000", "--all"},
                                         {"static", "write", P("r.xlsx"), "--total", "8192"},
                                         {"static", "write", P("r.xlsx"), "--start", "3FF000"},
                                         {"static", "read", P("r.xlsx"), "--start", "3FF000"}};
        for (const QStringList& args : refused) {
            const Result r = Run(args, strBench);
            const QString strWhat = args.join(' ') + "\n" + r.strOut + r.strErr;
            QVERIFY2(r.nExit == 1, qPrintable(strWhat));
            QVERIFY2(r.strOut.contains("操作范围超出Flash容量"), qPrintable(strWhat));
            const QString strChanged = flash.ChangedOutside({});
            QVERIFY2(strChanged.isEmpty(), qPrintable(strWhat + strChanged));
            QVERIFY(!QFile::exists(P("wrapped.bin")));
        }
        QCOMPARE(Run({"write", P("four.bin"), "--start", "1FF000"}, strBench).nExit, 0);
        XQ_VERIFY_FLASH_KEPT(flash, {{0x1FF000, 0x1000}});
        QCOMPARE(Run({"read", P("edge.bin"), "--start", "1FF000", "--length", "4096"}, strBench).nExit, 0);
        QCOMPARE(Slurp(P("edge.bin")), Slurp(P("four.bin")));
    }

    void gangWriteWithOneDeadSector()
    {
        const QString strBench = P("gang");
        QDir().mkpath(strBench + "/adapter-2");
        QVERIFY(WriteFile(strBench + "/bench.ini", "[bench]\nadapters=3\n"));
        QVERIFY(WriteFile(strBench + "/adapter-2/bench.ini", "[faults]\ndead_sectors=1000\n"));
        QDir().mkpath(strBench + "/adapter-3");
        QVERIFY(WriteFile(strBench + "/adapter-3/bench.ini", "[adapter]\nserial=FT7QX3\n"));
        // Each adapter its serial number: adapter 3's from bench.ini, the others' from their index.
        Result r = Run({"--json", "list"}, strBench);
        QCOMPARE(r.nExit, 0);
        const QJsonArray list = QJsonDocument::fromJson(r.strOut.toUtf8()).array();
        QCOMPARE(list.size(), 3);
        QCOMPARE(list[1].toObject(), (QJsonObject{{"name", "FT2232-LOC-2"}, {"serial", "XQ000002"},
                                                  {"description", "Dual RS232-HS"}, {"location", "bench-2"}}));
        QCOMPARE(list[2].toObject()["serial"].toString(), QString("FT7QX3"));
        // -i takes a serial number as well as a name.
        r = Run({"--json", "-i", "FT7QX3", "-i", "XQ000001", "-i", "FT2232-LOC-3", "reset"}, strBench);
        QCOMPARE(r.nExit, 0);
        QStringList reset;
        for (const QJsonObject& o : JsonLines(r.strOut))
            reset << o["interface"].toString();
        reset.sort();
        QCOMPARE(reset, (QStringList{"FT2232-LOC-1", "FT2232-LOC-3"}));
        r = Run({"-i", "FT7QX9", "reset"}, strBench);
        QCOMPARE(r.nExit, 2);
        QVERIFY2(r.strErr.contains("没有这个接口或序列号: FT7QX9"), qPrintable(r.strErr));
        QDir().mkpath(strBench + "/adapter-1");
        QVERIFY(WriteFile(strBench + "/adapter-1/bench.ini", "[adapter]\nserial=FT7QX3\n"));  // a cloned EEPROM
        r = Run({"-i", "FT7QX3", "reset"}, strBench);
        QCOMPARE(r.nExit, 2);
        QVERIFY2(r.strErr.contains("多个适配器带有同一序列号 FT7QX3: FT2232-LOC-1, FT2232-LOC-3"),
                 qPrintable(r.strErr));
        QVERIFY(WriteFile(strBench + "/adapter-1/bench.ini", "[adapter]\nserial=\n"));
        const QByteArray image = RandomBytes(0x3000, 32);
        QVERIFY(WriteFile(P("gang.bin"), image));
        const QVector<FlashPattern> flashes = FillGangFlash(strBench, 3);
        r = Run({"-i", "all", "write", P("gang.bin")}, strBench);
        QCOMPARE(r.nExit, 1);
        QVERIFY(r.strOut.contains("[FT2232-LOC-2] 校验失败，请重新烧写"));
        QVERIFY(r.strOut.contains(QRegularExpression("FT2232-LOC-1\\s+成功")));
        QVERIFY(r.strOut.contains(QRegularExpression("FT2232-LOC-2\\s+失败")));
        QVERIFY(r.strOut.contains(QRegularExpression("FT2232-LOC-3\\s+成功")));
        QCOMPARE(Slurp(strBench + "/adapter-1/flash.bin").left(image.size()), image);
        QCOMPARE(Slurp(strBench + "/adapter-3/flash.bin").left(image.size()), image);
        for (const FlashPattern& flash : flashes)
            XQ_VERIFY_FLASH_KEPT(flash, {{0, image.size()}});

        // The same run with --json and --trace: one object and one row per adapter.
        r = Run({"-i", "all", "--json", "--trace", P("gang.csv"), "write", P("gang.bin")}, strBench);
        QCOMPARE(r.nExit, 1);
        const QList<QJsonObject> json = JsonLines(r.strOut);
        QCOMPARE(json.size(), 3);
        QMap<QString, QString> results;
        for (const QJsonObject& o : json) {
            results[o["interface"].toString()] = o["result"].toString();
            QCOMPARE(o["sha256"].toString(), Sha256(image));
            QCOMPARE(o["start"], QJsonValue(0));
        }
        QCOMPARE(results, (QMap<QString, QString>{{"FT2232-LOC-1", "ok"}, {"FT2232-LOC-2", "failed"}, {"FT2232-LOC-3", "ok"}}));
        QVERIFY(r.strErr.contains(QRegularExpression("FT2232-LOC-2\\s+失败")));  // the table too
        const QList<QStringList> rows = TraceRows(P("gang.csv"));
        QCOMPARE(rows.size(), 4);
        QStringList traced;
        for (const QStringList& row : rows.mid(1))
            traced << row[2] + " " + row[4];
        traced.sort();
        QCOMPARE(traced, (QStringList{"FT2232-LOC-1 ok", "FT2232-LOC-2 failed", "FT2232-LOC-3 ok"}));

        // A gang read: each adapter saves its own file.
        QCOMPARE(Run({"-i", "all", "read", P("gang-out.bin"), "--length", "0x3000"}, strBench).nExit, 0);
        QCOMPARE(Slurp(P("gang-out.bin.FT2232-LOC-1")), image);
        QCOMPARE(Slurp(P("gang-out.bin.FT2232-LOC-3")), image);
        QCOMPARE(Slurp(P("gang-out.bin.FT2232-LOC-2")).size(), image.size());
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "test_cli.moc"
