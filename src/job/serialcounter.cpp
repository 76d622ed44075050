#include "serialcounter.h"

#include <imagerequest.h>

#include <QCoreApplication>
#include <QFile>
#include <QLockFile>
#include <QSaveFile>

namespace {
constexpr uint64_t kLastSerial = ImageRules::kLastSerial;
constexpr int kLockWaitMs = 10000;  // another process holds the lock only while it writes
}  // namespace

QString SerialCounter::NoneLeft() const
{
    // The same words with and without a counter file.
    return m_strFile.isEmpty() ? QCoreApplication::translate("SerialCounter", "序列号已用完")
                               : QCoreApplication::translate("SerialCounter", "序列号计数文件 %1: 序列号已用完").arg(m_strFile);
}

bool SerialCounter::Init(const QString& strFile, uint32_t nFirst, QString& strError, int nNeeded)
{
    m_strFile = strFile;
    m_nNext = nFirst;
    if (!strFile.isEmpty()) {
        QLockFile fileLock(m_strFile + ".lock");
        fileLock.setStaleLockTime(0);  // stale only when its holder is gone
        if (!fileLock.tryLock(kLockWaitMs)) {
            strError = fileLock.error() == QLockFile::LockFailedError
                           ? QCoreApplication::translate("SerialCounter", "序列号计数文件 %1: 无法加锁").arg(m_strFile)
                           : QCoreApplication::translate("SerialCounter", "序列号计数文件 %1: 无法创建锁文件 %1.lock").arg(m_strFile);
            return false;
        }
        if (QFile::exists(strFile) && !ReadFile(m_nNext, strError))
            return false;
        // Written back as it is (created when missing): a file that cannot be
        // replaced is found now, not after the first chip was programmed.
        if (!WriteFile(m_nNext, strError))
            return false;
    }
    if (m_nNext + uint64_t(qMax(nNeeded, 1)) - 1 > kLastSerial) {
        strError = NoneLeft();
        return false;
    }
    return true;
}

uint64_t SerialCounter::Peek(const QString& strFile, uint32_t nFirst)
{
    SerialCounter counter;
    counter.m_strFile = strFile;
    uint64_t nValue = nFirst;
    QString strError;
    if (strFile.isEmpty() || !QFile::exists(strFile) || !counter.ReadFile(nValue, strError))
        return nFirst;
    return nValue;
}

bool SerialCounter::Check(const QString& strFile, uint32_t nFirst, QString& strError, int nNeeded)
{
    SerialCounter counter;
    counter.m_strFile = strFile;
    counter.m_nNext = nFirst;
    if (QFile::exists(strFile) && !counter.ReadFile(counter.m_nNext, strError))
        return false;
    if (counter.m_nNext + uint64_t(qMax(nNeeded, 1)) - 1 > kLastSerial) {
        strError = counter.NoneLeft();
        return false;
    }
    return true;
}

bool SerialCounter::ReadFile(uint64_t& nValue, QString& strError) const
{
    QFile file(m_strFile);
    if (!file.open(QIODevice::ReadOnly)) {
        strError = QCoreApplication::translate("SerialCounter", "序列号计数文件 %1: %2").arg(m_strFile, file.errorString());
        return false;
    }
    bool bOk = false;
    const QByteArray text = file.read(64).trimmed();
    nValue = text.toULongLong(&bOk, 10);
    // One past the last number: every number was taken.
    if (!bOk || nValue > kLastSerial + 1) {
        strError = QCoreApplication::translate("SerialCounter", "序列号计数文件 %1 的内容须是不大于 %2 的十进制数").arg(m_strFile).arg(kLastSerial + 1);
        return false;
    }
    return true;
}

bool SerialCounter::WriteFile(uint64_t nValue, QString& strError) const
{
    QSaveFile file(m_strFile);
    if (!file.open(QIODevice::WriteOnly) || file.write(QByteArray::number(qulonglong(nValue)) + '\n') < 0 ||
        !file.commit()) {
        strError = QCoreApplication::translate("SerialCounter", "序列号计数文件 %1: %2").arg(m_strFile, file.errorString());
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
            strError = QCoreApplication::translate("SerialCounter", "序列号计数文件 %1: 无法加锁").arg(m_strFile);
            return false;
        }
        // Another process may have taken numbers since: the file decides.
        if (QFile::exists(m_strFile) && !ReadFile(m_nNext, strError))
            return false;
        if (m_nNext > kLastSerial) {
            strError = NoneLeft();
            return false;
        }
        if (!WriteFile(m_nNext + 1, strError))
            return false;
    } else if (m_nNext > kLastSerial) {
        strError = NoneLeft();
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
