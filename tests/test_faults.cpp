// The fault campaign: every operation against every fault of the bench,
// through the real window, tabs, workers and adapter library. An operation
// must end (no hang), report failure where the fault makes it impossible,
// never report a write as good when the flash holds something else, leave
// the window idle with the link closed, and the next operation on a healthy
// bench must succeed. Then a sweep unplugs the adapter after every possible
// USB transfer of one small image write.
#include "benchfixture.h"
#include "testfiles.h"

#include <baseop.h>
#include <baseworker.h>
#include <filesysmodel.h>
#include <mainwindow.h>
#include <messagebox.h>
#include <spiconfig.h>
#include <staticdata.h>
#include <tabwidgetxlsx.h>
#include <workbookexport.h>

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTextEdit>
#include <QtTest>

namespace {
enum Op { kImageWrite, kImageRead, kStaticWrite, kStaticRead, kDeviceInfo, kReset, kImageVerify, kBlankCheck };
const char* const kOpNames[] = {"image write", "image read",  "static write", "static read",
                                "device info", "reset",       "image verify", "blank check"};
// The blank check's range (erase by size from the start address), erased before the campaign's runs.
constexpr int kBlankAt = 0x1FE000;
constexpr int kBlankSize = 0x1000;

enum class Expect { Fail, Succeed };

struct Fault {
    const char* pName;
    const char* pIni;
};
const Fault kFaults[] = {
    {"unplug", "[faults]\nunplug_after_transfers=4\n"},
    {"stuck busy", "[faults]\nstuck_busy=true\n"},
    {"no flash", "[faults]\nno_flash=true\n"},
    {"mode stuck", "[faults]\nmode_stuck=true\n"},
    {"weak sectors", "[faults]\nweak_sectors=0,1000,1ff000\n"},
    {"dead sectors", "[faults]\ndead_sectors=0,1ff000\n"},
};

// What an operation must end in under a fault. The weak and dead sectors
// only touch programming; a stuck link mode matters only where the chip
// must leave mode 1.
Expect Expected(Op op, const QString& strFault)
{
    if (strFault == "unplug" || strFault == "no flash")
        return Expect::Fail;
    if (strFault == "stuck busy")
        return Expect::Fail;
    if (strFault == "mode stuck")
        return op == kDeviceInfo ? Expect::Fail : Expect::Succeed;  // the model needs mode 0
    if (strFault == "dead sectors")
        return (op == kImageWrite || op == kStaticWrite) ? Expect::Fail : Expect::Succeed;
    // Weak sectors: the image write repairs them. The static write has no
    // repair: its sectors are erased whole and the record programmed once,
    // so the read-back of a record on a weak sector fails the write.
    return op == kStaticWrite ? Expect::Fail : Expect::Succeed;
}
}  // namespace

class TestFaults : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_strFileAnswer;
    QString m_strNewLog;  // what the last Operate added to the window's log
    int m_nCases = 0;

    QString P(const QString& s) { return m_dir.filePath(s); }

    // Runs one operation from the window; true when it reported success.
    bool Operate(MainWindow& w, Op op, BenchFixture& bench)
    {
        w.Config()->Ctrl()->SetMsClock([&bench] { return bench.Stats().VirtualMs(); });
        auto* pTabs = w.findChild<QTabWidget*>("tabWidget");
        auto* pBase = w.findChild<BaseOp*>();
        auto* pStatic = w.findChild<StaticData*>();
        const QString strLogBefore = w.findChild<QTextEdit*>("teLog")->toPlainText();
        m_strNewLog.clear();
        const auto noteLog = [&] { m_strNewLog = w.findChild<QTextEdit*>("teLog")->toPlainText().mid(strLogBefore.size()); };
        if (op == kDeviceInfo) {
            w.Config()->findChild<QPushButton*>("pbRefreshInfo")->click();
            const bool bOk = !w.Config()->findChild<QLabel*>("lblFlashInfo")->text().isEmpty() &&
                             w.Config()->findChild<QLabel*>("lblMcu")->text() != "未知";
            return bOk;
        }
        if (op == kReset) {
            w.findChild<QAction*>("action_reset")->trigger();
            noteLog();
            return w.findChild<QTextEdit*>("teLog")->toPlainText().endsWith("复位成功!");
        }
        const bool bImageTab = op == kImageWrite || op == kImageRead || op == kImageVerify || op == kBlankCheck;
        TabWidgetInf* pTab = bImageTab ? static_cast<TabWidgetInf*>(pBase) : pStatic;
        pTabs->setCurrentWidget(pTab);
        QSignalSpy finished(pTab, &TabWidgetInf::finish);
        const bool bWrite = op == kImageWrite || op == kStaticWrite;
        if (op == kImageWrite || op == kImageVerify) {
            pBase->ShowDirectory(m_dir.path());
            QElapsedTimer timer;
            timer.start();
            while (!pBase->FileModel()->mapFileCheck.contains("fw.bin") && timer.elapsed() < 5000)
                QTest::qWait(10);
            pBase->FileModel()->setData(pBase->FileModel()->index(P("fw.bin")), Qt::Checked, Qt::CheckStateRole);
        }
        if (op == kImageRead) {
            pBase->findChild<QLineEdit*>("editReadBytes")->setText("8192");
            m_strFileAnswer = P("read.bin");
        }
        if (op == kBlankCheck) {
            pBase->findChild<QLineEdit*>("editStartAddr")->setText(QString::number(kBlankAt, 16));
            pBase->findChild<QComboBox*>("cmbDownOptions")->setCurrentIndex(kEraseBySize);
            pBase->findChild<QLineEdit*>("editEraseBytes")->setText(QString::number(kBlankSize));
        }
        const char* pAction = op == kImageVerify ? "action_verify"
                              : op == kBlankCheck ? "action_blank"
                              : bWrite            ? "action_write"
                                                  : "action_read";
        w.findChild<QAction*>(pAction)->trigger();
        if (finished.isEmpty())
            finished.wait(60000);
        [&] { QVERIFY2(!finished.isEmpty(), "the operation never finished"); }();
        if (finished.isEmpty())
            return false;
        QCoreApplication::processEvents();
        noteLog();
        return finished.last()[1].toBool();
    }

    void Prepare(MainWindow& w)
    {
        auto* pStatic = w.findChild<StaticData*>();
        m_strFileAnswer = P("layout.xlsx");
        QVERIFY(QMetaObject::invokeMethod(pStatic, "ImportXlsx"));
        QVERIFY(!pStatic->Xlsx()->Tables().isEmpty());
    }

private slots:
    void initTestCase()
    {
        QDir::setCurrent(m_dir.path());
        msgbox::SetHandler([](QMessageBox::Icon, const QString&, const QString&, QMessageBox::StandardButtons) {
            return QMessageBox::Yes;
        });
        msgbox::SetFileHandler([this](const QString&, const QString&) { return m_strFileAnswer; });
        QVERIFY(WriteFile(P("fw.bin"), RandomBytes(0x2000, 41)));
        QString strError;
        QVERIFY2(ExportTemplate(P("layout.xlsx"), strError), qPrintable(strError));
    }

    void campaign_data()
    {
        QTest::addColumn<int>("op");
        QTest::addColumn<QString>("fault");
        for (int op = kImageWrite; op <= kBlankCheck; ++op)
            for (const Fault& f : kFaults)
                QTest::newRow(qPrintable(QString("%1 / %2").arg(kOpNames[op], f.pName))) << op << QString(f.pName);
    }
    void campaign()
    {
        QFETCH(int, op);
        QFETCH(QString, fault);
        QString strIni;
        for (const Fault& f : kFaults)
            if (fault == f.pName)
                strIni = f.pIni;
        const QByteArray image = RandomBytes(0x2000, 41);
        {
            BenchFixture bench;
            QByteArray pattern = bench.FillPattern();
            bench.WriteFlash(pattern.replace(kBlankAt, kBlankSize, QByteArray(kBlankSize, char(0xFF))));
            MainWindow w(bench.BackendPtr());
            Prepare(w);
            if (op == kStaticRead)
                QVERIFY(Operate(w, kStaticWrite, bench));  // a record to find
            if (op == kImageVerify)
                QVERIFY(Operate(w, kImageWrite, bench));  // the image to compare with
            bench.SetIni(strIni);
            const bool bOk = Operate(w, Op(op), bench);
            ++m_nCases;
            QCOMPARE(bOk, Expected(Op(op), fault) == Expect::Succeed);
            for (const char* p : {"action_config", "action_read", "action_write", "action_reset"})
                QVERIFY(w.findChild<QAction*>(p)->isEnabled());
            QVERIFY(!w.Config()->Ctrl()->IsOpen());
            bench.Close();
            // Whatever the result, the flash outside the operation's range is kept.
            const QVector<FlashRange> written{{0, op == kImageWrite || op == kImageVerify ? image.size() : 0},
                                              {0x1FF000, op == kStaticWrite || op == kStaticRead ? 0x1000 : 0},
                                              {kBlankAt, kBlankSize}};
            XQ_VERIFY_FLASH_KEPT(bench, written);
            if (bOk && op == kBlankCheck)
                QCOMPARE(bench.Flash().mid(kBlankAt, kBlankSize), QByteArray(kBlankSize, char(0xFF)));
            if (bOk && (op == kImageWrite || op == kImageRead || op == kImageVerify)) {
                // A reported success is a good chip, or a file of what the chip holds.
                if (op != kImageRead) {
                    QCOMPARE(bench.Flash().left(image.size()), image);
                } else {
                    QCOMPARE(Slurp(P("read.bin")), bench.Flash().left(8192));
                }
            } else if (!bOk && op != kDeviceInfo) {
                // A failure is never silent (the dialog shows its own).
                QVERIFY2(!m_strNewLog.trimmed().isEmpty(), "a failed operation logged nothing");
            }
            // The same window on a healthy bench: the next operation succeeds.
            bench.SetIni("[faults]\n");
            QVERIFY(Operate(w, Op(op), bench));
        }
    }

    // Erase-only runs at an unaligned start, the adapter going away after
    // every possible transfer: a reported success is an erased range, never
    // a dropped error, and the flash outside the range keeps its pattern.
    void eraseOnlyUnplugSweep()
    {
        const int32_t nFrom = 0x11000, nLength = 0x3000;  // the whole sectors of 0x2000 bytes at 0x11800
        QString strLog;
        auto erase = [&strLog](SpiFlashCtrl& ctrl) {
            BaseWorker worker;
            worker.pSpiCtrl = &ctrl;
            ImageWriteRequest request;
            request.nStart = 0x11800;
            request.nEraseBytes = 0x2000;
            bool bOk = false;
            strLog.clear();
            QObject::connect(&worker, &BaseWorker::log, [&strLog](const QString& s) { strLog += s + '\n'; });
            QObject::connect(&worker, &BaseWorker::finish, [&bOk](int, bool b) { bOk = b; });
            worker.OnWrite(request);
            return bOk;
        };
        const QString strChip = "[chip]\nmodel=XQ6130\n[flash]\njedec=EF4012\n";  // 256 KiB: a quick sweep
        int64_t nTransfers = 0;
        {
            BenchFixture healthy(strChip);
            healthy.FillPattern(0x40000);  // the bytes put back cost programs
            QCOMPARE(healthy.Open(9), 0);
            QVERIFY(erase(healthy.Ctrl()));
            healthy.Close();
            nTransfers = healthy.Stats().nUsbTransfers + 3;  // the sweep counts from the session's start
        }
        int nSucceeded = 0, nFailed = 0;
        for (int64_t n = 1; n <= nTransfers + 1; ++n) {
            BenchFixture bench(strChip + QString("[faults]\nunplug_after_transfers=%1\n").arg(n));
            bench.FillPattern(0x40000);
            const bool bOk = bench.Open(9) == 0 && erase(bench.Ctrl());
            bench.Close();
            ++m_nCases;
            bOk ? ++nSucceeded : ++nFailed;
            if (bOk)
                QVERIFY2(bench.Flash().mid(nFrom, nLength) == QByteArray(nLength, char(0xFF)), qPrintable(QString::number(n)));
            // Outside the range only what the log names as not put back may differ.
            QVector<FlashRange> allowed = NamedLosses(strLog);
            QVERIFY(!bOk || allowed.isEmpty());
            allowed.push_back({nFrom, nLength});
            XQ_VERIFY_FLASH_KEPT(bench, allowed);
        }
        QVERIFY(nSucceeded >= 1 && nFailed >= 1);
    }

    void unplugSweep()
    {
        const QByteArray image = RandomBytes(0x1800, 42);
        // One image write with serial number 77; true when it reported success.
        // nNextSerial: the serial number the next write would use.
        auto write = [&image](SpiFlashCtrl& ctrl, uint32_t& nNextSerial) {
            BaseWorker worker;
            worker.pSpiCtrl = &ctrl;
            ImageWriteRequest request;
            request.bSerial = true;
            request.nSerial = 77;
            request.image = image;
            request.nEraseBytes = image.size();
            bool bOk = false;
            QObject::connect(&worker, &BaseWorker::finish, [&bOk](int, bool b) { bOk = b; });
            nNextSerial = request.nSerial;
            QObject::connect(&worker, &BaseWorker::seqId, [&nNextSerial](uint n) { nNextSerial = n; });
            worker.OnWrite(request);
            return bOk;
        };
        const QString strFlash = "[flash]\njedec=EF4012\n";  // 256 KiB: a quick sweep
        int64_t nTransfers = 0;
        {
            BenchFixture healthy(strFlash);
            QCOMPARE(healthy.Open(9), xq::kOk);
            const int64_t nStart = healthy.Stats().nUsbTransfers;
            uint32_t nNext = 0;
            QVERIFY(write(healthy.Ctrl(), nNext));
            QCOMPARE(nNext, 78u);
            healthy.Close();
            nTransfers = healthy.Stats().nUsbTransfers - nStart + 3;  // and the three of opening
        }
        int nSucceeded = 0;
        for (int64_t n = 1; n <= nTransfers + 1; ++n) {
            BenchFixture bench(strFlash + QString("[faults]\nunplug_after_transfers=%1\n").arg(n));
            bench.FillPattern(0x40000);
            uint32_t nNext = 77;
            const bool bOk = bench.Open(9) == 0 && write(bench.Ctrl(), nNext);
            bench.Close();
            XQ_VERIFY_FLASH_KEPT(bench, {{0, 0x2000}});
            ++m_nCases;
            if (bOk) {
                ++nSucceeded;
                QCOMPARE(bench.Flash().left(image.size()), image);
                QCOMPARE(bench.Security().mid(28, 4), QByteArray::fromHex("0000004d"));
                QCOMPARE(nNext, 78u);
            } else {
                // A failed write uses up its serial number only when the chip carries it (the
                // closing reset failed after the stamp was confirmed).
                QVERIFY(nNext == 77u || nNext == 78u);
                if (nNext == 78u)
                    QCOMPARE(bench.Security().mid(28, 4), QByteArray::fromHex("0000004d"));
            }
        }
        qInfo("unplug sweep: %lld transfer counts, %d complete writes", (long long)(nTransfers + 1), nSucceeded);
        QVERIFY(nSucceeded >= 1);  // unplugging after the last transfer leaves a good chip
    }

    void cleanupTestCase() { qInfo("fault cases run: %d", m_nCases); }
};

QTEST_MAIN(TestFaults)
#include "test_faults.moc"
