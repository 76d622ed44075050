#include "adapters.h"

#include <cstring>
#include <vector>

namespace mpsse {

namespace {

// The FTDI data sheets (feature lists) and AN_108; the FT2232H first, the
// generation taken for anything unknown.
constexpr ChipGeneration kGenerations[] = {
    {0x0700, kChipFt2232H, 2, 2, true, 4096},
    {0x0500, kChipFt2232D, 2, 1, false, 384},
    {0x0800, kChipFt4232H, 4, 2, true, 2048},
    {0x0900, kChipFt232H, 1, 1, true, 1024},
};

// The descriptions name the adapter for a reader of the table; the device
// list matches by the ids alone.
const AdapterRow kAdapterRows[] = {
    {"FT2232", {0x0403, 0x6010, "FT2232 Future Technology Devices International, Ltd"}, "FT2232", 2},
    {"FT4232", {0x0403, 0x6011, "FT4232 Future Technology Devices International, Ltd"}, nullptr, 0},
    {"FT232H", {0x0403, 0x6014, "FT232H Future Technology Devices International, Ltd"}, "FT232H", 0},
    {"BusBlasterA", {0x0403, 0x8878, "Bus Blaster v2 (channel A)"}, nullptr, 0},
    {"BusBlasterB", {0x0403, 0x8879, "Bus Blaster v2 (channel B)"}, nullptr, 0},
    {"Turtelizer", {0x0403, 0xBDC8, "Turtelizer JTAG/RS232 Adapter A"}, nullptr, 0},
    {"JTAGkey", {0x0403, 0xCFF8, "Amontec JTAGkey"}, nullptr, 0},
    {"TIAO", {0x0403, 0x8A98, "TIAO Multi Protocol Adapter"}, nullptr, 0},
    {"OlimexOCD", {0x15BA, 0x0003, "Olimex Ltd. OpenOCD JTAG"}, nullptr, 0},
    {"OlimexTiny", {0x15BA, 0x0004, "Olimex Ltd. OpenOCD JTAG TINY"}, nullptr, 0},
};

}  // namespace

const ChipGeneration& GenerationOf(uint32_t nChipType)
{
    for (const ChipGeneration& gen : kGenerations)
        if (gen.nChipType == nChipType)
            return gen;
    return kGenerations[0];
}

const ChipGeneration& GenerationFromBcd(uint16_t nBcdDevice)
{
    for (const ChipGeneration& gen : kGenerations)
        if (gen.nBcdDevice == nBcdDevice)
            return gen;
    return kGenerations[0];
}

uint32_t ChipTypeFromBcd(uint16_t nBcdDevice)
{
    return GenerationFromBcd(nBcdDevice).nChipType;
}

int ChannelCount(uint32_t nChipType)
{
    return GenerationOf(nChipType).nChannels;
}

int MpsseChannelCount(uint32_t nChipType)
{
    return GenerationOf(nChipType).nMpsseChannels;
}

bool IsHighSpeedChip(uint32_t nChipType)
{
    return GenerationOf(nChipType).bHighSpeed;
}

int RxBufferBytes(uint32_t nChipType)
{
    return GenerationOf(nChipType).nRxBufferBytes;
}

const AdapterRow* AdapterRows(size_t* pCount)
{
    if (pCount)
        *pCount = sizeof kAdapterRows / sizeof kAdapterRows[0];
    return kAdapterRows;
}

const AdapterRow* FindAdapterRow(const char* pKey)
{
    for (const AdapterRow& row : kAdapterRows)
        if (pKey && std::strcmp(row.pKey, pKey) == 0)
            return &row;
    return nullptr;
}

const DeviceId* SupportedDeviceIds()
{
    static const std::vector<DeviceId> ids = [] {
        std::vector<DeviceId> list;
        for (const AdapterRow& row : kAdapterRows)
            list.push_back(row.id);
        list.push_back({0, 0, nullptr});
        return list;
    }();
    return ids.data();
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
