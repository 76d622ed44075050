// Location numbers for USB adapters, built from the USB bus and port path so
// that an adapter keeps its name while it stays plugged into the same port.
//
// The scheme: the bus number, then each port number along the path from the
// root hub, one hexadecimal digit each, most significant first. Bus 2, port 1
// gives 0x21 (shown as LOC-33); bus 1, hub port 4, port 2 gives 0x142. Two
// devices can never have the same path, so they never share a number.
//
// When a bus or port number is above 15 or the path is deeper than seven
// ports, one hexadecimal digit per step no longer fits: the location is then
// the bus number alone and the sub-location packs the port path (one byte per
// port, up to four ports; a deeper path is folded with FNV-1a), and the record
// is marked so that its name carries both numbers (FT2232-LOC-3.1027).
#pragma once

#include <cstdint>
#include <vector>

namespace mpsse {

struct Location {
    uint32_t nLocation = 0;
    uint32_t nSubLocation = 0;
    bool bNeedsSubLocation = false;
};

Location LocationFromPortPath(uint8_t nBus, const std::vector<uint8_t>& ports);

}  // namespace mpsse
