// The simulated bench: MPSSE decoding, the flash model against datasheet
// behaviour, the chip's slave port, persistence and faults.
#include "benchfixture.h"
#include "testfiles.h"
#include "tmpfsmount.h"

#include <benchconfig.h>
#include <benchsession.h>
#include <mpssedecoder.h>
#include <spiftdi.h>
#include <spinorflash.h>
#include <xqchip.h>

#include <adaptermodel.h>
#include <adapters.h>

#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QtTest>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

using Bytes = std::vector<uint8_t>;

namespace {
// A slave that records frames and answers with a counter.
struct EchoSlave : sim::SpiSlave {
    std::vector<Bytes> frames;
    bool bSelected = false;
    uint8_t nNext = 0x10;
    void Select() override { frames.emplace_back(); bSelected = true; }
    uint8_t Exchange(uint8_t n) override { frames.back().push_back(n); return nNext++; }
    void Deselect() override { bSelected = false; }
};

// Plays SPI frames on a flash directly (no MPSSE), with a controllable clock.
struct FlashRig {
    int64_t nNowUs = 0;
    sim::SpiNorFlash flash{sim::FlashIdentity(), [this] { return nNowUs; }};
    Bytes Frame(const Bytes& out, int nRead = 0)
    {
        flash.Select();
        Bytes in;
        for (uint8_t b : out)
            flash.Exchange(b);
        for (int i = 0; i < nRead; ++i)
            in.push_back(flash.Exchange(0));
        flash.Deselect();
        return in;
    }
    void WriteEnable() { Frame({0x06}); }
    uint8_t Status() { return Frame({0x05}, 1)[0]; }
    void Program(uint32_t a, const Bytes& data)
    {
        WriteEnable();
        Bytes f{0x02, uint8_t(a >> 16), uint8_t(a >> 8), uint8_t(a)};
        f.insert(f.end(), data.begin(), data.end());
        Frame(f);
        nNowUs += 1000000;
    }
    void Erase(uint8_t cmd, uint32_t a)
    {
        WriteEnable();
        Frame({cmd, uint8_t(a >> 16), uint8_t(a >> 8), uint8_t(a)});
        nNowUs += 10000000;
    }
    uint8_t At(uint32_t a) const { return const_cast<sim::SpiNorFlash&>(flash).Array()[a]; }
};
}  // namespace

class TestSim : public QObject {
    Q_OBJECT

private slots:
    // The udev rule grants access to exactly the adapters the link lists,
    // and every adapter the bench plays is one of them: an adapter added to
    // one table and not the others fails here.
    void udevRuleMatchesTheAdapterTable()
    {
        QFile rule(QString(XQ_SOURCE_DIR) + "/packaging/60-xqprogrammer.rules");
        QVERIFY(rule.open(QIODevice::ReadOnly | QIODevice::Text));
        const QRegularExpression ids(R"re(ATTR\{idVendor\}=="([0-9a-f]{4})", ATTR\{idProduct\}=="([0-9a-f]{4})")re");
        QSet<QString> inRule;
        while (!rule.atEnd()) {
            const QString strLine = QString::fromUtf8(rule.readLine()).trimmed();
            if (strLine.isEmpty() || strLine.startsWith('#'))
                continue;
            const QRegularExpressionMatch m = ids.match(strLine);
            QVERIFY2(m.hasMatch(), qPrintable("a rule line without lower-case ids: " + strLine));
            QVERIFY2(!inRule.contains(m.captured(1) + ":" + m.captured(2)), qPrintable("listed twice: " + strLine));
            inRule << m.captured(1) + ":" + m.captured(2);
        }
        auto key = [](uint32_t nVendor, uint32_t nProduct) {
            return QString("%1:%2").arg(nVendor, 4, 16, QChar('0')).arg(nProduct, 4, 16, QChar('0'));
        };
        size_t nRows = 0;
        const mpsse::AdapterRow* pRows = mpsse::AdapterRows(&nRows);
        QSet<QString> inTable;
        for (size_t i = 0; i < nRows; ++i)
            inTable << key(pRows[i].id.nVendor, pRows[i].id.nProduct);
        QCOMPARE(inRule, inTable);
        // The link lists what the table holds, and every bench model sits on a row.
        QSet<QString> listed;
        for (const mpsse::DeviceId* p = kSupportedDevices; p->nVendor || p->nProduct; ++p)
            listed << key(p->nVendor, p->nProduct);
        QCOMPARE(listed, inTable);
        for (const sim::AdapterModel& model : sim::AdapterModels())
            QVERIFY2(inTable.contains(key(model.nVendor, model.nProduct)), model.pName);
    }

    void decoderPlaysFramesAndAnswers()
    {
        EchoSlave slave;
        sim::MpsseDecoder dec(&slave, mpsse::kChipFt2232H);
        // AN_108: 0x80 low byte (CS low), 0x11 two bytes out, 0x20 one byte
        // in, 0x31 one byte in and out, 0x80 (CS high), 0x87, then 0xAB.
        const Bytes stream{0x80, 0x00, 0x0B, 0x11, 0x01, 0x00, 0x9F, 0x00, 0x20, 0x00, 0x00,
                           0x31, 0x00, 0x00, 0x55, 0x80, 0x08, 0x0B, 0x87, 0xAB};
        dec.Feed(stream.data(), 7);  // cut inside the 0x11 command: the byte that is there is clocked
        QVERIFY(slave.bSelected);
        QCOMPARE(slave.frames[0], (Bytes{0x9F}));
        dec.Feed(stream.data() + 7, stream.size() - 7);
        QVERIFY(!slave.bSelected);
        QCOMPARE(slave.frames[0], (Bytes{0x9F, 0x00, 0x00, 0x55}));
        const Bytes replies(dec.Replies().begin(), dec.Replies().end());
        QCOMPARE(replies, (Bytes{0x12, 0x13, 0xFA, 0xAB}));
        QCOMPARE(dec.BadCommands(), 1);
    }

    // Wherever the USB packets end, the wire sees the same bytes and the
    // clock the same time: the stream fed in pieces of every size.
    void decoderIgnoresPacketEnds()
    {
        const Bytes stream{0x80, 0x00, 0x0B, 0x11, 0x04, 0x00, 0x02, 0x00, 0x10, 0x00, 0xA5, 0x31, 0x01, 0x00,
                           0x55, 0x66, 0x8F, 0x01, 0x00, 0x20, 0x00, 0x00, 0x80, 0x08, 0x0B, 0x87, 0xAB};
        EchoSlave whole;
        sim::MpsseDecoder ref(&whole, mpsse::kChipFt2232H);
        ref.Feed(stream.data(), stream.size());
        const Bytes refReplies(ref.Replies().begin(), ref.Replies().end());
        const int64_t nRefNs = ref.TakeSpiNs();
        for (size_t nPiece = 1; nPiece < stream.size(); ++nPiece) {
            EchoSlave slave;
            sim::MpsseDecoder dec(&slave, mpsse::kChipFt2232H);
            for (size_t nAt = 0; nAt < stream.size(); nAt += nPiece)
                dec.Feed(stream.data() + nAt, std::min(nPiece, stream.size() - nAt));
            QCOMPARE(slave.frames, whole.frames);
            QCOMPARE(Bytes(dec.Replies().begin(), dec.Replies().end()), refReplies);
            QCOMPARE(dec.SpiBytes(), ref.SpiBytes());
            QVERIFY(std::llabs(dec.TakeSpiNs() - nRefNs) <= 1);  // sums of fractions of a ns
            QCOMPARE(dec.BadCommands(), ref.BadCommands());
        }
    }

    void decoderClock()
    {
        EchoSlave slave;
        sim::MpsseDecoder dec(&slave, mpsse::kChipFt2232H);
        QCOMPARE(dec.SckHz(), 6000000u);  // divide-by-5 on, divisor 0: 12 MHz / 2
        const Bytes setup{0x8A, 0x86, 0x04, 0x00};
        dec.Feed(setup.data(), setup.size());
        QCOMPARE(dec.SckHz(), 6000000u);  // 60 MHz / ((1 + 4) * 2)
        const Bytes fast{0x86, 0x00, 0x00, 0x80, 0x00, 0x0B, 0x11, 0x03, 0x00, 1, 2, 3, 4};
        dec.Feed(fast.data(), fast.size());
        QCOMPARE(dec.SckHz(), 30000000u);
        QCOMPARE(dec.TakeSpiNs(), int64_t(4 * 8 * 1000 / 30));  // 4 bytes at 30 MHz
        const Bytes idle{0x8F, 0x76, 0x01};  // 375 bytes of clocks, no data, no frame
        const size_t nFrames = slave.frames.size();
        const uint64_t nBytes = dec.SpiBytes();
        dec.Feed(idle.data(), idle.size());
        QCOMPARE(dec.TakeSpiNs(), int64_t(100000));
        QCOMPARE(dec.SpiBytes(), nBytes);
        QCOMPARE(slave.frames.size(), nFrames);
    }

    void decoderOpcodeSetsPerGeneration()
    {
        // FTDI AN_108 section 6: the H-chip commands are answered like unknown
        // ones on the FT2232D, and their argument bytes then run as commands.
        EchoSlave slave;
        sim::MpsseDecoder d(&slave, mpsse::kChipFt2232D);
        const Bytes stream{0x8A, 0x97, 0x8D, 0x8F, 0x00, 0x00, 0x85, 0x87};
        d.Feed(stream.data(), stream.size());
        const Bytes replies(d.Replies().begin(), d.Replies().end());
        QCOMPARE(replies, (Bytes{0xFA, 0x8A, 0xFA, 0x97, 0xFA, 0x8D, 0xFA, 0x8F, 0xFA, 0x00, 0xFA, 0x00}));
        QCOMPARE(d.SckHz(), 6000000u);  // 12 MHz base, whatever was asked
        sim::MpsseDecoder h(&slave, mpsse::kChipFt2232H);
        h.Feed(stream.data(), stream.size());
        QVERIFY(h.Replies().empty());
        const Bytes driveZero{0x9E, 0x00, 0x00};  // open-drain outputs: FT232H only
        h.Feed(driveZero.data(), driveZero.size());
        QCOMPARE(h.Replies().size(), size_t(2 + 2 * 2));  // 0x9E, then its two argument bytes
        sim::MpsseDecoder ft232h(&slave, mpsse::kChipFt232H);
        ft232h.Feed(driveZero.data(), driveZero.size());
        QVERIFY(ft232h.Replies().empty());
    }

    void decoderPassesTheWireOnlyThroughAnOpenGate()
    {
        // A buffer enabled by ADBUS4 driven low: with ADBUS4 an input the
        // chip sees no CS and no clock, and MISO floats high.
        EchoSlave slave;
        sim::MpsseDecoder d(&slave, mpsse::kChipFt2232D, sim::BoardGate{0x10, 0x00, 0, 0});
        const Bytes unbuffered{0x80, 0x00, 0x0B, 0x31, 0x00, 0x00, 0x9F, 0x80, 0x08, 0x0B};
        d.Feed(unbuffered.data(), unbuffered.size());
        QVERIFY(slave.frames.empty());
        QCOMPARE(d.Replies().front(), uint8_t(0xFF));
        d.Replies().clear();
        const Bytes enabled{0x80, 0x08, 0x1B, 0x80, 0x00, 0x1B, 0x31, 0x00, 0x00, 0x9F, 0x80, 0x08, 0x1B};
        d.Feed(enabled.data(), enabled.size());
        QCOMPARE(slave.frames, std::vector<Bytes>{{0x9F}});
        QCOMPARE(d.Replies().front(), uint8_t(0x10));
        // Disabling the buffer mid-frame ends the frame.
        const Bytes cut{0x80, 0x00, 0x1B, 0x80, 0x10, 0x1B};
        d.Feed(cut.data(), cut.size());
        QVERIFY(!slave.bSelected);
        QVERIFY(!d.ChipSelected());
        // A gate in the high byte (ACBUS) works the same way.
        EchoSlave high;
        sim::MpsseDecoder g(&high, mpsse::kChipFt2232H, sim::BoardGate{0, 0, 0x01, 0x01});
        const Bytes frame{0x82, 0x01, 0x01, 0x80, 0x00, 0x0B, 0x11, 0x00, 0x00, 0x06, 0x80, 0x08, 0x0B};
        g.Feed(frame.data(), frame.size());
        QCOMPARE(high.frames, std::vector<Bytes>{{0x06}});
    }

    void benchAdapterModels()
    {
        // Each model lists under the name the adapter link gives its product id.
        const QList<QPair<QString, QByteArray>> models = {
            {"FT2232H", "FT2232-LOC-1"},   {"FT2232D", "FT2232-LOC-1"},  {"FT232H", "FT232H-LOC-1"},
            {"FT4232H", "0x6011-LOC-1"},   {"BusBlaster", "0x8878-LOC-1"}, {"Turtelizer", "0xBDC8-LOC-1"},
            {"JTAGkey", "0xCFF8-LOC-1"},   {"TIAO", "0x8A98-LOC-1"},     {"OlimexOCD", "0x3-LOC-1"},
            {"OlimexTiny", "0x4-LOC-1"},
        };
        QCOMPARE(int(sim::AdapterModels().size()), models.size());
        for (const auto& m : models) {
            BenchFixture bench("[adapter]\nmodel=" + m.first + "\n");
            QCOMPARE(bench.names, QList<QByteArray>{m.second});
            const sim::AdapterModel& model = bench.Backend().Model(1);
            QCOMPARE(QString(model.pName), m.first);
            QCOMPARE(model.bHighSpeed, model.nBcdDevice != 0x0500);  // the FT2232C/D is full speed only
        }
        QTemporaryDir dir;
        QVERIFY(WriteFile(dir.path() + "/bench.ini", "[adapter]\nmodel=FT2232X\n"));
        sim::BenchConfig config;
        QString strError;
        QVERIFY(!sim::LoadBenchConfig(dir.path() + "/bench.ini", config, strError));
        QVERIFY2(strError.contains("adapter/model") && strError.contains("OlimexTiny"), qPrintable(strError));
        // A serial number a USB string descriptor can carry, or none (then one from the index).
        for (const QString& strSerial : {QString("FT 12"), QString("序列"), QString(33, 'A')}) {
            QVERIFY(WriteFile(dir.path() + "/bench.ini", ("[adapter]\nserial=" + strSerial + "\n").toUtf8()));
            QVERIFY2(!sim::LoadBenchConfig(dir.path() + "/bench.ini", config, strError), qPrintable(strSerial));
            QVERIFY2(strError.contains("adapter/serial"), qPrintable(strError));
        }
        QVERIFY(WriteFile(dir.path() + "/bench.ini", "[adapter]\nserial=\n"));
        QVERIFY(sim::LoadBenchConfig(dir.path() + "/bench.ini", config, strError));
        QCOMPARE(sim::AdapterSerial(config, 12), QString("XQ000012"));
    }

    void benchBoardsNeedTheirBufferEnabled()
    {
        // The bench's JTAGkey at the transport: the four SPI pins alone do not
        // reach the chip, nor do they with ADBUS4 low while the high byte
        // leaves the reset drivers on; with both the JEDEC id comes back.
        BenchFixture bench("[adapter]\nmodel=JTAGkey\n");
        mpsse::AdapterError error;
        std::unique_ptr<mpsse::Transport> t = bench.Backend().Open(1, 0, 0, error);
        QVERIFY(t);
        QVERIFY(t->Board());
        const Bytes plain{0x80, 0x08, 0x0B, 0x80, 0x00, 0x0B, 0x11, 0x00, 0x00, 0x9F, 0x20, 0x02, 0x00, 0x80, 0x08, 0x0B, 0x87};
        QCOMPARE(t->Write(plain.data(), int(plain.size())), 0);
        uint8_t id[3] = {};
        QCOMPARE(t->Read(id, 3, 1000), 0);
        QCOMPARE(Bytes(id, id + 3), (Bytes{0xFF, 0xFF, 0xFF}));
        Bytes buffered = plain;
        buffered[2] = buffered[5] = buffered[15] = 0x1B;
        QCOMPARE(t->Write(buffered.data(), int(buffered.size())), 0);
        QCOMPARE(t->Read(id, 3, 1000), 0);
        QCOMPARE(Bytes(id, id + 3), (Bytes{0xFF, 0xFF, 0xFF}));
        buffered.insert(buffered.begin(), {0x82, 0x0C, 0x0F});
        QCOMPARE(t->Write(buffered.data(), int(buffered.size())), 0);
        QCOMPARE(t->Read(id, 3, 1000), 0);
        QCOMPARE(Bytes(id, id + 3), (Bytes{0xEF, 0x40, 0x15}));
    }

    void benchChargesTheReadDeadlineOnItsClock()
    {
        // 64 KiB at 100 kHz take 5.24 s of clocking: a 2 s deadline fails,
        // a deadline scaled with the bytes holds.
        BenchFixture bench;
        mpsse::AdapterError error;
        std::unique_ptr<mpsse::Transport> t = bench.Backend().Open(1, 0, 2, error);
        QVERIFY(t);
        const Bytes read64k{0x8A, 0x86, 0x2B, 0x01, 0x80, 0x00, 0x0B, 0x11, 0x03, 0x00, 0x03, 0x00, 0x00, 0x00,
                            0x20, 0xFF, 0xFF, 0x80, 0x08, 0x0B, 0x87};
        std::vector<uint8_t> rx(65536);
        QCOMPARE(t->Write(read64k.data(), int(read64k.size())), 0);
        QCOMPARE(t->Read(rx.data(), int(rx.size()), 2000 + 5300), 0);
        QCOMPARE(t->Write(read64k.data(), int(read64k.size())), 0);
        const int64_t nBefore = bench.Stats().nHostNs;
        QCOMPARE(t->Read(rx.data(), int(rx.size()), 2000), int(mpsse::kErrReadTimeout));
        QCOMPARE(bench.Stats().nHostNs - nBefore, int64_t(2000) * 1000000);  // the host waited the deadline out
    }

    // The bench's USB clock: a write and its read as one exchange cost one
    // transfer set-up, as Write then Read cost two; a high-speed chip on a
    // full-speed port gets 64-byte packets, so its engine starts clocking
    // after the first of them, not after the whole write.
    void benchUsbClock_data()
    {
        QTest::addColumn<QString>("speed");
        QTest::addColumn<qint64>("setupNs");
        QTest::addColumn<qint64>("byteNs");
        QTest::newRow("high speed") << "high" << qint64(sim::kUsbHighSpeed.nPerTransferNs)
                                    << qint64(sim::kUsbHighSpeed.nPerByteNs);
        QTest::newRow("full speed") << "full" << qint64(sim::kUsbFullSpeed.nPerTransferNs)
                                    << qint64(sim::kUsbFullSpeed.nPerByteNs);
    }

    void benchUsbClock()
    {
        QFETCH(QString, speed);
        QFETCH(qint64, setupNs);
        QFETCH(qint64, byteNs);
        BenchFixture bench("[usb]\nspeed=" + speed + "\n");
        mpsse::AdapterError error;
        std::unique_ptr<mpsse::Transport> t = bench.Backend().Open(1, 0, 2, error);
        QVERIFY(t);
        const Bytes pins{0x81, 0x87};  // the low byte's pins, answered at once
        uint8_t nPins = 0;
        int64_t nAt = bench.Stats().nHostNs;
        QCOMPARE(t->Write(pins.data(), 2), 0);
        QCOMPARE(t->Read(&nPins, 1, 1000), 0);
        QCOMPARE(bench.Stats().nHostNs - nAt, 2 * setupNs + 3 * byteNs);
        nAt = bench.Stats().nHostNs;
        QCOMPARE(t->Exchange(pins.data(), 2, &nPins, 1, 1000), 0);
        QCOMPARE(bench.Stats().nHostNs - nAt, setupNs + 2 * byteNs);

        // 256 bytes clocked out at 6 MHz (341 us) after 9 bytes of set-up.
        Bytes clockOut{0x8A, 0x86, 0x04, 0x00, 0x80, 0x00, 0x0B, 0x11, 0xFF, 0x00};
        clockOut.resize(clockOut.size() + 256, 0xA5);
        const int64_t nEngineFrom = std::max(bench.Stats().nEngineNs, bench.Stats().nHostNs);
        nAt = bench.Stats().nHostNs;
        QCOMPARE(t->Write(clockOut.data(), int(clockOut.size())), 0);
        const int64_t nClockNs = 256 * 8 * 1000 / 6;
        const int64_t nFirstPacketNs = setupNs + byteNs * std::min<int64_t>(int64_t(clockOut.size()), speed == "high" ? 512 : 64);
        const int64_t nLastPacketNs = setupNs + byteNs * int64_t(clockOut.size());
        QVERIFY(bench.Stats().nEngineNs - nAt <= std::max(nFirstPacketNs + nClockNs + 1000, nLastPacketNs));
        QVERIFY(bench.Stats().nEngineNs - nEngineFrom >= nClockNs);
    }

    void benchChannels()
    {
        // The FT2232D has the MPSSE on A only: the FT2232 type's selector 2
        // opens A there, and B on the FT2232H, where the bench wires the chip.
        for (const QString& strModel : {QString("FT2232D"), QString("FT2232H")}) {
            BenchFixture bench("[adapter]\nmodel=" + strModel + "\n");
            QCOMPARE(bench.Open(5), 0);
            QCOMPARE(bench.ChipId(), 0x58516230u);
        }
        BenchFixture ft4232("[adapter]\nmodel=FT4232H\n");
        mpsse::AdapterError error;
        QVERIFY(!ft4232.Backend().Open(1, 0, 3, error));  // C has no MPSSE
    }

    void flashIdentification()
    {
        FlashRig rig;
        QCOMPARE(rig.Frame({0x9F}, 3), (Bytes{0xEF, 0x40, 0x15}));
        QCOMPARE(rig.Frame({0x90, 0, 0, 0}, 2), (Bytes{0xEF, 0x14}));
        QCOMPARE(rig.Frame({0x4B, 0, 0, 0, 0}, 2), (Bytes{0x58, 0x51}));
        QCOMPARE(rig.flash.Array().size(), size_t(2 * 1024 * 1024));
    }

    void programOnlyClearsBitsAndWrapsInThePage()
    {
        FlashRig rig;
        rig.Program(0x1FE, {0xF0, 0x0F, 0xAA, 0x55});
        QCOMPARE(rig.At(0x1FE), uint8_t(0xF0));
        QCOMPARE(rig.At(0x1FF), uint8_t(0x0F));
        QCOMPARE(rig.At(0x100), uint8_t(0xAA));  // wrapped to the start of the page
        QCOMPARE(rig.At(0x200), uint8_t(0xFF));  // the next page is untouched
        rig.Program(0x1FE, {0x3C});
        QCOMPARE(rig.At(0x1FE), uint8_t(0x30));  // F0 AND 3C
        QCOMPARE(rig.Frame({0x03, 0x00, 0x01, 0xFE}, 2), (Bytes{0x30, 0x0F}));
        QCOMPARE(rig.Frame({0x0B, 0x00, 0x01, 0xFE, 0x00}, 2), (Bytes{0x30, 0x0F}));
    }

    void writeEnableLatchRule()
    {
        FlashRig rig;
        rig.Frame({0x02, 0, 0, 0, 0x00});  // no latch: ignored
        QCOMPARE(rig.At(0), uint8_t(0xFF));
        rig.WriteEnable();
        QCOMPARE(rig.Status() & 0x02, 0x02);
        rig.Frame({0x04});
        QCOMPARE(rig.Status() & 0x02, 0);
        rig.Program(0, {0x00});
        QCOMPARE(rig.At(0), uint8_t(0x00));
        QCOMPARE(rig.Status() & 0x02, 0);  // cleared by the program
        rig.Frame({0x20, 0, 0, 0});         // erase without the latch
        QCOMPARE(rig.At(0), uint8_t(0x00));
    }

    void eraseUnitsAreAligned_data()
    {
        QTest::addColumn<int>("cmd");
        QTest::addColumn<int>("address");
        QTest::addColumn<int>("base");
        QTest::addColumn<int>("size");
        QTest::newRow("4K") << 0x20 << 0x1234 << 0x1000 << 0x1000;
        QTest::newRow("32K") << 0x52 << 0x9000 << 0x8000 << 0x8000;
        QTest::newRow("64K") << 0xD8 << 0x1000 << 0x0000 << 0x10000;
    }
    void eraseUnitsAreAligned()
    {
        QFETCH(int, cmd);
        QFETCH(int, address);
        QFETCH(int, base);
        QFETCH(int, size);
        FlashRig rig;
        std::fill(rig.flash.Array().begin(), rig.flash.Array().end(), 0x00);
        rig.Erase(uint8_t(cmd), uint32_t(address));
        QCOMPARE(rig.At(uint32_t(base)), uint8_t(0xFF));
        QCOMPARE(rig.At(uint32_t(base + size - 1)), uint8_t(0xFF));
        if (base > 0)
            QCOMPARE(rig.At(uint32_t(base - 1)), uint8_t(0x00));
        QCOMPARE(rig.At(uint32_t(base + size)), uint8_t(0x00));
    }

    void busyFollowsTheClock()
    {
        FlashRig rig;
        rig.WriteEnable();
        rig.Frame({0x20, 0, 0x10, 0});
        QCOMPARE(rig.Status() & 0x01, 0x01);
        rig.Frame({0x9F}, 3);  // ignored while busy
        QCOMPARE(rig.Frame({0x9F}, 1), Bytes{0xFF});
        rig.nNowUs += 29999;
        QCOMPARE(rig.Status() & 0x01, 0x01);
        rig.nNowUs += 1;
        QCOMPARE(rig.Status() & 0x01, 0x00);  // 30 ms sector erase
        QCOMPARE(rig.flash.BusyTimeUs(), int64_t(30000));
    }

    void protectionRanges()
    {
        FlashRig rig;
        rig.flash.SetStatus(0x9C, 0);  // BP2..0 = 111: everything
        QVERIFY(rig.flash.IsProtected(0) && rig.flash.IsProtected(0x1FFFFF));
        rig.Program(0x1000, {0x00});
        QCOMPARE(rig.At(0x1000), uint8_t(0xFF));
        rig.flash.SetStatus(0xB4, 0);  // TB = 1, BP = 101: the lower half
        QVERIFY(rig.flash.IsProtected(0x0FFFFF));
        QVERIFY(!rig.flash.IsProtected(0x100000));
        rig.Program(0x1FF000, {0x12});
        QCOMPARE(rig.At(0x1FF000), uint8_t(0x12));
        rig.Erase(0xD8, 0x0F0000);
        QCOMPARE(rig.At(0x0F0000), uint8_t(0xFF));
        rig.Erase(0xC7, 0);  // chip erase is ignored while any block is protected
        QCOMPARE(rig.At(0x1FF000), uint8_t(0x12));
        rig.WriteEnable();
        rig.Frame({0x01, 0x00});
        rig.nNowUs += 20000;
        QCOMPARE(rig.flash.Status1(), uint8_t(0x00));
        rig.Erase(0x60, 0);
        QCOMPARE(rig.At(0x1FF000), uint8_t(0xFF));
    }

    // The status registers ignore writes under SRP1, and under SRP0 while
    // the board holds WP# low.
    void statusRegisterLocks()
    {
        FlashRig rig;
        auto writeStatus = [&rig](Bytes frame) {
            rig.WriteEnable();
            rig.Frame(frame);
            rig.nNowUs += 20000;
        };
        writeStatus({0x01, 0x9C});
        writeStatus({0x01, 0x00});  // WP# high: SRP0 alone locks nothing
        QCOMPARE(rig.flash.Status1(), uint8_t(0x00));
        sim::FlashFaults wp;
        wp.bWpLow = true;
        rig.flash.SetFaults(wp);
        writeStatus({0x01, 0x9C});
        writeStatus({0x01, 0x00});
        QCOMPARE(rig.flash.Status1(), uint8_t(0x9C));
        rig.flash.SetFaults(sim::FlashFaults());
        rig.flash.SetStatus(0x00, 0x01);
        writeStatus({0x01, 0x1C});
        writeStatus({0x31, 0x02});
        QCOMPARE(rig.flash.Status1(), uint8_t(0x00));
        QCOMPARE(rig.flash.Status2(), uint8_t(0x01));
    }

    // A block erase is refused when any sector of the block is protected,
    // wherever in the block that sector lies.
    void blockEraseRespectsEverySectorOfTheBlock_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<uint>("sector");  // the one protected 4 KiB sector
        QTest::newRow("top sector (0x44)") << 0x44 << 0x1FF000u;
        QTest::newRow("bottom sector (0x64)") << 0x64 << 0x000000u;
    }
    void blockEraseRespectsEverySectorOfTheBlock()
    {
        QFETCH(int, status);
        QFETCH(uint, sector);
        FlashRig rig;
        const uint32_t nBlock64 = sector & ~0xFFFFu, nBlock32 = sector & ~0x7FFFu;
        const uint32_t nNeighbour = sector == 0 ? 0x1000 : sector - 0x1000;
        for (uint32_t a : {sector, nNeighbour, nBlock32 == sector ? nBlock32 + 0x4000 : nBlock32})
            rig.Program(a, {0x00});
        rig.flash.SetStatus(uint8_t(status), 0);
        QVERIFY(rig.flash.IsProtected(sector) && rig.flash.IsProtected(sector + 0xFFF));
        QVERIFY(!rig.flash.IsProtected(nNeighbour) && !rig.flash.IsProtected(nNeighbour + 0xFFF));
        // The erase address is the block's start, or an address inside it.
        for (uint32_t a : {nBlock64, nBlock64 + 0x2345})
            rig.Erase(0xD8, a);
        for (uint32_t a : {nBlock32, nBlock32 + 0x7FFF})
            rig.Erase(0x52, a);
        QCOMPARE(rig.At(sector), uint8_t(0x00));
        QCOMPARE(rig.At(nNeighbour), uint8_t(0x00));  // the whole block stays, not only the protected part
        rig.Erase(0x20, sector);
        QCOMPARE(rig.At(sector), uint8_t(0x00));
        rig.Erase(0x20, nNeighbour);  // an unprotected sector beside it erases
        QCOMPARE(rig.At(nNeighbour), uint8_t(0xFF));
        rig.flash.SetStatus(0, 0);
        rig.Erase(0xD8, nBlock64);
        QCOMPARE(rig.At(sector), uint8_t(0xFF));
    }

    void securityRegisters()
    {
        FlashRig rig;
        rig.WriteEnable();
        rig.Frame({0x42, 0, 0, 0x10, 0, 0, 0, 9});
        rig.nNowUs += 1000;
        QCOMPARE(rig.Frame({0x48, 0, 0, 0x10, 0x00}, 4), (Bytes{0, 0, 0, 9}));
        rig.WriteEnable();
        rig.Frame({0x44, 0, 1, 0x00});  // erases the second page only
        rig.nNowUs += 100000;
        QCOMPARE(rig.Frame({0x48, 0, 0, 0x13, 0x00}, 1), Bytes{9});
        rig.WriteEnable();
        rig.Frame({0x44, 0, 0, 0x20});
        rig.nNowUs += 100000;
        QCOMPARE(rig.Frame({0x48, 0, 0, 0x13, 0x00}, 1), Bytes{0xFF});
    }

    void slavePortModesAndMemory()
    {
        int64_t nNow = 0;
        sim::SpiNorFlash flash(sim::FlashIdentity(), [&] { return nNow; });
        sim::XqChip chip(sim::ChipModel::XQ6030, &flash);
        auto frame = [&](const Bytes& out, int nRead = 0) {
            chip.Select();
            Bytes in;
            for (uint8_t b : out)
                chip.Exchange(b);
            for (int i = 0; i < nRead; ++i)
                in.push_back(chip.Exchange(0));
            chip.Deselect();
            return in;
        };
        QCOMPARE(frame({0xFE, 0, 0, 0, 0}, 1), Bytes{1});
        QCOMPARE(frame({0x9F}, 3), (Bytes{0xEF, 0x40, 0x15}));  // mode 1: the flash answers
        frame({0xFF, 0, 0, 0, 0});
        QCOMPARE(chip.Mode(), uint8_t(0));
        frame({0x11, 0x1F});
        QCOMPARE(chip.ControlFrames(), 1);
        QCOMPARE(frame({0x0B, 0x1A, 0x10, 0x70, 0x18}, 8), (Bytes{0, 0, 0, 0, 0xAB, 0xCD, 0x00, 0x01}));
        frame({0x02, 0x1A, 0x10, 0x44, 0x08, 0, 0, 0, 0});
        QCOMPARE(chip.RegisterWrites().size(), size_t(1));
        QCOMPARE(chip.RegisterWrites()[0].nAddress, 0x1A104408u);
        QCOMPARE(chip.MemoryWriteFrames(), 1);
        frame({0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
        QCOMPARE(chip.LinkResets(), 1);
        QCOMPARE(chip.Mode(), uint8_t(0));
        // [faults] port_reset_once: mode 0 right after the second page
        // program, once; the next page program is a memory write.
        frame({0xFF, 0, 0, 0, 1});
        chip.SetPortResetAfterPrograms(2);
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(chip.Mode(), uint8_t(1));
            frame({0x06});
            frame({0x02, 0x00, 0x30, 0x00, 0x5A});
            nNow += 1000;  // the program done
        }
        QCOMPARE(chip.Mode(), uint8_t(0));
        frame({0x02, 0x00, 0x30, 0x00, 0x5A});
        QCOMPARE(chip.MemoryWriteFrames(), 2);
        frame({0xFF, 0, 0, 0, 1});
        frame({0x06});
        frame({0x02, 0x00, 0x31, 0x00, 0x5A});
        nNow += 1000;
        QCOMPARE(chip.Mode(), uint8_t(1));
        // Mode 2: programmed zeros read back as the key.
        frame({0xFF, 0, 0, 0, 2});
        frame({0x06});
        frame({0x02, 0x00, 0x10, 0x00, 0, 0, 0, 0});
        nNow += 1000;
        const Bytes key = frame({0x03, 0x00, 0x10, 0x00}, 4);
        QCOMPARE(key, (Bytes{chip.KeyByte(0x1000), chip.KeyByte(0x1001), chip.KeyByte(0x1002), chip.KeyByte(0x1003)}));
        QVERIFY(key != Bytes(4, 0x00));
        frame({0xFF, 0, 0, 0, 3});
        QCOMPARE(frame({0x9F}, 1), Bytes{0xFF});  // mode 3: nothing answers
        chip.SetModeStuck(true);
        frame({0xFF, 0, 0, 0, 1});
        QCOMPARE(chip.Mode(), uint8_t(3));
    }

    void spiFtdiReadsTheJedecIdOnTheBench()
    {
        BenchFixture bench;
        QCOMPARE(bench.names, QList<QByteArray>{"FT2232-LOC-1"});
        SpiFtdi ftdi(bench.BackendPtr());
        QList<QByteArray> names;
        QCOMPARE(ftdi.Enumerate(names), xq::kOk);
        QCOMPARE(names.size(), 1);
        QCOMPARE(ftdi.Open(names.first(), 6000000), xq::kOk);
        uint8_t id[3] = {0x9F, 0, 0};
        QCOMPARE(ftdi.WriteRead(id, 3, id, 1), xq::kOk);
        QCOMPARE(Bytes(id, id + 3), (Bytes{0xEF, 0x40, 0x15}));
        ftdi.Close();
        QCOMPARE(bench.Flash().size(), 2 * 1024 * 1024);
        QVERIFY(bench.Stats().nUsbTransfers >= 3);
        QVERIFY(bench.Stats().VirtualUs() > 0);
    }

    void bareFlashBenchPutsTheFlashOnTheAdapterPins()
    {
        BenchFixture bench("[chip]\nmodel=none\n");
        SpiFtdi ftdi(bench.BackendPtr());
        QList<QByteArray> names;
        QCOMPARE(ftdi.Enumerate(names), xq::kOk);
        QCOMPARE(names.size(), 1);
        QCOMPARE(ftdi.Open(names.first(), 30000000), 0);
        // Flash commands reach the flash as they are: no mode frames, no pass-through.
        uint8_t id[4] = {0x9F, 0, 0, 0};
        QCOMPARE(ftdi.WriteRead(id, 3, id, 1), 0);
        QCOMPARE(Bytes(id, id + 3), (Bytes{0xEF, 0x40, 0x15}));
        const uint8_t wren = 0x06;
        QCOMPARE(ftdi.WriteOnly(&wren, 1), 0);
        const uint8_t program[] = {0x02, 0x00, 0x01, 0x00, 0x12, 0x34};
        QCOMPARE(ftdi.WriteOnly(program, sizeof program), 0);
        ftdi.Close();
        const QByteArray flash = bench.Flash();
        QCOMPARE(flash.mid(0x100, 3), QByteArray("\x12\x34\xFF", 3));
        QSettings ini(bench.Dir() + "/bench.ini", QSettings::IniFormat);
        QCOMPARE(ini.value("chip/model").toString(), QString("none"));
    }

    void leftoverLockFilesAreTakenOver()
    {
        BenchFixture bench;
        SpiFtdi ftdi(bench.BackendPtr());
        QList<QByteArray> names;
        ftdi.Enumerate(names);
        const QString strLock = bench.Dir() + "/bench.lock";
        for (const QByteArray& content : {QByteArray(), QByteArray("\x01\xFEnot a lock\n")}) {
            QVERIFY(WriteFile(strLock, content));
            QCOMPARE(ftdi.Open(names.first(), 6000000), 0);
            QCOMPARE(ftdi.Close(), 0);
            QVERIFY(!QFile::exists(strLock));
        }
        // An empty lock whose holder still lives (it keeps an flock on it) stays.
        QFile held(strLock);
        QVERIFY(held.open(QIODevice::WriteOnly));
        QCOMPARE(::flock(held.handle(), LOCK_EX | LOCK_NB), 0);
        QCOMPARE(ftdi.Open(names.first(), 6000000), -1);
        QVERIFY(bench.Backend().LastError().contains("正被另一个程序使用"));
        QVERIFY2(ftdi.ErrorText().contains("正被另一个程序使用"), qPrintable(ftdi.ErrorText()));
        // A name no adapter has is refused on its own, without the reason of the open before.
        QCOMPARE(ftdi.Open("FT2232-LOC-99", 6000000), xq::kErrBadArgument);
        QCOMPARE(ftdi.ErrorText(), QString());
    }

    void benchThatCannotSaveSaysSo()
    {
        {
            TmpfsMount readOnly(64, true);
            if (!readOnly.Mounted())
                QSKIP(qPrintable(readOnly.Why()));
            auto pBench = sim::MakeSimulatedBench(readOnly.Path());
            SpiFtdi ftdi(pBench);
            QList<QByteArray> names;
            ftdi.Enumerate(names);
            QCOMPARE(ftdi.Open(names.first(), 6000000), -1);
            QVERIFY2(pBench->LastError().contains("测试台目录只读"), qPrintable(pBench->LastError()));
        }
        // Room for the 2 MiB flash, not for the copy that replaces it.
        TmpfsMount full(3 * 1024);
        auto pBench = sim::MakeSimulatedBench(full.Path());
        SpiFtdi ftdi(pBench);
        QList<QByteArray> names;
        ftdi.Enumerate(names);
        QCOMPARE(ftdi.Open(names.first(), 6000000), 0);
        QCOMPARE(ftdi.Close(), int(mpsse::kErrClose));
        QVERIFY2(ftdi.ErrorText().contains(full.Path() + "/flash.bin") &&
                     ftdi.ErrorText().contains("No space left on device"),
                 qPrintable(ftdi.ErrorText()));
        // The lock went with the session: the next open is not refused as "in use".
        QVERIFY(!QFile::exists(full.Path() + "/bench.lock"));
    }

    void persistenceLockAndWrongSizes()
    {
        BenchFixture bench;
        QCOMPARE(bench.Open(), xq::kOk);
        QCOMPARE(bench.Ctrl().WriteStatus(0x9C), xq::kOk);
        // A second open of the same bench is refused while the first holds it.
        SpiFtdi second(bench.BackendPtr());
        QList<QByteArray> names;
        second.Enumerate(names);
        QCOMPARE(second.Open(names.first(), 6000000), xq::kErrBadArgument);
        QVERIFY(bench.Backend().LastError().contains("正被另一个程序使用"));
        // The reason is the refused link's; the open one on the same thread keeps none.
        QVERIFY2(second.ErrorText().contains("正被另一个程序使用"), qPrintable(second.ErrorText()));
        QCOMPARE(bench.Ctrl().AdapterErrorText(), QString());
        bench.Close();
        QSettings ini(bench.Dir() + "/bench.ini", QSettings::IniFormat);
        QCOMPARE(ini.value("flash/status1").toString(), QString("9C"));
        QCOMPARE(second.Open(names.first(), 6000000), xq::kOk);
        QCOMPARE(second.ErrorText(), QString());
        second.Close();

        QByteArray flash = bench.Flash();
        flash.chop(1);
        bench.WriteFlash(flash);
        QCOMPARE(bench.Open(), xq::kErrBadArgument);
        QVERIFY(bench.Backend().LastError().contains("需要正好 2097152 字节"));
        QCOMPARE(bench.Flash().size(), 2 * 1024 * 1024 - 1);  // never padded or cut
    }

    void configKeys()
    {
        QTemporaryDir dir;
        const QString strIni = dir.path() + "/bench.ini";
        QVERIFY(WriteFile(strIni, "[chip]\nmodel=XQ6130\n[flash]\njedec=C84013\nuid=000102030405060708090A0B0C0D0E0F\n"
                                  "[faults]\nweak_sectors=1000, 3000\ndead_sectors=5000\nunplug_after_transfers=7\n[usb]\nspeed=full\n"));
        sim::BenchConfig config;
        QString strError;
        QVERIFY2(sim::LoadBenchConfig(strIni, config, strError), qPrintable(strError));
        QCOMPARE(int(config.model), int(sim::ChipModel::XQ6130));
        QCOMPARE(config.flash.Size(), 512u * 1024);
        QCOMPARE(config.flash.uid[15], uint8_t(0x0F));
        QCOMPARE(config.weakSectors, (std::set<uint32_t>{0x1000, 0x3000}));
        QCOMPARE(config.deadSectors, std::set<uint32_t>{0x5000});
        QCOMPARE(config.nUnplugAfterTransfers, 7);
        QVERIFY(!config.bUsbHighSpeed);
        QVERIFY(WriteFile(strIni, "[chip]\nmodel=XQ9999\n"));
        QVERIFY(!sim::LoadBenchConfig(strIni, config, strError));
        QVERIFY(strError.contains("chip/model"));
    }

    // A new bench directory's bench.ini carries every key the README lists, readable as text.
    void newBenchFileHasEveryDocumentedKey()
    {
        const QString strReadme = QString::fromUtf8(Slurp(XQ_SOURCE_DIR "/README.md"));
        QVERIFY(!strReadme.isEmpty());
        const QString strTable = strReadme.mid(strReadme.indexOf("`bench.ini` keys:"));
        QStringList keys;
        QRegularExpression row("^\\| `\\[(\\w+)\\] ([^|]+)\\|", QRegularExpression::MultilineOption);
        for (auto it = row.globalMatch(strTable); it.hasNext();) {
            const auto match = it.next();
            for (QString strName : match.captured(2).split(','))
                keys << match.captured(1) + "/" + strName.remove('`').trimmed();
        }
        QVERIFY(keys.size() >= 20);
        QVERIFY(keys.contains("bench/adapters"));

        QTemporaryDir dir;
        const QString strIni = dir.path() + "/bench.ini";
        QVERIFY(sim::SaveBenchConfig(strIni, sim::BenchConfig()));
        QSettings written(strIni, QSettings::IniFormat);
        for (const QString& strKey : keys)
            QVERIFY2(written.contains(strKey), qPrintable(strKey));
        QVERIFY(QRegularExpression("\\nuid=[0-9A-F]{32}\\n").match(QString::fromLatin1(Slurp(strIni))).hasMatch());
    }

    void timingKeys()
    {
        QTemporaryDir dir;
        const QString strIni = dir.path() + "/bench.ini";
        // A new bench directory's file carries every figure, with the typical values.
        sim::BenchConfig config;
        QVERIFY(sim::SaveBenchConfig(strIni, config));
        QSettings written(strIni, QSettings::IniFormat);
        QCOMPARE(written.value("timing/page_program_us").toInt(), 700);
        QCOMPARE(written.value("timing/erase64k_ms").toInt(), 150);
        QCOMPARE(written.value("timing/chip_erase_ms").toInt(), 3000);

        QVERIFY(WriteFile(strIni, "[timing]\npage_program_us=400\nerase4k_ms=45\nerase32k_ms=0.5\nchip_erase_ms=5000\n"));
        QString strError;
        sim::BenchConfig loaded;
        QVERIFY2(sim::LoadBenchConfig(strIni, loaded, strError), qPrintable(strError));
        QCOMPARE(loaded.timing.nPageProgramUs, int64_t(400));
        QCOMPARE(loaded.timing.nSectorEraseUs, int64_t(45000));
        QCOMPARE(loaded.timing.nBlock32EraseUs, int64_t(500));
        QCOMPARE(loaded.timing.nChipEraseUs, int64_t(5000000));
        QCOMPARE(loaded.timing.nBlock64EraseUs, sim::FlashTiming().nBlock64EraseUs);  // absent: default
        for (const char* pBad : {"erase64k_ms=-1", "page_program_us=fast", "chip_erase_ms=1e12"}) {
            QVERIFY(WriteFile(strIni, QByteArray("[timing]\n") + pBad + "\n"));
            QVERIFY(!sim::LoadBenchConfig(strIni, loaded, strError));
            QVERIFY2(strError.contains(QString(pBad).section('=', 0, 0)), qPrintable(strError));
        }

        // The session's flash runs on the figures: a sector erase of 45 ms.
        BenchFixture bench("[timing]\nerase4k_ms=45\npage_program_us=3000\n");
        bench.FillPattern();
        QCOMPARE(bench.Open(), 0);
        const int64_t nBusyBefore = bench.Stats().nFlashBusyUs;
        QCOMPARE(bench.Ctrl().EraseFlash(0x1000, 0x1000), 0);
        const uint8_t data[4] = {1, 2, 3, 4};
        QCOMPARE(bench.Ctrl().ProgramFlash(0x1000, data, 4, false), 0);
        bench.Close();
        QCOMPARE(bench.Stats().nFlashBusyUs - nBusyBefore, int64_t(45000 + 3000));
        XQ_VERIFY_FLASH_KEPT(bench, {{0x1000, 0x1000}});
    }

    void unplugFault()
    {
        BenchFixture bench("[faults]\nunplug_after_transfers=5\n");
        QCOMPARE(bench.Open(), xq::kOk);  // probe, echo and set-up: three transfers
        FlashInfo info;
        bench.Ctrl().ReadFlashInfo(&info);
        uint8_t id[3];
        QVERIFY(bench.Ctrl().SendCmdRead(id, 3, 0x9F, 0, 0) != 0);
        bench.Close();
        QCOMPARE(bench.Open(), xq::kOk);  // plugged in again
    }

    // The one-shot faults each strike one command and leave the rest of the
    // session working: stuck status bits and stuck bytes on the flash alone,
    // fail_once and busy_once through the adapter link.
    void oneShotFaults()
    {
        FlashRig rig;
        sim::FlashFaults faults;
        faults.nStatusStuckBits = 0x0108;  // BP1 of register 1, SRP1 of register 2
        faults.stuckBytes = {0x1FF};
        rig.flash.SetFaults(faults);
        rig.WriteEnable();
        rig.Frame({0x01, 0x1C, 0x03});
        rig.nNowUs += 20000;
        QCOMPARE(rig.flash.Status1(), uint8_t(0x14));
        QCOMPARE(rig.flash.Status2(), uint8_t(0x02));
        rig.WriteEnable();
        rig.Frame({0x01, 0x00});
        rig.nNowUs += 20000;
        rig.Program(0x1FD, {0x11, 0x22, 0x33});
        QCOMPARE(rig.At(0x1FD), uint8_t(0x11));
        QCOMPARE(rig.At(0x1FE), uint8_t(0x22));
        QCOMPARE(rig.At(0x1FF), uint8_t(0xFF));  // only this byte stays erased
        // The second program of the page leaves it as well; an erase still works.
        rig.Program(0x1FF, {0x00});
        QCOMPARE(rig.At(0x1FF), uint8_t(0xFF));

        // fail_once: the 2nd page program of a session fails and does not
        // program. The adapter keeps a failed transfer until it is closed; in
        // the next session the count starts again.
        BenchFixture bench("[faults]\nfail_once=02@2, 44\nbusy_once=20\n");
        QCOMPARE(bench.Open(), xq::kOk);
        const uint8_t data[1] = {0x5A};
        QCOMPARE(bench.Ctrl().ProgramFlash(0x1000, data, 1, false), 0);
        QCOMPARE(bench.Ctrl().ProgramFlash(0x2000, data, 1, false), xq::kErrUsbWrite);
        bench.Close();
        QCOMPARE(bench.Open(), xq::kOk);
        QCOMPARE(bench.Ctrl().ProgramFlash(0x3000, data, 1, false), 0);
        QCOMPARE(bench.Ctrl().EraseSecurity(0, 256), xq::kErrUsbWrite);
        bench.Close();
        // busy_once: the first sector erase outlasts the wait, the next one does not.
        QCOMPARE(bench.Open(), xq::kOk);
        QVERIFY(bench.Ctrl().EraseFlash(0x8000, 0x1000) != 0);
        QCOMPARE(bench.Ctrl().EraseFlash(0x9000, 0x1000), 0);
        bench.Close();
        const QByteArray flash = bench.Flash();
        QCOMPARE(uint8_t(flash[0x1000]), uint8_t(0x5A));
        QCOMPARE(uint8_t(flash[0x2000]), uint8_t(0xFF));
        QCOMPARE(uint8_t(flash[0x3000]), uint8_t(0x5A));

        QTemporaryDir dir;
        const QString strIni = dir.path() + "/bench.ini";
        sim::BenchConfig config;
        QString strError;
        QVERIFY(WriteFile(strIni, "[faults]\nfail_once=44 02@100\nstatus_stuck_bits=1C\nstuck_bytes=1FFFFF, 10\n"));
        QVERIFY2(sim::LoadBenchConfig(strIni, config, strError), qPrintable(strError));
        QCOMPARE(config.failOnce.size(), size_t(2));
        QCOMPARE(int(config.failOnce.begin()->nOpcode), 0x02);
        QCOMPARE(config.failOnce.begin()->nNth, 100);
        QCOMPARE(config.nStatusStuckBits, uint16_t(0x1C));
        QCOMPARE(config.stuckBytes, (std::set<uint32_t>{0x10, 0x1FFFFF}));
        int nFile = 0;
        for (const char* pBad : {"fail_once=144", "fail_once=44@0", "busy_once=02@x", "status_stuck_bits=10000",
                                 "stuck_bytes=zz"}) {
            // A file of its own for each row: QSettings keeps what it read of
            // a file whose size and time did not change.
            const QString strBad = dir.path() + QString("/bad%1.ini").arg(++nFile);
            QVERIFY(WriteFile(strBad, QByteArray("[faults]\n") + pBad + "\n"));
            QVERIFY2(!sim::LoadBenchConfig(strBad, config, strError), pBad);
            QVERIFY2(strError.contains(QString(pBad).section('=', 0, 0)), pBad);
        }
    }

    void gangBenchHasOneDirectoryPerAdapter()
    {
        BenchFixture bench("[bench]\nadapters=3\n");
        QList<QByteArray> names;
        SpiFtdi ftdi(bench.BackendPtr());
        QCOMPARE(ftdi.Enumerate(names), xq::kOk);
        QCOMPARE(names.size(), 3);
        QCOMPARE(names, (QList<QByteArray>{"FT2232-LOC-1", "FT2232-LOC-2", "FT2232-LOC-3"}));
        QCOMPARE(ftdi.Open("FT2232-LOC-3", 6000000), xq::kOk);
        ftdi.Close();
        QVERIFY(QFile::exists(bench.Dir() + "/adapter-3/flash.bin"));
        QVERIFY(!QFile::exists(bench.Dir() + "/adapter-1/flash.bin"));
    }
};

QTEST_GUILESS_MAIN(TestSim)
#include "test_sim.moc"
