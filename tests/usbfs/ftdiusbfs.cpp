#include "ftdiusbfs.h"

#include <benchsession.h>
#include <mpssedecoder.h>
#include <spislave.h>

#include <umockdev.h>

#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <thread>

namespace usbfs {

namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint8_t kModemStatus[2] = {0x32, 0x60};  // CTS/DSR pattern, transmitter empty
constexpr uint8_t kDefaultLatencyMs = 16;            // the chip's latency timer after reset

void Put16(Bytes& b, uint16_t n)
{
    b.push_back(uint8_t(n));
    b.push_back(uint8_t(n >> 8));
}

Bytes DeviceDescriptor(uint8_t nClass, uint16_t nVendor, uint16_t nProduct, uint16_t nBcd, bool bStrings)
{
    Bytes b{18, 1};
    Put16(b, 0x0200);
    b.insert(b.end(), {nClass, 0, 0, 64});
    Put16(b, nVendor);
    Put16(b, nProduct);
    Put16(b, nBcd);
    b.insert(b.end(), {uint8_t(bStrings ? 1 : 0), uint8_t(bStrings ? 2 : 0), uint8_t(bStrings ? 3 : 0), 1});
    return b;
}

// Configuration 1: one vendor interface per channel, each with a bulk IN
// and a bulk OUT endpoint (A: 0x81/0x02, B: 0x83/0x04).
Bytes FtdiConfiguration(int nChannels, uint16_t nMaxPacket)
{
    Bytes b{9, 2, 0, 0, uint8_t(nChannels), 1, 0, 0x80, 0x32};
    for (int i = 0; i < nChannels; ++i) {
        b.insert(b.end(), {9, 4, uint8_t(i), 0, 2, 0xFF, 0xFF, 0xFF, 2});
        b.insert(b.end(), {7, 5, uint8_t(0x81 + 2 * i), 2});
        Put16(b, nMaxPacket);
        b.push_back(0);
        b.insert(b.end(), {7, 5, uint8_t(0x02 + 2 * i), 2});
        Put16(b, nMaxPacket);
        b.push_back(0);
    }
    b[2] = uint8_t(b.size());
    b[3] = uint8_t(b.size() >> 8);
    return b;
}

Bytes HubConfiguration()
{
    return {9, 2, 25, 0, 1, 1, 0, 0xE0, 0, 9, 4, 0, 0, 1, 9, 0, 0, 0, 7, 5, 0x81, 3, 4, 0, 12};
}

Bytes StringDescriptor(const std::string& str)
{
    Bytes b{uint8_t(2 + 2 * str.size()), 3};
    for (char c : str) {
        b.push_back(uint8_t(c));
        b.push_back(0);
    }
    return b;
}

std::string Hex(const Bytes& b)
{
    static const char* kDigits = "0123456789abcdef";
    std::string s;
    for (uint8_t n : b) {
        s += kDigits[n >> 4];
        s += kDigits[n & 15];
    }
    return s;
}

std::string Num3(int n)
{
    char buf[8];
    std::snprintf(buf, sizeof buf, "%03d", n);
    return buf;
}

// Nothing on the SPI pins: MISO floats high.
struct OpenWire : sim::SpiSlave {
    void Select() override {}
    uint8_t Exchange(uint8_t) override { return 0xFF; }
    void Deselect() override {}
};

struct Channel {
    bool bDriverBound = true;  // ftdi_sio holds the interface until someone detaches it
    bool bClaimed = false;
    uint8_t nBitMode = sio::kBitModeReset;
    uint8_t nLatencyMs = kDefaultLatencyMs;
    std::unique_ptr<sim::MpsseDecoder> pEngine;
    int64_t nLastInNs = 0;  // host time of the last IN packet: the latency timer restarts there
};

struct Urb {
    UMockdevIoctlClient* pClient;
    UMockdevIoctlData* pData;  // the client's struct usbdevfs_urb, resolved
    bool bDone = false;
    bool bDiscarded = false;
};

usbdevfs_urb* UrbOf(const Urb& u)
{
    return reinterpret_cast<usbdevfs_urb*>(u.pData->data);
}

}  // namespace

class Emulator::Device {
public:
    Device(const DeviceSpec& spec, const sim::AdapterModel& model, std::string strDevNode)
        : m_spec(spec), m_model(model), m_strDevNode(std::move(strDevNode)),
          m_usb(model.bHighSpeed ? sim::kUsbHighSpeed : sim::kUsbFullSpeed), m_nPacket(model.PacketSize()),
          m_channels(size_t(model.Interfaces())), m_wallStart(std::chrono::steady_clock::now())
    {
        if (m_spec.nBenchChannel < 0)
            m_spec.nBenchChannel = model.nWiredChannel - 1;
    }

    ~Device()
    {
        for (Urb& u : m_urbs)
            g_object_unref(u.pData);
    }

    bool OpenBench(QString& strError)
    {
        if (m_spec.strBenchDir.isEmpty())
            return true;
        m_pStats = std::make_shared<sim::BenchStats>();
        m_pSession = sim::BenchSession::Open(m_spec.strBenchDir, m_pStats, strError);
        if (!m_pSession)
            return false;
        m_bRealtime = m_pSession->Config().bRealtime;
        m_strBenchSerial = sim::AdapterSerial(m_pSession->Config(), 1).toStdString();
        m_nBusyBase = m_pSession->Flash().BusyTimeUs();
        return true;
    }

    bool CloseBench(QString& strError)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_pSession)
            return true;
        for (Channel& ch : m_channels)
            ch.pEngine.reset();  // the engines point into the session
        m_traffic.bench.nFlashBusyUs += m_pSession->Flash().BusyTimeUs() - m_nBusyBase;
        const bool bOk = m_pSession->Save(strError);
        m_pSession.reset();
        return bOk;
    }

    // What the serial number string descriptor carries: the spec's, else the
    // bench's (read when it opens).
    std::string Serial() const
    {
        if (!m_spec.strSerial.isEmpty())
            return m_spec.strSerial.toStdString();
        return m_strBenchSerial;
    }

    Bytes Descriptors() const
    {
        Bytes b = DeviceDescriptor(0, m_model.nVendor, m_model.nProduct, m_model.nBcdDevice, true);
        if (!m_spec.bSerialString)
            b[16] = 0;  // iSerialNumber
        const Bytes c = FtdiConfiguration(m_model.Interfaces(), uint16_t(m_nPacket));
        b.insert(b.end(), c.begin(), c.end());
        return b;
    }
    const sim::AdapterModel& Model() const { return m_model; }

    static gboolean OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* pClient, gpointer pSelf)
    {
        return static_cast<Device*>(pSelf)->HandleIoctl(pClient);
    }

    static void OnClientVanished(UMockdevIoctlBase*, UMockdevIoctlClient* pClient, gpointer pSelf)
    {
        static_cast<Device*>(pSelf)->ForgetClient(pClient);
    }

    // Accessors for the test thread.
    std::mutex& Mutex() { return m_mutex; }
    Faults m_faults;
    bool m_bRealtime = false;
    const int64_t* m_pSleptNs = nullptr;  // the client's sleeps so far (SetSleepCounter)
    int64_t m_nSleptSeenNs = 0;
    std::vector<ControlRequest> m_controlLog;
    std::vector<unsigned long> m_unknownIoctls;
    const std::vector<Channel>& Channels() const { return m_channels; }
    Traffic TrafficNow()
    {
        Traffic t = m_traffic;
        t.bench = Stats();
        t.bench.nFlashBusyUs = m_traffic.bench.nFlashBusyUs +
                               (m_pSession ? m_pSession->Flash().BusyTimeUs() - m_nBusyBase : 0);
        return t;
    }

private:
    sim::BenchStats& Stats() { return m_pStats ? *m_pStats : m_ownStats; }

    // The host's clock is the model's: USB transfers, the latency timer,
    // the engine's clocking, and the time the client slept since the last
    // transfer (a poll delay: the flash's busy time passes meanwhile). The
    // wall between transfers (the emulation's own cost per ioctl, the load of
    // the machine) never enters it, so the same traffic always takes the same
    // time. In real time the wall waits for the clock (Pace).
    void FollowSleeps()
    {
        if (!m_pSleptNs)
            return;
        const int64_t nSlept = __atomic_load_n(m_pSleptNs, __ATOMIC_SEQ_CST);
        Stats().nHostNs += std::max<int64_t>(0, nSlept - m_nSleptSeenNs);
        m_nSleptSeenNs = nSlept;
    }

    void Pace()
    {
        if (m_bRealtime)
            std::this_thread::sleep_until(m_wallStart + std::chrono::nanoseconds(Stats().nHostNs));
    }

    int ChannelOfEndpoint(uint8_t nEndpoint) const
    {
        const int n = ((nEndpoint & 0x0F) - 1) / 2;
        return n >= 0 && n < int(m_channels.size()) ? n : -1;
    }

    int ChannelOfIndex(uint16_t nIndex) const
    {
        const int n = std::max(1, nIndex & 0xFF) - 1;
        return n < int(m_channels.size()) ? n : -1;
    }

    void StartEngine(int nChannel)
    {
        sim::SpiSlave* pWire = &m_openWire;
        if (nChannel == m_spec.nBenchChannel && m_pSession)
            pWire = &m_pSession->Wire();
        Channel& ch = m_channels[size_t(nChannel)];
        // The board's buffer sits in front of the wired channel only.
        const sim::BoardGate gate = nChannel == m_spec.nBenchChannel ? m_model.gate : sim::BoardGate();
        ch.pEngine = std::make_unique<sim::MpsseDecoder>(pWire, m_model.ChipType(), gate);
        sim::BenchStats* pStats = &Stats();
        ch.pEngine->SetClockObserver([pStats](int64_t nNs) { pStats->nEngineNs += nNs; });
    }

    // A vendor or standard control request; returns the data length, or -errno.
    int Control(const ControlRequest& r, uint8_t* pData)
    {
        m_controlLog.push_back(r);
        m_controlLog.back().nBulkBefore = m_traffic.nOutTransfers + m_traffic.nInTransfers;
        ++m_traffic.nControlTransfers;
        if (r.nRequestType == 0x80 && r.nRequest == 6)  // GET_DESCRIPTOR
            return GetDescriptor(r, pData);
        if ((r.nRequestType & 0x60) == 0)
            return 0;  // other standard requests (SET_CONFIGURATION...) need nothing here
        if ((r.nRequestType & 0x60) != 0x40)
            return -EPIPE;
        const int nChannel = ChannelOfIndex(r.nIndex);
        if (nChannel < 0)
            return -EPIPE;
        Channel& ch = m_channels[size_t(nChannel)];
        switch (r.nRequest) {
        case sio::kReset:
            if ((r.nValue == 0 || r.nValue == 1) && ch.pEngine)
                ch.pEngine->Replies().clear();
            return 0;
        case sio::kSetLatency:
            ch.nLatencyMs = uint8_t(std::max<uint16_t>(1, r.nValue & 0xFF));
            return 0;
        case sio::kGetLatency:
            if (r.nLength >= 1 && pData)
                pData[0] = ch.nLatencyMs;
            return std::min<int>(1, r.nLength);
        case sio::kSetBitMode:
            ch.nBitMode = uint8_t(r.nValue >> 8);
            if (ch.nBitMode == sio::kBitModeMpsse)
                StartEngine(nChannel);  // the engine starts from its reset state
            return 0;
        case 0x90:  // read EEPROM word: a blank EEPROM
            if (pData)
                std::memset(pData, 0xFF, r.nLength);
            return std::min<int>(2, r.nLength);
        case 0x05:  // poll modem status
            if (pData && r.nLength >= 2)
                std::memcpy(pData, kModemStatus, 2);
            return std::min<int>(2, r.nLength);
        default:
            return 0;  // baud rate, data format, flow control, modem control
        }
    }

    int GetDescriptor(const ControlRequest& r, uint8_t* pData)
    {
        Bytes d;
        const uint8_t nType = uint8_t(r.nValue >> 8);
        const uint8_t nIndex = uint8_t(r.nValue);
        if (nType == 1) {
            d = Descriptors();
            d.resize(18);
        } else if (nType == 2) {
            d = FtdiConfiguration(m_model.Interfaces(), uint16_t(m_nPacket));
        } else if (nType == 3) {
            const std::string strings[] = {"", m_model.pManufacturer, m_model.pProduct, Serial()};
            if (nIndex == 0)
                d = {4, 3, 0x09, 0x04};
            else if (nIndex < 3 || (nIndex == 3 && m_spec.bSerialString))
                d = StringDescriptor(strings[nIndex]);
            else
                return -EPIPE;
        } else {
            return -EPIPE;
        }
        const int n = std::min<int>(int(d.size()), r.nLength);
        if (pData)
            std::memcpy(pData, d.data(), size_t(n));
        return n;
    }

    bool Vanished()
    {
        const int nLimit = m_faults.nVanishAfterTransfers;
        if (nLimit > 0 && m_traffic.nOutTransfers + m_traffic.nInTransfers >= nLimit)
            m_bVanished = true;
        return m_bVanished;
    }

    // Bulk OUT: the bytes reach the engine at once (MPSSE mode) or go out
    // of the UART unseen (any other mode).
    void BulkOut(int nChannel, const uint8_t* p, int n)
    {
        Channel& ch = m_channels[size_t(nChannel)];
        sim::BenchStats& s = Stats();
        FollowSleeps();
        ++m_traffic.nOutTransfers;
        ++s.nUsbTransfers;
        s.nHostNs += m_usb.nPerTransferNs + m_usb.nPerByteNs * n;
        s.nBytesOut += n;
        if (ch.nBitMode == sio::kBitModeMpsse && ch.pEngine) {
            s.nEngineNs = std::max(s.nEngineNs, s.nHostNs);
            const uint64_t nSpiBefore = ch.pEngine->SpiBytes();
            ch.pEngine->Feed(p, size_t(n));
            s.nSpiBytes += int64_t(ch.pEngine->SpiBytes() - nSpiBefore);
            s.nSpiNs += ch.pEngine->TakeSpiNs();
        }
        Pace();
    }

    // Bulk IN: the packets the chip sends into a buffer of nRoom bytes.
    int BulkIn(int nChannel, uint8_t* pOut, int nRoom)
    {
        Channel& ch = m_channels[size_t(nChannel)];
        sim::BenchStats& s = Stats();
        FollowSleeps();
        ++m_traffic.nInTransfers;
        ++s.nUsbTransfers;
        sim::MpsseDecoder* pEngine = ch.pEngine.get();
        if (pEngine && m_faults.bMute)
            pEngine->Replies().clear();
        const size_t nPayload = size_t(m_nPacket - 2);
        const size_t nAvail = pEngine ? pEngine->Replies().size() : 0;
        size_t nSend = pEngine ? std::max(pEngine->ImmediateReplies(), nAvail / nPayload * nPayload) : 0;
        int64_t nAt = s.nHostNs + m_usb.nPerTransferNs;
        if (nSend == 0) {
            // Nothing may go yet: the latency timer sends what is there.
            nAt = std::max(nAt, ch.nLastInNs + int64_t(ch.nLatencyMs) * 1000000);
            nSend = nAvail;
            if (nAvail == 0 && !m_bRealtime)
                std::this_thread::sleep_for(std::chrono::milliseconds(ch.nLatencyMs));  // an idle chip
        }
        // Every packet carries the status bytes, then up to nPayload data bytes.
        const size_t nFullPackets = size_t(nRoom / m_nPacket);
        const size_t nTail = size_t(nRoom % m_nPacket);
        const size_t nCapacity = nFullPackets * nPayload + (nTail > 2 ? nTail - 2 : 0);
        nSend = std::min(nSend, nCapacity);
        int nLength = 0;
        size_t nSent = 0;
        do {
            const size_t nChunk = std::min(nPayload, nSend - nSent);
            std::memcpy(pOut + nLength, kModemStatus, 2);
            if (nChunk > 0)
                pEngine->TakeReplies(pOut + nLength + 2, nChunk);
            nLength += int(2 + nChunk);
            nSent += nChunk;
        } while (nSent < nSend && nLength + 2 < nRoom);
        if (nSend == 0)
            ++m_traffic.nEmptyInTransfers;
        else
            nAt = std::max(nAt, s.nEngineNs);  // no byte leaves before the engine clocked it
        nAt += m_usb.nPerByteNs * nLength;
        s.nHostNs = std::max(s.nHostNs, nAt);
        s.nBytesIn += int64_t(nSent);
        if (nSent > 0)
            ++s.nRoundTrips;
        ch.nLastInNs = s.nHostNs;
        Pace();
        return nLength;
    }

    void ForgetClient(UMockdevIoctlClient* pClient)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (auto it = m_urbs.begin(); it != m_urbs.end();) {
            if (it->pClient == pClient) {
                g_object_unref(it->pData);
                it = m_urbs.erase(it);
            } else {
                ++it;
            }
        }
        for (Channel& ch : m_channels)
            ch.bClaimed = false;  // closing the node releases its interfaces
    }

    gboolean HandleIoctl(UMockdevIoctlClient* pClient)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const unsigned long nRequest = umockdev_ioctl_client_get_request(pClient);
        UMockdevIoctlData* pArg = umockdev_ioctl_client_get_arg(pClient);
        auto complete = [pClient](long nResult, int nErrno) {
            umockdev_ioctl_client_complete(pClient, nResult, nErrno);
            return TRUE;
        };
        auto resolve = [pArg](size_t nLen) { return umockdev_ioctl_data_resolve(pArg, 0, nLen, nullptr); };

        if (m_bVanished && nRequest != USBDEVFS_REAPURB && nRequest != USBDEVFS_REAPURBNDELAY)
            return complete(-1, ENODEV);

        switch (nRequest) {
        case USBDEVFS_GET_CAPABILITIES: {
            UMockdevIoctlData* p = resolve(sizeof(uint32_t));
            *reinterpret_cast<uint32_t*>(p->data) = USBDEVFS_CAP_ZERO_PACKET | USBDEVFS_CAP_BULK_CONTINUATION |
                                                     USBDEVFS_CAP_NO_PACKET_SIZE_LIM |
                                                     USBDEVFS_CAP_REAP_AFTER_DISCONNECT;
            complete(0, 0);
            g_object_unref(p);
            return TRUE;
        }
        case USBDEVFS_GET_SPEED:
            return complete(m_model.bHighSpeed ? 3 : 2, 0);  // USB_SPEED_HIGH, USB_SPEED_FULL
        case USBDEVFS_GETDRIVER: {
            UMockdevIoctlData* p = resolve(sizeof(usbdevfs_getdriver));
            auto* pDriver = reinterpret_cast<usbdevfs_getdriver*>(p->data);
            const int nChannel = int(pDriver->interface);
            int nErrno = 0;
            if (nChannel < 0 || nChannel >= int(m_channels.size()))
                nErrno = EINVAL;
            else if (m_channels[size_t(nChannel)].bDriverBound)
                std::strcpy(pDriver->driver, "ftdi_sio");
            else if (m_channels[size_t(nChannel)].bClaimed)
                std::strcpy(pDriver->driver, "usbfs");
            else
                nErrno = ENODATA;
            complete(nErrno ? -1 : 0, nErrno);
            g_object_unref(p);
            return TRUE;
        }
        case USBDEVFS_IOCTL: {
            UMockdevIoctlData* p = resolve(sizeof(usbdevfs_ioctl));
            const auto* pCmd = reinterpret_cast<const usbdevfs_ioctl*>(p->data);
            const int nChannel = pCmd->ifno;
            int nErrno = 0;
            if (nChannel < 0 || nChannel >= int(m_channels.size()))
                nErrno = EINVAL;
            else if (pCmd->ioctl_code == int(USBDEVFS_DISCONNECT))
                nErrno = std::exchange(m_channels[size_t(nChannel)].bDriverBound, false) ? 0 : ENODATA;
            else if (pCmd->ioctl_code == int(USBDEVFS_CONNECT))
                m_channels[size_t(nChannel)].bDriverBound = !m_channels[size_t(nChannel)].bClaimed;
            else
                nErrno = ENOTTY;
            complete(nErrno ? -1 : 0, nErrno);
            g_object_unref(p);
            return TRUE;
        }
        case USBDEVFS_CLAIMINTERFACE:
        case USBDEVFS_RELEASEINTERFACE:
        case USBDEVFS_DISCONNECT_CLAIM: {
            const bool bDisconnect = nRequest == USBDEVFS_DISCONNECT_CLAIM;
            UMockdevIoctlData* p = resolve(bDisconnect ? sizeof(usbdevfs_disconnect_claim) : sizeof(unsigned));
            const int nChannel = int(*reinterpret_cast<const unsigned*>(p->data));
            int nErrno = 0;
            if (nChannel < 0 || nChannel >= int(m_channels.size())) {
                nErrno = EINVAL;
            } else {
                Channel& ch = m_channels[size_t(nChannel)];
                if (nRequest == USBDEVFS_RELEASEINTERFACE) {
                    ch.bClaimed = false;
                } else {
                    if (bDisconnect) {
                        const auto* pClaim = reinterpret_cast<const usbdevfs_disconnect_claim*>(p->data);
                        const bool bNamed = std::strcmp(pClaim->driver, "ftdi_sio") == 0;
                        if (!(pClaim->flags & USBDEVFS_DISCONNECT_CLAIM_IF_DRIVER) || bNamed)
                            if (!(pClaim->flags & USBDEVFS_DISCONNECT_CLAIM_EXCEPT_DRIVER) || !bNamed)
                                ch.bDriverBound = false;
                    }
                    if (ch.bDriverBound)
                        nErrno = EBUSY;  // the serial driver still holds it
                    else
                        ch.bClaimed = true;
                }
            }
            complete(nErrno ? -1 : 0, nErrno);
            g_object_unref(p);
            return TRUE;
        }
        case USBDEVFS_SETCONFIGURATION:
        case USBDEVFS_SETINTERFACE:
        case USBDEVFS_CLEAR_HALT:
        case USBDEVFS_RESETEP:
        case USBDEVFS_RESET:
            return complete(0, 0);
        case USBDEVFS_CONTROL: {
            UMockdevIoctlData* p = resolve(sizeof(usbdevfs_ctrltransfer));
            const auto* pCtrl = reinterpret_cast<const usbdevfs_ctrltransfer*>(p->data);
            ControlRequest r{pCtrl->bRequestType, pCtrl->bRequest, pCtrl->wValue, pCtrl->wIndex, pCtrl->wLength, 0};
            UMockdevIoctlData* pData = nullptr;
            if (r.nLength > 0)
                pData = umockdev_ioctl_data_resolve(p, offsetof(usbdevfs_ctrltransfer, data), r.nLength, nullptr);
            const int n = Control(r, pData ? pData->data : nullptr);
            complete(n < 0 ? -1 : n, n < 0 ? -n : 0);
            if (pData)
                g_object_unref(pData);
            g_object_unref(p);
            return TRUE;
        }
        case USBDEVFS_SUBMITURB:
            return Submit(pClient, pArg);
        case USBDEVFS_REAPURB:
        case USBDEVFS_REAPURBNDELAY:
            return Reap(pClient, pArg);
        case USBDEVFS_DISCARDURB: {
            const unsigned long nAddress = *reinterpret_cast<const unsigned long*>(pArg->data);
            for (Urb& u : m_urbs) {
                if (u.pClient == pClient && u.pData->client_addr == nAddress && !u.bDone) {
                    u.bDone = u.bDiscarded = true;
                    return complete(0, 0);
                }
            }
            return complete(-1, EINVAL);
        }
        default:
            m_unknownIoctls.push_back(nRequest);
            return complete(-1, ENOTTY);
        }
    }

    gboolean Submit(UMockdevIoctlClient* pClient, UMockdevIoctlData* pArg)
    {
        UMockdevIoctlData* pData = umockdev_ioctl_data_resolve(pArg, 0, sizeof(usbdevfs_urb), nullptr);
        auto* pUrb = reinterpret_cast<usbdevfs_urb*>(pData->data);
        if (pUrb->buffer_length > 0)
            g_object_unref(umockdev_ioctl_data_resolve(pData, offsetof(usbdevfs_urb, buffer),
                                                       size_t(pUrb->buffer_length), nullptr));
        auto* pBuffer = static_cast<uint8_t*>(pUrb->buffer);
        Urb urb{pClient, pData};
        int nErrno = 0;
        if (pUrb->type == USBDEVFS_URB_TYPE_CONTROL && pUrb->buffer_length >= 8) {
            ControlRequest r{pBuffer[0], pBuffer[1], uint16_t(pBuffer[2] | pBuffer[3] << 8),
                             uint16_t(pBuffer[4] | pBuffer[5] << 8), uint16_t(pBuffer[6] | pBuffer[7] << 8), 0};
            const int n = Control(r, pBuffer + 8);
            pUrb->status = n < 0 ? n : 0;
            pUrb->actual_length = std::max(0, n);
            urb.bDone = true;
        } else if (pUrb->type == USBDEVFS_URB_TYPE_BULK && ChannelOfEndpoint(pUrb->endpoint) >= 0) {
            if (Vanished()) {
                nErrno = ENODEV;
            } else if (!(pUrb->endpoint & 0x80)) {
                BulkOut(ChannelOfEndpoint(pUrb->endpoint), pBuffer, pUrb->buffer_length);
                pUrb->status = 0;
                pUrb->actual_length = pUrb->buffer_length;
                urb.bDone = true;
            }
        } else {
            nErrno = EINVAL;
        }
        if (nErrno) {
            g_object_unref(pData);
            if (nErrno == ENODEV)
                FailInFlight();
            umockdev_ioctl_client_complete(pClient, -1, nErrno);
            return TRUE;
        }
        m_urbs.push_back(urb);
        umockdev_ioctl_client_complete(pClient, 0, 0);
        return TRUE;
    }

    // The device is gone: what was in flight completes with ESHUTDOWN.
    void FailInFlight()
    {
        for (Urb& u : m_urbs) {
            if (!u.bDone) {
                UrbOf(u)->status = -ESHUTDOWN;
                UrbOf(u)->actual_length = 0;
                u.bDone = true;
            }
        }
    }

    gboolean Reap(UMockdevIoctlClient* pClient, UMockdevIoctlData* pArg)
    {
        // Completed transfers first (they finished at submit), then an IN
        // transfer, which completes now with what the chip has to send.
        auto it = std::find_if(m_urbs.begin(), m_urbs.end(),
                               [pClient](const Urb& u) { return u.pClient == pClient && u.bDone; });
        if (it == m_urbs.end() && !m_bVanished)
            it = std::find_if(m_urbs.begin(), m_urbs.end(), [pClient](const Urb& u) { return u.pClient == pClient; });
        if (it == m_urbs.end()) {
            umockdev_ioctl_client_complete(pClient, -1, m_bVanished ? ENODEV : EAGAIN);
            return TRUE;
        }
        Urb urb = *it;
        m_urbs.erase(it);
        usbdevfs_urb* pUrb = UrbOf(urb);
        if (urb.bDiscarded) {
            pUrb->status = -ENOENT;
            pUrb->actual_length = 0;
        } else if (!urb.bDone) {
            pUrb->actual_length =
                BulkIn(ChannelOfEndpoint(pUrb->endpoint), static_cast<uint8_t*>(pUrb->buffer), pUrb->buffer_length);
            pUrb->status = 0;
        }
        UMockdevIoctlData* pSlot = umockdev_ioctl_data_resolve(pArg, 0, sizeof(void*), nullptr);
        umockdev_ioctl_data_set_ptr(pSlot, 0, urb.pData);
        umockdev_ioctl_client_complete(pClient, 0, 0);
        g_object_unref(pSlot);
        g_object_unref(urb.pData);
        return TRUE;
    }

    DeviceSpec m_spec;
    const sim::AdapterModel& m_model;
    std::string m_strDevNode;
    std::string m_strBenchSerial = sim::DefaultAdapterSerial(1).toStdString();
    sim::UsbTiming m_usb;
    int m_nPacket;
    std::vector<Channel> m_channels;
    std::chrono::steady_clock::time_point m_wallStart;
    std::mutex m_mutex;
    std::shared_ptr<sim::BenchStats> m_pStats;
    sim::BenchStats m_ownStats;
    std::unique_ptr<sim::BenchSession> m_pSession;
    int64_t m_nBusyBase = 0;
    OpenWire m_openWire;
    std::deque<Urb> m_urbs;
    Traffic m_traffic;
    bool m_bVanished = false;

    friend class Emulator;
};

bool UnderPreload()
{
    const char* pPreload = std::getenv("LD_PRELOAD");
    return pPreload && std::strstr(pPreload, "libumockdev-preload");
}

struct Emulator::Private {
    UMockdevTestbed* pTestbed = nullptr;
    std::vector<std::unique_ptr<Device>> devices;
    std::vector<UMockdevIoctlBase*> handlers;
    std::set<std::string> syspaths;      // root hubs and hubs already added
    std::map<int, int> nextDevnum;       // per bus
};

Emulator::Emulator() : d(std::make_unique<Private>())
{
    d->pTestbed = umockdev_testbed_new();
}

Emulator::~Emulator()
{
    QString strError;
    for (size_t i = 0; i < d->devices.size(); ++i)
        CloseBench(int(i), strError);
    for (size_t i = 0; i < d->handlers.size(); ++i) {
        umockdev_testbed_detach_ioctl(d->pTestbed, d->devices[i]->m_strDevNode.c_str(), nullptr);
        g_object_unref(d->handlers[i]);
    }
    g_object_unref(d->pTestbed);
}

namespace {
std::string UsbEntry(const std::string& strSysPath, int nBus, int nDevnum, const Bytes& descriptors, int nSpeed)
{
    const std::string strNode = "bus/usb/" + Num3(nBus) + "/" + Num3(nDevnum);
    return "P: " + strSysPath + "\nN: " + strNode + "\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\nE: DRIVER=usb\n" +
           "E: BUSNUM=" + Num3(nBus) + "\nE: DEVNUM=" + Num3(nDevnum) + "\nE: DEVNAME=/dev/" + strNode + "\n" +
           "A: busnum=" + std::to_string(nBus) + "\\n\nA: devnum=" + std::to_string(nDevnum) + "\\n\n" +
           "A: speed=" + std::to_string(nSpeed) + "\\n\nA: bConfigurationValue=1\\n\n" +
           "H: descriptors=" + Hex(descriptors) + "\n";
}
}  // namespace

bool Emulator::AddDevice(const DeviceSpec& spec, QString& strError, int* pnIndex)
{
    if (spec.ports.empty() || spec.nBus < 1 || spec.nBus > 255) {
        strError = "a device needs a bus and at least one port";
        return false;
    }
    const sim::AdapterModel* pModel = sim::FindAdapterModel(spec.strModel);
    if (!pModel) {
        strError = QString("%1: not an adapter model of the bench").arg(spec.strModel);
        return false;
    }
    // Root hub and hubs on the way, each once.
    std::string strPath = "/devices/pci0000:00/0000:00:14.0/usb" + std::to_string(spec.nBus);
    std::string strName = std::to_string(spec.nBus) + "-";
    int& nDevnum = d->nextDevnum[spec.nBus];
    if (nDevnum == 0)
        nDevnum = 1;
    const Bytes rootHub = [] {
        Bytes b = DeviceDescriptor(9, 0x1D6B, 0x0002, 0x0601, false);
        const Bytes c = HubConfiguration();
        b.insert(b.end(), c.begin(), c.end());
        return b;
    }();
    std::vector<std::string> hubs{strPath};
    for (size_t i = 0; i + 1 < spec.ports.size(); ++i) {
        strName += (i ? "." : "") + std::to_string(spec.ports[i]);
        hubs.push_back(hubs.back() + "/" + strName);
    }
    strName += (spec.ports.size() > 1 ? "." : "") + std::to_string(spec.ports.back());
    for (const std::string& strHub : hubs) {
        if (d->syspaths.insert(strHub).second) {
            Bytes hub = rootHub;
            if (strHub != hubs.front()) {
                hub[8] = 0x24; hub[9] = 0x04;  // a plain external hub
                hub[10] = 0x14; hub[11] = 0x25;
            }
            const std::string strEntry = UsbEntry(strHub, spec.nBus, nDevnum++, hub, 480);
            umockdev_testbed_add_from_string(d->pTestbed, strEntry.c_str(), nullptr);
        }
    }
    const std::string strSysPath = hubs.back() + "/" + strName;
    const int nThisDevnum = nDevnum++;
    auto pDevice = std::make_unique<Device>(spec, *pModel, "/dev/bus/usb/" + Num3(spec.nBus) + "/" + Num3(nThisDevnum));
    if (!pDevice->OpenBench(strError))
        return false;

    // The handler goes on the node before the device appears, so that a
    // client never opens it unemulated.
    UMockdevIoctlBase* pHandler = umockdev_ioctl_base_new();
    g_signal_connect(pHandler, "handle-ioctl", G_CALLBACK(&Device::OnIoctl), pDevice.get());
    g_signal_connect(pHandler, "client-vanished", G_CALLBACK(&Device::OnClientVanished), pDevice.get());
    GError* pError = nullptr;
    if (!umockdev_testbed_attach_ioctl(d->pTestbed, pDevice->m_strDevNode.c_str(), pHandler, &pError)) {
        strError = QString("cannot attach the ioctl handler: %1").arg(pError ? pError->message : "");
        g_clear_error(&pError);
        g_object_unref(pHandler);
        return false;
    }
    const sim::AdapterModel& model = pDevice->Model();
    const int nSpeed = model.bHighSpeed ? 480 : 12;
    std::string strEntry = UsbEntry(strSysPath, spec.nBus, nThisDevnum, pDevice->Descriptors(), nSpeed);
    strEntry += QString("E: PRODUCT=%1/%2/%3\n")
                    .arg(model.nVendor, 0, 16)
                    .arg(model.nProduct, 0, 16)
                    .arg(model.nBcdDevice, 0, 16)
                    .toStdString();
    umockdev_testbed_add_from_string(d->pTestbed, strEntry.c_str(), nullptr);
    for (int i = 0; i < model.Interfaces(); ++i) {
        const std::string strInterface = "P: " + strSysPath + "/" + strName + ":1." + std::to_string(i) +
                                         "\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_interface\nE: DRIVER=ftdi_sio\n" +
                                         "A: bInterfaceNumber=0" + std::to_string(i) + "\\n\n";
        umockdev_testbed_add_from_string(d->pTestbed, strInterface.c_str(), nullptr);
    }
    if (pnIndex)
        *pnIndex = int(d->devices.size());
    d->devices.push_back(std::move(pDevice));
    d->handlers.push_back(pHandler);
    return true;
}

std::string Emulator::DevNode(int nIndex) const
{
    return d->devices.at(size_t(nIndex))->m_strDevNode;
}

std::string Emulator::DevNodeFile(int nIndex) const
{
    gchar* pRoot = umockdev_testbed_get_root_dir(d->pTestbed);
    std::string strFile = std::string(pRoot) + DevNode(nIndex);
    g_free(pRoot);
    return strFile;
}

void Emulator::SetFaults(int nIndex, const Faults& faults)
{
    Device& dev = *d->devices.at(size_t(nIndex));
    std::lock_guard<std::mutex> lock(dev.Mutex());
    dev.m_faults = faults;
}

void Emulator::SetSleepCounter(int nIndex, const int64_t* pSleptNs)
{
    Device& dev = *d->devices.at(size_t(nIndex));
    std::lock_guard<std::mutex> lock(dev.Mutex());
    dev.m_pSleptNs = pSleptNs;
    dev.m_nSleptSeenNs = pSleptNs ? __atomic_load_n(pSleptNs, __ATOMIC_SEQ_CST) : 0;
}

void Emulator::SetRealtime(int nIndex, bool bRealtime)
{
    Device& dev = *d->devices.at(size_t(nIndex));
    std::lock_guard<std::mutex> lock(dev.Mutex());
    dev.m_bRealtime = bRealtime;
}

std::vector<ControlRequest> Emulator::ControlLog(int nIndex) const
{
    Device& dev = *d->devices.at(size_t(nIndex));
    std::lock_guard<std::mutex> lock(dev.Mutex());
    return dev.m_controlLog;
}

Traffic Emulator::TrafficOf(int nIndex) const
{
    Device& dev = *d->devices.at(size_t(nIndex));
    std::lock_guard<std::mutex> lock(dev.Mutex());
    return dev.TrafficNow();
}

bool Emulator::DriverBound(int nIndex, int nChannel) const
{
    Device& dev = *d->devices.at(size_t(nIndex));
    std::lock_guard<std::mutex> lock(dev.Mutex());
    return dev.Channels().at(size_t(nChannel)).bDriverBound;
}

bool Emulator::Claimed(int nIndex, int nChannel) const
{
    Device& dev = *d->devices.at(size_t(nIndex));
    std::lock_guard<std::mutex> lock(dev.Mutex());
    return dev.Channels().at(size_t(nChannel)).bClaimed;
}

std::vector<unsigned long> Emulator::UnknownIoctls(int nIndex) const
{
    Device& dev = *d->devices.at(size_t(nIndex));
    std::lock_guard<std::mutex> lock(dev.Mutex());
    return dev.m_unknownIoctls;
}

bool Emulator::CloseBench(int nIndex, QString& strError)
{
    return d->devices.at(size_t(nIndex))->CloseBench(strError);
}

}  // namespace usbfs
