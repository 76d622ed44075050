// The real backend: FTDI adapters through libftdi1 (libusb underneath).
//
// Enumeration asks libftdi for every vendor/product pair of the caller's
// table and names each device by its USB bus and port path (location.h).
// Opening detaches the kernel serial driver (libftdi's default), resets and
// purges the device, sets a short latency timer and switches the channel to
// the MPSSE; the library then synchronises and configures the engine.
#include "location.h"
#include "transport.h"

#include <ftdi.h>
#include <libusb.h>

#include <chrono>
#include <cstdio>
#include <vector>

namespace mpsse {

namespace {

constexpr int kLatencyMs = 2;
constexpr unsigned kChunkSize = 65536;

uint32_t ChipTypeFromBcd(uint16_t nBcd)
{
    switch (nBcd) {
    case 0x0700: return kChipFt2232H;
    case 0x0800: return kChipFt4232H;
    case 0x0900: return kChipFt232H;
    case 0x0500: return kChipFt2232D;
    default: return kChipFt2232H;
    }
}

uint32_t ChannelCount(uint32_t nChipType)
{
    switch (nChipType) {
    case kChipFt4232H: return 4;
    case kChipFt232H: return 1;
    default: return 2;
    }
}

Location DeviceLocation(libusb_device* pDev)
{
    uint8_t ports[8] = {};
    const int nPorts = libusb_get_port_numbers(pDev, ports, sizeof ports);
    std::vector<uint8_t> path;
    for (int i = 0; i < nPorts; ++i)
        path.push_back(ports[i]);
    return LocationFromPortPath(libusb_get_bus_number(pDev), path);
}

void PrintAccessHint()
{
    static bool bShown = false;
    if (bShown)
        return;
    bShown = true;
    std::fprintf(stderr,
                 "xqprogrammer: no permission to open the USB adapter. Install the udev rule "
                 "packaging/60-xqprogrammer.rules into /etc/udev/rules.d/, run "
                 "'udevadm control --reload-rules && udevadm trigger', add yourself to the "
                 "group plugdev and log in again.\n");
}

class FtdiTransport : public Transport {
public:
    FtdiTransport(ftdi_context* pCtx, uint32_t nChipType) : m_pCtx(pCtx), m_nChipType(nChipType) {}
    ~FtdiTransport() override
    {
        ftdi_set_bitmode(m_pCtx, 0, BITMODE_RESET);
        ftdi_usb_close(m_pCtx);
        ftdi_free(m_pCtx);
    }

    int Write(const uint8_t* pData, int n) override
    {
        int nDone = 0;
        while (nDone < n) {
            const int r = ftdi_write_data(m_pCtx, pData + nDone, n - nDone);
            if (r <= 0)
                return kErrUsbWrite;
            nDone += r;
        }
        return kOk;
    }

    int Read(uint8_t* pBuffer, int n, int nTimeoutMs) override
    {
        // ftdi_read_data may return fewer bytes than asked, even none (a USB
        // packet that holds only the two modem status bytes): loop until the
        // reply is complete or our own deadline passes.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(nTimeoutMs);
        int nDone = 0;
        while (nDone < n) {
            const int r = ftdi_read_data(m_pCtx, pBuffer + nDone, n - nDone);
            if (r < 0)
                return kErrUsbRead;
            nDone += r;
            if (nDone < n && std::chrono::steady_clock::now() > deadline)
                return kErrReadTimeout;
        }
        return kOk;
    }

    void Purge() override { ftdi_tcioflush(m_pCtx); }
    uint32_t ChipType() const override { return m_nChipType; }

private:
    ftdi_context* m_pCtx;
    uint32_t m_nChipType;
};

class FtdiBackend : public Backend {
public:
    int Enumerate(const DeviceId* pTable, std::vector<AdapterEntry>& entries) override
    {
        entries.clear();
        m_ids.clear();
        ftdi_context* pCtx = ftdi_new();
        if (!pCtx)
            return -1;
        int nResult = 0;
        for (const DeviceId* pId = pTable; pId && (pId->nVendor || pId->nProduct); ++pId) {
            m_ids.push_back(*pId);
            ftdi_device_list* pList = nullptr;
            const int r = ftdi_usb_find_all(pCtx, &pList, int(pId->nVendor), int(pId->nProduct));
            if (r < 0) {
                nResult = r;  // libusb could not be initialised or the bus not read
                continue;
            }
            for (ftdi_device_list* p = pList; p; p = p->next) {
                libusb_device_descriptor desc{};
                libusb_get_device_descriptor(p->dev, &desc);
                AdapterEntry e;
                e.nVendor = pId->nVendor;
                e.nProduct = pId->nProduct;
                e.nChipType = ChipTypeFromBcd(desc.bcdDevice);
                e.nChannels = ChannelCount(e.nChipType);
                const Location loc = DeviceLocation(p->dev);
                e.nLocation = loc.nLocation;
                e.nSubLocation = loc.nSubLocation;
                e.bNeedsSubLocation = loc.bNeedsSubLocation;
                entries.push_back(e);
            }
            ftdi_list_free(&pList);
        }
        ftdi_free(pCtx);
        return entries.empty() ? nResult : int(entries.size());
    }

    std::unique_ptr<Transport> Open(uint32_t nLocation, uint32_t nSubLocation, int nChannel) override
    {
        ftdi_context* pCtx = ftdi_new();
        if (!pCtx)
            return nullptr;
        // The interface must be chosen before the device is opened.
        if (ftdi_set_interface(pCtx, ftdi_interface(nChannel)) < 0) {
            ftdi_free(pCtx);
            return nullptr;
        }
        libusb_device* pFound = nullptr;
        uint32_t nChipType = kChipFt2232H;
        std::vector<ftdi_device_list*> lists;
        for (const DeviceId& id : m_ids) {
            ftdi_device_list* pList = nullptr;
            if (ftdi_usb_find_all(pCtx, &pList, int(id.nVendor), int(id.nProduct)) <= 0)
                continue;
            lists.push_back(pList);
            for (ftdi_device_list* p = pList; p && !pFound; p = p->next) {
                const Location loc = DeviceLocation(p->dev);
                if (loc.nLocation == nLocation && (!loc.bNeedsSubLocation || loc.nSubLocation == nSubLocation)) {
                    libusb_device_descriptor desc{};
                    libusb_get_device_descriptor(p->dev, &desc);
                    nChipType = ChipTypeFromBcd(desc.bcdDevice);
                    pFound = p->dev;
                }
            }
        }
        std::unique_ptr<Transport> pTransport;
        if (pFound) {
            const int r = ftdi_usb_open_dev(pCtx, pFound);
            if (r == -8 || r == -4)
                PrintAccessHint();
            if (r == 0 && Configure(pCtx))
                pTransport = std::make_unique<FtdiTransport>(pCtx, nChipType);
            else if (r == 0)
                ftdi_usb_close(pCtx);
        }
        for (ftdi_device_list* pList : lists)
            ftdi_list_free(&pList);
        if (!pTransport)
            ftdi_free(pCtx);
        return pTransport;
    }

private:
    static bool Configure(ftdi_context* pCtx)
    {
        return ftdi_usb_reset(pCtx) == 0 && ftdi_tcioflush(pCtx) == 0 &&
               ftdi_read_data_set_chunksize(pCtx, kChunkSize) == 0 &&
               ftdi_write_data_set_chunksize(pCtx, kChunkSize) == 0 &&
               ftdi_set_latency_timer(pCtx, kLatencyMs) == 0 &&
               ftdi_set_bitmode(pCtx, 0, BITMODE_RESET) == 0 &&
               ftdi_set_bitmode(pCtx, 0, BITMODE_MPSSE) == 0;
    }

    std::vector<DeviceId> m_ids;  // the table of the last enumeration
};

}  // namespace

std::unique_ptr<Backend> MakeFtdiBackend()
{
    return std::make_unique<FtdiBackend>();
}

}  // namespace mpsse
