// SpiFlashCtrl end to end on the simulated bench, through SpiFtdi and the
// real adapter library.
#include "benchfixture.h"

#include <deviceinfo.h>

#include <QtTest>

#include <functional>
#include <thread>

namespace {
enum Op { kSmart, kRepair };

const uint8_t* U8(const QByteArray& a)
{
    return reinterpret_cast<const uint8_t*>(a.constData());
}
}  // namespace

class TestChipBench : public QObject {
    Q_OBJECT

private slots:
    void identifiesEachModel_data()
    {
        QTest::addColumn<QString>("ini");
        QTest::addColumn<uint>("id");
        QTest::addColumn<uint>("size");
        QTest::newRow("XQ6230") << "[chip]\nmodel=XQ6230\n" << 0x58516230u << 2097152u;
        QTest::newRow("XQ6030") << "[chip]\nmodel=XQ6030\n[flash]\njedec=EF4014\n" << 0xABCD0001u << 1048576u;
        QTest::newRow("XQ6130") << "[chip]\nmodel=XQ6130\n[flash]\njedec=EF4013\n" << 0xABCD0001u << 524288u;
    }
    void identifiesEachModel()
    {
        QFETCH(QString, ini);
        QFETCH(uint, id);
        QFETCH(uint, size);
        BenchFixture bench(ini);
        QCOMPARE(bench.Open(5), xq::kOk);
        QCOMPARE(bench.ChipId(), id);
        QCOMPARE(bench.Ctrl().CurrentMode(), 1u);  // back in mode 1 after the memory read
        FlashInfo info;
        QCOMPARE(bench.Ctrl().ReadFlashInfo(&info), xq::kOk);
        QCOMPARE(info.nTotalSize, size);
        QCOMPARE(info.nManufacturerId, uint8_t(0xEF));
        QCOMPARE(ChipModelName(id, info.nTotalSize, true), QString(QTest::currentDataTag()));
        QCOMPARE(bench.Ctrl().ClearChipRegisters(), xq::kOk);
        QCOMPARE(bench.Ctrl().SoftReset(false), xq::kOk);
    }

    // The fast profile leaves a 64 KiB block that reads all 0xFF unerased; a
    // block with one byte that is not, wherever it lies, is erased. Not in
    // link mode 2 (the encrypted write's erase), where batching never applies.
    void fastProfileErasesOnlyBlocksThatAreNotBlank_data()
    {
        QTest::addColumn<bool>("fast");
        QTest::addColumn<int>("dirtyAt");  // offset in the block of a 0x00 byte; -1: none
        QTest::addColumn<uint>("mode");    // the link mode the erase runs in
        QTest::addColumn<bool>("erased");
        QTest::newRow("default, blank") << false << -1 << 1u << true;
        QTest::newRow("fast, blank") << true << -1 << 1u << false;
        QTest::newRow("fast, first byte") << true << 0 << 1u << true;
        QTest::newRow("fast, past the first read") << true << 0x1100 << 1u << true;
        QTest::newRow("fast, last byte") << true << 0xFFFF << 1u << true;
        QTest::newRow("fast, blank, link mode 2") << true << -1 << 2u << true;
    }
    void fastProfileErasesOnlyBlocksThatAreNotBlank()
    {
        QFETCH(bool, fast);
        QFETCH(int, dirtyAt);
        QFETCH(uint, mode);
        QFETCH(bool, erased);
        BenchFixture bench;
        QByteArray flash(2 * 1024 * 1024, char(0xFF));
        if (dirtyAt >= 0)
            flash[0x10000 + dirtyAt] = 0;
        bench.WriteFlash(flash);
        QCOMPARE(bench.Open(9), xq::kOk);
        bench.Ctrl().SetBatchPrograms(fast);
        QCOMPARE(bench.Ctrl().SetMode(mode), xq::kOk);
        QCOMPARE(bench.Ctrl().BatchingInEffect(), fast && mode != 2);
        const int64_t nBusyBefore = bench.Stats().nFlashBusyUs;
        QCOMPARE(bench.Ctrl().EraseFlash(0x10000, 0x10000), xq::kOk);
        bench.Close();
        QCOMPARE(bench.Stats().nFlashBusyUs - nBusyBefore > 0, erased);
        QCOMPARE(bench.Flash(), QByteArray(2 * 1024 * 1024, char(0xFF)));
    }

    void everyAdapterWritesVerifiesAndReads_data()
    {
        QTest::addColumn<QString>("model");
        for (const sim::AdapterModel& model : sim::AdapterModels())
            QTest::newRow(model.pName) << QString(model.pName);
    }
    void everyAdapterWritesVerifiesAndReads()
    {
        // Through the real adapter link and library on each adapter's bench
        // model: its chip generation's commands, its channel, its buffer pins.
        QFETCH(QString, model);
        BenchFixture bench("[adapter]\nmodel=" + model + "\n");
        bench.FillPattern();
        const QByteArray image = RandomBytes(0x5000, 12);
        const int32_t nStart = 0x20000;
        QCOMPARE(bench.Open(9), 0);
        auto& c = bench.Ctrl();
        QCOMPARE(bench.ChipId(), 0x58516230u);
        QCOMPARE(c.EraseFlash(nStart, image.size()), 0);
        QCOMPARE(c.SetMode(1), 0);
        QCOMPARE(c.ProgramFlash(nStart, U8(image), image.size(), false), 0);
        QCOMPARE(c.VerifyFlash(U8(image), image.size(), nStart), 0);
        QByteArray back(image.size(), 0);
        QCOMPARE(c.ReadFlashData(reinterpret_cast<uint8_t*>(back.data()), back.size(), nStart), 0);
        QCOMPARE(back, image);
        bench.Close();
        QCOMPARE(bench.Flash().mid(nStart, image.size()), image);
        XQ_VERIFY_FLASH_KEPT(bench, {{nStart, image.size()}});
        QCOMPARE(bench.Stats().nPollBytes > 0, true);
    }

    void longReadsAtTheSlowestClock()
    {
        // 48 KiB at 100 kHz take 3.9 s on the wire: the read deadline grows
        // with the length, on the bench's clock as on hardware.
        BenchFixture bench;
        const QByteArray data = RandomBytes(2 * 1024 * 1024, 13);
        bench.WriteFlash(data);
        QCOMPARE(bench.Open(0), 0);
        QByteArray back(48 * 1024, 0);
        QCOMPARE(bench.Ctrl().ReadFlashData(reinterpret_cast<uint8_t*>(back.data()), back.size(), 0x1000), 0);
        QCOMPARE(back, data.mid(0x1000, back.size()));
        QVERIFY(bench.Stats().VirtualMs() > 3900);
    }

    void eraseProgramVerifyAtAnUnalignedStart()
    {
        BenchFixture bench;
        bench.FillPattern();
        const QByteArray image = RandomBytes(70000, 2);
        const int32_t nStart = 0x10800;
        QCOMPARE(bench.Open(), xq::kOk);
        auto& c = bench.Ctrl();
        const int32_t nSpan = image.size() + (nStart & 0xFFF);
        QCOMPARE(c.EraseFlash(nStart & ~0xFFF, nSpan), xq::kOk);
        QCOMPARE(c.SetMode(1), xq::kOk);
        QCOMPARE(c.ProgramFlash(nStart, U8(image), image.size(), false), xq::kOk);
        QCOMPARE(c.VerifyFlash(U8(image), image.size(), nStart), xq::kOk);
        QByteArray back(image.size(), 0);
        QCOMPARE(c.ReadFlashData(reinterpret_cast<uint8_t*>(back.data()), back.size(), nStart), xq::kOk);
        QCOMPARE(back, image);
        bench.Close();
        QCOMPARE(bench.Flash().mid(nStart, image.size()), image);
        const int nEnd = (nStart + image.size() + 0xFFF) & ~0xFFF;
        XQ_VERIFY_FLASH_KEPT(bench, {{0x10000, nEnd - 0x10000}});
    }

    void verifyRepairsAnUnalignedPieceWithoutTouchingNeighbours()
    {
        BenchFixture bench;
        bench.FillPattern();
        const QByteArray image = RandomBytes(0x2000, 4);
        QCOMPARE(bench.Open(), xq::kOk);
        // Not programmed at all: every piece differs and is repaired.
        QCOMPARE(bench.Ctrl().VerifyFlash(U8(image), image.size(), 0x3800), xq::kOk);
        bench.Close();
        QCOMPARE(bench.Flash().mid(0x3800, 0x2000), image);
        XQ_VERIFY_FLASH_KEPT(bench, {{0x3800, 0x2000}});  // the sectors' other bytes put back
    }

    void weakSectorIsRepairedDeadSectorFails()
    {
        BenchFixture bench("[faults]\nweak_sectors=2000\ndead_sectors=6000\n");
        bench.FillPattern();
        const QByteArray image = RandomBytes(0x8000, 5);
        QCOMPARE(bench.Open(), xq::kOk);
        auto& c = bench.Ctrl();
        QCOMPARE(c.EraseFlash(0, image.size()), xq::kOk);
        QCOMPARE(c.ProgramFlash(0, U8(image), 0x6000, false), xq::kOk);
        QByteArray raw(0x1000, 0);
        c.ReadFlashData(reinterpret_cast<uint8_t*>(raw.data()), 0x1000, 0x2000);
        QVERIFY(raw != image.mid(0x2000, 0x1000));  // the weak program left bits set
        QCOMPARE(c.VerifyFlash(U8(image), 0x6000, 0), xq::kOk);
        QCOMPARE(c.ProgramFlash(0x6000, U8(image) + 0x6000, 0x2000, false), xq::kOk);
        QCOMPARE(c.VerifyFlash(U8(image), 0x8000, 0), xq::kErrRepairFailed);
        bench.Close();
        QCOMPARE(bench.Flash().left(0x6000), image.left(0x6000));
        XQ_VERIFY_FLASH_KEPT(bench, {{0, 0x8000}});
    }

    void encryptedProgramming_data()
    {
        QTest::addColumn<bool>("marker");
        QTest::newRow("plain layout") << false;
        QTest::newRow("second region") << true;
    }
    void encryptedProgramming()
    {
        QFETCH(bool, marker);
        BenchFixture bench;
        bench.FillPattern();
        QByteArray image = RandomBytes(0xC000, 6);
        image[0x2FB0] = 2;
        if (marker) {
            const char magic[4] = {0x6F, 0x70, 0x00, 0x00};
            image.replace(0, 4, magic, 4);
        }
        QCOMPARE(bench.Open(), xq::kOk);
        auto& c = bench.Ctrl();
        QCOMPARE(c.EraseFlash(0, image.size()), xq::kOk);
        int nLast = -1;
        QCOMPARE(c.ProgramFlashEncrypted(0, U8(image), image.size(), false, [&](int p) { nLast = p; }), xq::kOk);
        QCOMPARE(nLast, 100);
        QCOMPARE(c.CurrentMode(), 1u);
        bench.Close();
        XQ_VERIFY_FLASH_KEPT(bench, {{0, image.size()}});
        const QByteArray flash = bench.Flash();
        QCOMPARE(flash.left(0x3000), image.left(0x3000));  // written in mode 1
        const int nEncrypted = marker ? 0xA000 : 0x3000;
        QVERIFY(flash.mid(nEncrypted, 0x100) != image.mid(nEncrypted, 0x100));
        if (marker) {
            QCOMPARE(flash.mid(0x9FB0, 80), image.mid(0x9FB0, 80));
            QVERIFY(flash.mid(0x3000, 0x100) != image.mid(0x3000, 0x100));
        } else {
            QVERIFY(flash.mid(0x9FB0, 80) != image.mid(0x9FB0, 80));  // no plain tail without the region
        }
    }

    void securityRegisterRoundTrip()
    {
        BenchFixture bench;
        QCOMPARE(bench.Open(), xq::kOk);
        auto& c = bench.Ctrl();
        uint8_t rec[16] = {};
        rec[15] = 9;
        QCOMPARE(c.EraseSecurity(0, 256), xq::kOk);
        QCOMPARE(c.ProgramSecurity(16, rec, 16), xq::kOk);
        uint8_t back[16];
        QCOMPARE(c.ReadSecurity(back, 16, 16), xq::kOk);
        QCOMPARE(QByteArray(reinterpret_cast<char*>(back), 16), QByteArray(reinterpret_cast<char*>(rec), 16));
        bench.Close();
        QCOMPARE(bench.Security().mid(16, 16), QByteArray(reinterpret_cast<char*>(rec), 16));
        QCOMPARE(bench.Security().at(0), char(0xFF));
    }

    void protectionMakesALaterProgramFail()
    {
        BenchFixture bench;
        bench.FillPattern();
        const QByteArray image = RandomBytes(0x1000, 7);
        QCOMPARE(bench.Open(), xq::kOk);
        auto& c = bench.Ctrl();
        QCOMPARE(c.WriteStatus(0x9C), xq::kOk);
        QCOMPARE(c.ReadProtectBit(), 0x9C);  // every protection bit counts, not only bit 7
        uint8_t nStatus = 0;
        QCOMPARE(c.ReadStatus(&nStatus), xq::kOk);
        QCOMPARE(nStatus, uint8_t(0x9C));
        QCOMPARE(c.EraseFlash(0, 0x1000), xq::kOk);
        QCOMPARE(c.ProgramFlash(0, U8(image), image.size(), false), xq::kOk);
        QCOMPARE(c.VerifyFlash(U8(image), image.size(), 0), xq::kErrRepairFailed);
        bench.Close();
        XQ_VERIFY_FLASH_KEPT(bench, {});  // protected: neither the erase nor the programs took
        QCOMPARE(bench.Open(), xq::kOk);
        QCOMPARE(c.ClearStatus(), xq::kOk);
        QCOMPARE(c.ReadProtectBit(), 0);
        QCOMPARE(c.VerifyFlash(U8(image), image.size(), 0), xq::kOk);
        QCOMPARE(c.WriteStatus(0x1C), xq::kOk);
        QCOMPARE(c.ReadProtectBit(), 0x1C);
        c.Close();
        QCOMPARE(c.WriteStatus(0x9C), xq::kErrNotOpen);  // the command's own result, not 0
    }

    void stuckBusyTimesOut()
    {
        BenchFixture bench("[faults]\nstuck_busy=true\n");
        QCOMPARE(bench.Open(), xq::kOk);
        auto& c = bench.Ctrl();
        const int64_t nStart = bench.Stats().VirtualMs();
        QVERIFY(c.WaitReady(0x01));
        QVERIFY(bench.Stats().VirtualMs() - nStart > 6000);
        QCOMPARE(c.SendCmdWE(0x20, 0, 3, nullptr, 0), xq::kErrFlashBusyTimeout);
        QCOMPARE(c.EraseFlash(0, 4096), xq::kErrFlashBusyAtStart);
        QCOMPARE(c.SoftReset(false), xq::kErrFlashBusyAtStart);
    }

    // The status wait after a command lasts that command's limit in the
    // flash table (never under 6 s), on the bench's virtual clock: a chip
    // erase far past 6 s passes within its flash's limit and times out
    // beyond it; a block erase keeps the 6 s.
    void busyWaitTakesTheCommandsLimit_data()
    {
        QTest::addColumn<QString>("ini");
        QTest::addColumn<bool>("identify");  // ReadFlashInfo first
        QTest::addColumn<int>("count");      // erased from 0; kWholeChip: a chip erase
        QTest::addColumn<int>("result");
        const int kChip = xq::kWholeChip;
        const int kTimeout = xq::kErrFlashBusyTimeout;
        QTest::newRow("chip erase 10 s, W25Q16") << "[timing]\nchip_erase_ms=10000\n" << true << kChip << 0;
        QTest::newRow("chip erase 26 s, W25Q16") << "[timing]\nchip_erase_ms=26000\n" << true << kChip << kTimeout;
        QTest::newRow("chip erase 190 s, W25Q128")
            << "[flash]\njedec=EF4018\n[timing]\nchip_erase_ms=190000\n" << true << kChip << 0;
        QTest::newRow("chip erase 210 s, W25Q128")
            << "[flash]\njedec=EF4018\n[timing]\nchip_erase_ms=210000\n" << true << kChip << kTimeout;
        QTest::newRow("chip erase 300 s, unlisted flash")
            << "[flash]\njedec=C22015\n[timing]\nchip_erase_ms=300000\n" << true << kChip << 0;
        QTest::newRow("chip erase 300 s, flash not identified") << "[timing]\nchip_erase_ms=300000\n" << false << kChip << 0;
        QTest::newRow("64 KiB block 7 s, W25Q16") << "[timing]\nerase64k_ms=7000\n" << true << 0x10000 << kTimeout;
        QTest::newRow("sector 5 s, W25Q16") << "[timing]\nerase4k_ms=5000\n" << true << 0x1000 << 0;
    }
    void busyWaitTakesTheCommandsLimit()
    {
        QFETCH(QString, ini);
        QFETCH(bool, identify);
        QFETCH(int, count);
        QFETCH(int, result);
        BenchFixture bench(ini);
        QCOMPARE(bench.Open(), xq::kOk);
        auto& c = bench.Ctrl();
        FlashInfo info;
        if (identify)
            QCOMPARE(c.ReadFlashInfo(&info), xq::kOk);
        QCOMPARE(c.EraseFlash(0, count), result);
        bench.Close();
    }

    void noFlashAndStuckMode()
    {
        BenchFixture noFlash("[faults]\nno_flash=true\n");
        QCOMPARE(noFlash.Open(), xq::kOk);
        QCOMPARE(noFlash.Ctrl().SoftReset(false), xq::kErrBadArgument);
        noFlash.Close();
        BenchFixture stuck("[faults]\nmode_stuck=true\n");
        QCOMPARE(stuck.Open(), xq::kOk);
        QCOMPARE(stuck.Ctrl().SetMode(2), xq::kErrModeChange);
        QCOMPARE(stuck.Ctrl().SetMode(1), xq::kOk);  // it stays in mode 1
    }

    void unplugMidProgramFails()
    {
        BenchFixture bench("[faults]\nunplug_after_transfers=40\n");
        bench.FillPattern();
        const QByteArray image = RandomBytes(0x4000, 8);
        QCOMPARE(bench.Open(), xq::kOk);
        auto& c = bench.Ctrl();
        int r = c.EraseFlash(0, image.size());
        if (r == 0)
            r = c.ProgramFlash(0, U8(image), image.size(), false);
        if (r == 0)
            r = c.VerifyFlash(U8(image), image.size(), 0);
        QVERIFY(r != 0);
        bench.Close();
        XQ_VERIFY_FLASH_KEPT(bench, {{0, image.size()}});
    }

    // The adapter goes away in the middle of a program: the program itself
    // fails, not only a verify after it.
    void programFailsWhereTheAdapterGoesAway()
    {
        const QByteArray image = RandomBytes(0x4000, 10);
        int64_t nAfterErase = 0;
        int64_t nProgram = 0;  // the transfers of the program (its batches)
        {
            BenchFixture healthy;
            QCOMPARE(healthy.Open(), xq::kOk);
            QCOMPARE(healthy.Ctrl().EraseFlash(0, image.size()), xq::kOk);
            nAfterErase = healthy.Stats().nUsbTransfers;
            QCOMPARE(healthy.Ctrl().ProgramFlash(0, U8(image), image.size(), false), xq::kOk);
            nProgram = healthy.Stats().nUsbTransfers - nAfterErase;
        }
        QVERIFY(nProgram >= 4);
        for (int64_t nMore : {int64_t(2), nProgram / 2, nProgram - 1}) {
            BenchFixture bench(QString("[faults]\nunplug_after_transfers=%1\n").arg(nAfterErase + nMore));
            bench.FillPattern();
            QCOMPARE(bench.Open(), xq::kOk);
            QCOMPARE(bench.Ctrl().EraseFlash(0, image.size()), xq::kOk);
            QVERIFY(bench.Ctrl().ProgramFlash(0, U8(image), image.size(), false) != xq::kOk);
            bench.Close();
            XQ_VERIFY_FLASH_KEPT(bench, {{0, image.size()}});
        }
    }

    // Every operation that erases part of a sector, with the adapter
    // unplugged after each of its transfers in turn: a success leaves every
    // byte outside the range as it was; a failure changes bytes outside it
    // only where the loss it reports names them.
    void outsideBytesSurviveOrAreNamed_data()
    {
        QTest::addColumn<int>("op");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("length");
        QTest::addColumn<QString>("ini");
        QTest::newRow("smart write") << int(kSmart) << 0x1800 << 0x2100 << QString();
        QTest::newRow("smart write, one sector") << int(kSmart) << 0x1900 << 0x100 << QString();
        QTest::newRow("smart write, weak head sector") << int(kSmart) << 0x1800 << 0x900 << QString("weak_sectors=1000\n");
        QTest::newRow("verify repair") << int(kRepair) << 0x3800 << 0x1000 << QString();
        // A one-shot USB fault while a sector's other bytes are put back: the
        // adapter is opened again (the bench counts its faults per session
        // anew) and the restore tried again; the operation still succeeds whole.
        QTest::newRow("smart write, tail restore's erase fails once") << int(kSmart) << 0x1800 << 0x2100
                                                                      << QString("fail_once=20@3\n");
        QTest::newRow("verify repair, second restore's erase fails once") << int(kRepair) << 0x3800 << 0x1000
                                                                          << QString("fail_once=20@2\n");
    }

    void outsideBytesSurviveOrAreNamed()
    {
        QFETCH(int, op);
        QFETCH(int, start);
        QFETCH(int, length);
        QFETCH(QString, ini);
        QByteArray image = RandomBytes(length, 12);
        auto run = [&](BenchFixture& bench, xq::FlashLoss& loss) {
            auto& c = bench.Ctrl();
            return op == kSmart ? c.SmartWrite(start, U8(image), length, nullptr, {}, &loss)
                                : c.VerifyFlash(U8(image), length, start, {}, &loss);
        };
        int64_t nOpen = 0;
        int64_t nAll = 0;
        {
            BenchFixture healthy("[faults]\n" + ini);
            healthy.FillPattern();
            QCOMPARE(healthy.Open(), xq::kOk);
            nOpen = healthy.Stats().nUsbTransfers;
            xq::FlashLoss loss;
            QCOMPARE(run(healthy, loss), xq::kOk);
            QVERIFY(!loss.Any());
            nAll = healthy.Stats().nUsbTransfers;
            healthy.Close();
            const QByteArray flash = healthy.Flash();
            QCOMPARE(flash.mid(start, length), image);
            XQ_VERIFY_FLASH_KEPT(healthy, {{start, length}});
        }
        int nLost = 0;
        const int64_t nStep = std::max<int64_t>(1, (nAll - nOpen) / 24);
        for (int64_t n = nOpen; n < nAll; n += nStep) {
            BenchFixture bench(QString("[faults]\n%1unplug_after_transfers=%2\n").arg(ini).arg(n));
            bench.FillPattern();
            xq::FlashLoss loss;
            QCOMPARE(bench.Open(), xq::kOk);
            const int r = run(bench, loss);
            bench.Close();
            QVERIFY(r != xq::kOk || !loss.Any());  // (a last write-disable may go unsent)
            nLost += loss.Any() ? 1 : 0;
            QVector<FlashRange> allowed{{start, length}};
            for (const xq::FlashLoss::Piece& piece : loss.pieces)
                allowed.push_back({piece.nAddress, piece.nLength});
            const QString strChanged = bench.ChangedOutside(allowed);
            QVERIFY2(strChanged.isEmpty(), qPrintable(QString("after %1 transfers: %2").arg(n).arg(strChanged)));
        }
        // Some unplug lands between an erase and the bytes put back.
        QVERIFY(nLost > 0);
    }

    // The erase waits are learned on the adapter's clock, the bench's virtual
    // time (no clock set): after the first erases of a kind, each later one
    // costs a few round trips (not one per poll through its whole busy
    // time), and the same work costs the same virtual
    // time again however busy the machine is.
    void erasesLearnOnTheAdaptersClock()
    {
        int64_t nHostNs[2] = {0, 0};
        for (int64_t& nHost : nHostNs) {
            BenchFixture bench;
            QCOMPARE(bench.Open(), xq::kOk);
            for (int i = 0; i < 4; ++i)
                QCOMPARE(bench.Ctrl().EraseFlash(i * 0x10000, 0x10000), xq::kOk);
            const int64_t nTrips = bench.Stats().nRoundTrips;
            for (int i = 4; i < 8; ++i)
                QCOMPARE(bench.Ctrl().EraseFlash(i * 0x10000, 0x10000), xq::kOk);
            QVERIFY2(bench.Stats().nRoundTrips - nTrips <= 4 * 8, qPrintable(QString::number(bench.Stats().nRoundTrips - nTrips)));
            nHost = bench.Stats().nHostNs;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        QCOMPARE(nHostNs[0], nHostNs[1]);
    }

    void pageProgramsLearnToWaitOnTheAdapter()
    {
        BenchFixture bench;
        bench.FillPattern();
        const QByteArray image = RandomBytes(0x20000, 9);
        QCOMPARE(bench.Open(9), xq::kOk);
        auto& c = bench.Ctrl();
        QCOMPARE(c.EraseFlash(0, image.size()), xq::kOk);
        QCOMPARE(c.ProgramFlash(0, U8(image), 0x10000, false), xq::kOk);  // learns the program time
        const int64_t nTrips = bench.Stats().nRoundTrips;
        QCOMPARE(c.ProgramFlash(0x10000, U8(image) + 0x10000, 0x10000, false), xq::kOk);
        const double dPerPage = double(bench.Stats().nRoundTrips - nTrips) / 256;
        // The mode query and, mostly, a single status poll per page.
        QVERIFY2(dPerPage < 2.5, qPrintable(QString::number(dPerPage)));
        QCOMPARE(c.VerifyFlash(U8(image), image.size(), 0), xq::kOk);
        bench.Close();
        XQ_VERIFY_FLASH_KEPT(bench, {{0, image.size()}});
    }

    void searchHeaderOnTheBench()
    {
        BenchFixture bench;
        // A record at 0x1FF000 + 8: "XQ", total 4092, used 12, stored as words MSB first.
        QByteArray rec(32, 0);
        rec[0] = 'X';
        rec[1] = 'Q';
        const int32_t nTotal = 4092, nUsed = 12;
        memcpy(rec.data() + 4, &nTotal, 4);
        memcpy(rec.data() + 8, &nUsed, 4);
        SpiFlashCtrl::SwapWords(reinterpret_cast<uint8_t*>(rec.data()), 32);
        QByteArray flash(2 * 1024 * 1024, char(0xFF));
        flash.replace(0x1FF008, 32, rec);
        bench.WriteFlash(flash);
        QCOMPARE(bench.Open(), xq::kOk);
        int32_t nOffset = -5;
        QByteArray out(4096, 0);
        QCOMPARE(bench.Ctrl().SearchHeader(0x1FF000, 4096, &nOffset, reinterpret_cast<uint8_t*>(out.data()), 4096), xq::kOk);
        QCOMPARE(nOffset, 8);
        QCOMPARE(out.left(2), QByteArray("XQ"));
        int32_t nReadUsed;
        memcpy(&nReadUsed, out.data() + 8, 4);
        QCOMPARE(nReadUsed, 12);
    }

    // Two benches in one process, both open at once and programmed from two
    // threads: each controller reaches only the bench it was made with.
    void twoBenchesSideBySide()
    {
        BenchFixture big;                                                         // XQ6230, 2 MiB
        BenchFixture small("[chip]\nmodel=XQ6130\n[flash]\njedec=EF4013\n");  // 512 KiB
        big.FillPattern();
        small.FillPattern(512 * 1024, 7);
        QCOMPARE(big.Open(), xq::kOk);
        QCOMPARE(small.Open(), xq::kOk);
        FlashInfo bigInfo, smallInfo;
        QCOMPARE(big.Ctrl().ReadFlashInfo(&bigInfo), xq::kOk);
        QCOMPARE(small.Ctrl().ReadFlashInfo(&smallInfo), xq::kOk);
        QCOMPARE(bigInfo.nTotalSize, 2u * 1024 * 1024);
        QCOMPARE(smallInfo.nTotalSize, 512u * 1024);

        const int32_t nAt = 0x20000;
        const QByteArray bigImage = RandomBytes(0x10000, 21);
        const QByteArray smallImage = RandomBytes(0x10000, 22);
        auto program = [nAt](SpiFlashCtrl& c, const QByteArray& image, int& r) {
            r = c.EraseFlash(nAt, image.size());
            if (r == xq::kOk)
                r = c.SetMode(1);
            if (r == xq::kOk)
                r = c.ProgramFlash(nAt, U8(image), image.size(), false);
            if (r == xq::kOk)
                r = c.VerifyFlash(U8(image), image.size(), nAt);
        };
        int nBig = -1;
        int nSmall = -1;
        std::thread first(program, std::ref(big.Ctrl()), std::cref(bigImage), std::ref(nBig));
        std::thread second(program, std::ref(small.Ctrl()), std::cref(smallImage), std::ref(nSmall));
        first.join();
        second.join();
        QCOMPARE(nBig, xq::kOk);
        QCOMPARE(nSmall, xq::kOk);
        big.Close();
        small.Close();
        QCOMPARE(big.Flash().mid(nAt, bigImage.size()), bigImage);
        QCOMPARE(small.Flash().mid(nAt, smallImage.size()), smallImage);
        XQ_VERIFY_FLASH_KEPT(big, {{nAt, bigImage.size()}});
        XQ_VERIFY_FLASH_KEPT(small, {{nAt, smallImage.size()}});
    }
};

QTEST_GUILESS_MAIN(TestChipBench)
#include "test_chip_bench.moc"
