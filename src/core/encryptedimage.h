// The encrypted image's layout, shared by the test that tells an encrypted
// image from a plain one (the image operations) and by the programming that
// writes its parts in their link modes (the chip layer).
#pragma once

#include <cstdint>

namespace xq {
namespace encrypted {

// An image asks for encryption when it is longer than kPlainHead bytes and
// holds kMarker at kMarkerAt.
constexpr int32_t kMarkerAt = 0x2FB0;
constexpr uint8_t kMarker = 2;

constexpr int32_t kPlainHead = 0x3000;          // always written in link mode 1
constexpr int32_t kSecondRegion = 0x7000;       // present when the image starts with kSecondRegionMagic
constexpr uint32_t kSecondRegionMagic = 0x0000706F;
constexpr int32_t kSecondRegionPlainTail = 80;  // last bytes of the second region, written in mode 1
// Their offset from the second region's own offset (the same offset as the marker's).
constexpr int32_t kPlainTailOffset = kMarkerAt;

}  // namespace encrypted
}  // namespace xq
