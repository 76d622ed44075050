#include "benchconfig.h"

#include <QCoreApplication>
#include <QSettings>
#include <QStringList>

#include <algorithm>

namespace sim {

namespace {

bool ParseHexByte(const QString& strText, uint8_t& nValue)
{
    bool bOk = false;
    const uint nParsed = strText.trimmed().toUInt(&bOk, 16);
    if (!bOk || nParsed > 0xFF)
        return false;
    nValue = uint8_t(nParsed);
    return true;
}

bool ParseBool(const QVariant& value, bool bDefault, bool& bResult)
{
    if (!value.isValid()) {
        bResult = bDefault;
        return true;
    }
    const QString strText = value.toString().trimmed().toLower();
    if (strText == "true" || strText == "1" || strText == "yes") {
        bResult = true;
        return true;
    }
    if (strText == "false" || strText == "0" || strText == "no" || strText.isEmpty()) {
        bResult = false;
        return true;
    }
    return false;
}

// A list of hexadecimal addresses, separated by commas or blanks.
bool ParseSectors(const QVariant& value, std::set<uint32_t>& sectors)
{
    const QStringList parts =
        value.toStringList().join(' ').split(QRegExp("[,\\s]+"), Qt::SkipEmptyParts);
    for (const QString& strPart : parts) {
        bool bOk = false;
        const uint nAddress = strPart.toUInt(&bOk, 16);
        if (!bOk)
            return false;
        sectors.insert(nAddress & ~0xFFFu);
    }
    return true;
}

// Addresses as they are, not rounded to their sector.
bool ParseAddresses(const QVariant& value, std::set<uint32_t>& addresses)
{
    const QStringList parts =
        value.toStringList().join(' ').split(QRegExp("[,\\s]+"), Qt::SkipEmptyParts);
    for (const QString& strPart : parts) {
        bool bOk = false;
        const uint nAddress = strPart.toUInt(&bOk, 16);
        if (!bOk)
            return false;
        addresses.insert(nAddress);
    }
    return true;
}

// Opcodes in hex, each with an optional "@N" (decimal, from 1): "44, 02@100".
bool ParseOpcodes(const QVariant& value, std::set<OpcodeAt>& opcodes)
{
    const QStringList parts =
        value.toStringList().join(' ').split(QRegExp("[,\\s]+"), Qt::SkipEmptyParts);
    for (const QString& strPart : parts) {
        const QStringList halves = strPart.split('@');
        OpcodeAt at;
        if (halves.size() > 2 || !ParseHexByte(halves[0], at.nOpcode) || halves[0].trimmed().size() > 2)
            return false;
        if (halves.size() == 2) {
            bool bOk = false;
            at.nNth = halves[1].toInt(&bOk, 10);
            if (!bOk || at.nNth < 1)
                return false;
        }
        opcodes.insert(at);
    }
    return true;
}

// The [timing] keys: each sets one busy time of the flash, in the unit its name ends with.
struct TimingKey {
    const char* pKey;
    int64_t FlashTiming::*pField;
    int64_t nUsPerUnit;
};
const TimingKey kTimingKeys[] = {
    {"timing/page_program_us", &FlashTiming::nPageProgramUs, 1},
    {"timing/erase4k_ms", &FlashTiming::nSectorEraseUs, 1000},
    {"timing/erase32k_ms", &FlashTiming::nBlock32EraseUs, 1000},
    {"timing/erase64k_ms", &FlashTiming::nBlock64EraseUs, 1000},
    {"timing/chip_erase_ms", &FlashTiming::nChipEraseUs, 1000},
    {"timing/status_write_ms", &FlashTiming::nStatusWriteUs, 1000},
    {"timing/security_erase_ms", &FlashTiming::nSecurityEraseUs, 1000},
    {"timing/security_program_us", &FlashTiming::nSecurityProgramUs, 1},
};
constexpr int64_t kLongestBusyUs = 600 * int64_t(1000000);  // ten minutes: beyond any real part

QString HexByte(uint8_t n)
{
    return QString("%1").arg(n, 2, 16, QChar('0')).toUpper();
}

}  // namespace

namespace {

// Each section loader returns false with strKey naming the bad key (with
// the rule its value breaks, where the key's name does not tell).

QString KeyWithRule(const char* pKey, const QString& strRule)
{
    return QString("%1 (%2)").arg(pKey, strRule);
}

bool LoadChip(QSettings& ini, BenchConfig& config, QString& strKey)
{
    const QString strModel = ini.value("chip/model", ChipModelName(config.model)).toString().trimmed();
    config.bBareFlash = strModel.compare("none", Qt::CaseInsensitive) == 0;
    if (!config.bBareFlash && !ChipModelFromName(strModel.toStdString(), config.model)) {
        strKey = "chip/model";
        return false;
    }
    return true;
}

bool LoadFlash(QSettings& ini, BenchConfig& config, QString& strKey)
{
    auto fail = [&strKey](const QString& strBad) {
        strKey = strBad;
        return false;
    };
    const QString strJedec = ini.value("flash/jedec", "EF4015").toString().trimmed();
    bool bOk = false;
    const uint nJedec = strJedec.toUInt(&bOk, 16);
    if (!bOk || strJedec.size() != 6)
        return fail("flash/jedec");
    config.flash.nManufacturer = uint8_t(nJedec >> 16);
    config.flash.nMemoryType = uint8_t(nJedec >> 8);
    config.flash.nCapacity = uint8_t(nJedec);
    if ((config.flash.nCapacity & 31) < 12 || (config.flash.nCapacity & 31) > 24)
        return fail(KeyWithRule("flash/jedec", QCoreApplication::translate("SimBench", "容量须在 4 KiB 到 16 MiB 之间")));
    if (!ParseHexByte(ini.value("flash/device_id", "14").toString(), config.flash.nDeviceId))
        return fail("flash/device_id");
    const QVariant uid = ini.value("flash/uid");
    if (uid.isValid()) {
        const QByteArray bytes = QByteArray::fromHex(uid.toString().toLatin1());
        if (bytes.size() != 16 || uid.toString().trimmed().size() != 32)
            return fail(KeyWithRule("flash/uid", QCoreApplication::translate("SimBench", "32 个十六进制数字")));
        for (int i = 0; i < 16; ++i)
            config.flash.uid[i] = uint8_t(bytes[i]);
    }
    if (!ParseHexByte(ini.value("flash/status1", "00").toString(), config.nStatus1))
        return fail("flash/status1");
    if (!ParseHexByte(ini.value("flash/status2", "00").toString(), config.nStatus2))
        return fail("flash/status2");
    return true;
}

bool LoadTiming(QSettings& ini, BenchConfig& config, QString& strKey)
{
    auto fail = [&strKey](const QString& strBad) {
        strKey = strBad;
        return false;
    };
    const QString strSpeed =
        ini.value("usb/speed", config.pAdapter->bHighSpeed ? "high" : "full").toString().trimmed().toLower();
    if (strSpeed != "high" && strSpeed != "full")
        return fail("usb/speed");
    config.bUsbHighSpeed = strSpeed == "high";
    if (!ParseBool(ini.value("timing/realtime"), false, config.bRealtime))
        return fail("timing/realtime");
    if (!ParseBool(ini.value("timing/strict_order"), false, config.bStrictOrder))
        return fail("timing/strict_order");
    for (const TimingKey& key : kTimingKeys) {
        const QVariant value = ini.value(key.pKey);
        if (!value.isValid())
            continue;
        // Decimal figures are accepted ("0.4" ms); the flash counts whole microseconds.
        bool bOk = false;
        const double dUnits = value.toString().trimmed().toDouble(&bOk);
        const double dUs = dUnits * double(key.nUsPerUnit);
        if (!bOk || !(dUs >= 0) || dUs > double(kLongestBusyUs))
            return fail(key.pKey);
        config.timing.*key.pField = int64_t(dUs + 0.5);
    }
    return true;
}

bool LoadFaults(QSettings& ini, BenchConfig& config, QString& strKey)
{
    auto fail = [&strKey](const QString& strBad) {
        strKey = strBad;
        return false;
    };
    bool bOk = false;
    config.nUnplugAfterTransfers = ini.value("faults/unplug_after_transfers", 0).toInt(&bOk);
    if (!bOk || config.nUnplugAfterTransfers < 0)
        return fail("faults/unplug_after_transfers");
    config.nPortResetAfterPrograms = ini.value("faults/port_reset_once", 0).toInt(&bOk);
    if (!bOk || config.nPortResetAfterPrograms < 0)
        return fail("faults/port_reset_once");
    if (!ParseBool(ini.value("faults/stuck_busy"), false, config.bStuckBusy))
        return fail("faults/stuck_busy");
    if (!ParseBool(ini.value("faults/wp_low"), false, config.bWpLow))
        return fail("faults/wp_low");
    if (!ParseBool(ini.value("faults/no_flash"), false, config.bNoFlash))
        return fail("faults/no_flash");
    if (!ParseBool(ini.value("faults/mode_stuck"), false, config.bModeStuck))
        return fail("faults/mode_stuck");
    if (!ParseSectors(ini.value("faults/weak_sectors"), config.weakSectors))
        return fail("faults/weak_sectors");
    if (!ParseSectors(ini.value("faults/dead_sectors"), config.deadSectors))
        return fail("faults/dead_sectors");
    if (!ParseOpcodes(ini.value("faults/fail_once"), config.failOnce))
        return fail("faults/fail_once");
    if (!ParseOpcodes(ini.value("faults/busy_once"), config.busyOnce))
        return fail("faults/busy_once");
    if (!ParseOpcodes(ini.value("faults/weak_once"), config.weakOnce))
        return fail("faults/weak_once");
    const QString strStuck = ini.value("faults/status_stuck_bits", "0").toString().trimmed();
    const uint nStuck = strStuck.toUInt(&bOk, 16);
    if (!bOk || nStuck > 0xFFFF)
        return fail("faults/status_stuck_bits");
    config.nStatusStuckBits = uint16_t(nStuck);
    if (!ParseAddresses(ini.value("faults/stuck_bytes"), config.stuckBytes))
        return fail("faults/stuck_bytes");
    config.nAdapters = ini.value("bench/adapters", 1).toInt(&bOk);
    if (!bOk || config.nAdapters < 1 || config.nAdapters > 64)
        return fail(KeyWithRule("bench/adapters", QCoreApplication::translate("SimBench", "1 到 64")));
    return true;
}

}  // namespace

bool LoadBenchConfig(const QString& strPath, BenchConfig& config, QString& strError)
{
    QSettings ini(strPath, QSettings::IniFormat);
    if (ini.status() != QSettings::NoError) {
        strError = QCoreApplication::translate("SimBench", "%1: 无法读取").arg(strPath);
        return false;
    }

    const QString strAdapter = ini.value("adapter/model", config.pAdapter->pName).toString();
    config.pAdapter = FindAdapterModel(strAdapter);
    if (!config.pAdapter) {
        config.pAdapter = &DefaultAdapterModel();
        QStringList names;
        for (const AdapterModel& model : AdapterModels())
            names << model.pName;
        strError = QCoreApplication::translate("SimBench", "%1: adapter/model 的值无效 (可选 %2)").arg(strPath, names.join(", "));
        return false;
    }

    // A USB string descriptor holds at most 126 characters; FTDI's EEPROM far fewer.
    config.strSerial = ini.value("adapter/serial").toString().trimmed();
    const bool bSerialOk = config.strSerial.size() <= 32 &&
                           std::all_of(config.strSerial.begin(), config.strSerial.end(),
                                       [](QChar c) { return c.unicode() > 0x20 && c.unicode() < 0x7F; });
    if (!bSerialOk) {
        strError = QCoreApplication::translate("SimBench", "%1: adapter/serial 的值无效 (最多 32 个可打印的 ASCII 字符)").arg(strPath);
        return false;
    }

    QString strKey;
    const bool bOk = LoadChip(ini, config, strKey) && LoadFlash(ini, config, strKey) &&
                     LoadTiming(ini, config, strKey) && LoadFaults(ini, config, strKey);
    if (!bOk)
        strError = QCoreApplication::translate("SimBench", "%1: %2 的值无效").arg(strPath, strKey);
    return bOk;
}

QString DefaultAdapterSerial(int nAdapter)
{
    return QString("XQ%1").arg(nAdapter, 6, 10, QChar('0'));
}

bool SaveBenchConfig(const QString& strPath, const BenchConfig& config)
{
    QSettings ini(strPath, QSettings::IniFormat);
    ini.setValue("adapter/model", config.pAdapter->pName);
    ini.setValue("adapter/serial", config.strSerial);
    ini.setValue("chip/model", config.bBareFlash ? "none" : ChipModelName(config.model));
    ini.setValue("flash/jedec", HexByte(config.flash.nManufacturer) + HexByte(config.flash.nMemoryType) +
                                    HexByte(config.flash.nCapacity));
    ini.setValue("flash/device_id", HexByte(config.flash.nDeviceId));
    // A string, not a QByteArray, so that the file holds the 32 digits and not "@ByteArray(...)".
    ini.setValue("flash/uid",
                 QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(config.flash.uid), 16).toHex().toUpper()));
    ini.setValue("flash/status1", HexByte(config.nStatus1));
    ini.setValue("flash/status2", HexByte(config.nStatus2));
    ini.setValue("usb/speed", config.bUsbHighSpeed ? "high" : "full");
    ini.setValue("timing/realtime", config.bRealtime);
    ini.setValue("timing/strict_order", config.bStrictOrder);
    for (const TimingKey& key : kTimingKeys) {
        const int64_t nUs = config.timing.*key.pField;
        if (nUs % key.nUsPerUnit == 0)
            ini.setValue(key.pKey, qint64(nUs / key.nUsPerUnit));
        else
            ini.setValue(key.pKey, double(nUs) / double(key.nUsPerUnit));
    }
    ini.setValue("faults/unplug_after_transfers", config.nUnplugAfterTransfers);
    ini.setValue("faults/port_reset_once", config.nPortResetAfterPrograms);
    ini.setValue("faults/stuck_busy", config.bStuckBusy);
    ini.setValue("faults/wp_low", config.bWpLow);
    ini.setValue("faults/no_flash", config.bNoFlash);
    ini.setValue("faults/mode_stuck", config.bModeStuck);
    ini.setValue("faults/weak_sectors", "");
    ini.setValue("faults/dead_sectors", "");
    ini.setValue("faults/fail_once", "");
    ini.setValue("faults/busy_once", "");
    ini.setValue("faults/weak_once", "");
    ini.setValue("faults/status_stuck_bits", "00");
    ini.setValue("faults/stuck_bytes", "");
    ini.setValue("bench/adapters", config.nAdapters);
    ini.sync();
    return ini.status() == QSettings::NoError;
}

bool SaveBenchStatus(const QString& strPath, uint8_t nStatus1, uint8_t nStatus2)
{
    QSettings ini(strPath, QSettings::IniFormat);
    ini.setValue("flash/status1", HexByte(nStatus1));
    ini.setValue("flash/status2", HexByte(nStatus2));
    ini.sync();
    return ini.status() == QSettings::NoError;
}

}  // namespace sim
