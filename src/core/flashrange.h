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

// Bytes outside a requested range that an erase took away and did not put
// back. An erase keeps the bytes of at most one partly covered sector in
// memory at a time, so at most two pieces (before and after the range in
// that sector) are ever lost; nLength 0: none.
struct FlashLoss {
    struct Piece {
        int32_t nAddress = 0;
        int32_t nLength = 0;
    };
    Piece pieces[2];
    // The flash could not be read back to tell: the pieces may still hold their bytes.
    bool bUnconfirmed = false;
    bool Any() const { return pieces[0].nLength > 0 || pieces[1].nLength > 0; }
};

// The log line naming the bytes a failed operation did not put back; empty
// when none were lost.
QString FlashLossText(const FlashLoss& loss);

}  // namespace xq
