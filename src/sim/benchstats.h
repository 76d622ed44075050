// The simulated bench's virtual clock and traffic counters for one adapter.
#pragma once

#include <cstdint>

namespace sim {

struct BenchStats {
    int64_t nVirtualUs = 0;      // virtual time spent: USB transfers, SPI clocking, flash busy waits
    int64_t nUsbTransfers = 0;   // bulk transfers in either direction
    int64_t nRoundTrips = 0;     // reads that waited for an answer of the adapter
    int64_t nBytesOut = 0;       // bytes sent to the adapter
    int64_t nBytesIn = 0;        // bytes received from the adapter
    int64_t nSpiBytes = 0;       // bytes clocked on the SPI wire
    int64_t nSpiNs = 0;          // time spent clocking them
    int64_t nFlashBusyUs = 0;    // flash busy time started by program and erase commands

    int64_t VirtualMs() const { return nVirtualUs / 1000; }
};

}  // namespace sim
