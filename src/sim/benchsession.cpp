#include "benchsession.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace sim {

namespace {

// Whether nobody holds the lock file any more. Its holder keeps an flock()
// on it for as long as it lives (QLockFile does), so a lock file that can be
// flock()ed is left over; one that cannot be opened is judged held.
bool LockHolderGone(const QString& strPath)
{
    const int fd = ::open(QFile::encodeName(strPath).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool bGone = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    ::close(fd);
    return bGone;
}

}  // namespace

bool TakeBenchLock(QLockFile& lock, const QString& strDir, QString& strError)
{
    // No age limit: a lock is stale only when the process that took it is gone,
    // so a crashed program never blocks the bench, and a long run keeps it.
    lock.setStaleLockTime(0);
    if (lock.tryLock(0))
        return true;
    if (lock.error() == QLockFile::PermissionError) {
        strError = QCoreApplication::translate("SimBench", "%1: 测试台目录只读: 无法创建 bench.lock，模拟芯片也无法保存")
                       .arg(strDir);
        return false;
    }
    const QString strPath = strDir + "/bench.lock";
    qint64 nPid = 0;
    QString strHost, strApp;
    // QLockFile itself takes over a lock naming a process that is gone; an
    // empty or unparsable one (a holder killed between creating and writing
    // it, a damaged disk) it keeps forever.
    if (lock.error() == QLockFile::LockFailedError && !lock.getLockInfo(&nPid, &strHost, &strApp)) {
        QLockFile removal(strPath + ".rmlock");  // two programs must not remove each other's new lock
        if (removal.tryLock(0) && LockHolderGone(strPath) && QFile::remove(strPath) && lock.tryLock(0))
            return true;
    }
    strError = QCoreApplication::translate("SimBench", "%1: 测试台正被另一个程序使用").arg(strDir);
    return false;
}

bool LoadExactFile(const QString& strPath, std::vector<uint8_t>& data, QString& strError)
{
    QFile file(strPath);
    if (!file.exists())
        return SaveFileAtomically(strPath, data, strError);  // new bench: the erased contents
    if (file.size() != qint64(data.size())) {
        strError = QCoreApplication::translate("SimBench", "%1 有 %2 字节，模拟芯片需要正好 %3 字节")
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
    const auto* pBytes = reinterpret_cast<const char*>(data.data());
    const auto nSize = qint64(data.size());
    qint64 nDone = 0;
    // A full disk first shows as a short write without a reason; the next
    // write then fails with it ("No space left on device").
    if (file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        for (qint64 n = 0; nDone < nSize; nDone += n) {
            n = file.write(pBytes + nDone, nSize - nDone);
            if (n <= 0)
                break;
        }
    }
    if (nDone != nSize || !file.commit()) {
        strError = QCoreApplication::translate("SimBench", "无法保存 %1: %2").arg(strPath, file.errorString());
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
        strError = QCoreApplication::translate("SimBench", "%1: 无法创建测试台目录").arg(strDir);
        return nullptr;
    }
    std::unique_ptr<BenchSession> p(new BenchSession(strDir, std::move(pStats)));
    p->m_pLock = std::make_unique<QLockFile>(strDir + "/bench.lock");
    if (!TakeBenchLock(*p->m_pLock, strDir, strError))
        return nullptr;

    // The chip is saved when the session ends: a file that cannot be
    // replaced then is refused now, before any operation runs.
    for (const char* pName : {"bench.ini", "flash.bin", "security.bin"}) {
        const QFileInfo file(strDir + "/" + pName);
        if (file.exists() && !file.isWritable()) {
            strError = QCoreApplication::translate("SimBench", "无法保存 %1: 文件只读").arg(file.filePath());
            return nullptr;
        }
    }

    const QString strIni = strDir + "/bench.ini";
    if (!QFileInfo::exists(strIni) && !SaveBenchConfig(strIni, p->m_config)) {
        strError = QCoreApplication::translate("SimBench", "%1: 无法写入").arg(strIni);
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
    faults.bWpLow = p->m_config.bWpLow;
    faults.weakSectors = p->m_config.weakSectors;
    faults.deadSectors = p->m_config.deadSectors;
    faults.failOnce = p->m_config.failOnce;
    faults.busyOnce = p->m_config.busyOnce;
    faults.weakOnce = p->m_config.weakOnce;
    faults.nStatusStuckBits = p->m_config.nStatusStuckBits;
    faults.stuckBytes = p->m_config.stuckBytes;
    p->m_pFlash->SetFaults(faults);
    p->m_pFlash->SetTiming(p->m_config.timing);

    p->m_pChip = std::make_unique<XqChip>(p->m_config.model, p->m_pFlash.get());
    p->m_pChip->SetModeStuck(p->m_config.bModeStuck);
    p->m_pChip->SetPortResetAfterPrograms(p->m_config.nPortResetAfterPrograms);
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
        strError = QCoreApplication::translate("SimBench", "%1/bench.ini: 无法写入").arg(m_strDir);
        return false;
    }
    return true;
}

bool BenchSession::Close(QString& strError)
{
    if (m_bClosed)
        return true;
    m_bClosed = true;
    // A session that did not load completely must never overwrite the files.
    const bool bSaved = !m_bLoaded || Save(strError);
    m_pLock->unlock();
    return bSaved;
}

BenchSession::~BenchSession()
{
    QString strError;
    if (!Close(strError))
        qWarning("%s", qPrintable(BenchErrorText(strError)));
}

QString BenchErrorText(const QString& strError)
{
    return QCoreApplication::translate("SimBench", "模拟测试台: %1").arg(strError);
}

}  // namespace sim
