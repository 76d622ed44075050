// The real backend: FTDI adapters through libftdi1 (libusb underneath).
//
// Enumeration asks libftdi for every vendor/product pair of the caller's
// table and names each device by its USB bus and port path (location.h).
// Opening finds the chip generation (bcdDevice) and the board (ids and
// product string), picks the channel the selector means for them
// (adapters.h), detaches the kernel serial driver (libftdi's default),
// resets and purges the device, sets a short latency timer and switches the
// channel to the MPSSE; the library then synchronises and configures the
// engine.
#include "adapters.h"
#include "location.h"
#include "readloop.h"
#include "transport.h"

#include <ftdi.h>
#include <libusb.h>

#include <chrono>
#include <mutex>
#include <string>
#include <vector>

namespace mpsse {

namespace {

constexpr int kLatencyMs = 2;
constexpr unsigned kChunkSize = 65536;

// The USB product string, empty when it cannot be read (no permission yet:
// the open that follows reports that).
std::string ProductString(ftdi_context* pCtx, libusb_device* pDev)
{
    char strProduct[128] = {};
    if (ftdi_usb_get_strings(pCtx, pDev, nullptr, 0, strProduct, sizeof strProduct, nullptr, 0) < 0)
        return std::string();
    return std::string(strProduct);
}

// The product and serial number strings. libftdi fails the whole call when
// one of them cannot be read (an adapter without a serial number), so the
// product string is then asked for alone.
void UsbStrings(ftdi_context* pCtx, libusb_device* pDev, std::string& strProduct, std::string& strSerial)
{
    char product[128] = {};
    char serial[128] = {};
    if (ftdi_usb_get_strings(pCtx, pDev, nullptr, 0, product, sizeof product, serial, sizeof serial) == 0) {
        strProduct = product;
        strSerial = serial;
        return;
    }
    strProduct = ProductString(pCtx, pDev);
    strSerial.clear();
}

// "2-1", "1-4.2": the bus and port path as the kernel names the device.
std::string PortPath(libusb_device* pDev)
{
    uint8_t ports[8] = {};
    const int nPorts = libusb_get_port_numbers(pDev, ports, sizeof ports);
    std::string strPath = std::to_string(libusb_get_bus_number(pDev)) + "-";
    for (int i = 0; i < nPorts; ++i)
        strPath += (i ? "." : "") + std::to_string(ports[i]);
    return strPath;
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

// ftdi_usb_open_dev results that a device without access rights gives:
// libusb_open failed, or the product string could not be read. The open
// reports them as AdapterFault::kNoPermission; the program that opens the
// adapter tells the operator how to grant access.
constexpr int kFtdiOpenFailed = -4;
constexpr int kFtdiNoDescription = -8;

class FtdiTransport : public Transport {
public:
    FtdiTransport(ftdi_context* pCtx, uint32_t nChipType, const BoardPins* pBoard)
        : m_pCtx(pCtx), m_nChipType(nChipType), m_pBoard(pBoard)
    {
    }
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
            if (r <= 0) {
                SetErrorText(LibraryText(r));
                return kErrUsbWrite;
            }
            nDone += r;
        }
        return kOk;
    }

    int Read(uint8_t* pBuffer, int n, int nTimeoutMs) override
    {
        const ReadOutcome out = ReadFully([this](uint8_t* p, int nMax) { return ftdi_read_data(m_pCtx, p, nMax); },
                                          pBuffer, n, nTimeoutMs, SteadyMs);
        if (out.nResult == kErrUsbRead)
            SetErrorText(LibraryText(out.nLibCode));
        else if (out.nResult == kErrReadTimeout) {
            AdapterError error = AdapterError::FromText("no reply within " + std::to_string(nTimeoutMs) + " ms: " +
                                                        std::to_string(out.nReceived) + " of " + std::to_string(n) +
                                                        " bytes");
            error.nFault = AdapterFault::kNoReply;
            error.nTimeoutMs = nTimeoutMs;
            error.nReceived = out.nReceived;
            error.nExpected = n;
            SetError(error);
        }
        return out.nResult;
    }

    // The write goes out asynchronously (ftdi_write_data_submit) and the read
    // starts at once: libusb completes the write while it waits for the
    // reply, so the reply's IN request is on the bus while the write's
    // packets still cross it. The bytes and their order are those of Write
    // then Read.
    int Exchange(const uint8_t* pOut, int nOut, uint8_t* pIn, int nIn, int nTimeoutMs) override
    {
        ftdi_transfer_control* pWrite = ftdi_write_data_submit(m_pCtx, const_cast<uint8_t*>(pOut), nOut);
        if (!pWrite) {
            SetErrorText(LibraryText(-1));
            return kErrUsbWrite;
        }
        const int nRead = Read(pIn, nIn, nTimeoutMs);
        if (nRead != kOk && !pWrite->completed) {
            // A reply that never came and a write still hanging on a full
            // adapter: the write is given up after a short while.
            timeval wait = {0, 100000};
            ftdi_transfer_data_cancel(pWrite, &wait);
            return nRead;
        }
        const AdapterError readError = Error();
        const int nWritten = ftdi_transfer_data_done(pWrite);
        if (nWritten != nOut) {
            SetErrorText(LibraryText(nWritten));
            return kErrUsbWrite;
        }
        if (nRead != kOk) {
            SetError(readError);
            return nRead;
        }
        return kOk;
    }

    void Purge() override { ftdi_tcioflush(m_pCtx); }
    uint32_t ChipType() const override { return m_nChipType; }
    const BoardPins* Board() const override { return m_pBoard; }

private:
    // libftdi's text for its last failure, with libusb's name for the code
    // when the code is libusb's (libftdi passes those through on reads).
    std::string LibraryText(int nCode) const
    {
        std::string strText = std::string("libftdi: ") + ftdi_get_error_string(m_pCtx);
        if (nCode < 0 && nCode >= LIBUSB_ERROR_OTHER)
            strText += std::string(" (") + libusb_error_name(nCode) + ")";
        else
            strText += " (" + std::to_string(nCode) + ")";
        return strText;
    }

    static int64_t SteadyMs()
    {
        return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }

    ftdi_context* m_pCtx;
    uint32_t m_nChipType;
    const BoardPins* m_pBoard;
};

class FtdiBackend : public Backend {
public:
    int Enumerate(const DeviceId* pTable, std::vector<AdapterEntry>& entries) override
    {
        entries.clear();
        std::vector<DeviceId> ids;
        for (const DeviceId* pId = pTable; pId && (pId->nVendor || pId->nProduct); ++pId)
            ids.push_back(*pId);
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_ids = ids;
        }
        ftdi_context* pCtx = ftdi_new();
        if (!pCtx)
            return -1;
        int nResult = 0;
        for (const DeviceId* pId = ids.data(); pId != ids.data() + ids.size(); ++pId) {
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
                e.nChannels = uint32_t(ChannelCount(e.nChipType));
                UsbStrings(pCtx, p->dev, e.strProduct, e.strSerial);
                e.strPortPath = PortPath(p->dev);
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

    std::unique_ptr<Transport> Open(uint32_t nLocation, uint32_t nSubLocation, int nSelector,
                                    AdapterError& error) override
    {
        ftdi_context* pCtx = ftdi_new();
        if (!pCtx)
            return nullptr;
        libusb_device* pFound = nullptr;
        uint32_t nChipType = kChipFt2232H;
        const BoardPins* pBoard = nullptr;
        std::vector<ftdi_device_list*> lists;
        std::vector<DeviceId> ids;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            ids = m_ids;
        }
        for (const DeviceId& id : ids) {
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
                    pBoard = FindBoard(desc.idVendor, desc.idProduct, ProductString(pCtx, p->dev));
                    pFound = p->dev;
                }
            }
        }
        std::unique_ptr<Transport> pTransport;
        // The interface must be chosen before the device is opened.
        const int nChannel = ChannelForSelector(nChipType, pBoard, nSelector);
        if (pFound && nChannel >= 1 && nChannel <= ChannelCount(nChipType) &&
            ftdi_set_interface(pCtx, ftdi_interface(nChannel)) == 0) {
            const int r = ftdi_usb_open_dev(pCtx, pFound);
            if (r == 0 && Configure(pCtx)) {
                pTransport = std::make_unique<FtdiTransport>(pCtx, nChipType, pBoard);
            } else {
                error = AdapterError::FromText(std::string("libftdi: ") + ftdi_get_error_string(pCtx) + " (" +
                                               std::to_string(r) + ")");
                if (r == kFtdiOpenFailed || r == kFtdiNoDescription)
                    error.nFault = AdapterFault::kNoPermission;
            }
            if (r == 0 && !pTransport)
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

    // The one hardware backend serves every thread of a gang run.
    std::mutex m_mutex;
    std::vector<DeviceId> m_ids;  // the table of the last enumeration
};

}  // namespace

std::unique_ptr<Backend> MakeFtdiBackend()
{
    return std::make_unique<FtdiBackend>();
}

}  // namespace mpsse
