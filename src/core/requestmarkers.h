// Values a request or a search uses to mean something other than a number:
// not results (no operation returns them as its code), so they live apart
// from the result codes. Needs nothing but the compiler, like results.h.
#pragma once

namespace xq {

constexpr int kWholeChip = -1;  // an erase count or read length meaning the whole flash
constexpr int kNotFound = -1;   // the static data header search found no record

}  // namespace xq
