#include "simbench.h"

#include "benchsession.h"
#include "mpssedecoder.h"

#include <adapters.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>
#include <chrono>
#include <deque>
#include <thread>

namespace sim {

namespace {

// What the engine sees on a channel that no chip is wired to.
struct NoSlave : SpiSlave {
    void Select() override {}
    uint8_t Exchange(uint8_t) override { return 0xFF; }
    void Deselect() override {}
};

class SimTransport : public mpsse::Transport {
public:
    SimTransport(std::unique_ptr<BenchSession> pSession, int nChannel, const mpsse::BoardPins* pBoard)
        : m_pSession(std::move(pSession)),
          m_pBoard(pBoard),
          m_model(*m_pSession->Config().pAdapter),
          m_decoder(nChannel == m_model.nWiredChannel ? &m_pSession->Wire() : static_cast<SpiSlave*>(&m_noSlave),
                    m_model.ChipType(), m_model.gate),
          m_usb(m_pSession->Config().bUsbHighSpeed ? kUsbHighSpeed : kUsbFullSpeed),
          m_wallStart(std::chrono::steady_clock::now()),
          m_nHostStartNs(m_pSession->Stats().nHostNs),
          m_nBusyBase(m_pSession->Flash().BusyTimeUs()),
          m_nPollBase(m_pSession->Chip().PollBytes())
    {
        BenchStats* pStats = &m_pSession->Stats();
        m_decoder.SetClockObserver([pStats](int64_t nNs) { pStats->nEngineNs += nNs; });
    }

    ~SimTransport() override { UpdateCounters(); }

    int Write(const uint8_t* pData, int n) override
    {
        if (Unplugged())
            return FailTransfer(mpsse::kErrUsbWrite);
        BenchStats& s = Stats();
        CountTransfer();
        s.nBytesOut += n;
        const uint64_t nSpiBefore = m_decoder.SpiBytes();
        FeedPackets(pData, n);
        s.nSpiBytes += int64_t(m_decoder.SpiBytes() - nSpiBefore);
        s.nSpiNs += m_decoder.TakeSpiNs();
        UpdateCounters();
        Pace();
        if (m_pSession->Flash().TakeTransferFault()) {
            // [faults] fail_once: this transfer fails; the next one works.
            m_decoder.Replies().clear();
            SetErrorText(BenchErrorText(QCoreApplication::translate("SimBench", "一次USB传输失败 (fail_once)")).toStdString());
            return mpsse::kErrUsbWrite;
        }
        return mpsse::kOk;
    }

    int Read(uint8_t* pBuffer, int n, int nTimeoutMs) override
    {
        return ReadFrom(Stats().nHostNs, pBuffer, n, nTimeoutMs);
    }

    // The reply is asked for when the write starts: the read's set-up runs
    // while the write's packets cross the bus, and its reply follows the
    // write's last packet.
    int Exchange(const uint8_t* pOut, int nOut, uint8_t* pIn, int nIn, int nTimeoutMs) override
    {
        const int64_t nSubmittedNs = Stats().nHostNs;
        const int r = Write(pOut, nOut);
        return r != mpsse::kOk ? r : ReadFrom(nSubmittedNs, pIn, nIn, nTimeoutMs);
    }

    void Purge() override { m_decoder.Replies().clear(); }

    // A read whose USB request left the host at nSubmittedNs.
    int ReadFrom(int64_t nSubmittedNs, uint8_t* pBuffer, int n, int nTimeoutMs)
    {
        if (Unplugged())
            return FailTransfer(mpsse::kErrUsbRead);
        BenchStats& s = Stats();
        CountTransfer();
        ++s.nRoundTrips;
        std::deque<uint8_t>& replies = m_decoder.Replies();
        // The reply is complete once the engine has clocked it; a deadline
        // that passes before that fails here as it would on the wire.
        const int64_t nTimeoutNs = int64_t(nTimeoutMs) * 1000000;
        if (int(replies.size()) < n || s.nEngineNs - s.nHostNs > nTimeoutNs) {
            s.nHostNs += nTimeoutNs;
            replies.clear();
            return mpsse::kErrReadTimeout;
        }
        for (int i = 0; i < n; ++i) {
            pBuffer[i] = replies.front();
            replies.pop_front();
        }
        s.nBytesIn += n;
        // The reply streams to the host while the engine clocks it in.
        s.nHostNs = std::max({nSubmittedNs + m_usb.nPerTransferNs + m_usb.nPerByteNs * n, s.nHostNs, s.nEngineNs});
        Pace();
        return mpsse::kOk;
    }

    // Saves the chip and unlocks the bench: a chip that could not be saved
    // fails the close, so the operation never passes as stored.
    int Close() override
    {
        UpdateCounters();
        QString strError;
        if (m_pSession->Close(strError))
            return mpsse::kOk;
        qWarning("%s", qPrintable(BenchErrorText(strError)));
        SetErrorText(BenchErrorText(strError).toStdString());
        return mpsse::kErrClose;
    }
    uint32_t ChipType() const override { return m_model.ChipType(); }
    const mpsse::BoardPins* Board() const override { return m_pBoard; }
    int64_t ClockMs() const override { return m_pSession->Stats().VirtualMs(); }

private:
    BenchStats& Stats() { return m_pSession->Stats(); }

    // One USB write as its packets cross the bus: the first after the
    // transfer's set-up, each after the one before, but only once the
    // adapter's receive buffer has room for it (the engine frees a packet's
    // room when it has executed it). The engine starts on each packet when it
    // has arrived and the one before is done. The write returns to the host
    // when its last packet is in the buffer, so a write larger than the
    // buffer waits for the engine.
    void FeedPackets(const uint8_t* pData, int n)
    {
        BenchStats& s = Stats();
        // A high-speed chip on a full-speed port (USB 1.1, or [usb] speed=full)
        // moves 64-byte packets like a full-speed chip.
        const int nPacket = m_pSession->Config().bUsbHighSpeed ? m_model.PacketSize() : 64;
        const int nBuffer = m_model.RxBufferBytes();
        int64_t nAt = s.nHostNs + m_usb.nPerTransferNs;
        for (int nDone = 0; nDone < n;) {
            const int nLen = std::min(nPacket, n - nDone);
            while (!m_inBuffer.empty() && (m_inBuffer.front().first <= nAt || m_nBuffered + nLen > nBuffer)) {
                nAt = std::max(nAt, m_inBuffer.front().first);  // the adapter refuses the packet until then
                m_nBuffered -= m_inBuffer.front().second;
                m_inBuffer.pop_front();
            }
            nAt += m_usb.nPerByteNs * nLen;
            s.nEngineNs = std::max(s.nEngineNs, nAt);
            m_decoder.Feed(pData + nDone, size_t(nLen));  // advances the engine's clock as it goes
            m_inBuffer.emplace_back(s.nEngineNs, nLen);
            m_nBuffered += nLen;
            nDone += nLen;
        }
        s.nHostNs = std::max(s.nHostNs, nAt);
    }

    bool Unplugged()
    {
        const int nLimit = m_pSession->Config().nUnplugAfterTransfers;
        return nLimit > 0 && m_nTransfers >= nLimit;
    }

    // A transfer to a device that is gone still costs the host a USB
    // attempt, so the virtual clock goes on (a time-out loop above ends).
    int FailTransfer(int nCode)
    {
        SetErrorText(BenchErrorText(QCoreApplication::translate("SimBench", "适配器已被拔出")).toStdString());
        Stats().nHostNs += m_usb.nPerTransferNs;
        Pace();
        return nCode;
    }

    void CountTransfer()
    {
        ++m_nTransfers;
        ++Stats().nUsbTransfers;
    }

    void UpdateCounters()
    {
        const int64_t nBusy = m_pSession->Flash().BusyTimeUs();
        Stats().nFlashBusyUs += nBusy - m_nBusyBase;
        m_nBusyBase = nBusy;
        const int64_t nPolls = m_pSession->Chip().PollBytes();
        Stats().nPollBytes += nPolls - m_nPollBase;
        m_nPollBase = nPolls;
    }

    // With [timing] realtime=true, wall time follows the virtual clock; so it
    // does while a busy_once command keeps the flash busy, from its start.
    void Pace()
    {
        if (!m_pSession->Config().bRealtime) {
            if (!m_pSession->Flash().InBusyOnce()) {
                m_bPacing = false;
                return;
            }
            if (!m_bPacing) {
                m_bPacing = true;
                m_paceWall = std::chrono::steady_clock::now();
                m_nPaceHostNs = Stats().nHostNs;
            }
            std::this_thread::sleep_until(m_paceWall + std::chrono::nanoseconds(Stats().nHostNs - m_nPaceHostNs));
            return;
        }
        const auto target = m_wallStart + std::chrono::nanoseconds(Stats().nHostNs - m_nHostStartNs);
        std::this_thread::sleep_until(target);
    }

    std::unique_ptr<BenchSession> m_pSession;
    const mpsse::BoardPins* m_pBoard;
    const AdapterModel& m_model;
    NoSlave m_noSlave;
    MpsseDecoder m_decoder;
    UsbTiming m_usb;
    std::chrono::steady_clock::time_point m_wallStart;
    int64_t m_nHostStartNs;
    int64_t m_nBusyBase;
    int64_t m_nPollBase;
    int m_nTransfers = 0;
    std::deque<std::pair<int64_t, int>> m_inBuffer;  // packets in the receive buffer: when executed, bytes
    int m_nBuffered = 0;
    bool m_bPacing = false;  // following a busy_once busy time in real time
    std::chrono::steady_clock::time_point m_paceWall;
    int64_t m_nPaceHostNs = 0;
};

}  // namespace

SimBackend::SimBackend(const QString& strDir) : m_strDir(strDir.isEmpty() ? DefaultBenchDir() : strDir) {}

int SimBackend::AdapterCount() const
{
    BenchConfig config;
    QString strError;
    const QString strIni = m_strDir + "/bench.ini";
    if (!QFileInfo::exists(strIni) || !LoadBenchConfig(strIni, config, strError))
        return 1;
    return config.nAdapters;
}

bool SimBackend::StrictOrder() const
{
    BenchConfig config;
    QString strError;
    const QString strIni = m_strDir + "/bench.ini";
    return QFileInfo::exists(strIni) && LoadBenchConfig(strIni, config, strError) && config.bStrictOrder;
}

QString SimBackend::AdapterDir(int nAdapter) const
{
    return AdapterCount() > 1 ? QString("%1/adapter-%2").arg(m_strDir).arg(nAdapter) : m_strDir;
}

std::shared_ptr<BenchStats> SimBackend::Stats(int nAdapter)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    std::shared_ptr<BenchStats>& p = m_stats[nAdapter];
    if (!p)
        p = std::make_shared<BenchStats>();
    return p;
}

QString SimBackend::LastError() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_strLastError;
}

const AdapterModel& SimBackend::Model(int nAdapter) const
{
    BenchConfig config;
    QString strError;
    const QString strIni = AdapterDir(nAdapter) + "/bench.ini";
    if (QFileInfo::exists(strIni) && LoadBenchConfig(strIni, config, strError))
        return *config.pAdapter;
    return DefaultAdapterModel();
}

QString SimBackend::Serial(int nAdapter) const
{
    BenchConfig config;
    QString strError;
    const QString strIni = AdapterDir(nAdapter) + "/bench.ini";
    if (QFileInfo::exists(strIni) && LoadBenchConfig(strIni, config, strError))
        return AdapterSerial(config, nAdapter);
    return DefaultAdapterSerial(nAdapter);
}

int SimBackend::Enumerate(const mpsse::DeviceId* pTable, std::vector<mpsse::AdapterEntry>& entries)
{
    entries.clear();
    const int nCount = AdapterCount();
    for (int k = 1; k <= nCount; ++k) {
        const AdapterModel& model = Model(k);
        bool bListed = false;
        for (const mpsse::DeviceId* p = pTable; p && (p->nVendor || p->nProduct); ++p)
            bListed = bListed || (p->nVendor == model.nVendor && p->nProduct == model.nProduct);
        if (!bListed)
            continue;
        mpsse::AdapterEntry e;
        e.nVendor = model.nVendor;
        e.nProduct = model.nProduct;
        e.nChipType = model.ChipType();
        e.nChannels = uint32_t(model.Interfaces());
        e.strProduct = model.pProduct;
        e.strSerial = Serial(k).toStdString();
        e.strPortPath = QString("bench-%1").arg(k).toStdString();
        e.nLocation = uint32_t(k);
        entries.push_back(e);
    }
    return int(entries.size());
}

std::unique_ptr<mpsse::Transport> SimBackend::Open(uint32_t nLocation, uint32_t nSubLocation, int nSelector,
                                                   mpsse::AdapterError& error)
{
    Q_UNUSED(nSubLocation);
    const int nAdapter = int(nLocation);
    if (nAdapter < 1 || nAdapter > AdapterCount())
        return nullptr;
    QString strError;
    std::unique_ptr<BenchSession> pSession = BenchSession::Open(AdapterDir(nAdapter), Stats(nAdapter), strError);
    if (!pSession) {
        qWarning("%s", qPrintable(BenchErrorText(strError)));
        error = mpsse::AdapterError::FromText(BenchErrorText(strError).toStdString());
        std::lock_guard<std::mutex> lock(m_mutex);
        m_strLastError = strError;
        return nullptr;
    }
    const AdapterModel& model = *pSession->Config().pAdapter;
    const mpsse::BoardPins* pBoard = mpsse::FindBoard(model.nVendor, model.nProduct, model.pProduct);
    const int nChannel = mpsse::ChannelForSelector(model.ChipType(), pBoard, nSelector);
    if (nChannel < 1 || nChannel > model.Interfaces())
        return nullptr;
    return std::make_unique<SimTransport>(std::move(pSession), nChannel, pBoard);
}

QString DefaultBenchDir()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/xqprogrammer/bench";
}

std::shared_ptr<SimBackend> MakeSimulatedBench(const QString& strDir)
{
    return std::make_shared<SimBackend>(strDir);
}

const SimBackend* AsSimulatedBench(const mpsse::Backend* pBackend)
{
    return dynamic_cast<const SimBackend*>(pBackend);
}

}  // namespace sim
