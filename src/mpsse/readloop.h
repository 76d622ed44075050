// Collecting one reply from the adapter. A USB read may deliver fewer bytes
// than asked, even none: every bulk IN packet carries two modem status bytes
// that the library strips, and the chip sends a packet with only those each
// latency period while it has nothing else. So the reply is gathered in a
// loop until it is complete or our own deadline has passed.
//
// The loop is kept apart from libftdi so that a test can drive it with a
// stub read call and a stub clock.
#pragma once

#include <cstdint>
#include <functional>

namespace mpsse {

// Reads up to nMax bytes into pBuffer: the number read (0 is allowed), or a
// negative code of the USB library.
using ReadCall = std::function<int(uint8_t* pBuffer, int nMax)>;
// Milliseconds of a monotonic clock.
using MsClock = std::function<int64_t()>;

struct ReadOutcome {
    int nResult = 0;     // kOk, kErrUsbRead or kErrReadTimeout
    int nLibCode = 0;    // the read call's negative code for kErrUsbRead
    int nReceived = 0;   // bytes gathered before the end
};

// Gathers exactly n bytes within nTimeoutMs of the clock.
ReadOutcome ReadFully(const ReadCall& read, uint8_t* pBuffer, int n, int nTimeoutMs, const MsClock& clock);

}  // namespace mpsse
