// Every step of xqprog's writes under a fault that breaks that one step once
// and leaves the rest of the session working: the error must reach the exit
// code and the log, never a success line, and the flash outside the written
// range keeps its bytes. A step whose error were dropped would pass here only
// if the next step happened to fail as well, which these faults avoid.
#include "flashpattern.h"
#include "testfiles.h"
#include "xqprogrunner.h"

#include <QDir>
#include <QtTest>

namespace {

constexpr int kImageSize = 70000;            // two 64 KiB erase blocks
constexpr int kEncryptedSize = 0x5000;       // longer than the plain head, with the marker at 0x2FB0
constexpr int kStaticArea = 0x1FF000;        // where a static record goes by default
constexpr int kZerosSize = 0x11000;          // whole sectors, read back in two verify chunks
const FlashRange kImageBlocks{0, 0x20000};   // what the image write erases
const FlashRange kEncryptedBlocks{0, 0x10000};
const FlashRange kStaticSector{kStaticArea, 0x1000};
const FlashRange kZerosSectors{0, kZerosSize};

enum class Must { Fail, FailOrHoldImage };

struct StepCase {
    const char* pName;
    const char* pIni;
    const char* pCommand;  // "plain", "encrypted", "zeros" (written from files of that name), "static"
    QStringList extraArgs;
    Must must;
    const char* pLogLine;  // a line the failure must log (empty: any)
    const char* pNeverLine;
    FlashRange written;
};

const StepCase kCases[] = {
    {"serial stamp's erase fails once", "[faults]\nfail_once=44\n", "plain", {"--serial", "7"}, Must::Fail,
     "序列号写入失败", "写入序列号:", kImageBlocks},
    {"serial stamp's erase outlasts its wait", "[faults]\nbusy_once=44\n", "plain", {"--serial", "7"}, Must::Fail,
     "序列号写入失败", "写入序列号:", kImageBlocks},
    {"serial stamp's program fails once", "[faults]\nfail_once=42\n", "plain", {"--serial", "7"}, Must::Fail,
     "序列号写入失败", "写入序列号:", kImageBlocks},
    {"serial stamp's program outlasts its wait", "[faults]\nbusy_once=42\n", "plain", {"--serial", "7"}, Must::Fail,
     "序列号写入失败", "写入序列号:", kImageBlocks},
    // The program reports success with bit 0 of every byte left at 1: only
    // the opt-in read-back finds it, and says what the chip holds.
    {"serial stamp's program leaves bits unprogrammed, read back", "[faults]\nweak_once=42\n", "plain",
     {"--serial", "7", "--check-serial"}, Must::Fail,
     "回读的序列号记录与写入的不同: 01 01 01 01 01 01 01 01 01 01 01 01 01 01 01 07", "写入序列号:", kImageBlocks},
    {"protection bit BP2 never sets", "[faults]\nstatus_stuck_bits=10\n", "plain", {"--protect"}, Must::Fail,
     "FLASH写保护设置失败", "FLASH已写保护", kImageBlocks},
    {"protection status write fails once", "[faults]\nfail_once=01\n", "plain", {"--protect"}, Must::Fail,
     "FLASH写保护设置失败", "FLASH已写保护", kImageBlocks},
    {"encrypted image's last byte never programs", "[faults]\nstuck_bytes=4FFF\n", "encrypted", {}, Must::Fail,
     "烧写失败", "烧写成功", kEncryptedBlocks},
    {"encrypted image's first encrypted byte never programs", "[faults]\nstuck_bytes=3000\n", "encrypted", {},
     Must::Fail, "烧写失败", "烧写成功", kEncryptedBlocks},
    {"a page program mid-image fails once", "[faults]\nfail_once=02@100\n", "plain", {}, Must::FailOrHoldImage, "",
     "", kImageBlocks},
    {"a page program mid-image outlasts its wait", "[faults]\nbusy_once=02@100\n", "plain", {},
     Must::FailOrHoldImage, "", "", kImageBlocks},
    {"the last page's last byte never programs", "[faults]\nstuck_bytes=1116F\n", "plain", {}, Must::Fail,
     "校验失败", "校验成功", kImageBlocks},
    {"the first erase block outlasts its wait", "[faults]\nbusy_once=D8\n", "plain", {}, Must::FailOrHoldImage, "",
     "", kImageBlocks},
    // The failed read leaves the previous chunk's zeros in the buffer, the
    // same bytes the image holds there: only the read's own result tells.
    {"a verify read fails once over bytes the buffer already holds", "[faults]\nfail_once=03@2\n", "zeros", {},
     Must::Fail, "校验失败", "校验成功", kZerosSectors},
    {"static write's protection restore fails once", "[flash]\nstatus1=9C\n[faults]\nfail_once=01@2\n", "static",
     {}, Must::Fail, "FLASH写保护恢复失败", "写入完成", kStaticSector},
    {"static write's restored SRP0 never sets", "[flash]\nstatus1=9C\n[faults]\nstatus_stuck_bits=80\n", "static",
     {}, Must::Fail, "FLASH写保护恢复失败", "写入完成", kStaticSector},
    {"static record's program fails once", "[flash]\nstatus1=9C\n[faults]\nfail_once=02\n", "static", {},
     Must::Fail, "", "写入完成", kStaticSector},
};

// Bytes of an image the chip programs encrypted: the marker at 0x2FB0, and a
// last byte that differs from what a byte left erased would compare as.
QByteArray EncryptedImage()
{
    QByteArray image = RandomBytes(kEncryptedSize, 0xE1C);
    image[0] = 0x11;  // no second region
    image[0x2FB0] = 2;
    image[0x3000] = 0x5A;
    image[kEncryptedSize - 1] = 0x5A;
    return image;
}

}  // namespace

class TestSteps : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    XqprogRunner m_xqprog{XQPROG_PATH, m_dir.path()};

    QString P(const QString& s) const { return m_dir.filePath(s); }

private slots:
    void initTestCase()
    {
        QByteArray plain = RandomBytes(kImageSize, 0x51);
        plain[kImageSize - 1] = 0x00;  // a stuck (erased) last byte cannot pass for it
        QVERIFY(WriteFile(P("plain.bin"), plain));
        QVERIFY(WriteFile(P("encrypted.bin"), EncryptedImage()));
        QVERIFY(WriteFile(P("zeros.bin"), QByteArray(kZerosSize, 0)));
        QCOMPARE(m_xqprog.Run({"static", "template", P("static.xlsx")}, P("template-bench")).nExit, 0);
    }

    void eachStepFailsOnItsOwn_data()
    {
        QTest::addColumn<int>("row");
        for (size_t i = 0; i < sizeof kCases / sizeof kCases[0]; ++i)
            QTest::newRow(kCases[i].pName) << int(i);
    }
    void eachStepFailsOnItsOwn()
    {
        QFETCH(int, row);
        const StepCase& c = kCases[row];
        const QString strBench = P(QString("bench-%1").arg(row));
        QVERIFY(QDir().mkpath(strBench));
        QVERIFY(WriteFile(strBench + "/bench.ini", c.pIni));
        FlashPattern guard;
        guard.Fill(strBench + "/flash.bin");

        const QString strCommand = c.pCommand;
        const QString strImage = P(strCommand == "static" ? "static.xlsx" : strCommand + ".bin");
        const QStringList args = (strCommand == "static" ? QStringList{"static", "write", strImage}
                                                         : QStringList{"write", strImage}) +
                                 c.extraArgs;
        const XqprogResult r = m_xqprog.Run(args, strBench);
        const QString strLog = r.strOut + r.strErr;
        XQ_VERIFY_FLASH_KEPT(guard, {c.written});
        QVERIFY2(!QFile::exists(strBench + "/bench.lock"), "the adapter was not closed");

        if (c.must == Must::Fail || r.nExit != 0) {
            QVERIFY2(r.nExit == 1, qPrintable(QString("exit %1\n%2").arg(r.nExit).arg(strLog)));
            if (*c.pLogLine)
                QVERIFY2(strLog.contains(c.pLogLine), qPrintable(strLog));
            if (*c.pNeverLine)
                QVERIFY2(!strLog.contains(c.pNeverLine), qPrintable(strLog));
            return;
        }
        // A success must be true: the flash holds the image.
        const QByteArray image = Slurp(strImage);
        QCOMPARE(Slurp(strBench + "/flash.bin").left(image.size()), image);
    }
};

QTEST_GUILESS_MAIN(TestSteps)
#include "test_steps.moc"
