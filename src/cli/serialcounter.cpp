#include "serialcounter.h"

#include <QFile>
#include <QLockFile>
#include <QSaveFile>

namespace {
constexpr uint64_t kLastSerial = 0xFFFFFFFFu;
constexpr int kLockWaitMs = 10000;  // another process holds the lock only while it writes
}  // namespace

bool SerialCounter::Init(const QString& strFile, uint32_t nFirst, QString& strError)
{
    m_strFile = strFile;
    m_nNext = nFirst;
    if (strFile.isEmpty() || !QFile::exists(strFile))
        return true;
    return ReadFile(m_nNext, strError);
}

bool SerialCounter::ReadFile(uint64_t& nValue, QString& strError) const
{
    QFile file(m_strFile);
    if (!file.open(QIODevice::ReadOnly)) {
        strError = QString("serial counter %1: %2").arg(m_strFile, file.errorString());
        return false;
    }
    bool bOk = false;
    const QByteArray text = file.read(64).trimmed();
    nValue = text.toULongLong(&bOk, 10);
    if (!bOk || nValue > kLastSerial) {
        strError = QString("serial counter %1 does not hold a decimal number up to %2").arg(m_strFile).arg(kLastSerial);
        return false;
    }
    return true;
}

bool SerialCounter::Take(uint32_t& nSerial, QString& strError)
{
    QMutexLocker lock(&m_mutex);
    if (!m_strFile.isEmpty()) {
        QLockFile fileLock(m_strFile + ".lock");
        fileLock.setStaleLockTime(0);  // stale only when its holder is gone
        if (!fileLock.tryLock(kLockWaitMs)) {
            strError = QString("serial counter %1: cannot take its lock").arg(m_strFile);
            return false;
        }
        // Another process may have taken numbers since: the file decides.
        if (QFile::exists(m_strFile) && !ReadFile(m_nNext, strError))
            return false;
        if (m_nNext > kLastSerial) {
            strError = QString("serial counter %1: no numbers left").arg(m_strFile);
            return false;
        }
        QSaveFile file(m_strFile);
        if (!file.open(QIODevice::WriteOnly) || file.write(QByteArray::number(qulonglong(m_nNext + 1)) + '\n') < 0 ||
            !file.commit()) {
            strError = QString("serial counter %1: %2").arg(m_strFile, file.errorString());
            return false;
        }
    } else if (m_nNext > kLastSerial) {
        strError = "no serial numbers left";
        return false;
    }
    nSerial = uint32_t(m_nNext++);
    return true;
}

uint64_t SerialCounter::Next()
{
    QMutexLocker lock(&m_mutex);
    uint64_t nValue = m_nNext;
    QString strError;
    if (!m_strFile.isEmpty() && QFile::exists(m_strFile))
        ReadFile(nValue, strError);
    return nValue;
}
