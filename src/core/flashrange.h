// The one range rule for every operation that touches the flash: an image
// write with its erase, an erase, a read, the static data area. The flash
// decodes only the address bits its size needs, so an address past its end
// lands on its first bytes: a range that does not lie inside the flash would
// erase, program or read the wrong place and still look like a success.
#pragma once

#include <QString>

#include <cstdint>

namespace xq {

// True when the nLength bytes from nStart lie inside a flash of nFlashSize
// bytes (and the start itself does).
bool FlashRangeFits(int64_t nStart, int64_t nLength, uint32_t nFlashSize);

// The log line (and warning text) of a range refused by FlashRangeFits,
// naming the range and the flash size.
QString FlashRangeRefusal(int64_t nStart, int64_t nLength, uint32_t nFlashSize);

}  // namespace xq
