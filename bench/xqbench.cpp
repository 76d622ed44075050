// xqbench: speed of the whole stack (worker sequences, SpiFlashCtrl, SpiFtdi,
// the adapter library) on the simulated bench, against the physical bound.
//
// For each scenario it prints
//   NAME ratio=R virtual_ms=V bound_ms=B usb_transfers=T round_trips=N cpu_ms=C
// V is the bench's virtual time of the run. B is the flash's own busy time
// for the commands the sequence issues plus the SPI clocking time of every
// byte that must cross the wire (status and mode polls left out) at the real
// SCK. R = V / B. C is the host CPU time of the run.
#include <baseworker.h>
#include <ratetable.h>
#include <mpsse.h>
#include <simbench.h>
#include <spiflashctrl.h>
#include <staticlayout.h>
#include <worker.h>

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <ctime>
#include <functional>
#include <random>

namespace {

struct Scenario {
    const char* pName;
    int nRateIndex;
    bool bHighSpeed;
    std::function<bool(SpiFlashCtrl&)> run;
};

std::vector<uint8_t> RandomImage(size_t n, bool bEncrypted)
{
    std::mt19937 rng(12345);
    std::vector<uint8_t> data(n);
    for (auto& b : data)
        b = uint8_t(rng());
    if (bEncrypted)
        data[0x2FB0] = 2;
    else if (n > 0x2FB0)
        data[0x2FB0] = 0;
    return data;
}

bool WriteImage(SpiFlashCtrl& ctrl, size_t nSize, bool bEncrypted)
{
    BaseWorker worker;
    worker.pSpiCtrl = &ctrl;
    const std::vector<uint8_t> image = RandomImage(nSize, bEncrypted);
    auto* pData = new uint8_t[nSize];
    std::copy(image.begin(), image.end(), pData);
    worker.SetImage(pData, int32_t(nSize));
    worker.nEraseBytes = int32_t(nSize);
    bool bOk = false;
    QObject::connect(&worker, &BaseWorker::finish, [&](int, bool b) { bOk = b; });
    worker.OnWrite();
    return bOk;
}

bool ReadWhole(SpiFlashCtrl& ctrl, const QString& strFile)
{
    BaseWorker worker;
    worker.pSpiCtrl = &ctrl;
    worker.nReadBytes = -1;
    worker.strSaveFile = strFile;
    bool bOk = false;
    QObject::connect(&worker, &BaseWorker::finish, [&](int, bool b) { bOk = b; });
    worker.OnRead();
    return bOk;
}

bool StaticWriteRead(SpiFlashCtrl& ctrl)
{
    StaticLayout layout;
    if (layout.LoadXlsx(XQ_SAMPLE_WORKBOOK) != 0)
        return false;
    const int nTotal = (layout.nUsedLength + 23) & ~3;
    QByteArray record = layout.GetStaticData(false);
    reinterpret_cast<static_data_hdr*>(record.data())->nTotalSize = uint32_t(nTotal);
    Worker worker;
    worker.pSpiCtrl = &ctrl;
    worker.nStartAddr = 0x1FF000;
    worker.nTotalSize = nTotal;
    worker.nNotFoundPauseMs = 0;
    worker.SetRecord(record);
    bool bOk = false;
    QObject::connect(&worker, &Worker::finish, [&](int, bool b) { bOk = b; });
    QObject::connect(&worker, &Worker::send, [&](const static_data_hdr* p) { layout.SetStaticData(p); });
    worker.OnWrite();
    const bool bWritten = bOk;
    worker.OnRead();
    return bWritten && bOk;
}

double CpuMs()
{
    return 1000.0 * double(std::clock()) / CLOCKS_PER_SEC;
}

void RunScenario(const Scenario& sc, bool bBatching)
{
    QTemporaryDir dir;
    QFile ini(dir.filePath("bench.ini"));
    ini.open(QIODevice::WriteOnly);
    ini.write(sc.bHighSpeed ? "[usb]\nspeed=high\n" : "[usb]\nspeed=full\n");
    ini.close();
    mpsse::SetWriteBatching(bBatching);
    auto pBench = sim::UseSimulatedBench(dir.path());
    SpiFlashCtrl ctrl;
    QList<QByteArray> names;
    ctrl.SelectAdapter(names, 0);
    sim::BenchStats* pStats = pBench->Stats(1).get();
    ctrl.SetMsClock([pStats] { return pStats->VirtualMs(); });
    const double dCpuStart = CpuMs();
    bool bOk = ctrl.Open(names.value(0), sc.nRateIndex) == 0;
    const sim::BenchStats before = *pStats;
    bOk = bOk && sc.run(ctrl);
    ctrl.Close();
    const double dCpu = CpuMs() - dCpuStart;
    const sim::BenchStats& s = *pStats;
    const double dSckHz = mpsse::ActualClockHz(mpsse::kChipFt2232H, xq::kRateTable[sc.nRateIndex].nHz);
    const double dVirtualMs = double(s.nHostNs - before.nHostNs) / 1e6;
    const int64_t nWireBytes = (s.nSpiBytes - before.nSpiBytes) - (s.nPollBytes - before.nPollBytes);
    const double dBoundMs = double(s.nFlashBusyUs - before.nFlashBusyUs) / 1000.0 + double(nWireBytes) * 8.0 / dSckHz * 1000.0;
    std::printf("%s%s ratio=%.3f virtual_ms=%.1f bound_ms=%.1f usb_transfers=%lld round_trips=%lld cpu_ms=%.0f%s\n",
                sc.pName, bBatching ? "" : "-nobatch", dVirtualMs / dBoundMs, dVirtualMs, dBoundMs,
                (long long)(s.nUsbTransfers - before.nUsbTransfers), (long long)(s.nRoundTrips - before.nRoundTrips),
                dCpu, bOk ? "" : " FAILED");
    std::fflush(stdout);
    mpsse::SetBackend(nullptr);
}

}  // namespace



int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QString strOnly = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    QTemporaryDir out;
    const std::vector<Scenario> scenarios = {
        {"write2m-hs30", 9, true, [](SpiFlashCtrl& c) { return WriteImage(c, 2 * 1024 * 1024, false); }},
        {"write2m-fs6", 5, false, [](SpiFlashCtrl& c) { return WriteImage(c, 2 * 1024 * 1024, false); }},
        {"read2m-hs30", 9, true, [&](SpiFlashCtrl& c) { return ReadWhole(c, out.filePath("read.bin")); }},
        {"encrypted1m-hs30", 9, true, [](SpiFlashCtrl& c) { return WriteImage(c, 1024 * 1024, true); }},
        {"static-hs30", 9, true, [](SpiFlashCtrl& c) { return StaticWriteRead(c); }},
    };
    for (const Scenario& sc : scenarios) {
        if (!strOnly.isEmpty() && !QString(sc.pName).startsWith(strOnly))
            continue;
        RunScenario(sc, true);
        const bool bWrite = QString(sc.pName).startsWith("write") || QString(sc.pName).startsWith("encrypted") ||
                            QString(sc.pName).startsWith("static");
        if (bWrite)
            RunScenario(sc, false);
    }
    return 0;
}
