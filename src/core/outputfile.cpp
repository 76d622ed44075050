#include "outputfile.h"

#include "results.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace xq {

namespace {

QString Translate(const char* pText)
{
    return QCoreApplication::translate("OutputFile", pText);
}

// Whether the existing path is a FIFO or a character device.
bool WrittenInPlace(const struct stat& st)
{
    return S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode);
}

bool WriteInPlace(const QString& strPath, const QByteArray& data, QString& strError)
{
    // No O_CREAT, no O_TRUNC: the pipe or device itself takes the bytes.
    const int fd = ::open(QFile::encodeName(strPath).constData(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        strError = QString("%1: %2").arg(strPath, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    qint64 nDone = 0;
    while (nDone < data.size()) {
        const ssize_t n = ::write(fd, data.constData() + nDone, size_t(data.size() - nDone));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            strError = QString("%1: %2").arg(strPath, n < 0 ? QString::fromLocal8Bit(std::strerror(errno))
                                                            : QCoreApplication::translate("OutputFile", "未写入任何内容"));
            ::close(fd);
            return false;
        }
        nDone += n;
    }
    if (::close(fd) != 0) {
        strError = QString("%1: %2").arg(strPath, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    return true;
}

}  // namespace

QString OutputRefusal(const QString& strPath)
{
    struct stat st {};
    if (::stat(QFile::encodeName(strPath).constData(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            return Translate("同名文件夹已存在");
        if (!S_ISREG(st.st_mode) && !WrittenInPlace(st))
            return Translate("不是普通文件、管道或字符设备");
        if (::access(QFile::encodeName(strPath).constData(), W_OK) != 0)
            return Translate("没有写入权限");
        if (WrittenInPlace(st))
            return QString();
    }
    // A regular file is replaced by a new one beside it: its directory must take it.
    const QFileInfo dir(QFileInfo(strPath).absolutePath());
    if (!dir.isDir())
        return Translate("文件夹不存在");
    if (!dir.isWritable())
        return Translate("没有写入权限");
    return QString();
}

QString OutputRefusalLine(const QString& strPath, const QString& strReason)
{
    return QCoreApplication::translate("OutputFile", "无法保存文件:%1, 原因: %2").arg(strPath, strReason);
}

QString ReadOutputRefusalText(const QString& strPath, const QString& strReason)
{
    return OutputRefusalLine(strPath, strReason) + '\n' + ResultText(kErrFileAccess);
}

bool SaveOutput(const QString& strPath, const QByteArray& data, QString& strError)
{
    const QString strRefusal = OutputRefusal(strPath);
    if (!strRefusal.isEmpty()) {
        strError = OutputRefusalLine(strPath, strRefusal);
        return false;
    }
    struct stat st {};
    if (::stat(QFile::encodeName(strPath).constData(), &st) == 0 && WrittenInPlace(st))
        return WriteInPlace(strPath, data, strError);
    QSaveFile file(strPath);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit()) {
        strError = QString("%1: %2").arg(strPath, file.errorString());
        return false;
    }
    return true;
}

}  // namespace xq
