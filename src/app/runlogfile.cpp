#include "runlogfile.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>

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
    QFile file(strDir + "/" + QDate::currentDate().toString("yyyy-MM-dd") + ".log");
    if (!QDir().mkpath(strDir) || !file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text)) {
        if (!m_bWarned)
            qWarning("run log file %s cannot be written", qPrintable(file.fileName()));
        m_bWarned = true;
        return false;
    }
    file.write(strStampedLine.toUtf8() + '\n');
    return true;
}
