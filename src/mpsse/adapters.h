// What the adapter library knows about the adapters it drives: the FTDI chip
// generation behind a device, which MPSSE channel a channel selector opens on
// it, and the boards whose output buffers must be enabled through pins beside
// SK, DO, DI and CS.
//
// Chip generations (bcdDevice of the device descriptor; FTDI data sheets and
// AN_108):
//   0x0500 FT2232C/D  full speed, 12 MHz engine clock (SCK up to 6 MHz), MPSSE
//                     on channel A only, none of the H-chip commands
//   0x0700 FT2232H    high speed, 60 MHz engine clock, MPSSE on A and B
//   0x0800 FT4232H    high speed, MPSSE on A and B (C and D are UARTs)
//   0x0900 FT232H     high speed, one channel (A)
//
// Channel selector (the value the adapter link passes to MPSSE_PortPath):
//   0  the first MPSSE channel (A)
//   1  channel A
//   2  the second MPSSE channel: B on the FT2232H and FT4232H. A chip with a
//      single MPSSE channel (FT2232C/D, FT232H) opens A: its B is a UART only,
//      and the adapter's SPI pins are on A.
//   3, 4  channels C and D have no MPSSE on any chip: the open fails.
// A buffered board (below) always opens the channel its buffer sits on,
// whatever the selector: the buffer, not the selector, decides where SK, DO
// and CS reach the header.
#pragma once

#include "mpsse.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace mpsse {

// One FTDI chip generation, as data.
struct ChipGeneration {
    uint16_t nBcdDevice;
    uint32_t nChipType;
    int nChannels;       // USB channels (interfaces)
    int nMpsseChannels;  // how many of them have an MPSSE
    // Runs the engine from 60 MHz and knows the H-chip commands (divide-by-5,
    // adaptive and three-phase clocking, clocks without data); the same
    // chips are high-speed USB devices.
    bool bHighSpeed;
    int nRxBufferBytes;  // the receive buffer (host to engine) of a channel
};
// The generation of a chip type (or of a bcdDevice); unknown values are
// taken as FT2232H.
const ChipGeneration& GenerationOf(uint32_t nChipType);
const ChipGeneration& GenerationFromBcd(uint16_t nBcdDevice);

// The chip generation for a bcdDevice; unknown values are taken as FT2232H.
uint32_t ChipTypeFromBcd(uint16_t nBcdDevice);
// USB channels (interfaces) of the chip, and how many of them have an MPSSE.
int ChannelCount(uint32_t nChipType);
int MpsseChannelCount(uint32_t nChipType);
// Whether the chip runs the engine from 60 MHz and knows the H-chip commands
// (divide-by-5, adaptive and three-phase clocking, clocks without data).
bool IsHighSpeedChip(uint32_t nChipType);
// Bytes of a channel's receive buffer (host to engine).
int RxBufferBytes(uint32_t nChipType);

// The USB devices the adapter link lists, one row each: the ids the device
// list matches with a description, and for the plain FTDI chips the
// short type name that adapter names start with and the channel selector
// the link opens them with. The udev rule grants access to exactly these.
struct AdapterRow {
    const char* pKey;          // how the bench's adapter models name the row
    DeviceId id;
    const char* pTypeName;     // null: adapter names carry the product id in hex
    int nTypeChannel;          // the selector with pTypeName: 0 any, 1 A, 2 B
};
const AdapterRow* AdapterRows(size_t* pCount);
// The row of that key, or null.
const AdapterRow* FindAdapterRow(const char* pKey);
// The rows' ids as the device list takes them, ended by a zero entry.
const DeviceId* SupportedDeviceIds();

// Pins a board needs beside the four SPI pins, as value and direction of
// the low byte (ADBUS4..7; bits 0..3 belong to the SPI engine) and of the
// high byte (ACBUS0..7), held for as long as the adapter is open.
struct BoardPins {
    const char* pName;
    uint16_t nVendor;
    uint16_t nProduct;
    const char* pProductString;  // null: any product string
    uint8_t nLowValue;
    uint8_t nLowDirection;
    uint8_t nHighValue;
    uint8_t nHighDirection;
    int nChannel;  // 1 A, 2 B: the channel wired to the header
};

// The board of a device, by vendor and product id and USB product string;
// null for a plain chip (only the four SPI pins are driven).
const BoardPins* FindBoard(uint16_t nVendor, uint16_t nProduct, const std::string& strProduct);

// The channel (1 A .. 4 D) that a selector opens on a device, or 0 when the
// device has no MPSSE there.
int ChannelForSelector(uint32_t nChipType, const BoardPins* pBoard, int nSelector);

}  // namespace mpsse
