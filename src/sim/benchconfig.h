// bench.ini: what chip and flash a simulated adapter carries, its USB speed,
// its timing and its faults. Every key is optional; missing ones take the
// defaults below, and a new bench directory gets a file with all of them.
#pragma once

#include "adaptermodel.h"
#include "spinorflash.h"
#include "xqchip.h"

#include <QString>

#include <set>

namespace sim {

struct BenchConfig {
    const AdapterModel* pAdapter = &DefaultAdapterModel();  // [adapter] model
    QString strSerial;  // [adapter] serial: the USB serial number; empty: DefaultAdapterSerial of its index
    ChipModel model = ChipModel::XQ6230;
    // "[chip] model=none": the flash sits directly on the adapter's SPI pins
    // (a flash chip clipped to the adapter), with no XQ slave port in between.
    bool bBareFlash = false;
    FlashIdentity flash;
    uint8_t nStatus1 = 0;
    uint8_t nStatus2 = 0;
    bool bUsbHighSpeed = true;  // [usb] speed, by default the adapter model's
    bool bRealtime = false;
    // [timing] strict_order: the programmer sends its page programs one by
    // one, each after the poll of the one before (no batches).
    bool bStrictOrder = false;
    FlashTiming timing;
    int nUnplugAfterTransfers = 0;  // 0: never
    int nPortResetAfterPrograms = 0;  // the port drops to mode 0 after the N-th page program, once (0: never)
    bool bStuckBusy = false;
    bool bWpLow = false;
    bool bNoFlash = false;
    bool bModeStuck = false;
    std::set<uint32_t> weakSectors;
    std::set<uint32_t> deadSectors;
    std::set<OpcodeAt> failOnce;
    std::set<OpcodeAt> busyOnce;
    std::set<OpcodeAt> weakOnce;
    uint16_t nStatusStuckBits = 0;
    std::set<uint32_t> stuckBytes;
    int nAdapters = 1;  // [bench] adapters, read from the top directory only
};

// The serial number of adapter nAdapter (1, 2, ...) when bench.ini gives none: XQ000001.
QString DefaultAdapterSerial(int nAdapter);
// The serial number adapter nAdapter reports under config.
inline QString AdapterSerial(const BenchConfig& config, int nAdapter)
{
    return config.strSerial.isEmpty() ? DefaultAdapterSerial(nAdapter) : config.strSerial;
}

// Reads the file; false with a message when a value cannot be understood.
bool LoadBenchConfig(const QString& strPath, BenchConfig& config, QString& strError);
// Writes every key (used for a new bench directory).
bool SaveBenchConfig(const QString& strPath, const BenchConfig& config);
// Updates the status register keys after a session, leaving the rest as the user wrote it.
bool SaveBenchStatus(const QString& strPath, uint8_t nStatus1, uint8_t nStatus2);

}  // namespace sim
