// The rules the window and xqprog share, checked on their own: the number
// and address parsers, the erase and read choices, the flash range, the
// static area's total, the trace row and the JSON object. The expected
// values are written out, never computed with the code under test.
#include <flashrange.h>
#include <flashrules.h>
#include <imagerequest.h>
#include <operationreport.h>
#include <requestmarkers.h>
#include <results.h>
#include <staticrequest.h>
#include <textrules.h>
#include <tracefile.h>

#include <QJsonObject>
#include <QtTest>

class TestCore : public QObject {
    Q_OBJECT

private slots:
    void numberTexts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("hex");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<qlonglong>("value");
        QTest::newRow("decimal") << "4096" << false << true << 4096ll;
        QTest::newRow("leading zero is decimal") << "010" << false << true << 10ll;
        QTest::newRow("0x in a number") << "0x1000" << false << true << 4096ll;
        QTest::newRow("0X upper") << "0X1f" << false << true << 31ll;
        QTest::newRow("spaces around") << " 12 " << false << true << 12ll;
        QTest::newRow("letters") << "12a" << false << false << 0ll;
        QTest::newRow("empty") << "" << false << false << 0ll;
        QTest::newRow("bare prefix") << "0x" << false << false << 0ll;
        QTest::newRow("hex digits") << "1ff000" << true << true << 0x1FF000ll;
        QTest::newRow("hex with prefix") << "0x1FF000" << true << true << 0x1FF000ll;
        QTest::newRow("hex letter O") << "1ff00O" << true << false << 0ll;
        QTest::newRow("hex empty") << "" << true << false << 0ll;
        QTest::newRow("hex with a sign") << "0x+10" << true << false << 0ll;
        QTest::newRow("hex negative") << "-1000" << true << false << 0ll;
    }
    void numberTexts()
    {
        QFETCH(QString, text);
        QFETCH(bool, hex);
        QFETCH(bool, ok);
        QFETCH(qlonglong, value);
        int64_t n = -1;
        QCOMPARE(hex ? xq::ParseHex(text, n) : xq::ParseNumber(text, n), ok);
        if (ok)
            QCOMPARE(qlonglong(n), value);
    }

    // Lines for a terminal by its columns: a Chinese character takes two, a
    // line breaks at a space or between Chinese characters, never before a
    // closing mark nor after an opening one, and a word wider than the line
    // stands alone.
    void terminalLines_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("width");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("words") << "Erase the whole chip or a range." << 16
                               << QStringList{"Erase the whole", "chip or a range."};
        QTest::newRow("chinese") << "擦除整片或一段范围。" << 8 << QStringList{"擦除整片", "或一段范", "围。"};
        QTest::newRow("closing mark stays") << "写入磁盘，然后" << 8 << QStringList{"写入磁", "盘，然后"};
        QTest::newRow("opening mark moves") << "镜像大小（默认）" << 10 << QStringList{"镜像大小", "（默认）"};
        QTest::newRow("ascii paren after chinese") << "写入磁盘 (默认)" << 10 << QStringList{"写入磁盘", "(默认)"};
        QTest::newRow("long word alone") << "来自 postgresql://u@h:1/db 或" << 12
                                         << QStringList{"来自", "postgresql://u@h:1/db", "或"};
        QTest::newRow("line breaks kept") << "甲\n乙 丙" << 40 << QStringList{"甲", "乙 丙"};
    }
    void terminalLines()
    {
        QFETCH(QString, text);
        QFETCH(int, width);
        QFETCH(QStringList, lines);
        QCOMPARE(xq::WrapToWidth(text, width), lines);
        QCOMPARE(xq::TerminalWidth("接口 ok"), 7);
        QCOMPARE(xq::PadToWidth("接口", 6) + "|", QString("接口  |"));
        QCOMPARE(xq::PadToWidth("12", 5, true), QString("   12"));
        QCOMPARE(xq::PadToWidth("结果太长了", 4), QString("结果太长了"));  // never cut
    }

    // The image tab's serial box reads as it shows: a hexadecimal box with
    // or without 0x, a decimal box digits only; both within 32 bits.
    void serialBox_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("hex");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<qlonglong>("value");
        QTest::newRow("hex shown") << "0x0000001F" << true << true << 31ll;
        QTest::newRow("hex bare") << "1F" << true << true << 31ll;
        QTest::newRow("hex is not decimal") << "10" << true << true << 16ll;
        QTest::newRow("hex last") << "0xFFFFFFFF" << true << true << 0xFFFFFFFFll;
        QTest::newRow("hex past 32 bits") << "0x100000000" << true << false << 0ll;
        QTest::newRow("hex empty") << "" << true << false << 0ll;
        QTest::newRow("dec shown") << "00000031" << false << true << 31ll;
        QTest::newRow("dec last") << "4294967295" << false << true << 0xFFFFFFFFll;
        QTest::newRow("dec past 32 bits") << "4294967296" << false << false << 0ll;
        QTest::newRow("dec with 0x") << "0x10" << false << false << 0ll;
        QTest::newRow("dec hex digit") << "1F" << false << false << 0ll;
        QTest::newRow("dec negative") << "-1" << false << false << 0ll;
    }
    void serialBox()
    {
        QFETCH(QString, text);
        QFETCH(bool, hex);
        QFETCH(bool, ok);
        QFETCH(qlonglong, value);
        uint32_t n = 7;
        QCOMPARE(ImageRules::ParseSerialBox(text, hex, n), ok);
        QCOMPARE(qlonglong(n), ok ? value : 7ll);  // a refusal leaves the value alone
    }

    // Both sides of every limit of the image tab's and xqprog's inputs.
    void imageRules()
    {
        int32_t n = -7;
        QVERIFY(ImageRules::StartAddress("0", n).isEmpty() && n == 0);
        QVERIFY(ImageRules::StartAddress("FFFFFF", n).isEmpty() && n == 0xFFFFFF);
        for (const char* pBad : {"1000000", "-1", "", "zz", "1ff00O"}) {
            n = -7;
            QVERIFY2(!ImageRules::StartAddress(pBad, n).isEmpty(), pBad);
            QCOMPARE(n, -7);  // a refusal leaves the value alone
        }
        // Serial numbers: the 32 bits of the record, --serial and a job's first alike.
        uint32_t nSerial = 7;
        QVERIFY(ImageRules::ParseSerial("0", nSerial) && nSerial == 0);
        QVERIFY(ImageRules::ParseSerial("4294967295", nSerial) && nSerial == 0xFFFFFFFFu);
        QVERIFY(ImageRules::ParseSerial("0x10", nSerial) && nSerial == 16);
        for (const char* pBad : {"4294967296", "-1", "", "12a", "0x100000000"}) {
            nSerial = 7;
            QVERIFY2(!ImageRules::ParseSerial(pBad, nSerial) && nSerial == 7, pBad);
        }

        QVERIFY(ImageRules::EraseCount(kEraseWhole, 100, "", n).isEmpty());
        QCOMPARE(n, xq::kWholeChip);
        QVERIFY(ImageRules::EraseCount(kEraseByFile, 5000, "", n).isEmpty());
        QCOMPARE(n, 5000);
        QVERIFY(ImageRules::EraseCount(kEraseSmart, 4097, "", n).isEmpty());
        QCOMPARE(n, 4097);
        QVERIFY(!ImageRules::EraseCount(kEraseByFile, 0, "", n).isEmpty());   // nothing to size it by
        QVERIFY(!ImageRules::EraseCount(kEraseSmart, 0, "", n).isEmpty());
        QVERIFY(ImageRules::EraseCount(kEraseBySize, 5000, "5000", n).isEmpty());  // equal to the image
        QCOMPARE(n, 5000);
        QVERIFY(!ImageRules::EraseCount(kEraseBySize, 5000, "4999", n).isEmpty());  // smaller than the image
        QVERIFY(ImageRules::EraseCount(kEraseBySize, 0, "0x200000", n).isEmpty());
        QCOMPARE(n, 0x200000);
        QVERIFY(!ImageRules::EraseCount(kEraseBySize, 0, "2097153", n).isEmpty());
        QVERIFY(!ImageRules::EraseCount(kEraseBySize, 0, "0", n).isEmpty());
        QVERIFY(!ImageRules::EraseCount(4, 10, "10", n).isEmpty());  // no such choice

        QVERIFY(ImageRules::ImageSize(0x200000).isEmpty());
        QVERIFY(!ImageRules::ImageSize(0x200001).isEmpty());

        QVERIFY(ImageRules::ReadLength("1", n).isEmpty() && n == 1);
        QVERIFY(ImageRules::ReadLength("2097152", n).isEmpty() && n == 2097152);
        QVERIFY(!ImageRules::ReadLength("2097153", n).isEmpty());
        QVERIFY(!ImageRules::ReadLength("0", n).isEmpty());
    }

    void flashRange()
    {
        const uint32_t nFlash = 0x200000;
        QVERIFY(xq::FlashRangeFits(0, nFlash, nFlash));
        QVERIFY(xq::FlashRangeFits(nFlash - 1, 1, nFlash));
        QVERIFY(!xq::FlashRangeFits(nFlash - 1, 2, nFlash));
        QVERIFY(!xq::FlashRangeFits(nFlash, 0, nFlash));  // the start itself lies outside
        QVERIFY(!xq::FlashRangeFits(-1, 1, nFlash));
        QVERIFY(!xq::FlashRangeFits(0, -1, nFlash));
        QCOMPARE(xq::FlashRangeRefusal(0x1FF800, 0x1000, nFlash),
                 QString("操作范围超出Flash容量: 0x1FF800 ~ 0x200800 (4096 字节), Flash容量 2097152 字节"));
        QCOMPARE(xq::SectorBase(0x1FFF), 0x1000);
        QCOMPARE(xq::SectorOffset(0x1FFF), 0xFFF);
        QCOMPARE(xq::SectorCeil(0x1001), int64_t(0x2000));
        QCOMPARE(xq::SectorCeil(0x1000), int64_t(0x1000));
    }

    void staticTotal()
    {
        QCOMPARE(StaticRules::DefaultTotal(0), 20);
        QCOMPARE(StaticRules::DefaultTotal(1), 24);
        QCOMPARE(StaticRules::DefaultTotal(4), 24);
        QVERIFY(StaticRules::Total(24, 0, 4).isEmpty());
        QVERIFY(StaticRules::Total(21, 0, 4).isEmpty());
        QVERIFY(!StaticRules::Total(23, 0, 24).isEmpty());   // smaller than the used length
        QVERIFY(!StaticRules::Total(20, 0, 0).isEmpty());    // the header alone
        QVERIFY(!StaticRules::Total(30, 31, 4).isEmpty());   // smaller than the read-only part
        QVERIFY(StaticRules::Total(kStaticMaxTotal, 0, 4).isEmpty());
        QVERIFY(!StaticRules::Total(kStaticMaxTotal + 1, 0, 4).isEmpty());
    }

    // The trace row and the JSON object of one report, field by field.
    void reportAsRowAndJson()
    {
        OperationReport report;
        report.strOperation = "write";
        report.strInterface = "FT2232-LOC-1";
        report.SetResult(true, 0, "校验成功");
        report.strJedec = "EF4015";
        report.strUid = "00112233445566778899AABBCCDDEEFF";
        report.strImage = "/tmp/a,b.bin";
        report.SetData("abc");
        report.nStart = 0;
        report.nSize = 3;
        report.bSerial = true;
        report.nSerial = 7;
        const QDateTime time(QDate(2026, 12, 8), QTime(9, 47, 45, 71), Qt::OffsetFromUTC, 3600);
        QCOMPARE(TraceFile::Row(report, time, "station,3"),
                 QByteArray("2026-12-08T09:47:45.071+01:00,\"station,3\",FT2232-LOC-1,write,ok,0,EF4015,"
                            "00112233445566778899AABBCCDDEEFF,7,"
                            "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad,0x000000,3,,\n"));  // no job
        const QJsonObject json = report.ToJson();
        QCOMPARE(json["start"].toDouble(), 0.0);  // start 0 is a value, not null
        QCOMPARE(json["serial"].toDouble(), 7.0);
        QCOMPARE(json["result"].toString(), QString("ok"));
        QCOMPARE(json["image"].toString(), QString("/tmp/a,b.bin"));

        OperationReport refused;
        refused.strOperation = "read";
        refused.Refuse(xq::kErrBadArgument, "no");
        QCOMPARE(refused.ToJson()["result"].toString(), QString("refused"));
        QVERIFY(refused.ToJson()["start"].isNull());
        QVERIFY(refused.ToJson()["serial"].isNull());
        QVERIFY(TraceFile::Row(refused, QDateTime::currentDateTime(), "h").endsWith(",,,,\n"));  // no range, no job
    }

    void resultTexts()
    {
        QVERIFY(xq::ResultText(xq::kOk).isEmpty());
        QCOMPARE(xq::ResultText(xq::kErrFlashBusyTimeout), QString("发生超时 258"));
        QCOMPARE(xq::ResultText(xq::kErrFlashBusyAtStart), QString("发生超时 -258"));
        QCOMPARE(xq::ResultText(12345), QString("未知错误 12345"));
        // The adapter's reason only follows a code of the adapter library.
        QCOMPARE(xq::ResultText(xq::kErrUsbWrite, "LIBUSB_ERROR_NO_DEVICE"),
                 QString("LIBUSB_ERROR_NO_DEVICE\n未知错误 1002"));
        QCOMPARE(xq::ResultText(xq::kErrRepairFailed, "stale"), xq::ResultText(xq::kErrRepairFailed));
    }
};

QTEST_GUILESS_MAIN(TestCore)
#include "test_core.moc"
