// Named results of every layer: the adapter library, the link, the chip,
// files and the static data workbook. Results are plain ints, 0 for
// success; a code that no layer names here is passed through unchanged
// (ResultText calls it unknown). What a request means by -1 (the whole chip,
// not found) is in requestmarkers.h, the operation kinds of the window's
// protocol in src/gui/operationkind.h.
//
// This header needs nothing but the compiler, so that the adapter library,
// which does not use Qt, takes its codes from here too.
#pragma once

#include <cstdint>

class QString;

namespace xq {

constexpr int kOk = 0;  // success

// ---- link (SpiFtdi) and chip (SpiFlashCtrl)
constexpr int kErrBadArgument = -1;         // bad argument (null buffer, count, range), or no adapter
// Causes that share -1 with a bad argument (their value is fixed), each
// named so that its callers and tests say which one they mean.
constexpr int kErrNoFlashAnswer = -1;            // the flash identification read all zeros (or all ones)
constexpr int kErrUnknownChip = -1;              // an identification word the chip-model table does not know
constexpr int kErrClosedClearingRegisters = -1;  // ClearChipRegisters on a closed link
constexpr int kErrNotOpen = -2;             // the link is not open
constexpr int kErrModeChange = -3;          // a link mode change did not take effect; image too small to encrypt
constexpr int kErrEncryptedReadBack = -4;   // encrypted programming read back an unexpected word
constexpr int kErrFlashBusyTimeout = 258;   // the flash was still busy past its write-type command's limit (at least 6 s)
constexpr int kErrFlashBusyAtStart = -258;  // the flash was busy or write-enabled before an operation
constexpr int kErrRepairFailed = 323;       // a rewritten 4 KiB block (or a static record) still differs

// ---- adapter library (mpsse). Clear of the codes above, so that a log line
// always tells which layer failed.
constexpr int kErrAdapterArgument = 1001;   // null pointer, negative length or closed context
constexpr int kErrUsbWrite = 1002;          // the USB write failed (device gone, pipe error)
constexpr int kErrUsbRead = 1003;           // the USB read failed
constexpr int kErrUsbReadTimeout = 1004;    // the adapter did not deliver the reply in time
constexpr int kErrAdapterBadCommand = 1005; // the engine rejected a command (0xFA answer)
constexpr int kErrAdapterClose = 1006;      // the adapter was not released cleanly (the simulated bench could not save)
// The USB bus could not be read to list the adapters. Negative, unlike its
// neighbours: where a listing used to return its count, a failure must not
// pass a "0 or more were listed" test.
constexpr int kErrAdapterList = -1007;

// ---- operations
constexpr int kErrStopped = 2001;  // stopped on request (window closed, signal) after the flash command in progress
constexpr int kErrMismatch = 2002;  // the flash differs from the image (verify) or is not blank (blank check)

// ---- files
constexpr int kErrFileAccess = 5;        // an output file could not be written
constexpr int kErrFileOpen = 110;        // an input file could not be opened
constexpr int kErrStyleSheetOpen = -1;   // the style sheet could not be opened

// ---- static data workbook and record. These overlap the chip's values but
// never travel with them: only the static data tab and xqprog see them.
constexpr int kErrWorkbookUnreadable = -1;    // no such file, not a workbook, or no data sheet
constexpr int kErrWorkbookBadSheet = -3;    // a sheet cannot be read, or a data sheet does not end in column I
constexpr int kErrRecordLengthMismatch = 1;   // the record's used length differs from the layout's
constexpr int kErrRecordNoLayout = 2;         // no layout loaded, or no record given

// Where an operation was when a stop (window closed, signal) ended it.
enum StopPoint {
    kStopBeforeChange,     // nothing on the chip was changed yet
    kStopWhileChanging,    // erasing or programming: the range holds incomplete data
    kStopBeforeVerify,     // programmed, the verify (with its repair) not finished
    kStopBeforeProtect,    // verified, the write protection not set
    kStopBeforeSerial,     // verified, the serial number not stamped
    kStopBeforeEraseCheck  // erased, the erase not checked
};
// The line that says what a stop at that point left on the chip.
QString StopEnding(int nStopPoint);
// The line of a stop in a verify that follows a write of the same range (a
// job's last step): the range nStart to nStart + nLength stays programmed,
// its last verify not finished.
QString StopEndingNotVerified(int64_t nStart, int64_t nLength);
// What an operation logs when a stop ended it, once and as its last lines:
// "已中断", then strEnding (what the stop left: StopEnding, or the
// operation's own line). The front ends add nothing to it.
QString StopLines(const QString& strEnding);

// The log line for a result: "" for success, the specific line of the codes
// that have one, "发生超时 %1" for the busy codes and "未知错误 %1" for the rest
// (-3 among them: it has more than one cause, which the caller logs before it).
QString ResultText(int nResult);
// The same line with the adapter library's own reason on a line of its own
// before it (libftdi's or libusb's error text, a bench file) when the code is
// one of that library's and a reason is known:
// "libusb: LIBUSB_ERROR_NO_DEVICE\n未知错误 1002".
QString ResultText(int nResult, const QString& strCause);

}  // namespace xq
