#include "runlogfile.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

QString RunLogFile::Directory()
{
    QString strState = qEnvironmentVariable("XDG_STATE_HOME");
    if (strState.isEmpty() || !QDir::isAbsolutePath(strState))
        strState = QDir::homePath() + "/.local/state";
    return strState + "/xqprogrammer/logs";
}

bool RunLogFile::EnabledBySettings()
{
    QSettings settings("XqProgrammer.ini", QSettings::IniFormat);
    return settings.value("log_file", true).toBool();
}

bool RunLogFile::Append(const QString& strStampedLine)
{
    if (!m_bEnabled)
        return true;
    QMutexLocker lock(&m_mutex);
    const QString strDir = Directory();
    const QString strPath = strDir + "/" + QDate::currentDate().toString("yyyy-MM-dd") + ".log";
    // Opened without waiting (a FIFO without a reader would block the
    // program) and used only when it is a regular file.
    int fd = -1;
    if (QDir().mkpath(strDir))
        fd = ::open(QFile::encodeName(strPath).constData(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0644);
    struct stat info = {};
    const bool bRegular = fd >= 0 && ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    if (!bRegular) {
        if (fd >= 0)
            ::close(fd);
        if (!m_bWarned)
            qWarning("run log file %s cannot be written%s", qPrintable(strPath),
                     fd >= 0 ? ": it is not a regular file" : "");
        m_bWarned = true;
        return false;
    }
    // Every line of a message of several lines carries the stamp.
    const int nStampEnd = strStampedLine.startsWith('[') ? strStampedLine.indexOf("]: ") : -1;
    const QString strStamp = nStampEnd > 0 ? strStampedLine.left(nStampEnd + 3) : QString();
    const QStringList parts = strStampedLine.split('\n');
    QByteArray line = parts.first().toUtf8() + '\n';
    for (int i = 1; i < parts.size(); ++i)
        line += (strStamp + parts[i]).toUtf8() + '\n';
    const bool bWritten = ::write(fd, line.constData(), size_t(line.size())) == line.size();
    ::close(fd);
    return bWritten;
}
