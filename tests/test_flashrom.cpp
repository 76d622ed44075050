// A client nobody here wrote on our emulated adapter: flashrom's ft2232_spi
// programmer drives an emulated FT2232H (tests/usbfs) through its own
// libftdi1 code, with a bare W25Q16-class flash on channel A's SPI pins.
// Runs under umockdev-wrapper.
#include "benchfixture.h"
#include "testfiles.h"

#include <ftdiusbfs.h>

#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

namespace {

const QString kProgrammer = "ft2232_spi:type=2232H,port=A";
constexpr int kFlashSize = 2 * 1024 * 1024;

struct Result {
    int nExit = -1;
    QString strOut;
};

}  // namespace

class TestFlashrom : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_strFlashrom;
    int m_nBenches = 0;

    // A bare-flash bench holding the contents, on channel A of an FT2232H at bus 2, port 1.
    QString Bench(usbfs::Emulator& emulator, const QByteArray& contents)
    {
        const QString strDir = m_dir.filePath(QString("bench-%1").arg(++m_nBenches));
        QDir().mkpath(strDir);
        // Short erase times keep the test quick; the race uses the datasheet's.
        if (!WriteFile(strDir + "/bench.ini", "[chip]\nmodel=none\n[timing]\nerase4k_ms=1\nerase32k_ms=1\nerase64k_ms=1\n")
            || !WriteFile(strDir + "/flash.bin", contents))
            QTest::qFail("bench files not written", __FILE__, __LINE__);
        usbfs::DeviceSpec spec;
        spec.strBenchDir = strDir;
        spec.nBenchChannel = 0;  // flashrom's port=A
        QString strError;
        if (!emulator.AddDevice(spec, strError))
            qWarning("%s", qPrintable(strError));
        return strDir;
    }

    Result Flashrom(const QStringList& args)
    {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.setWorkingDirectory(m_dir.path());
        p.start(m_strFlashrom, QStringList{"-p", kProgrammer} + args);
        p.waitForFinished(500000);
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAll())};
    }

private slots:
    void initTestCase()
    {
        if (const char* pWhy = usbfs::Unavailable())
            QSKIP(pWhy);
        m_strFlashrom = QStandardPaths::findExecutable("flashrom", {"/usr/sbin", "/sbin", "/usr/bin"});
        if (m_strFlashrom.isEmpty())
            QSKIP("flashrom is not installed (scripts/packages.txt lists it)");
        QVERIFY(m_dir.isValid());
    }

    void probeNamesTheChip()
    {
        usbfs::Emulator emulator;
        Bench(emulator, QByteArray(kFlashSize, '\xFF'));
        const Result r = Flashrom({});
        QVERIFY2(r.nExit == 0, qPrintable(r.strOut));
        QVERIFY2(r.strOut.contains("Found Winbond flash chip \"W25Q16.V\" (2048 kB, SPI) on ft2232_spi"),
                 qPrintable(r.strOut));
        QVERIFY(emulator.UnknownIoctls(0).empty());
    }

    void readEqualsFlashBin()
    {
        usbfs::Emulator emulator;
        const QByteArray contents = RandomBytes(kFlashSize, 21);
        Bench(emulator, contents);
        const Result r = Flashrom({"-r", "read.bin"});
        QVERIFY2(r.nExit == 0, qPrintable(r.strOut));
        QVERIFY(Slurp(m_dir.filePath("read.bin")) == contents);
    }

    void writeAndVerifyARandomImage()
    {
        usbfs::Emulator emulator;
        const QString strBench = Bench(emulator, RandomBytes(kFlashSize, 22));
        const QByteArray image = RandomBytes(kFlashSize, 23);
        QVERIFY(WriteFile(m_dir.filePath("image.bin"), image));

        Result r = Flashrom({"-w", "image.bin"});
        QVERIFY2(r.nExit == 0, qPrintable(r.strOut));
        QVERIFY2(r.strOut.contains("VERIFIED"), qPrintable(r.strOut));
        r = Flashrom({"-v", "image.bin"});
        QVERIFY2(r.nExit == 0 && r.strOut.contains("VERIFIED"), qPrintable(r.strOut));
        QString strError;
        QVERIFY2(emulator.CloseBench(0, strError), qPrintable(strError));
        QVERIFY(Slurp(strBench + "/flash.bin") == image);
    }

    void adapterVanishingMidWriteIsAnError()
    {
        usbfs::Emulator emulator;
        Bench(emulator, RandomBytes(kFlashSize, 24));
        QVERIFY(WriteFile(m_dir.filePath("vanish.bin"), RandomBytes(kFlashSize, 25)));
        usbfs::Faults faults;
        faults.nVanishAfterTransfers = 3000;  // past the read of the old contents, into erase and write
        emulator.SetFaults(0, faults);
        const Result r = Flashrom({"-w", "vanish.bin"});
        QVERIFY2(r.nExit != 0, qPrintable(r.strOut));
        QVERIFY2(r.strOut.contains("usb bulk write failed") && r.strOut.contains("FAILED"), qPrintable(r.strOut));
        QVERIFY(!r.strOut.contains("VERIFIED"));
    }
};

QTEST_GUILESS_MAIN(TestFlashrom)
#include "test_flashrom.moc"
