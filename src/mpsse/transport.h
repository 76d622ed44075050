// The byte transport seam under the adapter library: a backend lists adapters
// and opens one as a Transport that moves raw MPSSE bytes. libftdi1 provides
// the real backend; the simulated bench and the tests provide others.
#pragma once

#include "mpsse.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace mpsse {

struct BoardPins;

class Transport {
public:
    virtual ~Transport() = default;
    // Sends all n bytes; 0 or a Result code.
    virtual int Write(const uint8_t* pData, int n) = 0;
    // Receives exactly n bytes within nTimeoutMs; 0 or a Result code.
    virtual int Read(uint8_t* pBuffer, int n, int nTimeoutMs) = 0;
    // Sends nOut bytes and receives exactly nIn bytes of their reply: the
    // same bytes as Write then Read, but a transport may ask for the reply
    // while the write is still crossing the bus, so that the exchange costs
    // one USB set-up instead of two. 0, or the write's code when the write
    // failed, else the read's.
    virtual int Exchange(const uint8_t* pOut, int nOut, uint8_t* pIn, int nIn, int nTimeoutMs)
    {
        const int r = Write(pOut, nOut);
        return r != kOk ? r : Read(pIn, nIn, nTimeoutMs);
    }
    // Drops whatever the adapter still holds in either direction.
    virtual void Purge() = 0;
    virtual uint32_t ChipType() const = 0;
    // Releases the device before the transport is destroyed: 0, or a Result
    // code (with SetErrorText) when that fails; the simulated bench saves here.
    virtual int Close() { return kOk; }
    // The buffered board the chip sits on (adapters.h), null for a plain chip.
    virtual const BoardPins* Board() const { return nullptr; }
    // Milliseconds on the adapter's own clock: the wall (a monotonic clock)
    // for a real adapter, the model's virtual time on the simulated bench.
    virtual int64_t ClockMs() const;

    // What the transport knows about its last failure (LastError in
    // mpsse.h); kNone when it has nothing to add. SetErrorText gives a reason
    // that only its text carries. A transport serves one link on one thread
    // at a time.
    void SetError(const AdapterError& error) { m_error = error; }
    void SetErrorText(const std::string& strText) { m_error = AdapterError::FromText(strText); }
    const AdapterError& Error() const { return m_error; }
    const std::string& ErrorText() const { return m_error.strText; }

private:
    AdapterError m_error;
};

// What a backend reports for one attached adapter.
struct AdapterEntry {
    uint32_t nVendor = 0;
    uint32_t nProduct = 0;
    uint32_t nChipType = kChipFt2232H;
    uint32_t nChannels = 2;
    uint32_t nLocation = 0;
    uint32_t nSubLocation = 0;
    bool bNeedsSubLocation = false;
    std::string strProduct;  // the USB product string
    std::string strSerial;   // the USB serial number string, "" when there is none
    std::string strPortPath; // bus and port path ("2-1"), or where a simulated adapter lives
};

class Backend {
public:
    virtual ~Backend() = default;
    // Adapters whose vendor/product pair is in pTable: 0 or more entries, or a
    // negative code when the bus cannot be read at all.
    virtual int Enumerate(const DeviceId* pTable, std::vector<AdapterEntry>& entries) = 0;
    // Opens the adapter at the location on the channel that the selector
    // means for it (ChannelForSelector in adapters.h), with the MPSSE enabled
    // and its buffers purged; null when it cannot, with error saying why
    // where the backend knows.
    virtual std::unique_ptr<Transport> Open(uint32_t nLocation, uint32_t nSubLocation, int nSelector,
                                            AdapterError& error) = 0;
    // Whether links on this backend send page programs strictly one by one
    // (the simulated bench's [timing] strict_order); real adapters: no.
    virtual bool StrictOrder() const { return false; }

    // Write batching is on by default; the speed benchmark switches it off
    // to measure what it buys. Affects contexts opened on this backend
    // afterwards.
    void SetWriteBatching(bool bEnabled) { m_bBatching = bEnabled; }
    bool WriteBatching() const { return m_bBatching; }

private:
    std::atomic<bool> m_bBatching{true};
};

// A libftdi1 backend: real adapters on the USB bus. The front ends make one
// per run and hand it to every link (the threads of a gang share it); a link
// made without one makes its own.
std::unique_ptr<Backend> MakeFtdiBackend();

}  // namespace mpsse
