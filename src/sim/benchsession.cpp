#include "benchsession.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace sim {

bool LoadExactFile(const QString& strPath, std::vector<uint8_t>& data, QString& strError)
{
    QFile file(strPath);
    if (!file.exists())
        return SaveFileAtomically(strPath, data, strError);  // new bench: the erased contents
    if (file.size() != qint64(data.size())) {
        strError = QString("%1 holds %2 bytes, the simulated part needs exactly %3")
                       .arg(strPath)
                       .arg(file.size())
                       .arg(data.size());
        return false;
    }
    if (!file.open(QIODevice::ReadOnly) ||
        file.read(reinterpret_cast<char*>(data.data()), qint64(data.size())) != qint64(data.size())) {
        strError = QString("%1: %2").arg(strPath, file.errorString());
        return false;
    }
    return true;
}

bool SaveFileAtomically(const QString& strPath, const std::vector<uint8_t>& data, QString& strError)
{
    QSaveFile file(strPath);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(reinterpret_cast<const char*>(data.data()), qint64(data.size())) != qint64(data.size()) ||
        !file.commit()) {
        strError = QString("%1: %2").arg(strPath, file.errorString());
        return false;
    }
    return true;
}

BenchSession::BenchSession(const QString& strDir, std::shared_ptr<BenchStats> pStats)
    : m_strDir(strDir), m_pStats(std::move(pStats))
{
}

std::unique_ptr<BenchSession> BenchSession::Open(const QString& strDir, std::shared_ptr<BenchStats> pStats,
                                                 QString& strError)
{
    if (!QDir().mkpath(strDir)) {
        strError = QString("%1: cannot create the bench directory").arg(strDir);
        return nullptr;
    }
    std::unique_ptr<BenchSession> p(new BenchSession(strDir, std::move(pStats)));
    p->m_pLock = std::make_unique<QLockFile>(strDir + "/bench.lock");
    // No age limit: a lock is stale only when the process that took it is gone,
    // so a crashed program never blocks the bench, and a long run keeps it.
    p->m_pLock->setStaleLockTime(0);
    if (!p->m_pLock->tryLock(0)) {
        strError = QString("%1: the bench is in use by another program").arg(strDir);
        return nullptr;
    }

    const QString strIni = strDir + "/bench.ini";
    if (!QFileInfo::exists(strIni) && !SaveBenchConfig(strIni, p->m_config)) {
        strError = QString("%1: cannot be written").arg(strIni);
        return nullptr;
    }
    if (!LoadBenchConfig(strIni, p->m_config, strError))
        return nullptr;

    BenchStats* pRawStats = p->m_pStats.get();
    p->m_pFlash = std::make_unique<SpiNorFlash>(p->m_config.flash, [pRawStats] { return pRawStats->nEngineNs / 1000; });
    if (!LoadExactFile(strDir + "/flash.bin", p->m_pFlash->Array(), strError) ||
        !LoadExactFile(strDir + "/security.bin", p->m_pFlash->Security(), strError))
        return nullptr;
    p->m_pFlash->SetStatus(p->m_config.nStatus1, p->m_config.nStatus2);
    FlashFaults faults;
    faults.bStuckBusy = p->m_config.bStuckBusy;
    faults.weakSectors = p->m_config.weakSectors;
    faults.deadSectors = p->m_config.deadSectors;
    p->m_pFlash->SetFaults(faults);
    p->m_pFlash->SetTiming(p->m_config.timing);

    p->m_pChip = std::make_unique<XqChip>(p->m_config.model, p->m_pFlash.get());
    p->m_pChip->SetModeStuck(p->m_config.bModeStuck);
    p->m_pChip->SetFlashPresent(!p->m_config.bNoFlash);
    p->m_bLoaded = true;
    return p;
}

SpiSlave& BenchSession::Wire()
{
    if (m_config.bBareFlash)
        return *m_pFlash;
    return *m_pChip;
}

bool BenchSession::Save(QString& strError)
{
    if (!SaveFileAtomically(m_strDir + "/flash.bin", m_pFlash->Array(), strError) ||
        !SaveFileAtomically(m_strDir + "/security.bin", m_pFlash->Security(), strError))
        return false;
    if (!SaveBenchStatus(m_strDir + "/bench.ini", m_pFlash->Status1(), m_pFlash->Status2())) {
        strError = QString("%1/bench.ini: cannot be written").arg(m_strDir);
        return false;
    }
    return true;
}

BenchSession::~BenchSession()
{
    QString strError;
    // A session that did not load completely must never overwrite the files.
    if (m_bLoaded && !Save(strError))
        qWarning("simulated bench: %s", qPrintable(strError));
}

}  // namespace sim
