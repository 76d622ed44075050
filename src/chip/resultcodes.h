// Result codes of the chip-access operations. Plain ints: 0 is success, and
// codes not listed here are adapter transfer codes passed through unchanged.
#pragma once

namespace xq {

constexpr int kOk = 0;                      // success
constexpr int kErrBadArgument = -1;         // bad argument, no adapter, or unknown chip/flash answer
constexpr int kErrNotOpen = -2;             // the link is not open
constexpr int kErrModeChange = -3;          // a link mode change did not take effect; image too small to encrypt
constexpr int kErrEncryptedReadBack = -4;   // encrypted programming read back an unexpected word
constexpr int kErrFlashBusyTimeout = 258;   // the flash was still busy 6000 ms after a write-type command
constexpr int kErrFlashBusyAtStart = -258;  // the flash was busy or write-enabled before an operation
constexpr int kErrRepairFailed = 323;       // a rewritten 4 KiB block still differs from the image

// Codes the workers produce themselves.
constexpr int kErrFileAccess = 5;    // an output file could not be written
constexpr int kErrFileOpen = 110;    // an input file could not be opened

}  // namespace xq
