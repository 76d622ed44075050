#include "adapters.h"

#include <cstring>

namespace mpsse {

uint32_t ChipTypeFromBcd(uint16_t nBcdDevice)
{
    switch (nBcdDevice) {
    case 0x0500: return kChipFt2232D;
    case 0x0800: return kChipFt4232H;
    case 0x0900: return kChipFt232H;
    default: return kChipFt2232H;
    }
}

int ChannelCount(uint32_t nChipType)
{
    switch (nChipType) {
    case kChipFt4232H: return 4;
    case kChipFt232H: return 1;
    default: return 2;
    }
}

int MpsseChannelCount(uint32_t nChipType)
{
    return (nChipType == kChipFt2232H || nChipType == kChipFt4232H) ? 2 : 1;
}

bool IsHighSpeedChip(uint32_t nChipType)
{
    return nChipType != kChipFt2232D;
}

namespace {

// Buffered boards. Sources: flashrom's programmers/ft2232_spi.c board list
// (low byte only) and OpenOCD's tcl/interface/ftdi/*.cfg (`layout_init`,
// value then direction, high byte first). Beyond the four SPI pins we take
// OpenOCD's initial state: the JTAG buffer enabled, the drivers of the
// target's nTRST/nSRST lines switched off (a reset held asserted would keep
// the chip behind the SPI port in reset), LEDs as OpenOCD leaves them.
//
// The JTAGkey's ADBUS4 is the active-low output enable of its JTAG buffer
// (the Bus Blaster, a documented copy of the JTAGkey, wires ADBUS4 to the
// shared OE of an SN74AVC4T245, whose OE is active low). OpenOCD holds it low
// (0x0c08/0x0f1b). flashrom's 0x18/0x1b reads as "high", but flashrom puts
// bit 4 into its chip-select bits, so it drives ADBUS4 low with CS for every
// frame and high between frames: both enable the buffer with a low level.
// We keep it low while open so that CS is driven high, not left floating,
// between frames.
const BoardPins kBoards[] = {
    // Bus Blaster v2 (JTAGkey-compatible buffer): flashrom "busblaster"
    // 0x18/0x1b, OpenOCD dp_busblaster.cfg 0x0c08/0x0f1b. ADBUS4 low enables
    // the buffer; ACBUS2/3 high keep the nTRST/nSRST drivers off.
    {"Bus Blaster v2", 0x0403, 0x8878, nullptr, 0x00, 0x10, 0x0C, 0x0F, 1},
    {"Bus Blaster v2", 0x0403, 0x8879, nullptr, 0x00, 0x10, 0x0C, 0x0F, 1},
    // The same board with FTDI's ids and its own product string. One that
    // still reports FTDI's default "Dual RS232-HS" cannot be told from a
    // plain FT2232H and is driven as one.
    {"Bus Blaster v2", 0x0403, 0x6010, "Bus Blaster v2", 0x00, 0x10, 0x0C, 0x0F, 1},
    // Amontec JTAGkey and JTAGkey-2 (same id, FT2232D or FT2232H): OpenOCD
    // jtagkey.cfg / jtagkey2.cfg 0x0c08/0x0f1b, flashrom "jtagkey" 0x18/0x1b
    // (see above for ADBUS4).
    {"JTAGkey", 0x0403, 0xCFF8, nullptr, 0x00, 0x10, 0x0C, 0x0F, 1},
    // egnite Turtelizer 2 (FT2232D): OpenOCD turtelizer2-revC.cfg
    // 0x0008/0x0c7b. ADBUS4 low enables the output buffer; ADBUS5/6 low keep
    // the nTRST/nSRST drivers off; ACBUS2/3 are the LEDs (on when low).
    // flashrom has no entry for it.
    {"Turtelizer 2", 0x0403, 0xBDC8, nullptr, 0x00, 0x70, 0x00, 0x0C, 1},
    // TIAO USB Multi-Protocol Adapter: flashrom "tumpa" uses channel A's SPI
    // header with the four SPI pins only (0x08/0x0b): that header is wired
    // to the chip without a buffer to enable. OpenOCD's tumpa.cfg
    // (0x0038/0x087b) sets up the JTAG header instead (ADBUS4/5 are its
    // target resets); the SPI header needs none of it.
    {"TIAO Multi Protocol Adapter", 0x0403, 0x8A98, nullptr, 0x00, 0x00, 0x00, 0x00, 1},
    // Olimex ARM-USB-OCD (FT2232D): flashrom "arm-usb-ocd" 0x08/0x1b and
    // OpenOCD olimex-arm-usb-ocd.cfg 0x0c08/0x0f1b agree: ADBUS4 low (#OE)
    // enables the buffer; ACBUS3 is the LED, ACBUS2 high keeps nTRST off.
    {"Olimex ARM-USB-OCD", 0x15BA, 0x0003, nullptr, 0x00, 0x10, 0x0C, 0x0F, 1},
    // Olimex ARM-USB-TINY (FT2232D): OpenOCD olimex-jtag-tiny.cfg
    // 0x0808/0x0a1b drives ADBUS4 low like the ARM-USB-OCD; flashrom's
    // "arm-usb-tiny" leaves ADBUS4 an input, which works only where the #OE
    // line is pulled low on the board. Driving it low is right in both cases.
    {"Olimex ARM-USB-TINY", 0x15BA, 0x0004, nullptr, 0x00, 0x10, 0x08, 0x0A, 1},
};

}  // namespace

const BoardPins* FindBoard(uint16_t nVendor, uint16_t nProduct, const std::string& strProduct)
{
    for (const BoardPins& board : kBoards) {
        if (board.nVendor != nVendor || board.nProduct != nProduct)
            continue;
        if (board.pProductString && strProduct != board.pProductString)
            continue;
        return &board;
    }
    return nullptr;
}

int ChannelForSelector(uint32_t nChipType, const BoardPins* pBoard, int nSelector)
{
    if (pBoard)
        return pBoard->nChannel;
    switch (nSelector) {
    case 0:
    case 1:
        return 1;
    case 2:
        return MpsseChannelCount(nChipType) >= 2 ? 2 : 1;
    default:
        return 0;
    }
}

}  // namespace mpsse
