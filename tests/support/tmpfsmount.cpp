#include "tmpfsmount.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <sys/mount.h>

TmpfsMount::TmpfsMount(int nKiB, bool bReadOnly)
{
    const QByteArray strPath = QFile::encodeName(m_dir.path());
    const QByteArray strOptions = QString("size=%1k").arg(nKiB).toLatin1();
    if (::mount("tmpfs", strPath.constData(), "tmpfs", bReadOnly ? MS_RDONLY : 0, strOptions.constData()) == 0) {
        m_bMounted = true;
        return;
    }
    m_strWhy = QString("cannot mount a tmpfs on %1 (%2): needs root or CAP_SYS_ADMIN")
                   .arg(m_dir.path(), QString::fromLocal8Bit(std::strerror(errno)));
}

TmpfsMount::~TmpfsMount()
{
    if (m_bMounted)
        ::umount2(QFile::encodeName(m_dir.path()).constData(), MNT_DETACH);
}
