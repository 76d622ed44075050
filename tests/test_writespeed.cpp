// What makes writes fast must never change what they write: the mode query
// paired with the first status poll, the learned waits before polls, blank
// pages left out, and the smart write that erases and programs only what
// differs. Speed itself is measured by bench/xqbench, never here.
#include "benchfixture.h"
#include "scriptedspi.h"

#include <baseworker.h>
#include <smartwrite.h>
#include <spinorflash.h>

#include <QtTest>

namespace {
const uint8_t* U8(const QByteArray& a)
{
    return reinterpret_cast<const uint8_t*>(a.constData());
}

// The flash after a write of image at nStart over before.
QByteArray Expected(QByteArray before, int nStart, const QByteArray& image)
{
    before.replace(nStart, image.size(), image);
    return before;
}

struct WorkerRun {
    QStringList logs;
    bool bOk = false;
    uint nNextSerial = 0;
};

WorkerRun RunWorker(BaseWorker& worker, const ImageWriteRequest& request)
{
    WorkerRun run;
    QObject::connect(&worker, &BaseWorker::log, [&](const QString& s) { run.logs << s; });
    QObject::connect(&worker, &BaseWorker::finish, [&](int, bool b) { run.bOk = b; });
    QObject::connect(&worker, &BaseWorker::seqId, [&](uint n) { run.nNextSerial = n; });
    worker.OnWrite(request);
    return run;
}
}  // namespace

class TestWriteSpeed : public QObject {
    Q_OBJECT

private slots:
    void pairedModeQueryAndPoll()
    {
        SpiFlashCtrl ctrl;
        auto* pSpi = new ScriptedSpi;
        ctrl.SetAdapter(pSpi);
        QCOMPARE(ctrl.Open("SCRIPTED-LOC-1", 9), xq::kOk);
        // Link in mode 1: the mode query, then the poll, nothing else.
        QVERIFY(!ctrl.WaitReady(0x01));
        QCOMPARE(pSpi->frames.size(), size_t(2));
        QCOMPARE(pSpi->frames[0].tx, (Bytes{0xFE, 0, 0, 0, 0}));
        QCOMPARE(pSpi->frames[1].tx, Bytes{0x05});

        // Link in mode 0: the poll that went with the query reached no flash,
        // so its busy answer is dropped; mode 1 is set and the flash polled again.
        pSpi->frames.clear();
        pSpi->nMode = 0;
        int nPolls = 0;
        pSpi->hook = [&](const Frame& f, uint8_t* pRx) {
            if (f.tx[0] != 0x05)
                return false;
            pRx[0] = ++nPolls == 1 ? 0x01 : 0x00;
            return true;
        };
        QVERIFY(!ctrl.WaitReady(0x01));
        QCOMPARE(pSpi->nMode, uint8_t(1));
        QCOMPARE(nPolls, 2);
        QCOMPARE(pSpi->frames.front().tx, (Bytes{0xFE, 0, 0, 0, 0}));
        QCOMPARE(pSpi->frames[1].tx, Bytes{0x05});
        QCOMPARE(pSpi->frames[2].tx, (Bytes{0xFE, 0, 0, 0, 0}));  // SetMode asks first
        QCOMPARE(pSpi->frames[3].tx, (Bytes{0xFF, 0, 0, 0, 1}));
        QCOMPARE(pSpi->frames.back().tx, Bytes{0x05});
    }

    void blankPagesAreLeftOut()
    {
        SpiFlashCtrl ctrl;
        auto* pSpi = new ScriptedSpi;
        ctrl.SetAdapter(pSpi);
        QCOMPARE(ctrl.Open("SCRIPTED-LOC-1", 9), xq::kOk);
        // From 0x80: 0x80 bytes of 0xFF, a page of data, a page of 0xFF, then 0x10 bytes ending in 0x00.
        QByteArray data(0x80, char(0xFF));
        data += QByteArray(0x100, char(0xAB));
        data += QByteArray(0x100, char(0xFF));
        data += QByteArray(0x0F, char(0xFF)) + QByteArray(1, char(0x00));
        std::vector<int> percents;
        QCOMPARE(ctrl.ProgramFlashSkipBlank(0x80, U8(data), data.size(), [&](int p) { percents.push_back(p); }),
                 xq::kOk);
        const auto programs = pSpi->With(0x02);
        QCOMPARE(programs.size(), size_t(2));
        QCOMPARE(Bytes(programs[0].tx.begin(), programs[0].tx.begin() + 4), (Bytes{0x02, 0x00, 0x01, 0x00}));
        QCOMPARE(Bytes(programs[1].tx.begin(), programs[1].tx.begin() + 4), (Bytes{0x02, 0x00, 0x03, 0x00}));
        QCOMPARE(programs[1].tx.size(), size_t(4 + 0x10));
        QCOMPARE(percents.back(), 100);

        // A plain write of an image with blank pages over old contents: the
        // erase clears them and the verify proves it.
        BenchFixture bench;
        bench.FillPattern();
        QCOMPARE(bench.Open(), xq::kOk);
        BaseWorker worker;
        worker.pSpiCtrl = &bench.Ctrl();
        QByteArray image = RandomBytes(0x3000, 3);
        image.replace(0x1000, 0x1100, QByteArray(0x1100, char(0xFF)));
        ImageWriteRequest request;
        request.image = image;
        request.nStart = 0x20000;
        request.nEraseBytes = image.size();
        QVERIFY(RunWorker(worker, request).bOk);
        bench.Close();
        QCOMPARE(bench.Flash().mid(0x20000, image.size()), image);
        XQ_VERIFY_FLASH_KEPT(bench, {{0x20000, 0x3000}});
    }

    void batchedProgramsLandExactlyOnce_data()
    {
        QTest::addColumn<QString>("ini");
        QTest::addColumn<int>("rate");
        QTest::addColumn<bool>("mayFail");
        QTest::addColumn<int>("programUs");
        // A fresh link learns its wait: its first batches send programs to a
        // busy flash, which ignores them, and those are sent again.
        QTest::newRow("typical program time") << "" << 9 << false << 700;
        QTest::newRow("full speed, 6 MHz") << "[usb]\nspeed=full\n" << 5 << false << 700;
        QTest::newRow("longest program time") << "[timing]\npage_program_us=3000\n" << 9 << false << 3000;
        QTest::newRow("a program fails on USB once") << "[faults]\nfail_once=02@40\n" << 9 << true << 700;
        QTest::newRow("a write enable fails on USB once") << "[faults]\nfail_once=06@70\n" << 9 << true << 700;
        QTest::newRow("a program outlasts every wait once") << "[faults]\nbusy_once=02@40\n" << 9 << true << 700;
        QTest::newRow("bench forces strict order") << "[timing]\nstrict_order=true\n" << 9 << false << 700;
    }
    void batchedProgramsLandExactlyOnce()
    {
        // Every page ends up with exactly its bytes, each program taken once
        // (the flash's busy time is that of one program per page), the
        // progress only rises; a one-shot fault fails the write or leaves it
        // exact, and the next session writes it whole. Nothing outside the
        // range changes.
        QFETCH(QString, ini);
        QFETCH(int, rate);
        QFETCH(bool, mayFail);
        QFETCH(int, programUs);
        BenchFixture bench(ini);
        bench.Ctrl().SetBatchPrograms(true);  // the bench's strict_order overrides it
        bench.FillPattern();
        const int32_t nStart = 0x10040;  // unaligned: a short first and last page
        const QByteArray image = RandomBytes(0x9100, 41);
        const int nPages = (nStart + image.size() - 1) / 256 - nStart / 256 + 1;
        for (int nSession = 0; nSession < 2; ++nSession) {
            QCOMPARE(bench.Open(rate), xq::kOk);
            QCOMPARE(bench.Ctrl().EraseFlash(nStart, image.size()), xq::kOk);
            const int64_t nBusyBefore = bench.Stats().nFlashBusyUs;
            std::vector<int> percents;
            const int r = bench.Ctrl().ProgramFlash(nStart, U8(image), image.size(), false,
                                                    [&](int p) { percents.push_back(p); });
            const int64_t nBusy = bench.Stats().nFlashBusyUs - nBusyBefore;
            QVERIFY(std::is_sorted(percents.begin(), percents.end()));
            if (r == xq::kOk) {
                QCOMPARE(percents.back(), 100);
                if (!mayFail)
                    QCOMPARE(nBusy, int64_t(nPages) * programUs);
                QCOMPARE(bench.Ctrl().VerifyFlash(U8(image), image.size(), nStart), xq::kOk);
            } else {
                QVERIFY2(mayFail && nSession == 0, qPrintable(QString("code %1").arg(r)));
            }
            bench.Close();
            if (r == xq::kOk)
                QCOMPARE(bench.Flash().mid(nStart, image.size()), image);
            XQ_VERIFY_FLASH_KEPT(bench, {{0x10000, 0xA000}});
            if (mayFail)
                bench.SetIni("[faults]\n");  // a one-shot fault strikes again in each session
        }
    }

    void settledBatchesSendNoProgramTwice()
    {
        // Once its wait is learned, a batched write sends no program twice:
        // a shorter wait is tried on a batch's last program only, where a
        // flash still busy costs a poll, not the programs after it. Only the
        // learning batches (4 pages each) send programs again: 28 on 2 MiB,
        // as on 1 MiB (a wait shrunk by 1 us a batch sent 79 on 2 MiB).
        BenchFixture bench;
        bench.Ctrl().SetBatchPrograms(true);
        const QByteArray image = RandomBytes(0x200000, 43);
        const int64_t nPages = image.size() / 256;
        QCOMPARE(bench.Open(9), xq::kOk);
        QCOMPARE(bench.Ctrl().EraseFlash(0, image.size()), xq::kOk);
        const sim::BenchStats before = bench.Stats();
        QCOMPARE(bench.Ctrl().ProgramFlash(0, U8(image), image.size(), false, nullptr), xq::kOk);
        const sim::BenchStats& after = bench.Stats();
        QCOMPARE(after.nFlashBusyUs - before.nFlashBusyUs, nPages * 700);
        // Write enable, program with address, write disable: 262 bytes a page.
        const int64_t nWire = (after.nSpiBytes - before.nSpiBytes) - (after.nPollBytes - before.nPollBytes);
        const int64_t nSentAgain = (nWire - nPages * 262) / 262;
        QVERIFY2(nSentAgain <= 32, qPrintable(QString("%1 programs sent again").arg(nSentAgain)));
        bench.Close();
        QCOMPARE(bench.Flash().left(image.size()), image);
    }

    void portResetMidWriteIsFoundAndWrittenAgain()
    {
        // The port drops to mode 0 in the middle of a batch: the mode query
        // at the batch's end finds it, the batch goes again in mode 1 and
        // the write still ends with exactly the image, at full and high speed.
        for (const int nRate : {5, 9}) {
            BenchFixture bench("[faults]\nport_reset_once=40\n");
            bench.Ctrl().SetBatchPrograms(true);
            bench.FillPattern();
            const QByteArray image = RandomBytes(0x9000, 43);
            QCOMPARE(bench.Open(nRate), xq::kOk);
            QCOMPARE(bench.Ctrl().EraseFlash(0x20000, image.size()), xq::kOk);
            QCOMPARE(bench.Ctrl().ProgramFlash(0x20000, U8(image), image.size(), false, nullptr), xq::kOk);
            bench.Close();
            QCOMPARE(bench.Flash().mid(0x20000, image.size()), image);
            XQ_VERIFY_FLASH_KEPT(bench, {{0x20000, image.size()}});
        }
    }

    void fullSpeedChipPollsItsErases()
    {
        // An FT2232D has no clocks without data: a wait on its side would
        // clock out tens of kilobytes of zeros per erase. Its erases are
        // polled instead, and still leave the blocks erased.
        BenchFixture bench("[adapter]\nmodel=FT2232D\n");
        bench.FillPattern();
        QCOMPARE(bench.Open(5), xq::kOk);
        for (int32_t nAt : {0x40000, 0x50000, 0x60000}) {
            const int64_t nOutBefore = bench.Stats().nBytesOut;
            QCOMPARE(bench.Ctrl().EraseFlash(nAt, 0x10000), xq::kOk);
            const int64_t nOut = bench.Stats().nBytesOut - nOutBefore;
            QVERIFY2(nOut < 8192, qPrintable(QString("%1 bytes out for one erase").arg(nOut)));
        }
        bench.Close();
        QCOMPARE(bench.Flash().mid(0x40000, 0x30000), QByteArray(0x30000, char(0xFF)));
        XQ_VERIFY_FLASH_KEPT(bench, {{0x40000, 0x30000}});
    }

    void pageProgramFrameOrder_data()
    {
        QTest::addColumn<bool>("batch");    // batched page programs asked for
        QTest::addColumn<int>("mode");      // the link mode the pages go in
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("count");
        QTest::addColumn<QList<int>>("pieces");  // bytes of each page program, in order
        QTest::addColumn<bool>("batched");  // the batched frame order is expected
        // By default each page program on its own: write enable, program,
        // write disable, then the ready wait's mode query and status poll.
        QTest::newRow("default, a range across a page boundary") << false << 1 << 0x1F0 << 0x20 << QList<int>{0x10, 0x10} << false;
        QTest::newRow("default, three whole pages") << false << 1 << 0x1000 << 0x300 << QList<int>{256, 256, 256} << false;
        // Batched (opt-in): write enable, the latch poll, program, write
        // disable and a poll after the wait for each page, one mode query
        // at the end of the batch.
        QTest::newRow("batched") << true << 1 << 0x1000 << 0x300 << QList<int>{256, 256, 256} << true;
        QTest::newRow("batched, a range across a page boundary") << true << 1 << 0x1F0 << 0x20 << QList<int>{0x10, 0x10} << true;
        // In link mode 2 never batched: no status read between write enable and program.
        QTest::newRow("mode 2 with batching asked for") << true << 2 << 0x1F0 << 0x20 << QList<int>{0x10, 0x10} << false;
        QTest::newRow("mode 2, three whole pages") << true << 2 << 0x1000 << 0x300 << QList<int>{256, 256, 256} << false;
    }
    void pageProgramFrameOrder()
    {
        QFETCH(bool, batch);
        QFETCH(int, mode);
        QFETCH(int, start);
        QFETCH(int, count);
        QFETCH(QList<int>, pieces);
        QFETCH(bool, batched);
        const QByteArray data = RandomBytes(count, 5);
        SpiFlashCtrl ctrl;
        QVERIFY(!ctrl.BatchPrograms());  // the default
        auto* pSpi = new ScriptedSpi;
        ctrl.SetAdapter(pSpi);
        ctrl.SetBatchPrograms(batch);
        QCOMPARE(ctrl.Open("SCRIPTED-LOC-1", 9), xq::kOk);
        QCOMPARE(ctrl.SetMode(uint32_t(mode)), xq::kOk);
        pSpi->frames.clear();
        QCOMPARE(ctrl.ProgramFlash(start, U8(data), data.size(), false), xq::kOk);
        Bytes order;
        for (size_t i = 2; i < pSpi->frames.size(); ++i)  // after the ready check before the write
            order.push_back(pSpi->frames[i].tx[0]);
        const Bytes page = batched ? Bytes{0x06, 0x05, 0x02, 0x04, 0x05} : Bytes{0x06, 0x02, 0x04, 0xFE, 0x05};
        Bytes expected;
        for (int n = 0; n < pieces.size(); ++n)
            expected.insert(expected.end(), page.begin(), page.end());
        if (batched)
            expected.push_back(0xFE);
        QCOMPARE(order, expected);
        // Exactly one program per piece, in address order, each with its bytes.
        const auto programs = pSpi->With(0x02);
        QCOMPARE(programs.size(), size_t(pieces.size()));
        int nDone = 0;
        for (int n = 0; n < pieces.size(); ++n) {
            const Frame& f = programs[size_t(n)];
            const uint32_t nAt = uint32_t(start + nDone);
            QCOMPARE(Bytes(f.tx.begin() + 1, f.tx.begin() + 4), (Bytes{uint8_t(nAt >> 16), uint8_t(nAt >> 8), uint8_t(nAt)}));
            QCOMPARE(Bytes(f.tx.begin() + 4, f.tx.end()), Bytes(U8(data) + nDone, U8(data) + nDone + pieces[n]));
            nDone += pieces[n];
        }
        QCOMPARE(nDone, count);
    }

    void longLearnedWaitsKeepTheirResult()
    {
        // The datasheet's longest block erase (2 s) and page program (3 ms):
        // the learned wait before a poll outgrows what the adapter may wait
        // for one reply, and is spread over several polls.
        BenchFixture bench("[timing]\nerase64k_ms=2000\npage_program_us=3000\n");
        bench.FillPattern();
        QCOMPARE(bench.Open(), xq::kOk);
        QCOMPARE(bench.Ctrl().EraseFlash(0x40000, 0x40000), xq::kOk);
        const QByteArray data = RandomBytes(0x2000, 8);
        QCOMPARE(bench.Ctrl().ProgramFlash(0x40000, U8(data), data.size(), false), xq::kOk);
        QCOMPARE(bench.Ctrl().VerifyFlash(U8(data), data.size(), 0x40000), xq::kOk);
        QCOMPARE(bench.Ctrl().EraseFlash(0x60000, 0x20000), xq::kOk);
        bench.Close();
        const QByteArray flash = bench.Flash();
        QCOMPARE(flash.mid(0x40000, data.size()), data);
        QCOMPARE(flash.mid(0x42000, 0x3E000), QByteArray(0x3E000, char(0xFF)));
        XQ_VERIFY_FLASH_KEPT(bench, {{0x40000, 0x40000}});
    }

    void smartPlan()
    {
        // Two sectors: the first already right, the second needing only bits
        // cleared in one page; a third needing an erase, with bytes outside
        // the range kept.
        QByteArray current = RandomBytes(3 * 4096, 21);
        QByteArray image = current.mid(0x80, 3 * 4096 - 0x100);
        image[0x1000 - 0x80 + 0x310] = char(image[0x1000 - 0x80 + 0x310] & 0x0F);
        image[0x2000 - 0x80 + 0x20] = char(~current[0x2000 + 0x20]);  // sets bits: an erase
        const SmartWritePlan plan = SmartWritePlan::Make(0x80, U8(image), image.size(), U8(current));
        QCOMPARE(plan.nBase, 0);
        QCOMPARE(plan.erase, (std::vector<bool>{false, false, true}));
        QCOMPARE(plan.touched, (std::vector<bool>{false, true, true}));
        QCOMPARE(plan.counts.nSkipped, 1);
        QCOMPARE(plan.counts.nProgrammed, 1);
        QCOMPARE(plan.counts.nErased, 1);
        QCOMPARE(plan.pieces.front().nAddress, 0x1310);  // only the byte that changes
        QCOMPARE(plan.pieces.front().nLength, 1);
        QCOMPARE(int(plan.pieces.size()), 1 + 16);  // after the erase every page of random bytes
        const QByteArray target(reinterpret_cast<const char*>(plan.target.data()), int(plan.target.size()));
        QCOMPARE(target.mid(0x2F80), current.mid(0x2F80));  // the tail outside the range is put back
        // by the erase itself: no piece is programmed outside the range
        QCOMPARE(plan.pieces.back().nAddress + plan.pieces.back().nLength, 0x2F80);
        QCOMPARE(plan.Runs(plan.touched).size(), size_t(1));
        QCOMPARE(plan.Runs(plan.touched)[0].nAddress, 0x1000);
        QCOMPARE(plan.Runs(plan.touched)[0].nLength, 0x2000);
    }

    void smartWriteLeavesExactlyTheImage_data()
    {
        QTest::addColumn<QString>("prior");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("erased");
        QTest::addColumn<int>("programmed");
        QTest::addColumn<int>("skipped");
        // prior: "blank", "random" (other contents), "same" (the image), "cleared"
        // (the image with bits set that the image clears), "onebyte" (one byte needs an erase).
        QTest::newRow("blank flash, aligned") << "blank" << 0x10000 << 0x20000 << 0 << 31 << 1;
        QTest::newRow("other contents, unaligned") << "random" << 0x11801 << 0x2F123 << 48 << 0 << 0;
        QTest::newRow("same image") << "same" << 0x1800 << 0x9000 << 0 << 0 << 10;
        QTest::newRow("bits to clear only") << "cleared" << 0x30000 << 0x8000 << 0 << 7 << 1;
        QTest::newRow("one byte needs an erase") << "onebyte" << 0x7F0 << 0x10000 << 1 << 0 << 16;
    }
    void smartWriteLeavesExactlyTheImage()
    {
        QFETCH(QString, prior);
        QFETCH(int, start);
        QFETCH(int, length);
        QFETCH(int, erased);
        QFETCH(int, programmed);
        QFETCH(int, skipped);
        BenchFixture bench;
        QByteArray image = RandomBytes(length, uint32_t(start));
        image.replace(0x3000, 0x1000, QByteArray(0x1000, char(0xFF)));  // blank pages too
        QByteArray before = bench.FillPattern();
        if (prior == "blank") {
            before.fill(char(0xFF));
        } else if (prior == "same") {
            before = Expected(before, start, image);
        } else if (prior == "cleared") {
            for (int i = 0; i < length; ++i)
                before[start + i] = char(image[i] | 0x11);
        } else if (prior == "onebyte") {
            before = Expected(before, start, image);
            before[start + 0x5432] = char(image[0x5432] & 0x00);
            image[0x5432] = char(0xA5);
        }
        bench.WriteFlash(before);
        QCOMPARE(bench.Open(), xq::kOk);
        SmartWriteCounts counts;
        std::vector<int> percents;
        const int64_t nBusyBefore = bench.Stats().nFlashBusyUs;
        QCOMPARE(bench.Ctrl().SmartWrite(start, U8(image), length, &counts, [&](int p) { percents.push_back(p); }),
                 xq::kOk);
        bench.Close();
        if (erased == 0) {
            // Every page program the plan holds happened, none needed the
            // verify's repair (an erase): a program sent while the flash was
            // still busy was sent again. A few may have happened twice.
            // Without an erase, one page program per page whose bytes change.
            const QByteArray after = Expected(before, start, image);
            int nPages = 0;
            for (int p = 0; p < after.size(); p += 256)
                nPages += after.mid(p, 256) != before.mid(p, 256) ? 1 : 0;
            const int64_t nPrograms = int64_t(nPages) * sim::FlashTiming().nPageProgramUs;
            const int64_t nBusy = bench.Stats().nFlashBusyUs - nBusyBefore;
            QVERIFY2(nBusy >= nPrograms && nBusy <= nPrograms + 10 * sim::FlashTiming().nPageProgramUs,
                     qPrintable(QString("busy %1 us for %2 us of programs").arg(nBusy).arg(nPrograms)));
        }
        QCOMPARE(bench.Flash(), Expected(before, start, image));
        QCOMPARE(counts.nErased, erased);
        QCOMPARE(counts.nProgrammed, programmed);
        QCOMPARE(counts.nSkipped, skipped);
        QVERIFY(std::is_sorted(percents.begin(), percents.end()));
        QCOMPARE(percents.back(), 100);
    }

    void smartWriteRepairsWeakSectorsAndFailsOnDeadOnes()
    {
        BenchFixture weak("[faults]\nweak_sectors=21000 23000\n");
        const QByteArray before = weak.FillPattern();
        const QByteArray image = RandomBytes(0x5000, 31);
        QCOMPARE(weak.Open(), xq::kOk);
        QCOMPARE(weak.Ctrl().SmartWrite(0x20800, U8(image), image.size(), nullptr), xq::kOk);
        weak.Close();
        QCOMPARE(weak.Flash(), Expected(before, 0x20800, image));

        BenchFixture dead("[faults]\ndead_sectors=22000\n");
        dead.FillPattern();
        QCOMPARE(dead.Open(), xq::kOk);
        QCOMPARE(dead.Ctrl().SmartWrite(0x20800, U8(image), image.size(), nullptr), xq::kErrRepairFailed);
        dead.Close();
        // Everything the write did not have to erase is as it was.
        XQ_VERIFY_FLASH_KEPT(dead, {{0x20000, 0x6000}});
    }

    void smartWriteInTheWorker()
    {
        // A protected flash, a serial number and protection afterwards: the
        // same steps as a normal write around the smart one.
        BenchFixture bench("[flash]\nstatus1=9C\n");
        const QByteArray before = bench.FillPattern();
        QByteArray image = before.mid(0x8000, 0x6000);
        image.replace(0x2000, 0x10, RandomBytes(0x10, 5));  // one sector changes
        QCOMPARE(bench.Open(), xq::kOk);
        BaseWorker worker;
        worker.pSpiCtrl = &bench.Ctrl();
        ImageWriteRequest request;
        request.bSmart = true;
        request.bProtect = true;
        request.bSerial = true;
        request.nSerial = 41;
        request.nStart = 0x8000;
        request.nEraseBytes = image.size();
        request.image = image;
        WorkerRun run = RunWorker(worker, request);
        QVERIFY2(run.bOk, qPrintable(run.logs.join('\n')));
        QVERIFY2(run.logs.contains("擦除1个扇区，仅编程0个扇区，跳过5个未变化的扇区"), qPrintable(run.logs.join('\n')));
        QVERIFY(run.logs.contains("校验成功"));
        QVERIFY(run.logs.contains("FLASH已写保护"));
        QVERIFY(!run.logs.contains("正在擦除"));
        QCOMPARE(run.nNextSerial, 42u);
        bench.Close();
        QCOMPARE(bench.Flash(), Expected(before, 0x8000, image));
        QCOMPARE(bench.Security().mid(28, 4), QByteArray::fromHex("00000029"));
        QCOMPARE(QSettings(bench.Dir() + "/bench.ini", QSettings::IniFormat).value("flash/status1").toString(),
                 QString("9C"));

        // An encrypted image is written the normal way, erase by its size.
        QCOMPARE(bench.Open(), xq::kOk);
        QByteArray encrypted = RandomBytes(0x4000, 6);
        encrypted[0x2FB0] = 2;
        BaseWorker second;
        second.pSpiCtrl = &bench.Ctrl();
        ImageWriteRequest encryptedRequest;
        encryptedRequest.bSmart = true;
        encryptedRequest.nStart = 0x40000;
        encryptedRequest.nEraseBytes = 0x1000;
        encryptedRequest.image = encrypted;
        run = RunWorker(second, encryptedRequest);
        QVERIFY2(run.bOk, qPrintable(run.logs.join('\n')));
        QVERIFY(run.logs.contains("加密镜像不能智能烧写，按文件大小擦除后烧写"));
        QVERIFY(run.logs.contains("正在加密烧写镜像..."));
        bench.Close();
        XQ_VERIFY_FLASH_KEPT(bench, {{0x8000, 0x6000}, {0x40000, 0x4000}});
    }
};

QTEST_GUILESS_MAIN(TestWriteSpeed)
#include "test_writespeed.moc"
