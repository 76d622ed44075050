// One open session of one simulated adapter: its files loaded, locked, and
// saved back when the session ends.
#pragma once

#include "benchconfig.h"
#include "benchstats.h"
#include "spinorflash.h"
#include "xqchip.h"

#include <QLockFile>
#include <QString>

#include <memory>

namespace sim {

class BenchSession {
public:
    // Null with a message when the directory cannot be used.
    static std::unique_ptr<BenchSession> Open(const QString& strDir, std::shared_ptr<BenchStats> pStats,
                                              QString& strError);
    ~BenchSession();

    SpiNorFlash& Flash() { return *m_pFlash; }
    XqChip& Chip() { return *m_pChip; }
    // What the adapter's SPI pins reach: the XQ chip's slave port, or the
    // flash itself on a bare-flash bench.
    SpiSlave& Wire();
    const BenchConfig& Config() const { return m_config; }
    BenchStats& Stats() { return *m_pStats; }
    // Writes flash.bin, security.bin and the status registers.
    bool Save(QString& strError);
    // Ends the session: saves, then releases the lock. False with a message
    // naming the file and the reason when the chip could not be saved.
    bool Close(QString& strError);

private:
    BenchSession(const QString& strDir, std::shared_ptr<BenchStats> pStats);

    QString m_strDir;
    std::shared_ptr<BenchStats> m_pStats;
    std::unique_ptr<QLockFile> m_pLock;
    BenchConfig m_config;
    std::unique_ptr<SpiNorFlash> m_pFlash;
    std::unique_ptr<XqChip> m_pChip;
    bool m_bLoaded = false;
    bool m_bClosed = false;
};

// Takes the bench lock; a lock whose holder is gone (also an empty or
// unparsable one) is taken over. False with a message otherwise.
bool TakeBenchLock(QLockFile& lock, const QString& strDir, QString& strError);

// Reads a file that must hold exactly nSize bytes; creates it erased (0xFF) when absent.
bool LoadExactFile(const QString& strPath, std::vector<uint8_t>& data, QString& strError);
// Replaces the file atomically: a crash mid-save leaves the old file whole.
bool SaveFileAtomically(const QString& strPath, const std::vector<uint8_t>& data, QString& strError);
// A bench's error as the adapter layer and the warnings tell it: "模拟测试台: " and the reason.
QString BenchErrorText(const QString& strError);

}  // namespace sim
