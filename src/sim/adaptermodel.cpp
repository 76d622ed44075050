#include "adaptermodel.h"

#include <adapters.h>

namespace sim {

namespace {

// What each board needs before SK, DO and CS reach the chip, from the
// boards' documentation as the README's adapter table lists it: ADBUS4 low,
// the active-low output enable of the JTAG buffer, and the target reset
// drivers switched off (a reset held asserted keeps the chip from answering).
// LEDs gate nothing.
// Bus Blaster, JTAGkey: ACBUS0/1 (nTRST/nSRST data) low, ACBUS2/3 (their drivers' enables) high.
constexpr BoardGate kJtagkeyGate{0x10, 0x00, 0x0F, 0x0C};
// Turtelizer 2: ADBUS5/6 (the nTRST/nSRST drivers) low as well; ACBUS2/3 are LEDs.
constexpr BoardGate kTurtelizerGate{0x70, 0x00, 0x00, 0x00};
// ARM-USB-OCD: ACBUS0/1 low, ACBUS2 high; ACBUS3 is the LED.
constexpr BoardGate kOlimexOcdGate{0x10, 0x00, 0x07, 0x04};
// ARM-USB-TINY: ACBUS1 (nSRST data) low, ACBUS3 (its driver's enable) high.
constexpr BoardGate kOlimexTinyGate{0x10, 0x00, 0x0A, 0x08};

}  // namespace

uint32_t AdapterModel::ChipType() const
{
    return mpsse::ChipTypeFromBcd(nBcdDevice);
}

int AdapterModel::Interfaces() const
{
    return mpsse::ChannelCount(ChipType());
}

int AdapterModel::RxBufferBytes() const
{
    return mpsse::RxBufferBytes(ChipType());
}

namespace {
// A model on the adapter table's row pKey; the speed is its chip generation's.
AdapterModel Model(const char* pName, const char* pKey, uint16_t nBcdDevice, const char* pManufacturer,
                   const char* pProduct, int nWiredChannel, BoardGate gate)
{
    const mpsse::AdapterRow* pRow = mpsse::FindAdapterRow(pKey);
    const uint16_t nVendor = pRow ? uint16_t(pRow->id.nVendor) : 0;
    const uint16_t nProduct = pRow ? uint16_t(pRow->id.nProduct) : 0;
    return {pName,    nVendor,  nProduct, nBcdDevice, pManufacturer, pProduct,
            mpsse::GenerationFromBcd(nBcdDevice).bHighSpeed, nWiredChannel, gate};
}
}  // namespace

const std::vector<AdapterModel>& AdapterModels()
{
    // Product strings: FTDI's defaults for the plain chips; the boards' own
    // EEPROM strings as OpenOCD's interface files match them (device_desc).
    // The plain FT2232H carries the chip on channel B, where the FT2232 type
    // (selector 2) opens it; every other adapter on channel A.
    static const std::vector<AdapterModel> models = {
        Model("FT2232H", "FT2232", 0x0700, "FTDI", "Dual RS232-HS", 2, {}),
        Model("FT2232D", "FT2232", 0x0500, "FTDI", "Dual RS232", 1, {}),
        Model("FT232H", "FT232H", 0x0900, "FTDI", "Single RS232-HS", 1, {}),
        Model("FT4232H", "FT4232", 0x0800, "FTDI", "Quad RS232-HS", 1, {}),
        Model("BusBlaster", "BusBlasterA", 0x0700, "Dangerous Prototypes", "Bus Blaster v2", 1, kJtagkeyGate),
        Model("Turtelizer", "Turtelizer", 0x0500, "egnite", "Turtelizer JTAG/RS232 Adapter", 1, kTurtelizerGate),
        Model("JTAGkey", "JTAGkey", 0x0500, "Amontec", "Amontec JTAGkey", 1, kJtagkeyGate),
        Model("TIAO", "TIAO", 0x0700, "TIAO", "TIAO USB Multi-Protocol Adapter", 1, {}),
        Model("OlimexOCD", "OlimexOCD", 0x0500, "Olimex", "Olimex OpenOCD JTAG", 1, kOlimexOcdGate),
        Model("OlimexTiny", "OlimexTiny", 0x0500, "Olimex", "Olimex OpenOCD JTAG TINY", 1, kOlimexTinyGate),
    };
    return models;
}

const AdapterModel* FindAdapterModel(const QString& strName)
{
    for (const AdapterModel& model : AdapterModels())
        if (strName.trimmed().compare(model.pName, Qt::CaseInsensitive) == 0)
            return &model;
    return nullptr;
}

const AdapterModel& DefaultAdapterModel()
{
    return AdapterModels().front();
}

bool EngineKnowsOpcode(uint32_t nChipType, uint8_t nOpcode)
{
    if (nOpcode < 0x80) {
        // Data shifting (bit 4 out, bit 5 in, bit 6 clear) and TMS commands:
        // every generation.
        const bool bShift = (nOpcode & 0x40) == 0 && (nOpcode & 0x30) != 0;
        const bool bTms = (nOpcode & 0xDA) == 0x4A;  // 0x4A 0x4B 0x4E 0x4F 0x6A 0x6B 0x6E 0x6F
        return bShift || bTms;
    }
    if (nOpcode <= 0x89)
        return true;  // pins, loopback, divisor, send immediate, wait on I/O
    if (nChipType == mpsse::kChipFt2232D)
        return false;
    switch (nOpcode) {
    case 0x8A: case 0x8B: case 0x8C: case 0x8D: case 0x8E: case 0x8F:
    case 0x94: case 0x95: case 0x96: case 0x97: case 0x9C: case 0x9D:
        return true;
    case 0x9E:
        return nChipType == mpsse::kChipFt232H;
    default:
        return false;
    }
}

}  // namespace sim
