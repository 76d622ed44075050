// The image tab, its browser and its worker, headless on the simulated bench.
#include "benchfixture.h"
#include "testfiles.h"

#include <baseop.h>
#include <baseworker.h>
#include <filesortproxymodel.h>
#include <filesysmodel.h>
#include <messagebox.h>
#include <xqchip.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <flashrules.h>

#include <QtTest>

#include <atomic>

#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace {

struct Run {
    QStringList logs;
    QList<int> progress;
    QStringList events;  // log lines and "%N" for progress, in the order they came
    bool bStarted = false;
    ImageWriteRequest write;  // the request a write handed to the worker
    int nOpt = -1;
    bool bState = false;
    bool Has(const QString& s) const { return logs.contains(s); }
};
}  // namespace

class TestImage : public QObject {
    Q_OBJECT

    QTemporaryDir m_cwd;
    QTemporaryDir m_files;
    QStringList m_boxes;
    QMessageBox::StandardButton m_answer = QMessageBox::Yes;
    QString m_saveAnswer;
    QString m_offered;  // the name the last file dialog offered

    // Runs the tab's write (or read) to its end.
    Run Operate(BaseOp& tab, bool bWrite)
    {
        Run run;
        QSignalSpy writes(&tab, &BaseOp::startImageWrite);
        QSignalSpy reads(&tab, &BaseOp::startImageRead);
        QSignalSpy finished(&tab, &BaseOp::finish);
        auto c1 = connect(&tab, &BaseOp::log, [&](const QString& s) { run.logs << s; run.events << s; });
        auto c2 = connect(&tab, &BaseOp::progress, [&](int p) { run.progress << p; run.events << QString("%%1").arg(p); });
        if (bWrite)
            tab.Write();
        else
            tab.Read();
        run.bStarted = (bWrite ? writes.count() : reads.count()) == 1 && writes.count() + reads.count() == 1;
        if (bWrite && run.bStarted)
            run.write = writes[0][0].value<ImageWriteRequest>();
        if (finished.isEmpty())
            finished.wait(60000);
        QCoreApplication::processEvents();
        disconnect(c1);
        disconnect(c2);
        if (!finished.isEmpty()) {
            run.nOpt = finished[0][0].toInt();
            run.bState = finished[0][1].toBool();
        }
        return run;
    }

    // Shows the files' directory and checks one file in the browser.
    void Check(BaseOp& tab, const QString& strPath)
    {
        const QFileInfo info(strPath);
        tab.ShowDirectory(info.absolutePath());
        FileSysModel* pModel = tab.FileModel();
        QTRY_VERIFY(pModel->mapFileCheck.contains(info.fileName()));
        QVERIFY(pModel->setData(pModel->index(strPath), Qt::Checked, Qt::CheckStateRole));
        QCOMPARE(pModel->strCheckedPath, info.absoluteFilePath());
    }

    template <typename T>
    T* Child(BaseOp& tab, const char* pName)
    {
        return tab.findChild<T*>(pName);
    }

    void SetupTab(BaseOp& tab, BenchFixture& bench)
    {
        tab.SetFlashCtrl(&bench.Ctrl());
        QCOMPARE(bench.Open(9), xq::kOk);
    }

private slots:
    void initTestCase()
    {
        QDir::setCurrent(m_cwd.path());
        msgbox::SetHandler([this](QMessageBox::Icon, const QString&, const QString& s, QMessageBox::StandardButtons) {
            m_boxes << s;
            return m_answer;
        });
        msgbox::SetFileHandler([this](const QString&, const QString& strOffer) {
            m_offered = strOffer;
            return m_saveAnswer;
        });
    }
    void init()
    {
        m_boxes.clear();
        m_answer = QMessageBox::Yes;
    }

    void writeByFileSizeAtZeroAndUnaligned_data()
    {
        QTest::addColumn<QString>("start");
        QTest::newRow("at 0") << "0";
        QTest::newRow("at 0x800") << "800";
    }
    void writeByFileSizeAtZeroAndUnaligned()
    {
        QFETCH(QString, start);
        BenchFixture bench;
        bench.FillPattern();  // nothing erased yet
        BaseOp tab;
        SetupTab(tab, bench);
        const QByteArray image = RandomBytes(0x11000, 11);
        const QString strImage = m_files.filePath("fw.bin");
        QVERIFY(WriteFile(strImage, image));
        Check(tab, strImage);
        Child<QLineEdit>(tab, "editStartAddr")->setText(start);
        const Run run = Operate(tab, true);
        QVERIFY(run.bStarted);
        QVERIFY2(run.bState, qPrintable(run.logs.join('\n')));
        QCOMPARE(run.logs.first(), QString("准备烧写%1文件").arg(QFileInfo(strImage).absoluteFilePath()));
        QStringList expected{"执行复位 成功!", "正在擦除", "擦除完成", "正在烧写镜像...", "烧写成功", "正在校验...", "校验成功",
                             "执行复位 成功!"};
        QCOMPARE(run.logs.mid(1), expected);
        QCOMPARE(run.progress.first(), 1);
        QCOMPARE(run.progress.last(), 100);
        QVERIFY(run.progress.contains(25) && run.progress.contains(89));
        // A signal only where the percentage changes (the steps report every page).
        QVERIFY(std::adjacent_find(run.progress.begin(), run.progress.end()) == run.progress.end());
        QVERIFY(run.progress.size() <= 101);
        bench.Close();
        const int nStart = start.toInt(nullptr, 16);
        QCOMPARE(bench.Flash().mid(nStart, image.size()), image);
        // The erase takes exactly the image's bytes: the rest of its first
        // and last sector is put back.
        XQ_VERIFY_FLASH_KEPT(bench, {{xq::SectorBase(nStart), int(xq::SectorCeil(int64_t(nStart) + image.size()) - xq::SectorBase(nStart))}});
    }

    void wholeChipEraseWithAndWithoutImage()
    {
        BenchFixture bench;
        bench.WriteFlash(QByteArray(2 * 1024 * 1024, 0x11));
        BaseOp tab;
        SetupTab(tab, bench);
        Child<QComboBox>(tab, "cmbDownOptions")->setCurrentIndex(kEraseWhole);
        // Without an image: the question, answered No, touches nothing.
        tab.ShowDirectory(m_files.path());
        m_answer = QMessageBox::No;
        Run run = Operate(tab, true);
        QVERIFY(!run.bStarted);
        QCOMPARE(m_boxes, QStringList{"当前未选择文件\n确定仅擦除FLAHS？"});
        QCOMPARE(run.nOpt, OptOf(OperationKind::kWrite));
        QVERIFY(run.bState);
        // Answered Yes: an erase-only run, progress over the erase, no protection.
        m_answer = QMessageBox::Yes;
        run = Operate(tab, true);
        QVERIFY(run.bStarted && run.bState);
        QCOMPARE(run.write.nEraseBytes, xq::kWholeChip);
        QVERIFY(!run.Has("正在烧写镜像..."));
        // 100 when the erase is done; the blank check after it leaves the bar alone.
        const int nDone = run.events.indexOf("擦除完成");
        QVERIFY2(nDone >= 0 && run.events.value(nDone + 1) == "%100", qPrintable(run.events.join(' ')));
        QCOMPARE(run.progress.count(100), 1);
        QCOMPARE(run.events.mid(nDone + 2), (QStringList{"正在检查擦除结果...", "擦除检查成功", "执行复位 成功!"}));
        bench.Close();
        QCOMPARE(bench.Flash(), QByteArray(2 * 1024 * 1024, char(0xFF)));

        bench.Open(9);
        const QByteArray image = RandomBytes(5000, 12);
        QVERIFY(WriteFile(m_files.filePath("whole.bin"), image));
        Check(tab, m_files.filePath("whole.bin"));
        run = Operate(tab, true);
        QVERIFY(run.bState);
        bench.Close();
        QCOMPARE(bench.Flash().left(5000), image);
    }

    void eraseBySizeAndItsRefusals()
    {
        BenchFixture bench;
        bench.FillPattern();
        BaseOp tab;
        SetupTab(tab, bench);
        const QByteArray five = RandomBytes(5000, 13);
        QVERIFY(WriteFile(m_files.filePath("five.bin"), five));
        Check(tab, m_files.filePath("five.bin"));
        Child<QComboBox>(tab, "cmbDownOptions")->setCurrentIndex(kEraseBySize);
        Child<QLineEdit>(tab, "editEraseBytes")->setText("4096");
        Run run = Operate(tab, true);
        QVERIFY(!run.bStarted && run.bState);
        QCOMPARE(m_boxes, QStringList{"请输入正确擦除大小"});
        Child<QLineEdit>(tab, "editEraseBytes")->setText("0");
        QVERIFY(!Operate(tab, true).bStarted);
        // Text the validator only holds as intermediate input is refused too.
        Child<QLineEdit>(tab, "editEraseBytes")->setText("9999999");
        QVERIFY(!Operate(tab, true).bStarted);
        QCOMPARE(m_boxes.last(), QString("请输入正确擦除大小"));
        Child<QLineEdit>(tab, "editEraseBytes")->setText("05000");  // exactly the image's size, in decimal
        Child<QLineEdit>(tab, "editStartAddr")->setText("");
        QVERIFY(!Operate(tab, true).bStarted);
        QCOMPARE(m_boxes.last(), QString("请正确填写起始地址"));
        Child<QLineEdit>(tab, "editStartAddr")->setText("0");
        run = Operate(tab, true);
        QVERIFY(run.bStarted && run.bState);
        QCOMPARE(run.write.nEraseBytes, 5000);  // exactly the image's bytes erased
        bench.Close();
        QCOMPARE(bench.Flash().left(5000), five);
        XQ_VERIFY_FLASH_KEPT(bench, {{0, 8192}});  // the refused requests touched nothing
    }

    void noFileCheckedIsRefused()
    {
        BenchFixture bench;
        BaseOp tab;
        SetupTab(tab, bench);
        const QString strGone = m_files.filePath("gone.bin");
        QVERIFY(WriteFile(strGone, "abc"));
        Check(tab, strGone);
        QFile::remove(strGone);  // checked, then deleted: refused before the chip is touched
        const int64_t nTransfers = bench.Stats().nUsbTransfers;
        const Run run = Operate(tab, true);
        QVERIFY(!run.bStarted);
        QCOMPARE(m_boxes, QStringList{"请选择一个文件进行烧写"});
        QCOMPARE(run.nOpt, OptOf(OperationKind::kWrite));
        QVERIFY(run.bState);
        QCOMPARE(bench.Stats().nUsbTransfers, nTransfers);
    }

    void encryptedImage()
    {
        BenchFixture bench;
        bench.FillPattern();
        BaseOp tab;
        SetupTab(tab, bench);
        QByteArray image = RandomBytes(0x3001, 14);
        image[0x2FB0] = 2;
        QVERIFY(WriteFile(m_files.filePath("enc.bin"), image));
        Check(tab, m_files.filePath("enc.bin"));
        const Run run = Operate(tab, true);
        QVERIFY2(run.bState, qPrintable(run.logs.join('\n')));
        QVERIFY(run.Has("正在加密烧写镜像..."));
        QVERIFY(!run.Has("正在校验..."));
        QVERIFY(run.progress.contains(99));
        QVERIFY(BaseWorker::IsEncryptedImage(reinterpret_cast<const uint8_t*>(image.constData()), 0x3001));
        QVERIFY(!BaseWorker::IsEncryptedImage(reinterpret_cast<const uint8_t*>(image.constData()), 0x3000));
        bench.Close();
        XQ_VERIFY_FLASH_KEPT(bench, {{0, 0x4000}});
    }

    // An encrypted write is proven by reading the whole range back in the
    // plain link mode: the plain parts must hold the image, the encrypted
    // parts the image combined with the chip's key, whatever the image bytes
    // over a bad sector are; a link mode that does not change fails it.
    void encryptedImagesAreCheckedWhole_data()
    {
        QTest::addColumn<QString>("strIni");
        QTest::addColumn<int>("nStart");
        QTest::addColumn<int>("nSize");
        QTest::addColumn<int>("nPadding");  // the image bytes over 0x4000..0x4FFF; -1 random
        QTest::addColumn<bool>("bSecondRegion");
        QTest::addColumn<bool>("bOk");
        QTest::newRow("healthy") << "" << 0 << 0x5000 << -1 << false << true;
        QTest::newRow("mode stuck") << "[faults]\nmode_stuck=true\n" << 0 << 0x5000 << -1 << false << false;
        QTest::newRow("dead sector, FF padding") << "[faults]\ndead_sectors=4000\n" << 0 << 0x5000 << 0xFF << false << false;
        QTest::newRow("dead sector, 00 padding") << "[faults]\ndead_sectors=4000\n" << 0 << 0x5000 << 0x00 << false << false;
        QTest::newRow("dead sector in the plain head") << "[faults]\ndead_sectors=1000\n" << 0 << 0x5000 << -1 << false << false;
        QTest::newRow("weak sector, FF padding") << "[faults]\nweak_sectors=4000\n" << 0 << 0x5000 << 0xFF << false << false;
        // The shortest key page that is still checked: the last 16 bytes, in
        // a page of their own, keep their erased FF through the zero pass, and
        // 00 image bytes over them would read back as if encrypted.
        QTest::newRow("last 16 key bytes stuck erased")
            << "[faults]\nstuck_bytes=4000,4001,4002,4003,4004,4005,4006,4007,4008,4009,400a,400b,400c,400d,400e,400f\n"
            << 0 << 0x4010 << 0x00 << false << false;
        QTest::newRow("start 0x800") << "" << 0x800 << 0x5000 << -1 << false << true;
        QTest::newRow("start 0x880, odd size") << "" << 0x880 << 0x5123 << -1 << false << true;
        QTest::newRow("second region at 0x1000") << "" << 0x1000 << 0xB000 << -1 << true << true;
    }
    void encryptedImagesAreCheckedWhole()
    {
        QFETCH(QString, strIni);
        QFETCH(int, nStart);
        QFETCH(int, nSize);
        QFETCH(int, nPadding);
        QFETCH(bool, bSecondRegion);
        QFETCH(bool, bOk);
        BenchFixture bench(strIni);
        bench.FillPattern();
        BaseOp tab;
        SetupTab(tab, bench);
        QByteArray image = RandomBytes(nSize, 23);
        image[0x2FB0] = 2;
        const int nPadded = qMin(0x1000, nSize - 0x4000);
        if (nPadding >= 0)
            image.replace(0x4000, nPadded, QByteArray(nPadded, char(nPadding)));
        const int nSecond = bSecondRegion ? 0x7000 : 0;
        if (bSecondRegion)
            image.replace(0, 4, QByteArray::fromHex("6f700000"));
        QTemporaryDir dir;
        QVERIFY(WriteFile(dir.filePath("enc.bin"), image));
        Check(tab, dir.filePath("enc.bin"));
        Child<QLineEdit>(tab, "editStartAddr")->setText(QString::number(nStart, 16));
        const Run run = Operate(tab, true);
        QVERIFY(run.Has("正在加密烧写镜像..."));
        QVERIFY2(run.bState == bOk, qPrintable(run.logs.join('\n')));
        QVERIFY(run.Has(bOk ? "烧写成功" : "烧写失败"));
        bench.Close();
        XQ_VERIFY_FLASH_KEPT(bench, {{xq::SectorBase(nStart), int(xq::SectorCeil(int64_t(nStart) + nSize) - xq::SectorBase(nStart))}});  // whole sectors erased
        if (!bOk)
            return;
        const sim::XqChip chip(sim::ChipModel::XQ6230, nullptr);
        const QByteArray flash = bench.Flash();
        for (int i = 0; i < nSize; ++i) {
            const bool bPlain = i < 0x3000 || (nSecond && i >= nSecond + 0x2FB0 && i < nSecond + 0x3000);
            const uint8_t nExpected = uint8_t(image[i]) ^ (bPlain ? 0 : chip.KeyByte(uint32_t(nStart + i)));
            QVERIFY2(uint8_t(flash[nStart + i]) == nExpected, qPrintable(QString("image byte 0x%1").arg(i, 0, 16)));
        }
    }

    // A dead sector inside the encrypted part: the read-back check fails the
    // run with its own code and line, and nothing reports success.
    void encryptedImageOnABadFlash()
    {
        BenchFixture bench("[faults]\ndead_sectors=4000\n");
        bench.FillPattern();
        BaseOp tab;
        SetupTab(tab, bench);
        QByteArray image = RandomBytes(0x6000, 21);
        image[0x2FB0] = 2;
        QVERIFY(WriteFile(m_files.filePath("enc-bad.bin"), image));
        Check(tab, m_files.filePath("enc-bad.bin"));
        const Run run = Operate(tab, true);
        QVERIFY(run.bStarted && !run.bState);
        QCOMPARE(run.logs.mid(run.logs.size() - 2), (QStringList{"烧写失败", "SPI 异常"}));
        bench.Close();
        XQ_VERIFY_FLASH_KEPT(bench, {{0, 0x6000}});
    }

    // The image that exactly fills the flash from its start address is
    // written; one byte more is refused before anything is erased.
    void imageSizeLimitBothSides_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<int>("size");
        QTest::addColumn<bool>("fits");
        QTest::newRow("whole flash") << "0" << 0x80000 << true;
        QTest::newRow("one byte more") << "0" << 0x80001 << false;
        QTest::newRow("to the end from 0x7F000") << "7F000" << 0x1000 << true;
        QTest::newRow("one past the end from 0x7F000") << "7F000" << 0x1001 << false;
    }
    void imageSizeLimitBothSides()
    {
        QFETCH(QString, start);
        QFETCH(int, size);
        QFETCH(bool, fits);
        BenchFixture bench("[chip]\nmodel=XQ6130\n[flash]\njedec=EF4013\n");  // 512 KiB
        const QByteArray pattern = bench.FillPattern(0x80000);
        BaseOp tab;
        SetupTab(tab, bench);
        const QByteArray image = RandomBytes(size, 22);
        QVERIFY(WriteFile(m_files.filePath("limit.bin"), image));
        Check(tab, m_files.filePath("limit.bin"));
        Child<QLineEdit>(tab, "editStartAddr")->setText(start);
        const Run run = Operate(tab, true);
        QCOMPARE(run.bState, fits);
        QCOMPARE(!run.logs.filter("操作范围超出Flash容量").isEmpty(), !fits);
        bench.Close();
        const int nStart = start.toInt(nullptr, 16);
        if (fits) {
            QCOMPARE(bench.Flash().mid(nStart), image);
            XQ_VERIFY_FLASH_KEPT(bench, {{nStart, size}});
        } else {
            XQ_VERIFY_FLASH_KEPT(bench, {});
        }
    }

    // The tab takes an image of the family's largest flash size and refuses
    // one byte more before anything starts (the worker then compares with
    // the flash it finds).
    void tabImageSizeLimit()
    {
        BenchFixture bench("[chip]\nmodel=XQ6130\n[flash]\njedec=EF4013\n");
        bench.FillPattern(0x80000);
        BaseOp tab;
        SetupTab(tab, bench);
        QVERIFY(WriteFile(m_files.filePath("max.bin"), QByteArray(0x200000, char(0x5A))));
        Check(tab, m_files.filePath("max.bin"));
        Run run = Operate(tab, true);
        QVERIFY(run.bStarted && !run.bState);  // taken; too big for this 512 KiB flash
        QCOMPARE(m_boxes.size(), 1);  // the worker's refusal of the range
        QVERIFY(m_boxes.takeFirst().startsWith("操作范围超出Flash容量"));
        QVERIFY(WriteFile(m_files.filePath("over.bin"), QByteArray(0x200001, char(0x5A))));
        Check(tab, m_files.filePath("over.bin"));
        run = Operate(tab, true);
        QVERIFY(!run.bStarted);
        QCOMPARE(m_boxes, QStringList{"烧写文件大小大于Flash容量"});
        bench.Close();
        XQ_VERIFY_FLASH_KEPT(bench, {});
    }

    // A stopped write leaves nothing behind in its worker: the next write,
    // stopped before it changes anything, says "芯片未被改动".
    void secondWriteAfterAStoppedOne()
    {
        BenchFixture bench;
        bench.FillPattern();
        QCOMPARE(bench.Open(9), 0);
        std::atomic<bool> stop{false};
        bench.Ctrl().SetStopFlag(&stop);
        BaseWorker worker;
        worker.pSpiCtrl = &bench.Ctrl();
        QStringList logs;
        QString strStopAt;
        QObject::connect(&worker, &BaseWorker::log, [&](const QString& s) {
            logs << s;
            if (s == strStopAt)
                stop = true;
        });
        ImageWriteRequest request;
        request.image = RandomBytes(0x3000, 77);
        request.nEraseBytes = request.image.size();
        strStopAt = "正在烧写镜像...";  // erased, nothing programmed yet
        worker.OnWrite(request);
        QVERIFY2(logs.contains("已停止，芯片上的数据不完整，请重新烧写"), qPrintable(logs.join('\n')));
        bench.Close();
        const QByteArray after = bench.Flash();
        XQ_VERIFY_FLASH_KEPT(bench, {{0, 0x3000}});

        // The protection is on again; the smart write stops at its first flash command.
        bench.SetIni("[flash]\nstatus1=9C\n");
        QCOMPARE(bench.Open(9), 0);
        stop = false;
        logs.clear();
        request.bSmart = true;
        strStopAt = "正在智能烧写...";
        worker.OnWrite(request);
        QVERIFY2(logs.contains("已停止，芯片未被改动") && !logs.contains("已停止，芯片上的数据不完整，请重新烧写"),
                 qPrintable(logs.join('\n')));
        bench.Close();
        QCOMPARE(bench.Flash(), after);
    }

    // The adapter lost at each transfer around the protection step:
    // "FLASH已写保护" and success only when the status register holds it.
    void protectionLostAtEachTransfer()
    {
        const QByteArray image = RandomBytes(0x1000, 24);
        int64_t nProtectFrom = -1;
        int64_t nProtectTo = -1;
        auto write = [&](BenchFixture& bench, int64_t nOpenedAt, QStringList& logs) {
            BaseWorker worker;
            worker.pSpiCtrl = &bench.Ctrl();
            ImageWriteRequest request;
            request.bProtect = true;
            request.image = image;
            request.nEraseBytes = image.size();
            bool bOk = false;
            QObject::connect(&worker, &BaseWorker::finish, [&bOk](int, bool b) { bOk = b; });
            QObject::connect(&worker, &BaseWorker::log, [&](const QString& s) {
                logs << s;
                // Transfers counted as the unplug fault counts them: the three of opening first.
                const int64_t n = bench.Stats().nUsbTransfers - nOpenedAt + 3;
                if (s == "校验成功")
                    nProtectFrom = n;
                else if (s == "FLASH已写保护")
                    nProtectTo = n;
            });
            worker.OnWrite(request);
            return bOk;
        };
        {
            BenchFixture healthy;
            QCOMPARE(healthy.Open(9), 0);
            QStringList logs;
            QVERIFY(write(healthy, healthy.Stats().nUsbTransfers, logs));
        }
        QVERIFY(nProtectFrom > 0 && nProtectTo > nProtectFrom);
        const int64_t nFrom = nProtectFrom, nTo = nProtectTo;
        int nProtected = 0;
        for (int64_t n = nFrom - 1; n <= nTo + 1; ++n) {
            BenchFixture bench(QString("[faults]\nunplug_after_transfers=%1\n").arg(n));
            bench.FillPattern();
            QStringList logs;
            QCOMPARE(bench.Open(9), 0);
            const bool bOk = write(bench, bench.Stats().nUsbTransfers, logs);
            bench.Close();
            XQ_VERIFY_FLASH_KEPT(bench, {{0, image.size()}});
            const QString strStatus =
                QSettings(bench.Dir() + "/bench.ini", QSettings::IniFormat).value("flash/status1").toString();
            const QString strWhat = QString("unplugged after %1: %2 / %3").arg(n).arg(strStatus, logs.join(' '));
            if (logs.contains("FLASH已写保护")) {
                ++nProtected;
                QVERIFY2(strStatus == "9C", qPrintable(strWhat));
            }
            QVERIFY2(!bOk || logs.contains("FLASH已写保护"), qPrintable(strWhat));
        }
        QVERIFY(nProtected > 0);
    }

    void verifyRepairAndDeadSector()
    {
        BenchFixture weak("[faults]\nweak_sectors=1000\n");
        weak.FillPattern();
        BaseOp tab;
        SetupTab(tab, weak);
        const QByteArray image = RandomBytes(0x3000, 15);
        QVERIFY(WriteFile(m_files.filePath("weak.bin"), image));
        Check(tab, m_files.filePath("weak.bin"));
        Run run = Operate(tab, true);
        QVERIFY(run.bState);
        QVERIFY(run.Has("校验成功"));
        weak.Close();
        QCOMPARE(weak.Flash().left(0x3000), image);
        XQ_VERIFY_FLASH_KEPT(weak, {{0, 0x3000}});  // the repair stays inside the image

        BenchFixture dead("[faults]\ndead_sectors=2000\n");
        dead.FillPattern();
        tab.SetFlashCtrl(&dead.Ctrl());
        QCOMPARE(dead.Open(9), xq::kOk);
        Check(tab, m_files.filePath("weak.bin"));
        run = Operate(tab, true);
        QVERIFY(!run.bState);
        QCOMPARE(run.nOpt, OptOf(OperationKind::kWrite));
        QCOMPARE(run.logs.mid(run.logs.size() - 2), (QStringList{"校验失败，请重新烧写", "校验失败"}));
        QCOMPARE(run.logs.count("执行复位 成功!"), 1);  // no final reset
        dead.Close();
        XQ_VERIFY_FLASH_KEPT(dead, {{0, 0x3000}});
    }

    void protectionAndSerialNumber()
    {
        BenchFixture bench;
        bench.FillPattern();
        BaseOp tab;
        SetupTab(tab, bench);
        {
            QSettings ini("XqProgrammer.ini", QSettings::IniFormat);
            ini.setValue("BaseOp/protect", true);
            ini.setValue("BaseOp/protect_show", true);
            ini.setValue("BaseOp/chk_seq", true);
            ini.setValue("BaseOp/seq_id", "00000009");
            ini.setValue("BaseOp/path", m_files.path());
        }
        tab.LoadSettings();
        QVERIFY(Child<QCheckBox>(tab, "chkProtect")->isChecked());
        const QByteArray image = RandomBytes(0x1000, 16);
        QVERIFY(WriteFile(m_files.filePath("p.bin"), image));
        Check(tab, m_files.filePath("p.bin"));
        Run run = Operate(tab, true);
        QVERIFY2(run.bState, qPrintable(run.logs.join('\n')));
        QVERIFY(run.Has("FLASH已写保护"));
        QVERIFY(run.Has("写入序列号: DEC: 00000009 HEX: 0X00000009"));
        QCOMPARE(Child<QLineEdit>(tab, "editSeq")->text(), QString("00000010"));
        Child<QPushButton>(tab, "pbTransform")->setChecked(true);
        QCOMPARE(Child<QLineEdit>(tab, "editSeq")->text(), QString("0x0000000A"));
        QCOMPARE(tab.GetSeqId(), 10u);
        bench.Close();
        QByteArray record(12, 0);
        record.append(QByteArray::fromHex("00000009"));
        QCOMPARE(bench.Security().mid(16, 16), record);
        QCOMPARE(QSettings(bench.Dir() + "/bench.ini", QSettings::IniFormat).value("flash/status1").toString(),
                 QString("9C"));
        QCOMPARE(bench.Flash().left(0x1000), image);
        XQ_VERIFY_FLASH_KEPT(bench, {{0, 0x1000}});  // protection and serial number touch nothing else
        // A protected flash cannot be programmed directly, but the next write
        // clears the protection before it erases and so still succeeds.
        QCOMPARE(bench.Open(9), xq::kOk);
        const QByteArray other = RandomBytes(256, 99);
        QCOMPARE(bench.Ctrl().EraseFlash(0, 4096), xq::kOk);
        QCOMPARE(bench.Ctrl().ProgramFlash(0, reinterpret_cast<const uint8_t*>(other.constData()), 256, false), xq::kOk);
        QCOMPARE(bench.Ctrl().VerifyFlash(reinterpret_cast<const uint8_t*>(other.constData()), 256, 0), xq::kErrRepairFailed);
        Check(tab, m_files.filePath("p.bin"));  // a reload of the directory drops the mark
        run = Operate(tab, true);
        QVERIFY(run.bState);
        QVERIFY2(run.Has("写入序列号: DEC: 00000010 HEX: 0X0000000A"), qPrintable(run.logs.join(QChar(10))));
        bench.Close();
        XQ_VERIFY_FLASH_KEPT(bench, {{0, 0x1000}});

        // A flash whose status register is locked (SRP1) takes the image but
        // not the protection: the status read back fails the write.
        BenchFixture locked("[flash]\nstatus2=01\n");
        locked.FillPattern();
        SetupTab(tab, locked);
        Check(tab, m_files.filePath("p.bin"));
        run = Operate(tab, true);
        QVERIFY(!run.bState);
        QVERIFY(run.Has("FLASH写保护设置失败") && !run.Has("FLASH已写保护"));
        QVERIFY(!run.Has("写入序列号: DEC: 00000011 HEX: 0X0000000B"));
        locked.Close();
        XQ_VERIFY_FLASH_KEPT(locked, {{0, 0x1000}});
    }

    void flashSizeChecks()
    {
        BenchFixture small("[chip]\nmodel=XQ6130\n[flash]\njedec=EF4013\n");
        BaseOp tab;
        SetupTab(tab, small);
        QVERIFY(WriteFile(m_files.filePath("big.bin"), RandomBytes(600 * 1024, 17)));
        Check(tab, m_files.filePath("big.bin"));
        Run run = Operate(tab, true);
        QVERIFY(!run.bState);
        QCOMPARE(run.logs.last(), QString("操作范围超出Flash容量: 0x000000 ~ 0x096000 (614400 字节), Flash容量 524288 字节"));
        QVERIFY(!run.Has("正在擦除"));
        small.Close();
        QCOMPARE(small.Flash(), QByteArray(512 * 1024, char(0xFF)));

        // An image that fits the flash but not from its start address.
        BenchFixture bench;
        bench.FillPattern();
        tab.SetFlashCtrl(&bench.Ctrl());
        QCOMPARE(bench.Open(9), xq::kOk);
        Child<QLineEdit>(tab, "editStartAddr")->setText("1F0000");
        QVERIFY(WriteFile(m_files.filePath("tail.bin"), RandomBytes(0x11000, 18)));
        Check(tab, m_files.filePath("tail.bin"));
        run = Operate(tab, true);
        QVERIFY(!run.bState);
        QVERIFY(run.logs.last().startsWith("操作范围超出Flash容量: 0x1F0000 ~ 0x201000"));
        bench.Close();
        XQ_VERIFY_FLASH_KEPT(bench, {});

        BenchFixture unknown("[flash]\njedec=EF4016\n");  // 4 MiB: outside the family's sizes
        unknown.FillPattern(4 * 1024 * 1024);
        tab.SetFlashCtrl(&unknown.Ctrl());
        QCOMPARE(unknown.Open(9), xq::kOk);
        Child<QLineEdit>(tab, "editStartAddr")->setText("0");
        QVERIFY(WriteFile(m_files.filePath("small.bin"), RandomBytes(0x1000, 19)));
        Check(tab, m_files.filePath("small.bin"));
        run = Operate(tab, true);
        QVERIFY(run.Has("Flash 信息读取失败"));
        QVERIFY(run.bState);
        // An erase alone on that flash goes on too, and is checked blank.
        QVERIFY(tab.FileModel()->setData(tab.FileModel()->index(m_files.filePath("small.bin")), Qt::Unchecked,
                                         Qt::CheckStateRole));
        Child<QComboBox>(tab, "cmbDownOptions")->setCurrentIndex(kEraseBySize);
        Child<QLineEdit>(tab, "editEraseBytes")->setText("8192");
        Child<QLineEdit>(tab, "editStartAddr")->setText("3000");
        run = Operate(tab, true);
        QVERIFY2(run.bState && run.Has("Flash 信息读取失败") && run.Has("擦除检查成功"), qPrintable(run.logs.join('\n')));
        // Past the end of what the flash identified: refused.
        Child<QLineEdit>(tab, "editStartAddr")->setText("3FF000");
        run = Operate(tab, true);
        QVERIFY(!run.bState);
        QVERIFY(run.logs.last().startsWith("操作范围超出Flash容量: 0x3FF000 ~ 0x401000"));
        unknown.Close();
        XQ_VERIFY_FLASH_KEPT(unknown, {{0, 0x1000}, {0x3000, 0x2000}});
    }

    void readRangeWholeChipAndSerial()
    {
        BenchFixture bench;
        QByteArray flash = RandomBytes(2 * 1024 * 1024, 20);
        bench.WriteFlash(flash);
        QByteArray security(512, char(0xFF));
        security.replace(16, 16, QByteArray(12, 0) + QByteArray::fromHex("0000002A"));
        QVERIFY(WriteFile(bench.Dir() + "/security.bin", security));
        BaseOp tab;
        SetupTab(tab, bench);
        Child<QLineEdit>(tab, "editStartAddr")->setText("1000");
        Child<QLineEdit>(tab, "editReadBytes")->setText("70000");
        m_saveAnswer = m_files.filePath("range.bin");
        Run run = Operate(tab, false);
        QVERIFY(run.bState);
        QCOMPARE(run.logs.first(), QString("准备读取Flash并保存到:%1").arg(m_saveAnswer));
        QCOMPARE(run.logs.mid(1), (QStringList{"开始读取Flash", "完成读取Flash，准备存储成文件", "文件存储成功"}));
        QCOMPARE(run.progress.last(), 100);
        QCOMPARE(Slurp(m_saveAnswer), flash.mid(0x1000, 70000));

        Child<QRadioButton>(tab, "radioReadAll")->setChecked(true);
        Child<QCheckBox>(tab, "chkSeqId")->setChecked(true);
        m_saveAnswer = m_files.filePath("all.bin");
        run = Operate(tab, false);
        QVERIFY(run.bState);
        QCOMPARE(Slurp(m_saveAnswer), flash.mid(0x1000));
        QVERIFY(run.Has("当前序列号: DEC: 00000042 HEX: 0X0000002A"));
        QCOMPARE(Child<QLineEdit>(tab, "editSeq")->text(), QString("00000042"));

        // Past the end of the flash: refused with a clear line, nothing allocated.
        Child<QLineEdit>(tab, "editStartAddr")->setText("200000");
        run = Operate(tab, false);
        QVERIFY(!run.bState);
        QVERIFY(run.logs.last().startsWith("操作范围超出Flash容量"));
    }

    // The save dialog offers a name in the browser's folder; a name typed
    // without an extension is saved with ".bin", and an existing file of
    // that name is overwritten only when the operator agrees.
    void readOffersANameAndAddsBin()
    {
        BenchFixture bench;
        const QByteArray flash = RandomBytes(2 * 1024 * 1024, 23);
        bench.WriteFlash(flash);
        BaseOp tab;
        SetupTab(tab, bench);
        tab.ShowDirectory(m_files.path());
        Child<QLineEdit>(tab, "editReadBytes")->setText("4096");
        m_saveAnswer = m_files.filePath("readback");
        Run run = Operate(tab, false);
        QVERIFY(run.bState);
        QVERIFY2(QRegularExpression("/readback_\\d{8}_\\d{6}\\.bin$").match(m_offered).hasMatch(), qPrintable(m_offered));
        QCOMPARE(QFileInfo(m_offered).absolutePath(), QFileInfo(m_files.path()).absoluteFilePath());
        QCOMPARE(Slurp(m_saveAnswer + ".bin"), flash.left(4096));
        QVERIFY(!QFile::exists(m_saveAnswer));

        m_boxes.clear();
        m_answer = QMessageBox::No;  // keep the file of the first read
        Child<QLineEdit>(tab, "editStartAddr")->setText("1000");
        run = Operate(tab, false);
        QVERIFY(!run.bStarted && run.bState);
        QCOMPARE(m_boxes, QStringList{m_saveAnswer + ".bin 已存在，是否覆盖？"});
        QCOMPARE(Slurp(m_saveAnswer + ".bin"), flash.left(4096));
        m_answer = QMessageBox::Yes;
        run = Operate(tab, false);
        QVERIFY(run.bState);
        QCOMPARE(Slurp(m_saveAnswer + ".bin"), flash.mid(0x1000, 4096));
    }

    // The flash decodes only the address bits of its size: a range past its
    // end would land on its first bytes. Every operation is refused before it
    // erases, programs or reads, with a box, a line and a failed finish.
    void rangesBeyondTheFlashAreRefused_data()
    {
        QTest::addColumn<bool>("bWrite");
        QTest::addColumn<int>("nImage");  // image bytes, 0: none
        QTest::addColumn<int>("nMode");   // erase mode
        QTest::addColumn<QString>("strStart");
        QTest::addColumn<QString>("strBytes");  // erase or read bytes
        QTest::addColumn<bool>("bRuns");
        QTest::newRow("erase 8 KiB at 1FF000") << true << 0 << kEraseBySize << "1FF000" << "8192" << false;
        QTest::newRow("erase 4 KiB at 1FF000") << true << 0 << kEraseBySize << "1FF000" << "4096" << true;
        QTest::newRow("erase at 300000") << true << 0 << kEraseBySize << "300000" << "4096" << false;
        QTest::newRow("whole-chip erase only") << true << 0 << kEraseWhole << "0" << "" << true;
        QTest::newRow("write, erase 8 KiB at 1FF000") << true << 4096 << kEraseBySize << "1FF000" << "8192" << false;
        QTest::newRow("write 4 KiB at 1FF001") << true << 4096 << kEraseByFile << "1FF001" << "" << false;
        QTest::newRow("write 4 KiB at 1FF000") << true << 4096 << kEraseByFile << "1FF000" << "" << true;
        QTest::newRow("whole-chip erase, write at 1FF800") << true << 4096 << kEraseWhole << "1FF800" << "" << false;
        QTest::newRow("encrypted at 1F0000") << true << 0x10001 << kEraseByFile << "1F0000" << "" << false;
        QTest::newRow("read 8 KiB at 1FF000") << false << 0 << 0 << "1FF000" << "8192" << false;
        QTest::newRow("read 4 KiB at 1FF000") << false << 0 << 0 << "1FF000" << "4096" << true;
        QTest::newRow("read all at 200000") << false << 0 << 0 << "200000" << "" << false;
    }
    void rangesBeyondTheFlashAreRefused()
    {
        QFETCH(bool, bWrite);
        QFETCH(int, nImage);
        QFETCH(int, nMode);
        QFETCH(QString, strStart);
        QFETCH(QString, strBytes);
        QFETCH(bool, bRuns);
        BenchFixture bench;
        const QByteArray pattern = bench.FillPattern();
        BaseOp tab;
        SetupTab(tab, bench);
        QByteArray image = RandomBytes(nImage, 21);
        if (nImage > 0x3000)
            image[0x2FB0] = 2;  // encrypted
        QTemporaryDir dir;
        if (nImage > 0) {
            QVERIFY(WriteFile(dir.filePath("img.bin"), image));
            Check(tab, dir.filePath("img.bin"));
        } else {
            tab.ShowDirectory(dir.path());
        }
        Child<QLineEdit>(tab, "editStartAddr")->setText(strStart);
        Child<QComboBox>(tab, "cmbDownOptions")->setCurrentIndex(nMode);
        Child<QLineEdit>(tab, "editEraseBytes")->setText(strBytes);
        Child<QLineEdit>(tab, "editReadBytes")->setText(strBytes);
        Child<QRadioButton>(tab, strBytes.isEmpty() ? "radioReadAll" : "radioReadByte")->setChecked(true);
        m_saveAnswer = dir.filePath("read.bin");
        const Run run = Operate(tab, bWrite);
        QVERIFY(run.bStarted);
        QCOMPARE(run.bState, bRuns);
        bench.Close();
        if (bRuns)
            return;
        QVERIFY2(run.logs.last().startsWith("操作范围超出Flash容量"), qPrintable(run.logs.join('\n')));
        QCOMPARE(m_boxes.filter("操作范围超出Flash容量").size(), 1);
        QCOMPARE(m_boxes.last(), run.logs.last());
        QVERIFY(!run.Has("正在擦除"));
        XQ_VERIFY_FLASH_KEPT(bench, {});
        QVERIFY(!QFile::exists(m_saveAnswer));
        QCOMPARE(bench.Flash(), pattern);
    }

    // Erase only: no flash answering is a failure, and a success means the
    // range reads blank, whatever protection the status register held.
    void eraseOnlyFailsWithoutFlashAndIsBlankChecked()
    {
        BenchFixture none("[faults]\nno_flash=true\n");
        BaseOp tab;
        SetupTab(tab, none);
        tab.ShowDirectory(m_files.path());
        Child<QComboBox>(tab, "cmbDownOptions")->setCurrentIndex(kEraseBySize);
        Child<QLineEdit>(tab, "editEraseBytes")->setText("65536");
        Run run = Operate(tab, true);
        QVERIFY(run.bStarted && !run.bState);
        QVERIFY(!run.Has("擦除完成"));

        // Each block-protect bit (and the status register protect bit) is
        // lifted before the erase; a whole-chip erase then erases everything.
        for (const char* pStatus : {"04", "08", "10", "1C", "24", "80", "9C"}) {
            BenchFixture bench(QString("[flash]\nstatus1=%1\n").arg(pStatus));
            bench.FillPattern();
            tab.SetFlashCtrl(&bench.Ctrl());
            QCOMPARE(bench.Open(9), 0);
            Child<QComboBox>(tab, "cmbDownOptions")->setCurrentIndex(kEraseWhole);
            run = Operate(tab, true);
            QVERIFY2(run.bState, qPrintable(QString(pStatus) + ": " + run.logs.join('\n')));
            QVERIFY(run.Has("擦除完成"));
            bench.Close();
            QVERIFY2(bench.Flash() == QByteArray(2 * 1024 * 1024, char(0xFF)), pStatus);
        }

        // Unplugged after each of the last transfers of an erase-only run: a
        // reported success always leaves the range blank.
        auto erase = [](SpiFlashCtrl& ctrl) {
            BaseWorker worker;
            worker.pSpiCtrl = &ctrl;
            ImageWriteRequest request;
            request.nStart = 0x10000;
            request.nEraseBytes = 0x8000;
            bool bOk = false;
            QObject::connect(&worker, &BaseWorker::finish, [&bOk](int, bool b) { bOk = b; });
            worker.OnWrite(request);
            return bOk;
        };
        int64_t nTransfers = 0;
        {
            BenchFixture healthy;
            QCOMPARE(healthy.Open(9), 0);
            const int64_t nOpened = healthy.Stats().nUsbTransfers;
            QVERIFY(erase(healthy.Ctrl()));
            nTransfers = healthy.Stats().nUsbTransfers - nOpened + 3;  // and the three of opening
        }
        // The last transfers: the erase, the blank check and the reset.
        int nSucceeded = 0;
        for (int64_t n = qMax<int64_t>(1, nTransfers - 24); n <= nTransfers + 1; ++n) {
            BenchFixture bench(QString("[faults]\nunplug_after_transfers=%1\n").arg(n));
            const QByteArray pattern = bench.FillPattern();
            const bool bOk = bench.Open(9) == 0 && erase(bench.Ctrl());
            bench.Close();
            XQ_VERIFY_FLASH_KEPT(bench, {{0x10000, 0x8000}});
            if (bOk) {
                ++nSucceeded;
                QVERIFY2(bench.Flash().mid(0x10000, 0x8000) == QByteArray(0x8000, char(0xFF)), qPrintable(QString::number(n)));
            } else {
                QVERIFY(n <= nTransfers);  // only a lost adapter fails it
            }
        }
        QVERIFY(nSucceeded > 0);
    }

    void readFailuresKeepEarlierFiles()
    {
        BenchFixture bench;
        BaseOp tab;
        SetupTab(tab, bench);
        Child<QLineEdit>(tab, "editReadBytes")->setText("16");
        // A path that cannot take the file is refused before the chip is read.
        m_saveAnswer = m_files.filePath("no-such-dir/out.bin");
        Run run = Operate(tab, false);
        QVERIFY(!run.bStarted && run.bState);
        const QString strRefused = "无法保存文件:" + m_saveAnswer + ", 原因: 文件夹不存在";
        QCOMPARE(m_boxes.last(), strRefused + "\n文件访问失败");
        QCOMPARE(run.logs.mid(run.logs.size() - 2), (QStringList{strRefused, "文件访问失败"}));
        // A character device is written in place, never replaced by a regular file.
        const QString strDevice = m_files.filePath("read.null");
        QCOMPARE(::mknod(QFile::encodeName(strDevice).constData(), S_IFCHR | 0666, makedev(1, 3)), 0);
        m_saveAnswer = strDevice;
        run = Operate(tab, false);
        QVERIFY(run.bStarted && run.bState);
        struct stat st {};
        QVERIFY(::stat(QFile::encodeName(strDevice).constData(), &st) == 0 && S_ISCHR(st.st_mode));

        const QString strKept = m_files.filePath("kept.bin");
        QVERIFY(WriteFile(strKept, "earlier contents"));
        BenchFixture unplug("[faults]\nunplug_after_transfers=6\n");
        tab.SetFlashCtrl(&unplug.Ctrl());
        QCOMPARE(unplug.Open(9), xq::kOk);
        m_saveAnswer = strKept;
        run = Operate(tab, false);
        QVERIFY(!run.bState);
        QCOMPARE(Slurp(strKept), QByteArray("earlier contents"));
        // The adapter library's reason on its own line, then the code's line exactly.
        const int nCause = run.logs.indexOf("模拟测试台: 适配器已被拔出");
        QVERIFY2(nCause >= 0 && nCause + 1 < run.logs.size() &&
                     QRegularExpression("^未知错误 100[23]$").match(run.logs[nCause + 1]).hasMatch(),
                 qPrintable(run.logs.join('\n')));

        for (const char* pBad : {"0", "9999999"}) {
            Child<QLineEdit>(tab, "editReadBytes")->setText(pBad);
            run = Operate(tab, false);
            QVERIFY(!run.bStarted && run.bState);
            QCOMPARE(m_boxes.last(), QString("请正确填写读取大小"));
        }
        Child<QLineEdit>(tab, "editReadBytes")->setText("16");
        Child<QLineEdit>(tab, "editStartAddr")->setText("");
        run = Operate(tab, false);
        QVERIFY(!run.bStarted && run.bState);
        QCOMPARE(m_boxes.last(), QString("请正确填写起始地址"));
        Child<QLineEdit>(tab, "editStartAddr")->setText("0");
        Child<QLineEdit>(tab, "editReadBytes")->setText("16");
        m_saveAnswer.clear();  // the save dialog cancelled
        run = Operate(tab, false);
        QVERIFY(!run.bStarted && run.bState);
    }

    void browserFilterChecksAndOrder()
    {
        QTemporaryDir dir;
        QVERIFY(WriteFile(dir.filePath("a.bin"), "a"));
        QVERIFY(WriteFile(dir.filePath("B.BIN"), "b"));
        QVERIFY(WriteFile(dir.filePath("c.txt"), "c"));
        QDir(dir.path()).mkdir("sub");
        const QDateTime now = QDateTime::currentDateTime();
        auto age = [&](const QString& name, int nDays) {
            QFile f(dir.filePath(name));
            f.open(QIODevice::ReadWrite);
            f.setFileTime(now.addDays(-nDays), QFileDevice::FileModificationTime);
        };
        age("a.bin", 3);
        age("B.BIN", 1);

        BaseOp tab;
        tab.ShowDirectory(dir.path());
        FileSysModel* pModel = tab.FileModel();
        QTRY_COMPARE(pModel->mapFileCheck.size(), 3);
        auto* pView = Child<QTableView>(tab, "tableView");
        QAbstractItemModel* pProxy = pView->model();
        auto names = [&] {
            QStringList out;
            const QModelIndex root = pView->rootIndex();
            for (int r = 0; r < pProxy->rowCount(root); ++r)
                out << pProxy->index(r, 0, root).data().toString();
            return out;
        };
        QTRY_COMPARE(names(), (QStringList{"sub", "B.BIN", "a.bin"}));  // newest first, directories first
        pView->sortByColumn(3, Qt::AscendingOrder);
        QCOMPARE(names(), (QStringList{"sub", "B.BIN", "a.bin"}));

        QSignalSpy unchecked(pModel, &FileSysModel::uncheck);
        const QModelIndex a = pModel->index(dir.filePath("a.bin"));
        const QModelIndex b = pModel->index(dir.filePath("B.BIN"));
        pModel->setData(a, Qt::Checked, Qt::CheckStateRole);
        pModel->setData(b, Qt::Checked, Qt::CheckStateRole);
        QCOMPARE(unchecked.count(), 1);
        QCOMPARE(unchecked[0][0].toModelIndex(), a);
        QCOMPARE(pModel->data(a, Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
        QCOMPARE(pModel->strCheckedPath, dir.filePath("B.BIN"));
        pModel->setData(b, Qt::Unchecked, Qt::CheckStateRole);
        QVERIFY(pModel->strCheckedPath.isEmpty());
        QVERIFY(!(pModel->flags(pModel->index(dir.filePath("sub"))) & Qt::ItemIsUserCheckable));

        // The path box: a file's path shows its directory; a missing path warns.
        auto* pUrl = Child<QLineEdit>(tab, "editUrl");
        pUrl->setText(dir.filePath("a.bin"));
        QVERIFY(QMetaObject::invokeMethod(&tab, "GotoDir"));
        QCOMPARE(pUrl->text(), dir.path());
        pUrl->setText(dir.filePath("missing"));
        QVERIFY(QMetaObject::invokeMethod(&tab, "GotoDir"));
        QCOMPARE(m_boxes, QStringList{"指定路径不存在\n请重新指定路径"});
        QCOMPARE(pUrl->selectedText(), dir.filePath("missing"));
        QCOMPARE(pModel->rootPath(), dir.path());
    }

    void settingsRoundTrip()
    {
        QFile::remove("XqProgrammer.ini");
        {
            BaseOp tab;
            tab.LoadSettings();
            QCOMPARE(Child<QLineEdit>(tab, "editSeq")->text(), QString("00000001"));
            QCOMPARE(Child<QComboBox>(tab, "cmbDownOptions")->currentIndex(), kEraseByFile);
            QVERIFY(Child<QCheckBox>(tab, "chkProtect")->isHidden());
            Child<QLineEdit>(tab, "editStartAddr")->setText("1F000");
            Child<QComboBox>(tab, "cmbDownOptions")->setCurrentIndex(kEraseBySize);
            Child<QLineEdit>(tab, "editEraseBytes")->setText("8192");
            Child<QLineEdit>(tab, "editSeq")->setText("00000077");
            tab.ShowDirectory(m_files.path());
            tab.SaveSettings();
            Child<QLineEdit>(tab, "editSeq")->clear();
            tab.SaveSettings();  // an empty serial number leaves the stored one
        }
        QSettings ini("XqProgrammer.ini", QSettings::IniFormat);
        QCOMPARE(ini.value("BaseOp/seq_id").toString(), QString("00000077"));
        QCOMPARE(ini.value("BaseOp/address").toString(), QString("1F000"));
        QCOMPARE(ini.value("BaseOp/path").toString(), m_files.path());
        BaseOp tab;
        tab.LoadSettings();
        QCOMPARE(Child<QLineEdit>(tab, "editStartAddr")->text(), QString("1F000"));
        QCOMPARE(Child<QComboBox>(tab, "cmbDownOptions")->currentIndex(), kEraseBySize);
        QVERIFY(!Child<QLineEdit>(tab, "editEraseBytes")->isHidden());
        QCOMPARE(tab.GetSeqId(), 77u);
        QCOMPARE(tab.FileModel()->rootPath(), m_files.path());
        Child<QLineEdit>(tab, "editSeq")->setText("4294967296");
        QCOMPARE(tab.GetSeqId(), 0u);
    }
};

QTEST_MAIN(TestImage)
#include "test_image.moc"
