// xqbench: speed of the whole stack (worker sequences, SpiFlashCtrl, SpiFtdi,
// the adapter library) on the simulated bench, against two bounds.
//
// For each scenario it prints
//   NAME ratio=R virtual_ms=V bound_ms=B job_ratio=J job_bound_ms=JB
//        usb_transfers=T round_trips=N cpu_ms=C [order_floor_ms=F]
// V is the bench's virtual time of the run. B is the flash's own busy time
// for the commands the sequence issues plus the SPI clocking time of every
// byte that must cross the wire (status and mode polls left out) at the real
// SCK; R = V / B. JB is the least time the job itself needs given what the
// flash held before: the erase time of the sectors that must be erased (in
// the largest aligned units that hold only such sectors), the page program
// time of the pages that must change, the clocking of the bytes of those
// commands, and the read of the whole range that proves the result; J = V / JB.
// C is the host CPU time of the run. F (writes) is the floor of page programs
// strictly one by one: the next program leaves the host only once the status
// of the one before is back, so each program adds at least one USB transfer's
// set-up to B.
//
// Rows run in the default profile (page programs one by one); rows ending in
// "-fast" in the fast profile (SpiFlashCtrl::SetBatchPrograms: programs in
// batches, blank blocks left unerased).
//
// Usage: xqbench [--times typ|max] [NAME-PREFIX]. With --times max the flash
// runs on the datasheet's maximum busy times (names end in "-tmax").
#include <benchconfig.h>
#include <imageops.h>
#include <ratetable.h>
#include <mpsse.h>
#include <simbench.h>
#include <spiflashctrl.h>
#include <session.h>
#include <staticlayout.h>
#include <staticread.h>
#include <staticwrite.h>

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <functional>
#include <random>
#include <string>

namespace {

constexpr int32_t kFlashSize = 2 * 1024 * 1024;
constexpr int32_t kPage = 256;
constexpr int32_t kSector = 4096;

using Bytes = std::vector<uint8_t>;

// What a scenario asks of the flash: the range that it writes (or reads), the
// image that must end up there, and how the job must be done.
enum class JobKind { Plain, Encrypted, Read };

struct Scenario {
    const char* pName;
    int nRateIndex;
    bool bHighSpeed;
    JobKind kind;
    int32_t nStart;
    Bytes prior;  // the flash before the run (empty: erased)
    Bytes image;  // what the range holds afterwards (for a read: what it holds)
    std::function<bool(SpiFlashCtrl&, const Scenario&)> run;
    bool bNoBatchToo;  // also run with write batching off
    bool bFastToo = false;  // also run in the fast profile
    int32_t nCheckLength = 0;  // without an image: the bytes the job reads back
    const char* pAdapter = nullptr;  // the bench's [adapter] model; null: the FT2232H
};

Bytes RandomBytes(size_t n, uint32_t nSeed)
{
    std::mt19937 rng(nSeed);
    Bytes data(n);
    for (auto& b : data)
        b = uint8_t(rng());
    return data;
}

// A plain image never carries the encryption marker; an encrypted one does.
Bytes RandomImage(size_t n, bool bEncrypted, uint32_t nSeed = 12345)
{
    Bytes data = RandomBytes(n, nSeed);
    if (bEncrypted)
        data[0x2FB0] = 2;
    else if (n > 0x2FB0)
        data[0x2FB0] = 0;
    return data;
}

// The operations log nowhere here: only their time counts.
FunctionObserver& Quiet()
{
    static FunctionObserver observer([](const QString&) {});
    return observer;
}

bool WriteImage(SpiFlashCtrl& ctrl, const Scenario& sc, bool bSmart)
{
    ImageWriteRequest request;
    request.image = QByteArray(reinterpret_cast<const char*>(sc.image.data()), int(sc.image.size()));
    request.nStart = sc.nStart;
    request.nEraseBytes = int32_t(sc.image.size());
    request.bSmart = bSmart;
    OperationReport report;
    return ImageWrite(ctrl, Quiet()).Run(request, report) == xq::kOk;
}

bool ReadWhole(SpiFlashCtrl& ctrl, const Scenario&, const QString& strFile)
{
    ImageReadRequest request;
    request.nLength = xq::kWholeChip;
    request.strSaveFile = strFile;
    OperationReport report;
    return ImageRead(ctrl, Quiet()).Run(request, report) == xq::kOk;
}

int StaticTotal(const StaticLayout& layout)
{
    return StaticRules::DefaultTotal(layout.nUsedLength);
}

int SampleStaticTotal()
{
    StaticLayout layout;
    return layout.LoadXlsx(XQ_SAMPLE_WORKBOOK) == 0 ? StaticTotal(layout) : 0;
}

bool StaticWriteRead(SpiFlashCtrl& ctrl, const Scenario&)
{
    StaticLayout layout;
    if (layout.LoadXlsx(XQ_SAMPLE_WORKBOOK) != 0)
        return false;
    StaticWriteRequest request;
    request.nTotal = StaticTotal(layout);
    request.record = layout.GetStaticData(false);
    reinterpret_cast<static_data_hdr*>(request.record.data())->nTotalSize = uint32_t(request.nTotal);
    OperationReport written;
    const bool bWritten = StaticWrite(ctrl, Quiet()).Run(request, written) == xq::kOk;
    StaticRead read(ctrl, Quiet());
    read.onRecord = [&layout](const static_data_hdr* p) { layout.SetStaticData(p); };
    OperationReport readBack;
    const bool bRead = read.Run(StaticReadRequest{request.nStart, request.nTotal, layout.nUsedLength}, readBack) == xq::kOk;
    return bWritten && bRead;
}

// The least erase time of a run of sectors [nFrom, nTo) that must all be
// erased, with the aligned units a flash offers (as EraseFlash chooses them).
int64_t RunEraseUs(int32_t nFrom, int32_t nTo, const sim::FlashTiming& t, int64_t& nCommands)
{
    int64_t nUs = 0;
    for (int32_t nAt = nFrom; nAt < nTo;) {
        int32_t nUnit = kSector;
        int64_t nUnitUs = t.nSectorEraseUs;
        if (nAt % 0x10000 == 0 && nTo - nAt >= 0x10000) {
            nUnit = 0x10000;
            nUnitUs = t.nBlock64EraseUs;
        } else if (nAt % 0x8000 == 0 && nTo - nAt >= 0x8000) {
            nUnit = 0x8000;
            nUnitUs = t.nBlock32EraseUs;
        }
        nUs += nUnitUs;
        ++nCommands;
        nAt += nUnit;
    }
    return nUs;
}

// The job bound of a plain write (or a read, where nothing changes): from
// the flash before and after, which sectors need an erase (some bit goes
// from 0 to 1), which pages then need a program, and the read of the range.
double PlainJobBoundMs(const Bytes& before, const Bytes& after, int32_t nRangeLength, const sim::FlashTiming& t,
                       double dSckHz)
{
    std::vector<bool> erase(size_t(kFlashSize / kSector), false);
    for (int32_t i = 0; i < kFlashSize; ++i) {
        if ((before[size_t(i)] & after[size_t(i)]) != after[size_t(i)])
            erase[size_t(i / kSector)] = true;
    }
    int64_t nBusyUs = 0;
    int64_t nEraseCommands = 0;
    for (int32_t s = 0; s < kFlashSize / kSector;) {
        if (!erase[size_t(s)]) {
            ++s;
            continue;
        }
        int32_t e = s;
        while (e < kFlashSize / kSector && erase[size_t(e)])
            ++e;
        nBusyUs += RunEraseUs(s * kSector, e * kSector, t, nEraseCommands);
        s = e;
    }
    int64_t nPages = 0;
    const Bytes erased(kPage, 0xFF);
    for (int32_t p = 0; p < kFlashSize; p += kPage) {
        const uint8_t* pBase = erase[size_t(p / kSector)] ? erased.data() : before.data() + p;
        if (std::memcmp(pBase, after.data() + p, kPage) != 0)
            ++nPages;
    }
    nBusyUs += nPages * t.nPageProgramUs;
    // Write enable, command, address, data, write disable; the read of the range.
    const int64_t nBytes = nPages * (1 + 4 + kPage + 1) + nEraseCommands * (1 + 4 + 1) + 4 + nRangeLength;
    return double(nBusyUs) / 1000.0 + double(nBytes) * 8.0 / dSckHz * 1000.0;
}

// An encrypted image needs the chip's zero pass (programmed on erased flash,
// read back as the key), an erase, the data pass and the read-back.
double EncryptedJobBoundMs(const Bytes& before, int32_t nStart, int32_t nLength, const sim::FlashTiming& t,
                           double dSckHz)
{
    const int32_t nFrom = nStart & ~(kSector - 1);
    const int32_t nTo = (nStart + nLength + kSector - 1) & ~(kSector - 1);
    int64_t nCommands = 0;
    int64_t nBusyUs = 0;
    const Bytes erased(kSector, 0xFF);
    for (int32_t s = nFrom; s < nTo; s += kSector) {
        if (std::memcmp(before.data() + s, erased.data(), kSector) != 0)
            nBusyUs += RunEraseUs(s, s + kSector, t, nCommands);
    }
    nBusyUs += RunEraseUs(nFrom, nTo, t, nCommands);
    const int64_t nPages = 2 * ((int64_t(nLength) + kPage - 1) / kPage);
    nBusyUs += nPages * t.nPageProgramUs;
    const int64_t nBytes = nPages * (1 + 4 + kPage + 1) + nCommands * (1 + 4 + 1) + 2 * (5 + int64_t(nLength));
    return double(nBusyUs) / 1000.0 + double(nBytes) * 8.0 / dSckHz * 1000.0;
}

double CpuMs()
{
    return 1000.0 * double(std::clock()) / CLOCKS_PER_SEC;
}

Bytes ReadFile(const QString& strPath)
{
    QFile file(strPath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray data = file.readAll();
    return Bytes(data.begin(), data.end());
}

// Page programs a write must issue: the pages of its image that are not all
// 0xFF (twice for an encrypted image: the zero pass and the data pass).
int64_t ProgramsOf(const Scenario& sc)
{
    int64_t nPrograms = 0;
    for (size_t p = 0; p < sc.image.size(); p += kPage) {
        const size_t nEnd = std::min(sc.image.size(), p + kPage);
        if (!std::all_of(sc.image.begin() + long(p), sc.image.begin() + long(nEnd), [](uint8_t b) { return b == 0xFF; }))
            ++nPrograms;
    }
    return sc.kind == JobKind::Encrypted ? 2 * ((int64_t(sc.image.size()) + kPage - 1) / kPage) : nPrograms;
}

void RunScenario(const Scenario& sc, bool bBatching, const sim::FlashTiming& timing, bool bFast,
                 const char* pSuffix)
{
    QTemporaryDir dir;
    sim::BenchConfig config;
    if (sc.pAdapter)
        config.pAdapter = sim::FindAdapterModel(sc.pAdapter);
    config.bUsbHighSpeed = sc.bHighSpeed;
    config.timing = timing;
    sim::SaveBenchConfig(dir.filePath("bench.ini"), config);
    const Bytes before = sc.prior.empty() ? Bytes(size_t(kFlashSize), 0xFF) : sc.prior;
    QFile flash(dir.filePath("flash.bin"));
    flash.open(QIODevice::WriteOnly);
    flash.write(reinterpret_cast<const char*>(before.data()), qint64(before.size()));
    flash.close();

    auto pBench = sim::MakeSimulatedBench(dir.path());
    pBench->SetWriteBatching(bBatching);
    SpiFlashCtrl ctrl(pBench);
    ctrl.SetBatchPrograms(bFast);
    QList<QByteArray> names;
    ctrl.SelectAdapter(names, 0);
    sim::BenchStats* pStats = pBench->Stats(1).get();
    ctrl.SetMsClock([pStats] { return pStats->VirtualMs(); });
    const double dCpuStart = CpuMs();
    bool bOk = ctrl.Open(names.value(0), sc.nRateIndex) == 0;
    const sim::BenchStats startStats = *pStats;
    bOk = bOk && sc.run(ctrl, sc);
    ctrl.Close();
    const double dCpu = CpuMs() - dCpuStart;

    // A write must leave exactly the image in its range and nothing else changed.
    const Bytes after = ReadFile(dir.filePath("flash.bin"));
    if (after.size() != before.size()) {
        bOk = false;
    } else if (sc.kind == JobKind::Plain || sc.kind == JobKind::Read) {
        Bytes expected = before;
        std::copy(sc.image.begin(), sc.image.end(), expected.begin() + sc.nStart);
        bOk = bOk && (sc.image.empty() || after == expected);
    }

    const sim::BenchStats& s = *pStats;
    const double dSckHz = mpsse::ActualClockHz(config.pAdapter->ChipType(), xq::kRateTable[sc.nRateIndex].nHz);
    const double dVirtualMs = double(s.nHostNs - startStats.nHostNs) / 1e6;
    const int64_t nWireBytes = (s.nSpiBytes - startStats.nSpiBytes) - (s.nPollBytes - startStats.nPollBytes);
    const double dBoundMs =
        double(s.nFlashBusyUs - startStats.nFlashBusyUs) / 1000.0 + double(nWireBytes) * 8.0 / dSckHz * 1000.0;
    double dJobMs = 0;
    if (after.size() == before.size()) {
        dJobMs = sc.kind == JobKind::Encrypted
                     ? EncryptedJobBoundMs(before, sc.nStart, int32_t(sc.image.size()), timing, dSckHz)
                     : PlainJobBoundMs(before, after, sc.image.empty() ? sc.nCheckLength : int32_t(sc.image.size()),
                                       timing, dSckHz);
    }
    std::string strFloor;
    if (sc.kind != JobKind::Read && !sc.image.empty()) {
        const sim::UsbTiming usb = sc.bHighSpeed ? sim::kUsbHighSpeed : sim::kUsbFullSpeed;
        const double dFloorMs = dBoundMs + double(ProgramsOf(sc) * usb.nPerTransferNs) / 1e6;
        strFloor = " order_floor_ms=" + std::to_string(int64_t(dFloorMs * 10 + 0.5) / 10) + "." +
                   std::to_string(int64_t(dFloorMs * 10 + 0.5) % 10);
    }
    std::printf("%s%s%s ratio=%.3f virtual_ms=%.1f bound_ms=%.1f job_ratio=%.3f job_bound_ms=%.1f "
                "usb_transfers=%lld round_trips=%lld cpu_ms=%.0f%s%s\n",
                sc.pName, bBatching ? "" : "-nobatch", pSuffix, dVirtualMs / dBoundMs, dVirtualMs, dBoundMs,
                dJobMs > 0 ? dVirtualMs / dJobMs : 0.0, dJobMs, (long long)(s.nUsbTransfers - startStats.nUsbTransfers),
                (long long)(s.nRoundTrips - startStats.nRoundTrips), dCpu, strFloor.c_str(), bOk ? "" : " FAILED");
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QString strOnly;
    sim::FlashTiming timing;
    const char* pSuffix = "";
    const QStringList args = app.arguments().mid(1);
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == "--times" && i + 1 < args.size()) {
            const QString strTimes = args[++i];
            if (strTimes == "max") {
                timing = sim::FlashTiming::DatasheetMaximum();
                pSuffix = "-tmax";
            } else if (strTimes != "typ") {
                std::fprintf(stderr, "xqbench: --times takes typ or max\n");
                return 2;
            }
        } else if (args[i].startsWith("-")) {
            std::fprintf(stderr, "usage: xqbench [--times typ|max] [NAME-PREFIX]\n");
            return 2;
        } else {
            strOnly = args[i];
        }
    }

    const auto plain = [](SpiFlashCtrl& c, const Scenario& sc) { return WriteImage(c, sc, false); };
    const auto smart = [](SpiFlashCtrl& c, const Scenario& sc) { return WriteImage(c, sc, true); };
    QTemporaryDir out;
    const QString strReadFile = out.filePath("read.bin");
    const Bytes random2m = RandomImage(kFlashSize, false);
    Bytes halfBlank = RandomImage(kFlashSize / 2, false);
    halfBlank.resize(size_t(kFlashSize), 0xFF);
    const std::vector<Scenario> scenarios = {
        {"write2m-hs30", 9, true, JobKind::Plain, 0, {}, random2m, plain, true, true},
        {"write2m-hs6", 5, true, JobKind::Plain, 0, {}, random2m, plain, false, true},
        {"write2m-fs6", 5, false, JobKind::Plain, 0, {}, random2m, plain, true, true},
        {"write2m-ft2232d6", 5, false, JobKind::Plain, 0, {}, random2m, plain, false, true, 0, "FT2232D"},
        {"write2m-halfblank-hs30", 9, true, JobKind::Plain, 0, {}, halfBlank, plain, false},
        {"read2m-hs30", 9, true, JobKind::Read, 0, random2m, random2m,
         [&](SpiFlashCtrl& c, const Scenario& sc) { return ReadWhole(c, sc, strReadFile); }, false},
        {"encrypted1m-hs30", 9, true, JobKind::Encrypted, 0, {}, RandomImage(kFlashSize / 2, true), plain,
         true},
        {"static-hs30", 9, true, JobKind::Plain, 0x1FF000, {}, {}, StaticWriteRead, true, false, SampleStaticTotal()},
        {"smart-blank2m-hs30", 9, true, JobKind::Plain, 0, {}, random2m, smart, false},
        {"smart-same2m-hs30", 9, true, JobKind::Plain, 0, random2m, random2m, smart, false},
        {"smart-changed2m-hs30", 9, true, JobKind::Plain, 0, RandomImage(kFlashSize, false, 777), random2m, smart,
         false},
    };
    for (const Scenario& sc : scenarios) {
        if (!strOnly.isEmpty() && !QString(sc.pName).startsWith(strOnly))
            continue;
        RunScenario(sc, true, timing, false, pSuffix);
        if (sc.bNoBatchToo)
            RunScenario(sc, false, timing, false, pSuffix);
        if (sc.bFastToo)
            RunScenario(sc, true, timing, true, (std::string("-fast") + pSuffix).c_str());
    }
    return 0;
}
