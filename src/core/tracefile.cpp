#include "tracefile.h"

#include "operationreport.h"

#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>
#include <QStringList>
#include <QSysInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A CSV field: quoted when it holds a separator, a quote or a line break.
QString Field(const QString& strValue)
{
    if (!strValue.contains(QRegularExpression("[\",\r\n]")))
        return strValue;
    return '"' + QString(strValue).replace('"', "\"\"") + '"';
}

QString ErrnoText()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

}  // namespace

QByteArray TraceFile::Header()
{
    return "time,host,interface,operation,result,code,jedec,uid,serial,sha256,start,size,job,job_sha256\n";
}

QByteArray TraceFile::Row(const OperationReport& report, const QDateTime& time, const QString& strHost)
{
    const QDateTime local = time.toOffsetFromUtc(time.offsetFromUtc());
    const QStringList fields{
        local.toString(Qt::ISODateWithMs),
        strHost,
        report.strInterface,
        report.strOperation,
        report.ResultName(),
        QString::number(report.nCode),
        report.strJedec,
        report.strUid,
        report.bSerial ? QString::number(report.nSerial) : QString(),
        QString::fromLatin1(report.sha256),
        report.nStart < 0 ? QString() : AddressText(report.nStart),
        report.nSize < 0 ? QString() : QString::number(report.nSize),
        report.strJob,
        QString::fromLatin1(report.jobSha256),
    };
    QStringList quoted;
    for (const QString& strField : fields)
        quoted << Field(strField);
    return quoted.join(',').toUtf8() + '\n';
}

// The file opened for appending, or -1 with the reason.
int TraceFile::OpenForAppend(QString& strError) const
{
    const QByteArray path = QFile::encodeName(m_strPath);
    // Non-blocking, so that a FIFO put in the file's place is refused instead of waited on.
    const int fd = ::open(path.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0644);
    if (fd < 0) {
        strError = QString("%1: %2").arg(m_strPath, ErrnoText());
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        strError = QCoreApplication::translate("TraceFile", "%1: 不是普通文件").arg(m_strPath);
        ::close(fd);
        return -1;
    }
    return fd;
}

bool TraceFile::Check(QString& strError) const
{
    const int fd = OpenForAppend(strError);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

bool TraceFile::Append(const OperationReport& report, QString& strError) const
{
    const int fd = OpenForAppend(strError);
    if (fd < 0)
        return false;
    struct stat st {};
    bool bOk = true;
    // Held until close: the jobs of a gang run and other processes append to one file, and
    // only the first of them may see it empty and write the column names.
    bOk = bOk && ::flock(fd, LOCK_EX) == 0 && ::fstat(fd, &st) == 0;
    QByteArray row = Row(report, QDateTime::currentDateTime(), QSysInfo::machineHostName());
    if (bOk && st.st_size == 0)
        row.prepend(Header());
    const ssize_t nWritten = bOk ? ::write(fd, row.constData(), size_t(row.size())) : -1;
    bOk = nWritten == row.size() && ::fsync(fd) == 0;
    if (!bOk)
        strError = QString("%1: %2").arg(m_strPath, nWritten >= 0 && nWritten < row.size() ? QCoreApplication::translate("TraceFile", "磁盘已满")
                                                                                             : ErrnoText());
    if (::close(fd) != 0 && bOk) {
        strError = QString("%1: %2").arg(m_strPath, ErrnoText());
        bOk = false;
    }
    return bOk;
}
