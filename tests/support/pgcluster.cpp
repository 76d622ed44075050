#include "pgcluster.h"

#include <QDir>
#include <QProcess>
#include <QUrl>

#include <unistd.h>

namespace {
constexpr int kPort = 5439;
}

PgCluster::PgCluster(bool bLoopback) : m_bLoopback(bLoopback)
{
    const QStringList versions = QDir("/usr/lib/postgresql").entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& strVersion : versions)
        if (QFile::exists(QString("/usr/lib/postgresql/%1/bin/pg_ctl").arg(strVersion)))
            m_strBin = QString("/usr/lib/postgresql/%1/bin").arg(strVersion);
    m_bMissing = m_strBin.isEmpty();
}

PgCluster::~PgCluster()
{
    if (m_bRunning)
        Run({m_strBin + "/pg_ctl", "-D", m_dir.filePath("data"), "-m", "immediate", "-w", "stop"});
}

bool PgCluster::Run(const QStringList& args, QString* pOut)
{
    QProcess process;
    QStringList command = args;
    // The server refuses to run as root, and must not.
    if (geteuid() == 0)
        command = QStringList{"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups", "--"} + command;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(command.first(), command.mid(1));
    const bool bOk = process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit &&
                     process.exitCode() == 0;
    if (pOut)
        *pOut = QString::fromLocal8Bit(process.readAll());
    return bOk;
}

QString PgCluster::Start()
{
    if (m_bMissing)
        return "PostgreSQL server binaries missing under /usr/lib/postgresql/*/bin (package postgresql)";
    if (!m_dir.isValid())
        return "no temporary directory";
    if (geteuid() == 0 && ::chown(m_dir.path().toLocal8Bit().constData(), 65534, 65534) != 0)
        return "cannot give the temporary directory to nobody";
    QString strOut;
    if (!Run({m_strBin + "/initdb", "-D", m_dir.filePath("data"), "-A", "trust", "-U", "xq", "--no-sync"}, &strOut))
        return "initdb failed: " + strOut;
    if (!Run({m_strBin + "/pg_ctl", "-D", m_dir.filePath("data"), "-l", m_dir.filePath("log"), "-w", "-o",
              Options(), "start"},
             &strOut))
        return "pg_ctl start failed: " + strOut;
    m_bRunning = true;
    return QString();
}

bool PgCluster::Stop()
{
    m_bRunning = !Run({m_strBin + "/pg_ctl", "-D", m_dir.filePath("data"), "-m", "immediate", "-w", "stop"});
    return !m_bRunning;
}

bool PgCluster::Restart()
{
    m_bRunning = Run({m_strBin + "/pg_ctl", "-D", m_dir.filePath("data"), "-l", m_dir.filePath("log"), "-w", "-o",
                      Options(), "start"});
    return m_bRunning;
}

QString PgCluster::Options() const
{
    return QString("-c listen_addresses='%1' -k %2 -p %3 -c fsync=off -c max_connections=40")
        .arg(m_bLoopback ? "127.0.0.1" : "", m_dir.path(), QString::number(kPort));
}

QString PgCluster::Url() const
{
    if (m_bLoopback)
        return QString("postgresql://xq@127.0.0.1:%1/postgres").arg(kPort);
    // One arg() call: the encoded path's "%2F" must not be taken for a marker.
    return QString("postgresql://xq@%1:%2/postgres").arg(QString::fromLatin1(QUrl::toPercentEncoding(m_dir.path())), QString::number(kPort));
}
