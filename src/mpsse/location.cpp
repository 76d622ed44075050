#include "location.h"

namespace mpsse {

Location LocationFromPortPath(uint8_t nBus, const std::vector<uint8_t>& ports)
{
    Location loc;
    bool bFitsNibbles = nBus <= 15 && ports.size() <= 7;
    for (uint8_t nPort : ports)
        bFitsNibbles = bFitsNibbles && nPort <= 15;

    if (bFitsNibbles) {
        loc.nLocation = nBus;
        for (uint8_t nPort : ports)
            loc.nLocation = (loc.nLocation << 4) | nPort;
        return loc;
    }

    loc.nLocation = nBus;
    loc.bNeedsSubLocation = true;
    if (ports.size() <= 4) {
        for (uint8_t nPort : ports)
            loc.nSubLocation = (loc.nSubLocation << 8) | nPort;
    } else {
        uint32_t nHash = 2166136261u;
        for (uint8_t nPort : ports)
            nHash = (nHash ^ nPort) * 16777619u;
        loc.nSubLocation = nHash;
    }
    return loc;
}

}  // namespace mpsse
