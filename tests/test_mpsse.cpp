// The adapter library's byte stream, checked against command sequences
// written out by hand from FTDI AN_108 (not produced by our encoder).
#include "recordingtransport.h"

#include <adaptermodel.h>
#include <adapters.h>
#include <location.h>
#include <readloop.h>
#include <mpsse.h>

#include <QtTest>

using Bytes = std::vector<uint8_t>;

namespace {
// AN_108 3.8.2: 0x86 divisor; 3.8.x: 0x8A divide-by-5 off, 0x97 adaptive off,
// 0x8D three-phase off; 3.7.2: 0x85 loopback off; 3.6.1: 0x80 value direction.
Bytes InitBytes(uint8_t nDivLow, uint8_t nDivHigh)
{
    return {0x8A, 0x97, 0x8D, 0x85, 0x86, nDivLow, nDivHigh, 0x80, 0x08, 0x0B};
}

Bytes Concat(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}
}  // namespace

class TestMpsse : public QObject {
    Q_OBJECT

    std::shared_ptr<RecordingBackend> m_pBackend;

    void* OpenAt(uint32_t nHz)
    {
        return mpsse::MPSSE_PortPath(*m_pBackend, 1, nHz, 2, 0, 33, 0);
    }

private slots:
    void init()
    {
        m_pBackend = std::make_shared<RecordingBackend>();
        mpsse::AdapterEntry e;
        e.nVendor = 0x0403;
        e.nProduct = 0x6010;
        e.nLocation = 33;
        m_pBackend->entries.push_back(e);
    }

    void openSynchronisesAndConfigures()
    {
        void* pCtx = OpenAt(6000000);
        QVERIFY(pCtx);
        const auto& w = m_pBackend->pScript->writes;
        QCOMPARE(w.size(), size_t(2));
        QCOMPARE(w[0], (Bytes{0xAA, 0x87}));         // bad command probe + send immediate
        QCOMPARE(w[1], InitBytes(0x04, 0x00));        // 60 MHz / ((1 + 4) * 2) = 6 MHz
        QCOMPARE(mpsse::Close(pCtx), 0);
        QCOMPARE(w.back(), (Bytes{0x80, 0x00, 0x00})); // every pin back to input
    }

    void openFailsWhenTheEngineDoesNotEcho()
    {
        m_pBackend->pScript->bAnswerSync = false;
        m_pBackend->pScript->replies = {0x00, 0x00};
        mpsse::AdapterError error;
        QVERIFY(!mpsse::MPSSE_PortPath(*m_pBackend, 1, 6000000, 2, 0, 33, 0, &error));
        QCOMPARE(int(error.nFault), int(mpsse::AdapterFault::kNoSyncAnswer));  // worded by the program
        QVERIFY(!error.strText.empty());  // the library's own words stay for a log
    }

    void clockDivisors_data()
    {
        QTest::addColumn<uint>("hz");
        QTest::addColumn<uint>("chip");
        QTest::addColumn<Bytes>("init");
        QTest::newRow("100k H") << 100000u << uint(mpsse::kChipFt2232H) << InitBytes(0x2B, 0x01);  // 299
        QTest::newRow("6M H") << 6000000u << uint(mpsse::kChipFt2232H) << InitBytes(0x04, 0x00);
        QTest::newRow("30M H") << 30000000u << uint(mpsse::kChipFt232H) << InitBytes(0x00, 0x00);
        QTest::newRow("60M runs at 30M") << 60000000u << uint(mpsse::kChipFt2232H) << InitBytes(0x00, 0x00);
        // AN_108 section 6: 0x8A, 0x97 and 0x8D are H-chip commands; the
        // FT2232D gets loopback off, the divisor of its 12 MHz base and the pins.
        QTest::newRow("6M on FT2232D") << 6000000u << uint(mpsse::kChipFt2232D)
                                       << Bytes{0x85, 0x86, 0x00, 0x00, 0x80, 0x08, 0x0B};
        QTest::newRow("1M on FT2232D") << 1000000u << uint(mpsse::kChipFt2232D)
                                       << Bytes{0x85, 0x86, 0x05, 0x00, 0x80, 0x08, 0x0B};
        QTest::newRow("5M on H rounds down to 5M") << 5000000u << uint(mpsse::kChipFt2232H) << InitBytes(0x05, 0x00);
        QTest::newRow("7M on H runs at 6M") << 7000000u << uint(mpsse::kChipFt2232H) << InitBytes(0x04, 0x00);
    }
    void clockDivisors()
    {
        QFETCH(uint, hz);
        QFETCH(uint, chip);
        QFETCH(Bytes, init);
        m_pBackend->pScript->nChipType = chip;
        void* pCtx = OpenAt(hz);
        QVERIFY(pCtx);
        QCOMPARE(m_pBackend->pScript->writes.at(1), init);
        mpsse::Close(pCtx);
    }

    void actualClock()
    {
        QCOMPARE(mpsse::ActualClockHz(mpsse::kChipFt2232H, 60000000), 30000000u);
        QCOMPARE(mpsse::ActualClockHz(mpsse::kChipFt2232H, 7000000), 6000000u);
        QCOMPARE(mpsse::ActualClockHz(mpsse::kChipFt2232D, 30000000), 6000000u);
    }

    void setClockFlushesAtOnce()
    {
        void* pCtx = OpenAt(6000000);
        m_pBackend->pScript->writes.clear();
        QCOMPARE(mpsse::SetClock(pCtx, 30000000), xq::kOk);
        QCOMPARE(m_pBackend->pScript->writes, (std::vector<Bytes>{{0x86, 0x00, 0x00}}));
        mpsse::Close(pCtx);
    }

    void batchedFramesGoOutWithTheRead()
    {
        void* pCtx = OpenAt(6000000);
        auto& s = *m_pBackend->pScript;
        s.writes.clear();
        const uint8_t we = 0x06, wd = 0x04, prog[] = {0x02, 0x00, 0x01, 0x00, 0xAB};
        for (const auto& frame : {Bytes{we}, Bytes(prog, prog + 5), Bytes{wd}}) {
            mpsse::Start(pCtx);
            QCOMPARE(mpsse::FastWrite(pCtx, frame.data(), int(frame.size())), 0);
            mpsse::Stop(pCtx);
        }
        QVERIFY(s.writes.empty());  // write-only frames are only queued
        s.replies = {0x03};
        const uint8_t rdsr = 0x05;
        uint8_t status = 0;
        mpsse::Start(pCtx);
        mpsse::FastWrite(pCtx, &rdsr, 1);
        QCOMPARE(mpsse::FastRead(pCtx, &status, 1), 0);
        mpsse::Stop(pCtx);
        QCOMPARE(status, uint8_t(0x03));
        // AN_108 3.3.1 (0x11 bytes out, falling edge, MSB first) and 3.3.5
        // (0x20 bytes in, rising edge), lengths as length - 1, low byte first.
        const Bytes expected = Concat({
            {0x80, 0x00, 0x0B, 0x11, 0x00, 0x00, 0x06, 0x80, 0x08, 0x0B},
            {0x80, 0x00, 0x0B, 0x11, 0x04, 0x00, 0x02, 0x00, 0x01, 0x00, 0xAB, 0x80, 0x08, 0x0B},
            {0x80, 0x00, 0x0B, 0x11, 0x00, 0x00, 0x04, 0x80, 0x08, 0x0B},
            {0x80, 0x00, 0x0B, 0x11, 0x00, 0x00, 0x05, 0x20, 0x00, 0x00, 0x87},
        });
        QCOMPARE(s.writes, std::vector<Bytes>{expected});
        mpsse::Close(pCtx);
        QCOMPARE(s.writes.back(), (Bytes{0x80, 0x08, 0x0B, 0x80, 0x00, 0x00}));  // the last Stop, then pins to input
    }

    void deferredReadsShareOneRoundTrip()
    {
        void* pCtx = OpenAt(6000000);
        auto& s = *m_pBackend->pScript;
        s.writes.clear();
        const uint8_t query[] = {0xFE, 0, 0, 0, 0}, rdsr = 0x05;
        uint8_t mode = 0, status = 0;
        mpsse::Start(pCtx);
        mpsse::FastWrite(pCtx, query, 5);
        QCOMPARE(mpsse::FastReadLater(pCtx, &mode, 1), 0);
        mpsse::Stop(pCtx);
        QVERIFY(s.writes.empty());  // the first read waits in the queue
        s.replies = {0x01, 0x02};
        mpsse::Start(pCtx);
        mpsse::FastWrite(pCtx, &rdsr, 1);
        QCOMPARE(mpsse::FastRead(pCtx, &status, 1), 0);
        mpsse::Stop(pCtx);
        QCOMPARE(mode, uint8_t(0x01));
        QCOMPARE(status, uint8_t(0x02));
        const Bytes expected = Concat({
            {0x80, 0x00, 0x0B, 0x11, 0x04, 0x00, 0xFE, 0x00, 0x00, 0x00, 0x00, 0x20, 0x00, 0x00, 0x80, 0x08, 0x0B},
            {0x80, 0x00, 0x0B, 0x11, 0x00, 0x00, 0x05, 0x20, 0x00, 0x00, 0x87},
        });
        QCOMPARE(s.writes, std::vector<Bytes>{expected});
        QCOMPARE(s.nTransfers, 3 + 2);  // open: three; then one write and one read

        // A queued read also arrives when the queue goes out for another reason.
        s.replies = {0x07};
        QCOMPARE(mpsse::FastReadLater(pCtx, &status, 1), 0);
        QCOMPARE(mpsse::SetClock(pCtx, 30000000), 0);
        QCOMPARE(status, uint8_t(0x07));
        // A reply that never comes fails the call that sent the queue, and sticks.
        QCOMPARE(mpsse::FastReadLater(pCtx, &status, 1), 0);
        QCOMPARE(mpsse::FastRead(pCtx, &mode, 1), int(mpsse::kErrReadTimeout));
        QCOMPARE(mpsse::FastReadLater(pCtx, &status, 1), int(mpsse::kErrReadTimeout));
        mpsse::Close(pCtx);
    }

    void withoutBatchingEveryCallIsATransfer()
    {
        m_pBackend->SetWriteBatching(false);
        void* pCtx = OpenAt(6000000);
        auto& s = *m_pBackend->pScript;
        s.writes.clear();
        const uint8_t we = 0x06;
        mpsse::Start(pCtx);
        mpsse::FastWrite(pCtx, &we, 1);
        mpsse::Stop(pCtx);
        QCOMPARE(s.writes, (std::vector<Bytes>{{0x80, 0x00, 0x0B}, {0x11, 0x00, 0x00, 0x06}, {0x80, 0x08, 0x0B}}));
        mpsse::Close(pCtx);

        // The setting is that backend's: a context on another one still batches.
        RecordingBackend other;
        other.entries = m_pBackend->entries;
        void* pOther = mpsse::MPSSE_PortPath(other, 1, 6000000, 2, 0, 33, 0);
        QVERIFY(pOther);
        other.pScript->writes.clear();
        mpsse::Start(pOther);
        mpsse::FastWrite(pOther, &we, 1);
        mpsse::Stop(pOther);
        QVERIFY(other.pScript->writes.empty());  // queued until something sends it
        mpsse::Close(pOther);
        QCOMPARE(other.pScript->writes.size(), size_t(1));
    }

    void framesAbove64KiBAreSplit()
    {
        void* pCtx = OpenAt(30000000);
        auto& s = *m_pBackend->pScript;
        s.writes.clear();
        Bytes data(70000);
        for (size_t i = 0; i < data.size(); ++i)
            data[i] = uint8_t(i * 7);
        std::vector<uint8_t> rx(70000);
        s.replies.assign(70000, 0x5A);
        mpsse::Start(pCtx);
        QCOMPARE(mpsse::FastWrite(pCtx, data.data(), int(data.size())), 0);
        QCOMPARE(mpsse::FastRead(pCtx, rx.data(), int(rx.size())), 0);
        mpsse::Stop(pCtx);
        // The queue overflowed once: the stream is the two writes joined.
        QCOMPARE(s.writes.size(), size_t(2));
        const Bytes w = Concat({s.writes[0], s.writes[1]});
        // 65536 bytes as FF FF, then 4464 bytes as 0x116F.
        QCOMPARE(Bytes(w.begin(), w.begin() + 6), (Bytes{0x80, 0x00, 0x0B, 0x11, 0xFF, 0xFF}));
        QCOMPARE(Bytes(w.begin() + 6 + 65536, w.begin() + 9 + 65536), (Bytes{0x11, 0x6F, 0x11}));
        QCOMPARE(Bytes(w.end() - 7, w.end()), (Bytes{0x20, 0xFF, 0xFF, 0x20, 0x6F, 0x11, 0x87}));
        QVERIFY(std::equal(data.begin(), data.begin() + 65536, w.begin() + 6));
        QCOMPARE(rx[69999], uint8_t(0x5A));
        mpsse::Close(pCtx);
    }

    void failuresAreStickyUntilClose_data()
    {
        QTest::addColumn<int>("failOn");
        QTest::addColumn<int>("code");
        QTest::newRow("write of the frame") << 3 << int(mpsse::kErrUsbWrite);
        QTest::newRow("read of the reply") << 4 << int(mpsse::kErrUsbRead);
    }
    void failuresAreStickyUntilClose()
    {
        QFETCH(int, failOn);
        QFETCH(int, code);
        void* pCtx = OpenAt(6000000);  // transfers 1 (probe), 2 (echo read) and 3 (set-up)
        auto& s = *m_pBackend->pScript;
        s.nFailOnTransfer = failOn + 1;
        s.replies = {0x00};
        const uint8_t rdsr = 0x05;
        uint8_t status;
        mpsse::Start(pCtx);
        mpsse::FastWrite(pCtx, &rdsr, 1);
        QCOMPARE(mpsse::FastRead(pCtx, &status, 1), code);
        QCOMPARE(s.nPurges, 1);
        QCOMPARE(mpsse::FastWrite(pCtx, &rdsr, 1), code);  // sticky
        QCOMPARE(mpsse::Start(pCtx), code);
        mpsse::Close(pCtx);
        s.nFailOnTransfer = 0;
        pCtx = OpenAt(6000000);
        QVERIFY(pCtx);  // a fresh context works again
        s.replies = {0x42};
        mpsse::Start(pCtx);
        mpsse::FastWrite(pCtx, &rdsr, 1);
        QCOMPARE(mpsse::FastRead(pCtx, &status, 1), 0);
        QCOMPARE(status, uint8_t(0x42));
        mpsse::Close(pCtx);
    }

    void idleClocksWithoutAFrame()
    {
        void* pCtx = OpenAt(30000000);
        auto& s = *m_pBackend->pScript;
        s.writes.clear();
        QCOMPARE(mpsse::Idle(pCtx, 100), 0);  // 100 us at 30 MHz: 375 bytes of clocks
        s.replies = {0x00};
        const uint8_t rdsr = 0x05;
        uint8_t status;
        mpsse::Start(pCtx);
        mpsse::FastWrite(pCtx, &rdsr, 1);
        mpsse::FastRead(pCtx, &status, 1);
        // AN_108 3.4.x: 0x8F clocks n x 8 bits with no data; CS stays high before it.
        const Bytes& w = s.writes.at(0);
        QCOMPARE(Bytes(w.begin(), w.begin() + 6), (Bytes{0x8F, 0x76, 0x01, 0x80, 0x00, 0x0B}));
        mpsse::Close(pCtx);
        // The FT2232D has no 0x8F: 100 us at 6 MHz are 75 zero bytes clocked
        // out with CS high (0x11, length 74).
        m_pBackend->pScript->nChipType = mpsse::kChipFt2232D;
        pCtx = OpenAt(6000000);
        s.writes.clear();
        QCOMPARE(mpsse::Idle(pCtx, 100), 0);
        mpsse::Close(pCtx);
        Bytes expected{0x11, 0x4A, 0x00};
        expected.insert(expected.end(), 75, 0x00);
        expected.insert(expected.end(), {0x80, 0x00, 0x00});
        QCOMPARE(s.writes, std::vector<Bytes>{expected});
    }

    void readDeadlineGrowsWithTheBytesClocked()
    {
        // 100 kHz: a 64 KiB read needs 5243 ms of clocking on top of the margin.
        void* pCtx = OpenAt(100000);
        auto& s = *m_pBackend->pScript;
        std::vector<uint8_t> rx(65536);
        s.replies.assign(rx.size(), 0x00);
        QCOMPARE(mpsse::FastRead(pCtx, rx.data(), int(rx.size())), 0);
        QCOMPARE(s.readTimeouts.back(), 2000 + 5243);
        // Bytes queued before the read count too: a 256-byte page program and
        // a 1-byte status read at 100 kHz: (4 + 256 + 1 + 1) * 80 us = 20.96 ms.
        Bytes page(260, 0x5A);
        mpsse::Start(pCtx);
        mpsse::FastWrite(pCtx, page.data(), int(page.size()));
        mpsse::Stop(pCtx);
        const uint8_t rdsr = 0x05;
        uint8_t status;
        s.replies = {0x00};
        mpsse::Start(pCtx);
        mpsse::FastWrite(pCtx, &rdsr, 1);
        QCOMPARE(mpsse::FastRead(pCtx, &status, 1), 0);
        QCOMPARE(s.readTimeouts.back(), 2000 + 21);
        // The count starts again after each reply.
        s.replies = {0x00};
        QCOMPARE(mpsse::FastRead(pCtx, &status, 1), 0);
        QCOMPARE(s.readTimeouts.back(), 2000 + 1);
        mpsse::Close(pCtx);
    }

    void closeAfterAnErrorRaisesChipSelect()
    {
        void* pCtx = OpenAt(6000000);  // transfers 1..3
        auto& s = *m_pBackend->pScript;
        s.nFailOnTransfer = 5;  // the read of the reply
        const uint8_t rdsr = 0x05;
        uint8_t status;
        mpsse::Start(pCtx);
        mpsse::FastWrite(pCtx, &rdsr, 1);
        QCOMPARE(mpsse::FastRead(pCtx, &status, 1), int(mpsse::kErrUsbRead));
        s.writes.clear();
        QCOMPARE(mpsse::Close(pCtx), int(mpsse::kErrUsbRead));  // the first error stays the result
        QCOMPARE(s.writes, (std::vector<Bytes>{{0x80, 0x08, 0x0B, 0x80, 0x00, 0x00}}));

        // Also when the transfer that failed was the one raising it.
        m_pBackend->SetWriteBatching(false);
        pCtx = OpenAt(6000000);
        s.nFailOnTransfer = s.nTransfers + 3;  // the Start, the write, then the Stop
        mpsse::Start(pCtx);
        mpsse::FastWrite(pCtx, &rdsr, 1);
        QCOMPARE(mpsse::Stop(pCtx), int(mpsse::kErrUsbWrite));
        s.writes.clear();
        QCOMPARE(mpsse::Close(pCtx), int(mpsse::kErrUsbWrite));
        QCOMPARE(s.writes, (std::vector<Bytes>{{0x80, 0x08, 0x0B, 0x80, 0x00, 0x00}}));
    }

    void bufferedBoardsEnableTheirBuffers()
    {
        // JTAGkey: ADBUS4 low as an output (the buffer's active-low OE), the
        // high byte 0x0C/0x0F (nTRST/nSRST drivers off), held in every frame.
        auto& s = *m_pBackend->pScript;
        s.nChipType = mpsse::kChipFt2232D;
        s.pBoard = mpsse::FindBoard(0x0403, 0xCFF8, "Amontec JTAGkey");
        QVERIFY(s.pBoard);
        void* pCtx = OpenAt(6000000);
        QCOMPARE(s.writes.at(1), (Bytes{0x85, 0x86, 0x00, 0x00, 0x80, 0x08, 0x1B, 0x82, 0x0C, 0x0F}));
        s.writes.clear();
        const uint8_t we = 0x06;
        mpsse::Start(pCtx);
        mpsse::FastWrite(pCtx, &we, 1);
        mpsse::Stop(pCtx);
        mpsse::Close(pCtx);
        QCOMPARE(s.writes, (std::vector<Bytes>{{0x80, 0x00, 0x1B, 0x11, 0x00, 0x00, 0x06, 0x80, 0x08, 0x1B, 0x80, 0x00,
                                                0x00, 0x82, 0x00, 0x00}}));
    }

    // The USB read loop with a stub read call: each step of `steps` is what
    // one call returns (bytes, or a negative libusb code), and each call
    // lets 1 ms pass on the stub clock.
    void readLoop_data()
    {
        QTest::addColumn<QList<int>>("steps");
        QTest::addColumn<int>("want");
        QTest::addColumn<int>("timeoutMs");
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("received");
        QTest::newRow("whole reply at once") << QList<int>{8} << 8 << 10 << int(mpsse::kOk) << 8;
        QTest::newRow("packets with only the status bytes, then data")
            << QList<int>{0, 0, 0, 8} << 8 << 10 << int(mpsse::kOk) << 8;
        QTest::newRow("short reads add up") << QList<int>{3, 0, 2, 3} << 8 << 10 << int(mpsse::kOk) << 8;
        QTest::newRow("nothing within the deadline") << QList<int>{0} << 8 << 5 << int(mpsse::kErrReadTimeout) << 0;
        QTest::newRow("half a reply, then silence") << QList<int>{4, 0} << 8 << 5 << int(mpsse::kErrReadTimeout) << 4;
        QTest::newRow("device gone") << QList<int>{2, -4} << 8 << 10 << int(mpsse::kErrUsbRead) << 2;
        // Each call takes 1 ms: the sixth ends past a 5 ms deadline, and what it brings still counts.
        QTest::newRow("reply on the call that ends past the deadline")
            << QList<int>{0, 0, 0, 0, 0, 8} << 8 << 5 << int(mpsse::kOk) << 8;
        QTest::newRow("reply one call later") << QList<int>{0, 0, 0, 0, 0, 0, 8} << 8 << 5 << int(mpsse::kErrReadTimeout)
                                              << 0;
    }
    void readLoop()
    {
        QFETCH(QList<int>, steps);
        QFETCH(int, want);
        QFETCH(int, timeoutMs);
        QFETCH(int, result);
        QFETCH(int, received);
        int64_t nNow = 1000;
        int nCall = 0;
        uint8_t nNext = 0;
        const mpsse::ReadCall read = [&](uint8_t* p, int nMax) {
            // The last step repeats: a silent adapter stays silent.
            const int n = steps.at(std::min(nCall++, int(steps.size()) - 1));
            ++nNow;
            if (n < 0)
                return n;
            const int nGive = std::min(n, nMax);
            for (int i = 0; i < nGive; ++i)
                p[i] = nNext++;
            return nGive;
        };
        std::vector<uint8_t> buf(size_t(want), 0xEE);
        const mpsse::ReadOutcome out = mpsse::ReadFully(read, buf.data(), want, timeoutMs, [&] { return nNow; });
        QCOMPARE(out.nResult, result);
        QCOMPARE(out.nReceived, received);
        for (int i = 0; i < received; ++i)
            QCOMPARE(buf[size_t(i)], uint8_t(i));  // in order, nothing lost between calls
        if (result == mpsse::kErrUsbRead)
            QCOMPARE(out.nLibCode, -4);
        if (result == mpsse::kErrReadTimeout)
            QVERIFY(nNow - 1000 > timeoutMs);  // gave up only after the deadline
    }

    // Every board's pins beside SK/DO/DI/CS against the sources the README
    // cites: OpenOCD's layout_init (value, direction; high byte first), of
    // which the library drives bits 4..7 of the low byte and the high byte.
    // The bench plays each board with the gate its documentation gives: the
    // library's pins open it, and flipping any one pin the gate names closes it.
    void boardPinsMatchTheirSources_data()
    {
        QTest::addColumn<QString>("model");     // the bench's [adapter] model, empty: none
        QTest::addColumn<int>("vendor");
        QTest::addColumn<int>("product");
        QTest::addColumn<QString>("productString");
        QTest::addColumn<int>("initValue");     // OpenOCD layout_init; -1: the board has no buffer
        QTest::addColumn<int>("initDirection");
        QTest::newRow("Bus Blaster v2 8878") << "BusBlaster" << 0x0403 << 0x8878 << "" << 0x0C08 << 0x0F1B;
        QTest::newRow("Bus Blaster v2 8879") << "" << 0x0403 << 0x8879 << "" << 0x0C08 << 0x0F1B;
        QTest::newRow("Bus Blaster v2 6010") << "" << 0x0403 << 0x6010 << "Bus Blaster v2" << 0x0C08 << 0x0F1B;
        QTest::newRow("JTAGkey") << "JTAGkey" << 0x0403 << 0xCFF8 << "" << 0x0C08 << 0x0F1B;
        QTest::newRow("Turtelizer 2") << "Turtelizer" << 0x0403 << 0xBDC8 << "" << 0x0008 << 0x0C7B;
        QTest::newRow("TIAO (SPI header, no buffer)") << "TIAO" << 0x0403 << 0x8A98 << "" << 0x0008 << 0x000B;
        QTest::newRow("Olimex ARM-USB-OCD") << "OlimexOCD" << 0x15BA << 0x0003 << "" << 0x0C08 << 0x0F1B;
        QTest::newRow("Olimex ARM-USB-TINY") << "OlimexTiny" << 0x15BA << 0x0004 << "" << 0x0808 << 0x0A1B;
        QTest::newRow("FT2232H module") << "FT2232H" << 0x0403 << 0x6010 << "Dual RS232-HS" << -1 << -1;
        QTest::newRow("FT232H module") << "FT232H" << 0x0403 << 0x6014 << "Single RS232-HS" << -1 << -1;
        QTest::newRow("FT4232H module") << "FT4232H" << 0x0403 << 0x6011 << "Quad RS232-HS" << -1 << -1;
    }
    void boardPinsMatchTheirSources()
    {
        QFETCH(QString, model);
        QFETCH(int, vendor);
        QFETCH(int, product);
        QFETCH(QString, productString);
        QFETCH(int, initValue);
        QFETCH(int, initDirection);
        const mpsse::BoardPins* pBoard = mpsse::FindBoard(uint16_t(vendor), uint16_t(product), productString.toStdString());
        const bool bBuffered = initValue >= 0 && (initDirection & 0xFFF0) != 0;
        if (initValue < 0) {
            QVERIFY(!pBoard);
        } else {
            QVERIFY(pBoard);
            QCOMPARE(pBoard->nChannel, 1);
            const QList<int> pins{pBoard->nLowValue, pBoard->nLowDirection, pBoard->nHighValue, pBoard->nHighDirection};
            QCOMPARE(pins, (QList<int>{initValue & 0xF0, initDirection & 0xF0, initValue >> 8, initDirection >> 8}));
        }
        if (model.isEmpty())
            return;
        const sim::AdapterModel* pModel = sim::FindAdapterModel(model);
        QVERIFY(pModel);
        QCOMPARE(int(pModel->nVendor), vendor);
        QCOMPARE(int(pModel->nProduct), product);
        const sim::BoardGate& gate = pModel->gate;
        QCOMPARE(gate.nLowMask != 0 || gate.nHighMask != 0, bBuffered);
        const uint8_t nLowValue = (pBoard ? pBoard->nLowValue : 0) | 0x08;  // CS high between frames
        const uint8_t nLowDir = (pBoard ? pBoard->nLowDirection : 0) | 0x0B;
        const uint8_t nHighValue = pBoard ? pBoard->nHighValue : 0;
        const uint8_t nHighDir = pBoard ? pBoard->nHighDirection : 0;
        QVERIFY(gate.Open(nLowValue, nLowDir, nHighValue, nHighDir));
        for (int bit = 0; bit < 8; ++bit) {
            const uint8_t m = uint8_t(1u << bit);
            if (gate.nLowMask & m) {
                QVERIFY2(!gate.Open(nLowValue ^ m, nLowDir, nHighValue, nHighDir), qPrintable(QString("ADBUS%1").arg(bit)));
                QVERIFY(!gate.Open(nLowValue, nLowDir & ~m, nHighValue, nHighDir));
            }
            if (gate.nHighMask & m) {
                QVERIFY2(!gate.Open(nLowValue, nLowDir, nHighValue ^ m, nHighDir), qPrintable(QString("ACBUS%1").arg(bit)));
                QVERIFY(!gate.Open(nLowValue, nLowDir, nHighValue, nHighDir & ~m));
            }
        }
    }

    void boardsAndChannels()
    {
        using mpsse::ChannelForSelector;
        using mpsse::FindBoard;
        // Boards sharing the FT2232H id are told apart by the product string.
        QVERIFY(!FindBoard(0x0403, 0x6010, "Dual RS232-HS"));
        QVERIFY(FindBoard(0x0403, 0x6010, "Bus Blaster v2"));
        QVERIFY(FindBoard(0x0403, 0x8878, ""));
        QVERIFY(FindBoard(0x15BA, 0x0004, "Olimex OpenOCD JTAG TINY"));
        QVERIFY(!FindBoard(0x15BA, 0x0005, ""));
        // Selector 2 is B where there are two MPSSE channels, else A.
        QCOMPARE(ChannelForSelector(mpsse::kChipFt2232H, nullptr, 2), 2);
        QCOMPARE(ChannelForSelector(mpsse::kChipFt4232H, nullptr, 2), 2);
        QCOMPARE(ChannelForSelector(mpsse::kChipFt2232D, nullptr, 2), 1);
        QCOMPARE(ChannelForSelector(mpsse::kChipFt232H, nullptr, 2), 1);
        QCOMPARE(ChannelForSelector(mpsse::kChipFt2232H, nullptr, 0), 1);
        QCOMPARE(ChannelForSelector(mpsse::kChipFt4232H, nullptr, 3), 0);  // C: a UART only
        // A buffered board opens the channel its buffer is on.
        QCOMPARE(ChannelForSelector(mpsse::kChipFt2232H, FindBoard(0x0403, 0x6010, "Bus Blaster v2"), 2), 1);
    }

    // Each chip generation by its bcdDevice, against the data sheets'
    // figures; an unknown bcdDevice is taken as the FT2232H.
    void chipGenerations_data()
    {
        QTest::addColumn<int>("bcd");
        QTest::addColumn<uint>("type");
        QTest::addColumn<int>("channels");
        QTest::addColumn<int>("mpsse");
        QTest::addColumn<bool>("highSpeed");
        QTest::addColumn<int>("rxBuffer");
        QTest::newRow("FT2232D") << 0x0500 << uint(mpsse::kChipFt2232D) << 2 << 1 << false << 384;
        QTest::newRow("FT2232H") << 0x0700 << uint(mpsse::kChipFt2232H) << 2 << 2 << true << 4096;
        QTest::newRow("FT4232H") << 0x0800 << uint(mpsse::kChipFt4232H) << 4 << 2 << true << 2048;
        QTest::newRow("FT232H") << 0x0900 << uint(mpsse::kChipFt232H) << 1 << 1 << true << 1024;
        QTest::newRow("unknown") << 0x1234 << uint(mpsse::kChipFt2232H) << 2 << 2 << true << 4096;
    }
    void chipGenerations()
    {
        QFETCH(int, bcd);
        QFETCH(uint, type);
        QFETCH(int, channels);
        QFETCH(int, mpsse);
        QFETCH(bool, highSpeed);
        QFETCH(int, rxBuffer);
        const uint32_t nType = mpsse::ChipTypeFromBcd(uint16_t(bcd));
        QCOMPARE(uint(nType), type);
        QCOMPARE(mpsse::ChannelCount(nType), channels);
        QCOMPARE(mpsse::MpsseChannelCount(nType), mpsse);
        QCOMPARE(mpsse::IsHighSpeedChip(nType), highSpeed);
        QCOMPARE(mpsse::RxBufferBytes(nType), rxBuffer);
        for (const sim::AdapterModel& model : sim::AdapterModels())
            if (model.nBcdDevice == bcd)
                QCOMPARE(model.RxBufferBytes(), rxBuffer);
    }

    void shortReplyTimesOut()
    {
        void* pCtx = OpenAt(6000000);
        m_pBackend->pScript->replies = {0x01};
        uint8_t buf[4];
        QCOMPARE(mpsse::FastRead(pCtx, buf, 4), int(mpsse::kErrReadTimeout));
        mpsse::Close(pCtx);
    }

    void rejectsBadArguments()
    {
        QVERIFY(!mpsse::MPSSE_PortPath(*m_pBackend, 2, 6000000, 2, 0, 33, 0));  // mode must be 1
        QVERIFY(!mpsse::MPSSE_PortPath(*m_pBackend, 1, 6000000, 2, 0, 99, 0));  // nothing at location 99
        QCOMPARE(mpsse::FastWrite(nullptr, nullptr, 1), int(mpsse::kErrBadArgument));
        void* pCtx = OpenAt(6000000);
        QCOMPARE(mpsse::FastWrite(pCtx, nullptr, 1), int(mpsse::kErrBadArgument));
        mpsse::Close(pCtx);
    }

    void deviceListRecords()
    {
        mpsse::AdapterEntry e2;
        e2.nProduct = 0x6011;
        e2.nLocation = 3;
        e2.nSubLocation = 0x0110;
        e2.bNeedsSubLocation = true;
        m_pBackend->entries.push_back(e2);
        const mpsse::DeviceId table[] = {{0x0403, 0x6010, "x"}, {0, 0, nullptr}};
        int nCount = -7;
        mpsse::DevInfo* pList = nullptr;
        QCOMPARE(mpsse::GetDevInfoAll(*m_pBackend, table, &nCount, &pList), 2);
        QVERIFY(pList && pList->pNext && !pList->pNext->pNext);
        const uint8_t* pRaw = reinterpret_cast<const uint8_t*>(pList->pNext);
        uint32_t v;
        memcpy(&v, pRaw + 8, 4);
        QCOMPARE(v, 0x6011u);
        memcpy(&v, pRaw + 12, 4);
        QCOMPARE(v, 3u);
        memcpy(&v, pRaw + 16, 4);
        QCOMPARE(v, 0x0110u);
        QVERIFY(pRaw[20] > 4);
        QVERIFY(reinterpret_cast<const uint8_t*>(pList)[20] <= 4);
        mpsse::DevInfoRease(pList);
    }

    void locationsFromPortPaths()
    {
        auto loc = mpsse::LocationFromPortPath(2, {1});
        QCOMPARE(loc.nLocation, 33u);  // 0x21
        QVERIFY(!loc.bNeedsSubLocation);
        QCOMPARE(mpsse::LocationFromPortPath(1, {4, 2}).nLocation, 0x142u);
        QVERIFY(mpsse::LocationFromPortPath(1, {4, 2}).nLocation != mpsse::LocationFromPortPath(1, {2, 4}).nLocation);
        loc = mpsse::LocationFromPortPath(3, {1, 16});
        QVERIFY(loc.bNeedsSubLocation);
        QCOMPARE(loc.nLocation, 3u);
        QCOMPARE(loc.nSubLocation, 0x0110u);
        // Up to four ports are packed whole into the sub-location, one byte each.
        QCOMPARE(mpsse::LocationFromPortPath(3, {1, 2, 3, 16}).nSubLocation, 0x01020310u);
        QVERIFY(mpsse::LocationFromPortPath(20, {1}).bNeedsSubLocation);
        QCOMPARE(mpsse::LocationFromPortPath(1, {1, 2, 3, 4, 5, 6, 7}).nLocation, 0x11234567u);
        QVERIFY(mpsse::LocationFromPortPath(1, {1, 2, 3, 4, 5, 6, 7, 1}).bNeedsSubLocation);
    }
};

QTEST_GUILESS_MAIN(TestMpsse)
#include "test_mpsse.moc"
