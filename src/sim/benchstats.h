// The simulated bench's virtual clock and traffic counters for one adapter.
#pragma once

#include <cstdint>

namespace sim {

// Fixed timing model of the USB link (FTDI AN_232B-03 and typical host
// controller figures): a bulk transfer costs 125 us plus 25 ns per byte at
// high speed, 1 ms plus 1 us per byte at full speed.
struct UsbTiming {
    int64_t nPerTransferNs;
    int64_t nPerByteNs;
};
constexpr UsbTiming kUsbHighSpeed{125000, 25};
constexpr UsbTiming kUsbFullSpeed{1000000, 1000};

// Two clocks: the host's (USB transfers, and waiting for replies) and the
// adapter engine's (SPI clocking, which runs while the host goes on). The
// flash lives on the engine's clock; a reply reaches the host no earlier
// than the engine has clocked it.
struct BenchStats {
    int64_t nHostNs = 0;         // the host's virtual time
    int64_t nEngineNs = 0;       // the engine's virtual time
    int64_t nUsbTransfers = 0;   // bulk transfers in either direction
    int64_t nRoundTrips = 0;     // reads that waited for an answer of the adapter
    int64_t nBytesOut = 0;       // bytes sent to the adapter
    int64_t nBytesIn = 0;        // bytes received from the adapter
    int64_t nSpiBytes = 0;       // bytes clocked on the SPI wire
    int64_t nSpiNs = 0;          // time spent clocking them
    int64_t nFlashBusyUs = 0;    // flash busy time started by program and erase commands
    int64_t nPollBytes = 0;      // SPI bytes of status and mode polls

    int64_t VirtualUs() const { return nHostNs / 1000; }
    int64_t VirtualMs() const { return nHostNs / 1000000; }
};

}  // namespace sim
