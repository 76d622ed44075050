// A small tmpfs mounted on a temporary directory, for tests of full and
// read-only file systems. Mounting needs privileges: check Mounted() and
// skip with Why() where it is not possible.
#pragma once

#include <QString>
#include <QTemporaryDir>

class TmpfsMount {
public:
    // nKiB: the size limit; bReadOnly: mounted read-only (and empty).
    TmpfsMount(int nKiB, bool bReadOnly = false);
    ~TmpfsMount();
    TmpfsMount(const TmpfsMount&) = delete;
    TmpfsMount& operator=(const TmpfsMount&) = delete;

    bool Mounted() const { return m_bMounted; }
    QString Why() const { return m_strWhy; }
    QString Path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
    bool m_bMounted = false;
    QString m_strWhy;
};
