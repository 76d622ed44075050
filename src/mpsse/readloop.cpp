#include "readloop.h"

#include "mpsse.h"

namespace mpsse {

ReadOutcome ReadFully(const ReadCall& read, uint8_t* pBuffer, int n, int nTimeoutMs, const MsClock& clock)
{
    ReadOutcome out;
    const int64_t nDeadline = clock() + nTimeoutMs;
    while (out.nReceived < n) {
        const int r = read(pBuffer + out.nReceived, n - out.nReceived);
        if (r < 0) {
            out.nResult = kErrUsbRead;
            out.nLibCode = r;
            return out;
        }
        out.nReceived += r;
        if (out.nReceived < n && clock() > nDeadline) {
            out.nResult = kErrReadTimeout;
            return out;
        }
    }
    out.nResult = kOk;
    return out;
}

}  // namespace mpsse
