// libftdi1 and libusb under test: FTDI adapters emulated at the kernel's
// usbfs interface (tests/usbfs), driven by the production backend and by
// xqprog, with no seam above libftdi1. Runs under umockdev-wrapper.
#include "benchfixture.h"
#include "testfiles.h"
#include "xqprogrunner.h"

#include <adaptermodel.h>
#include <ftdiusbfs.h>
#include <i18n.h>
#include <mpsse.h>
#include <spiftdi.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QtTest>

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace {

// The channel (0 = A) the program opens on a plain FT2232H, where its bench wires the chip.
const int kXqChannelFt2232H = sim::FindAdapterModel("FT2232H")->nWiredChannel - 1;

using Result = XqprogResult;

// Real adapters (the emulated ones), English, standard error merged into the output.
Result RunXqprog(const QStringList& args)
{
    XqprogRunner runner(XQPROG_PATH);
    runner.SetLeadArgs({"--lang", "en"});
    runner.SetMergedChannels(true);
    return runner.Run(args);
}

// Index of the first vendor request matching, or -1.
int Find(const std::vector<usbfs::ControlRequest>& log, uint8_t nRequest, int nValue = -1, size_t nFrom = 0)
{
    for (size_t i = nFrom; i < log.size(); ++i) {
        if (log[i].nRequestType == 0x40 && log[i].nRequest == nRequest && (nValue < 0 || log[i].nValue == nValue))
            return int(i);
    }
    return -1;
}

// Without CAP_DAC_OVERRIDE even root obeys a node's mode bits, as an
// operator outside the udev rule's group does.
class NoFileOverride {
public:
    NoFileOverride()
    {
        m_header.version = _LINUX_CAPABILITY_VERSION_3;
        m_bOk = syscall(SYS_capget, &m_header, m_saved) == 0;
        __user_cap_data_struct reduced[2] = {m_saved[0], m_saved[1]};
        reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        m_bOk = m_bOk && syscall(SYS_capset, &m_header, reduced) == 0;
    }
    ~NoFileOverride()
    {
        if (m_bOk)
            syscall(SYS_capset, &m_header, m_saved);
    }

private:
    __user_cap_header_struct m_header{};
    __user_cap_data_struct m_saved[2]{};
    bool m_bOk = false;
};

// Captures what is written to standard error while it lives.
class StderrCapture {
public:
    StderrCapture()
    {
        std::fflush(stderr);
        m_nSaved = dup(2);
        m_file.open();
        dup2(m_file.handle(), 2);
    }
    QString Text()
    {
        std::fflush(stderr);
        dup2(m_nSaved, 2);
        close(m_nSaved);
        m_file.seek(0);
        return QString::fromUtf8(m_file.readAll());
    }

private:
    QTemporaryFile m_file;
    int m_nSaved = -1;
};

}  // namespace

class TestUsbfs : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    // An adapter at bus 2, port 1 (LOC-33) carrying an XQ bench on the
    // channel its board wires the chip to.
    // With pFlash, its flash holds the guard pattern.
    QString XqBench(usbfs::Emulator& emulator, const QString& strModel = "FT2232H", FlashPattern* pFlash = nullptr)
    {
        const QString strDir = m_dir.filePath(QString("bench-%1").arg(++m_nBenches));
        if (pFlash)
            pFlash->Fill(strDir + "/flash.bin");
        usbfs::DeviceSpec spec;
        spec.strModel = strModel;
        spec.strBenchDir = strDir;
        QString strError;
        if (!emulator.AddDevice(spec, strError))
            qWarning("%s", qPrintable(strError));
        return strDir;
    }
    int m_nBenches = 0;

private slots:
    void initTestCase()
    {
        if (const char* pWhy = usbfs::Unavailable())
            QSKIP(pWhy);
        QVERIFY(m_dir.isValid());
    }

    void namesComeFromTheBusAndPortPath()
    {
        usbfs::Emulator emulator;
        QString strError;
        usbfs::DeviceSpec spec;  // bus 2, port 1
        spec.strSerial = "FT6Z4A01";
        QVERIFY(emulator.AddDevice(spec, strError));
        spec.strModel = "FT232H";
        spec.nBus = 1;
        spec.ports = {4, 2};  // behind a hub
        spec.strSerial = "FT6Z4A02";
        QVERIFY(emulator.AddDevice(spec, strError));
        spec.strModel = "FT2232D";
        spec.nBus = 17;  // a bus number past one hexadecimal digit
        spec.ports = {1, 4};
        spec.bSerialString = false;  // a blank EEPROM: listed without a serial number
        QVERIFY(emulator.AddDevice(spec, strError));

        SpiFtdi ftdi;
        QList<QByteArray> names;
        QCOMPARE(ftdi.Enumerate(names), xq::kOk);
        QCOMPARE(names.size(), 3);
        std::sort(names.begin(), names.end());
        QCOMPARE(names, (QList<QByteArray>{"FT2232-LOC-17.260", "FT2232-LOC-33", "FT232H-LOC-322"}));
        // Serial number and description from the string descriptors (libftdi's
        // ftdi_usb_get_strings), the port path as the kernel names the device.
        QStringList described;
        for (const AdapterDescription& a : ftdi.Adapters())
            described << QStringList{QString::fromUtf8(a.strName), a.strSerial, a.strDescription, a.strLocation}.join('|');
        described.sort();
        const auto product = [](const char* pModel) { return QString(sim::FindAdapterModel(pModel)->pProduct); };
        QCOMPARE(described, (QStringList{"FT2232-LOC-17.260||" + product("FT2232D") + "|17-1.4",
                                         "FT2232-LOC-33|FT6Z4A01|" + product("FT2232H") + "|2-1",
                                         "FT232H-LOC-322|FT6Z4A02|" + product("FT232H") + "|1-4.2"}));
        QVERIFY(emulator.UnknownIoctls(0).empty());
    }

    void openDetachesTheSerialDriverAndSetsTheChipUp()
    {
        usbfs::Emulator emulator;
        XqBench(emulator);
        QVERIFY(emulator.DriverBound(0, kXqChannelFt2232H));
        SpiFtdi ftdi;
        QList<QByteArray> names;
        QCOMPARE(ftdi.Enumerate(names), xq::kOk);
        QCOMPARE(names.size(), 1);
        QCOMPARE(ftdi.Open("FT2232-LOC-33", 30000000), 0);
        QVERIFY(!emulator.DriverBound(0, kXqChannelFt2232H));
        QVERIFY(emulator.Claimed(0, kXqChannelFt2232H));
        QVERIFY(emulator.DriverBound(0, 1 - kXqChannelFt2232H));  // the other channel stays a serial port

        // The chip answers through the real stack: the XQ link-mode query.
        uint8_t mode[5] = {0xFE, 0, 0, 0, 0};
        QCOMPARE(ftdi.WriteRead(mode, 1, mode, 5), 0);

        const std::vector<usbfs::ControlRequest> log = emulator.ControlLog(0);
        for (const usbfs::ControlRequest& r : log) {
            if (r.nRequestType == 0x40)
                QCOMPARE(r.nIndex & 0xFF, kXqChannelFt2232H + 1);  // every vendor request addresses our channel
        }
        // Reset, then purge both directions, a short latency timer, and the
        // MPSSE entered from a reset bit mode, all before the first MPSSE byte.
        const int nReset = Find(log, usbfs::sio::kReset, 0);
        const int nPurgeRx = Find(log, usbfs::sio::kReset, 1, size_t(nReset + 1));
        const int nPurgeTx = Find(log, usbfs::sio::kReset, 2, size_t(nReset + 1));
        const int nLatency = Find(log, usbfs::sio::kSetLatency);
        const int nBitReset = Find(log, usbfs::sio::kSetBitMode, usbfs::sio::kBitModeReset << 8);
        const int nMpsse = Find(log, usbfs::sio::kSetBitMode, usbfs::sio::kBitModeMpsse << 8);
        QVERIFY(nReset == Find(log, usbfs::sio::kReset));
        QVERIFY(nPurgeRx > nReset && nPurgeTx > nReset);
        QVERIFY(nLatency >= 0 && log[size_t(nLatency)].nValue >= 1 && log[size_t(nLatency)].nValue <= 16);
        QVERIFY(nBitReset >= 0 && nMpsse == nBitReset + 1);
        QVERIFY(std::max({nPurgeRx, nPurgeTx, nLatency}) < nMpsse);
        QCOMPARE(log[size_t(nMpsse)].nBulkBefore, int64_t(0));

        ftdi.Close();
        const std::vector<usbfs::ControlRequest> after = emulator.ControlLog(0);
        QCOMPARE(after.back().nRequest, usbfs::sio::kSetBitMode);  // the MPSSE is left on close
        QCOMPARE(after.back().nValue, uint16_t(usbfs::sio::kBitModeReset << 8));
        QVERIFY(!emulator.Claimed(0, kXqChannelFt2232H));
        QVERIFY(emulator.UnknownIoctls(0).empty());
    }

    void imageWriteAndVerifyThroughLibftdi_data()
    {
        QTest::addColumn<QString>("strModel");
        QTest::addColumn<int>("nSize");
        for (const sim::AdapterModel& model : sim::AdapterModels()) {
            const bool bPlain = QByteArray(model.pName) == "FT2232H";
            QTest::newRow(model.pName) << QString(model.pName) << (bPlain ? 256 * 1024 + 100 : 16 * 1024);
        }
    }

    // Every adapter model through libftdi1, asked for 30 MHz; the full-speed
    // ones (FT2232D based) run 64-byte packets and 6 MHz SCK at most.
    void imageWriteAndVerifyThroughLibftdi()
    {
        QFETCH(QString, strModel);
        QFETCH(int, nSize);
        usbfs::Emulator emulator;
        FlashPattern flash;
        const QString strBench = XqBench(emulator, strModel, &flash);
        SpiFtdi ftdi;
        QList<QByteArray> names;
        QCOMPARE(ftdi.Enumerate(names), xq::kOk);
        QCOMPARE(names.size(), 1);
        const QString strName = QString::fromUtf8(names.first());
        const QByteArray image = RandomBytes(nSize, 17);
        const QString strImage = m_dir.filePath("image.bin");
        QVERIFY(WriteFile(strImage, image));

        const Result r = RunXqprog({"-i", strName, "-r", "30MHz", "write", strImage});
        QVERIFY2(r.nExit == 0, qPrintable(r.strOut));
        QVERIFY(r.strOut.contains("Verification succeeded"));
        QString strError;
        QVERIFY2(emulator.CloseBench(0, strError), qPrintable(strError));
        QCOMPARE(Slurp(strBench + "/flash.bin").left(image.size()), image);
        XQ_VERIFY_FLASH_KEPT(flash, {{0, (image.size() + 0xFFF) & ~0xFFF}});
        // Programmed and read back through the emulated endpoints.
        const usbfs::Traffic t = emulator.TrafficOf(0);
        QVERIFY(t.bench.nSpiBytes >= 2 * image.size());
        QVERIFY(t.bench.nBytesIn >= image.size());
    }

    void permissionDeniedOnTheDeviceNode()
    {
        usbfs::Emulator emulator;
        XqBench(emulator);
        SpiFtdi ftdi;
        QList<QByteArray> names;
        QCOMPARE(ftdi.Enumerate(names), xq::kOk);  // listed: sysfs is readable
        QCOMPARE(names.size(), 1);
        QVERIFY(QFile::setPermissions(QString::fromStdString(emulator.DevNodeFile(0)), QFileDevice::Permissions()));
        QString strErr;
        {
            NoFileOverride noOverride;
            StderrCapture capture;
            QCOMPARE(ftdi.Open("FT2232-LOC-33", 30000000), -1);
            strErr = capture.Text();
        }
        // In the program's language (Chinese here: no translation installed).
        QVERIFY2(strErr.contains("没有打开USB适配器的权限"), qPrintable(strErr));
        QVERIFY(strErr.contains("packaging/60-xqprogrammer.rules") && strErr.contains("plugdev") &&
                strErr.contains("'udevadm control --reload-rules && udevadm trigger'"));
        QVERIFY(emulator.DriverBound(0, kXqChannelFt2232H));  // nothing was touched
    }

    void deviceVanishingMidTransfer()
    {
        usbfs::Emulator emulator;
        FlashPattern flash;
        XqBench(emulator, "FT2232H", &flash);
        usbfs::Faults faults;
        faults.nVanishAfterTransfers = 100;  // in the erase (about 250 transfers in all, the programs few)
        emulator.SetFaults(0, faults);
        const QString strImage = m_dir.filePath("vanish.bin");
        QVERIFY(WriteFile(strImage, RandomBytes(128 * 1024, 5)));

        const Result r = RunXqprog({"-i", "FT2232-LOC-33", "-r", "30MHz", "write", strImage});
        QVERIFY2(r.nExit != 0, qPrintable(r.strOut));
        QVERIFY2(r.strOut.contains(QRegularExpression("\\b100[23]\\b")), qPrintable(r.strOut));
        QVERIFY(!r.strOut.contains("Programming succeeded"));
        QVERIFY(!r.strOut.contains("Verification succeeded"));
        QString strError;
        QVERIFY2(emulator.CloseBench(0, strError), qPrintable(strError));
        XQ_VERIFY_FLASH_KEPT(flash, {{0, 128 * 1024}});
    }

    void replyThatNeverComesTimesOut()
    {
        usbfs::Emulator emulator;
        XqBench(emulator);
        SpiFtdi ftdi;
        QList<QByteArray> names;
        QCOMPARE(ftdi.Enumerate(names), xq::kOk);
        QCOMPARE(names.size(), 1);
        QCOMPARE(ftdi.Open("FT2232-LOC-33", 30000000), 0);
        usbfs::Faults faults;
        faults.bMute = true;
        emulator.SetFaults(0, faults);
        uint8_t id[3] = {0x9F, 0, 0};
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(ftdi.WriteRead(id, 3, id, 1), int(mpsse::kErrReadTimeout));
        QVERIFY(timer.elapsed() < 20000);
        QVERIFY(emulator.TrafficOf(0).nEmptyInTransfers > 0);  // the chip kept sending status packets
        // The operator reads the reason in one language, with the library's numbers.
        const QRegularExpression zh("^[0-9]+ 毫秒内没有应答: 收到 0 / 3 字节$");
        const QRegularExpression en("^no reply within [0-9]+ ms: 0 of 3 bytes$");
        QVERIFY2(zh.match(ftdi.ErrorText()).hasMatch(), qPrintable(ftdi.ErrorText()));
        QVERIFY(InstallTranslation(*QCoreApplication::instance(), "en"));
        const QString strEnglish = ftdi.ErrorText();
        for (QTranslator* p : QCoreApplication::instance()->findChildren<QTranslator*>())
            delete p;  // the later tests read Chinese again
        QVERIFY2(en.match(strEnglish).hasMatch(), qPrintable(strEnglish));
        ftdi.Close();
    }

    // Without a backend a controller (and xqprog without --simulate) reaches
    // the real adapters through libftdi1, with a simulated bench in the same
    // process untouched; with --simulate xqprog lists only the bench.
    void noBackendMeansTheUsbAdapters()
    {
        usbfs::Emulator emulator;
        const QString strHardware = XqBench(emulator);
        BenchFixture bench;
        bench.FillPattern();
        // The adapter library's C-style listing is the libftdi1 one as well.
        int nCount = 0;
        mpsse::DevInfo* pList = nullptr;
        QCOMPARE(mpsse::GetDevInfoAll(kSupportedDevices, &nCount, &pList), 1);
        QVERIFY(pList && !pList->pNext);
        QCOMPARE(pList->nLocation, 33u);
        mpsse::DevInfoRease(pList);
        SpiFlashCtrl hardware;
        QList<QByteArray> names;
        QCOMPARE(hardware.SelectAdapter(names, 0), xq::kOk);
        QCOMPARE(names, QList<QByteArray>{"FT2232-LOC-33"});
        QCOMPARE(bench.names, QList<QByteArray>{"FT2232-LOC-1"});
        QCOMPARE(hardware.Open(names.first(), 9), xq::kOk);
        const QByteArray image = RandomBytes(0x1000, 31);
        QCOMPARE(hardware.VerifyFlash(reinterpret_cast<const uint8_t*>(image.constData()), image.size(), 0x1000),
                 xq::kOk);  // programs what differs from the erased flash
        QCOMPARE(hardware.Close(), xq::kOk);
        QString strError;
        QVERIFY2(emulator.CloseBench(0, strError), qPrintable(strError));
        QCOMPARE(Slurp(strHardware + "/flash.bin").mid(0x1000, image.size()), image);
        QCOMPARE(bench.Stats().nUsbTransfers, int64_t(0));
        XQ_VERIFY_FLASH_KEPT(bench, {});

        // The bench's [adapter] serial (its default here) through the string descriptor.
        const Result real = RunXqprog({"list"});
        QCOMPARE(real.nExit, 0);
        QCOMPARE(real.strOut.trimmed(),
                 "FT2232-LOC-33\tXQ000001\t" + QString(sim::FindAdapterModel("FT2232H")->pProduct) + "\t2-1");
        const Result simulated = RunXqprog({"--simulate=" + bench.Dir(), "list"});
        QCOMPARE(simulated.nExit, 0);
        QVERIFY2(simulated.strOut.contains("simulated bench " + bench.Dir()), qPrintable(simulated.strOut));
        QVERIFY2(simulated.strOut.contains("FT2232-LOC-1\tXQ000001\t") && !simulated.strOut.contains("LOC-33"),
                 qPrintable(simulated.strOut));
    }
};

QTEST_GUILESS_MAIN(TestUsbfs)
#include "test_usbfs.moc"
