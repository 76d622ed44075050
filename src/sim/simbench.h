// The simulated bench: one or more simulated FTDI adapters, each with an XQ
// chip and its SPI NOR flash, as an adapter library backend. It is handed to
// whatever opens links (SpiFlashCtrl, SpiConfig, MainWindow, xqprog's jobs);
// nothing installs it for the whole process, so benches in two directories
// can be used side by side.
//
// Bench directory: flash.bin (the raw flash array, exactly the flash size),
// security.bin (512 bytes) and bench.ini. With "[bench] adapters=N" (N > 1)
// adapter K keeps those three files in DIR/adapter-K/. State is loaded when
// an adapter is opened and saved when it is closed; a lock file keeps a
// second process (or a second open) away from a bench that is in use.
#pragma once

#include "adaptermodel.h"
#include "benchstats.h"

#include <transport.h>

#include <QString>

#include <map>
#include <memory>
#include <mutex>

namespace sim {

class SimBackend : public mpsse::Backend {
public:
    explicit SimBackend(const QString& strDir);

    int Enumerate(const mpsse::DeviceId* pTable, std::vector<mpsse::AdapterEntry>& entries) override;
    std::unique_ptr<mpsse::Transport> Open(uint32_t nLocation, uint32_t nSubLocation, int nSelector,
                                           mpsse::AdapterError& error) override;

    const QString& Dir() const { return m_strDir; }
    int AdapterCount() const;
    // The directory holding adapter K's files (1-based).
    QString AdapterDir(int nAdapter) const;
    // Counters and virtual clock of adapter K, kept across its sessions.
    std::shared_ptr<BenchStats> Stats(int nAdapter);
    // The reason the last Open failed, for messages.
    QString LastError() const;

    // The adapter kind adapter K plays ([adapter] model of its bench.ini).
    const AdapterModel& Model(int nAdapter) const;
    // [timing] strict_order of the bench (its top directory's bench.ini).
    bool StrictOrder() const override;
    // The serial number adapter nAdapter reports ([adapter] serial, or one from its index).
    QString Serial(int nAdapter) const;

private:
    QString m_strDir;
    mutable std::mutex m_mutex;
    std::map<int, std::shared_ptr<BenchStats>> m_stats;
    QString m_strLastError;
};

// The default bench directory: $XDG_DATA_HOME/xqprogrammer/bench.
QString DefaultBenchDir();
// A bench on DIR (empty: the default directory), to pass to what opens links.
std::shared_ptr<SimBackend> MakeSimulatedBench(const QString& strDir = QString());
// The bench behind a backend, or null for real hardware (and for a test's
// scripted adapters): what the window and xqprog mark as simulated.
const SimBackend* AsSimulatedBench(const mpsse::Backend* pBackend);

}  // namespace sim
