#include "runlogfile.h"

#include <QCoreApplication>
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
    // The stamp of the first line goes before every further line as well.
    const int nStampEnd = strStampedLine.startsWith('[') ? strStampedLine.indexOf("]: ") : -1;
    const int nPrefix = nStampEnd > 0 ? nStampEnd + 3 : 0;
    return Append(strStampedLine.left(nPrefix), strStampedLine.mid(nPrefix));
}

bool RunLogFile::Append(const QString& strPrefix, const QString& strText)
{
    if (!m_bEnabled)
        return true;
    QByteArray lines;
    for (const QString& strPart : strText.split('\n'))
        lines += (strPrefix + strPart).toUtf8() + '\n';
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
            qWarning("%s", qPrintable(fd >= 0 ? QCoreApplication::translate("RunLogFile", "运行日志文件 %1 无法写入: 它不是普通文件")
                                                    .arg(strPath)
                                              : QCoreApplication::translate("RunLogFile", "运行日志文件 %1 无法写入")
                                                    .arg(strPath)));
        m_bWarned = true;
        return false;
    }
    const bool bWritten = ::write(fd, lines.constData(), size_t(lines.size())) == lines.size();
    ::close(fd);
    return bWritten;
}
