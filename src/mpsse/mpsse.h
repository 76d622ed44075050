// The adapter library: SPI over an FTDI MPSSE engine.
//
// A small C-style API (enumerate, open by USB location, set the clock, frame
// brackets, write and read bytes, close) that the adapter link calls. The
// functions live in namespace mpsse so that generic names such as Close never
// collide with other libraries. Bytes go to the adapter through a Transport
// (transport.h): libftdi1 for real hardware, or the simulated bench.
//
// Implementation note on batching: Start, Stop and FastWrite only queue MPSSE
// commands; FastRead sends the queue, the read command and SEND_IMMEDIATE in
// one USB write and then collects the reply. The queue also goes out when it
// is full, at SetClock and at Close. A failure of a deferred write therefore
// surfaces at the next call that flushes; it is kept as a sticky error in the
// context, so every later call returns it until the context is closed.
#pragma once

#include <results.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace mpsse {

// One entry of the supported-device table; the table ends with an all-zero entry.
struct DeviceId {
    uint32_t nVendor;
    uint32_t nProduct;
    const char* pDescription;
};

// The USB strings and port path of one device record, owned by the record
// (DevInfoRease frees them).
struct DevStrings {
    std::string strSerial;       // the serial number string ("" when the adapter has none or it cannot be read)
    std::string strDescription;  // the product string
    std::string strPortPath;     // where it is plugged in: bus and port path, "2-1", "1-4.2"
};

// One record of the device list returned by GetDevInfoAll (40 bytes on 64-bit
// hosts; the fields at offsets 8, 12, 16, 20, 24 and 32 are what callers read).
struct DevInfo {
    uint32_t nVendor;        // offset 0: USB vendor id
    uint32_t nChipType;      // offset 4: ChipType of the adapter
    uint32_t nProduct;       // offset 8: USB product id
    uint32_t nLocation;      // offset 12: location number (location.h)
    uint32_t nSubLocation;   // offset 16: sub-location number
    uint8_t nNaming;         // offset 20: above 4 when the name needs both numbers
    uint8_t nChannels;       // offset 21: MPSSE channels of the chip
    uint8_t reserved[2];     // offset 22
    DevStrings* pStrings;    // offset 24: serial number, description, port path
    DevInfo* pNext;          // offset 32: next record, null ends the list
};
static_assert(sizeof(void*) != 8 || sizeof(DevInfo) == 40, "device records are 40 bytes");
static_assert(offsetof(DevInfo, nProduct) == 8 && offsetof(DevInfo, nLocation) == 12 &&
                  offsetof(DevInfo, nSubLocation) == 16 && offsetof(DevInfo, nNaming) == 20 &&
                  (sizeof(void*) != 8 || (offsetof(DevInfo, pStrings) == 24 && offsetof(DevInfo, pNext) == 32)),
              "device record field offsets");

// The value of DevInfo::nNaming when the location number alone does not name the port.
constexpr uint8_t kNamingWithSubLocation = 5;

enum ChipType : uint32_t {
    kChipFt2232D = 1,   // 12 MHz base clock, no divide-by-5 commands
    kChipFt2232H = 2,
    kChipFt4232H = 3,
    kChipFt232H = 4,
};

// Result codes of the library, under the names the library uses (results.h
// says what each means).
enum Result : int {
    kOk = xq::kOk,
    kErrBadArgument = xq::kErrAdapterArgument,
    kErrUsbWrite = xq::kErrUsbWrite,
    kErrUsbRead = xq::kErrUsbRead,
    kErrReadTimeout = xq::kErrUsbReadTimeout,
    kErrBadCommand = xq::kErrAdapterBadCommand,
    kErrClose = xq::kErrAdapterClose,
};

// Why the library's last call failed, as a kind and its numbers, so that the
// program words it in the operator's language. strText keeps the library's
// own English words beside it for a log; for kLibrary it is all there is
// (libftdi's words, or what a transport wrote itself).
enum class AdapterFault {
    kNone,
    kNoReply,       // fewer than nExpected bytes (nReceived) came within nTimeoutMs
    kNoSyncAnswer,  // the engine did not echo the synchronisation probe
    kNoPermission,  // the device node may not be opened: no udev rule or group yet
    kLibrary,
};
struct AdapterError {
    AdapterFault nFault = AdapterFault::kNone;
    int nTimeoutMs = 0;
    int nReceived = 0;
    int nExpected = 0;
    std::string strText;
    // A reason that only the text carries (kLibrary; kNone when it is empty).
    static AdapterError FromText(const std::string& strText)
    {
        AdapterError e;
        e.nFault = strText.empty() ? AdapterFault::kNone : AdapterFault::kLibrary;
        e.strText = strText;
        return e;
    }
};

// Lists the attached adapters whose vendor/product pair is in pTable on the
// backend (transport.h: libftdi1, the simulated bench, a test's scripted
// adapters). Returns the number of records (> 0, *ppList heads the list,
// release it with DevInfoRease), 0 when none is attached, or a negative
// libusb-style code (then *ppList stays null). *pnCount receives the count
// as well. Without a backend: a libftdi1 one made for the call.
class Backend;
int GetDevInfoAll(Backend& backend, const DeviceId* pTable, int* pnCount, DevInfo** ppList);
int GetDevInfoAll(const DeviceId* pTable, int* pnCount, DevInfo** ppList);
void DevInfoRease(DevInfo* pList);

// Opens the adapter at (nLocation, nSubLocation), as the backend listed it
// last, for SPI mode 0 at nClockHz. nMode must be 1 (SPI master); nChannel is
// the interface selector (0 any, 1 A, 2 B, 3 C, 4 D); nReserved must be 0.
// Returns null on any failure, with *pError (when given) saying why where
// the library knows. The caller keeps the backend alive as long as the
// context is open.
void* MPSSE_PortPath(Backend& backend, int nMode, uint32_t nClockHz, int nChannel, int nReserved,
                     uint32_t nLocation, uint32_t nSubLocation, AdapterError* pError = nullptr);

int SetClock(void* pContext, uint32_t nClockHz);
int Start(void* pContext);
int Stop(void* pContext);
int FastWrite(void* pContext, const uint8_t* pData, int nLength);
int FastRead(void* pContext, uint8_t* pBuffer, int nLength);
// Like FastRead, but the read only joins the queue: its bytes land in pBuffer
// when the queue is next sent (the next FastRead, SetClock, Close or a full
// queue), so several frames with replies cost one USB round trip. pBuffer
// must stay valid until then; a failure shows up at that call.
int FastReadLater(void* pContext, uint8_t* pBuffer, int nLength);
// Releases the context; *pError (when given) receives what the library
// knows about a failure of the close itself (kNone for none).
int Close(void* pContext, AdapterError* pError = nullptr);
// What the library knows about the context's last failure, for a log line
// next to the code (kNone when it has nothing to add); ErrorText is its text.
AdapterError LastError(void* pContext);
std::string ErrorText(void* pContext);
// Lets the engine wait about nMicroseconds on its own side (SCK clocked with
// chip select high, no data), so that the next frame starts later without a
// USB round trip. Queued like a write; 0 or a Result code. The FT2232D, which
// has no clocks without data, clocks out zero bytes with chip select high.
int Idle(void* pContext, uint32_t nMicroseconds);

// The chip type (ChipType) of the adapter the context opened.
uint32_t ContextChipType(void* pContext);

// Milliseconds on the adapter's clock (Transport::ClockMs); the wall when
// pContext is null.
int64_t ClockMs(void* pContext);

// The SCK the engine really runs for a request (the nearest rate at or below it).
uint32_t ActualClockHz(uint32_t nChipType, uint32_t nRequestedHz);

}  // namespace mpsse
