// A throwaway PostgreSQL cluster for tests: initdb into a temporary
// directory and a server on a unix socket there only (no TCP), run as the
// unprivileged user nobody when the tests run as root. Stopped and removed
// by the destructor.
#pragma once

#include <QString>
#include <QTemporaryDir>

class PgCluster {
public:
    // bLoopback: also on 127.0.0.1 (for a benchmark over TCP).
    explicit PgCluster(bool bLoopback = false);
    ~PgCluster();
    // Empty when the cluster runs; else why not (binaries missing: Missing()).
    QString Start();
    bool Missing() const { return m_bMissing; }
    // pg_ctl stop -m immediate (a crash) and start again.
    bool Stop();
    bool Restart();
    // postgresql://xq@%2F...:PORT/postgres (127.0.0.1 with bLoopback)
    QString Url() const;

private:
    bool Run(const QStringList& args, QString* pOut = nullptr);

    QTemporaryDir m_dir;
    QString m_strBin;
    bool m_bMissing = false;
    bool m_bRunning = false;
    bool m_bLoopback = false;
    QString Options() const;
};
