#include "xqprogrunner.h"

#include "testfiles.h"

#include <QCryptographicHash>
#include <QJsonDocument>
#include <QProcessEnvironment>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

XqprogRunner::XqprogRunner(const QString& strProgram, const QString& strWorkDir)
    : m_strProgram(strProgram), m_strWorkDir(strWorkDir)
{
}

void XqprogRunner::Prepare(QProcess& p, const QStringList& args, const QString& strBench) const
{
    if (!m_strWorkDir.isEmpty()) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_STATE_HOME", m_strWorkDir + "/state");
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(m_strWorkDir);
    }
    if (m_bMerged)
        p.setProcessChannelMode(QProcess::MergedChannels);
    p.setProgram(m_strProgram);
    QStringList all = m_leadArgs;
    if (!strBench.isEmpty())
        all << "--simulate=" + strBench << "-q";
    p.setArguments(all + args);
}

XqprogResult XqprogRunner::Run(const QStringList& args, const QString& strBench, int nTimeoutMs) const
{
    QProcess p;
    Prepare(p, args, strBench);
    p.start();
    return Finish(p, nTimeoutMs);
}

XqprogResult XqprogRunner::Finish(QProcess& p, int nTimeoutMs)
{
    const bool bEnded = p.waitForFinished(nTimeoutMs);
    if (!bEnded) {
        p.kill();
        p.waitForFinished(5000);
    }
    XqprogResult r;
    r.nExit = bEnded && p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.strOut = QString::fromUtf8(p.readAllStandardOutput());
    r.strErr = QString::fromUtf8(p.readAllStandardError());
    return r;
}

TerminalProcess::TerminalProcess()
{
    m_nMaster = posix_openpt(O_RDWR | O_NOCTTY);
    if (m_nMaster < 0 || grantpt(m_nMaster) != 0 || unlockpt(m_nMaster) != 0)
        return;
    m_nSlave = ::open(ptsname(m_nMaster), O_RDWR | O_NOCTTY | O_CLOEXEC);
    fcntl(m_nMaster, F_SETFD, FD_CLOEXEC);  // the program holds only its standard error
    // Reads until every copy of the terminal's other end is closed (EIO).
    m_reader = std::thread([this] {
        char buffer[4096];
        for (;;) {
            const ssize_t n = ::read(m_nMaster, buffer, sizeof buffer);
            if (n > 0)
                m_drawn.append(buffer, int(n));
            else if (n == 0 || errno != EINTR)
                break;
        }
    });
}

TerminalProcess::~TerminalProcess()
{
    if (state() != QProcess::NotRunning) {
        kill();
        waitForFinished(5000);
    }
    TakeTerminal();
    if (m_nMaster >= 0)
        ::close(m_nMaster);
}

QByteArray TerminalProcess::TakeTerminal()
{
    if (m_nSlave >= 0)
        ::close(m_nSlave);
    m_nSlave = -1;
    if (m_reader.joinable())
        m_reader.join();
    return m_drawn;
}

void TerminalProcess::setupChildProcess()
{
    if (m_nSlave >= 0)
        dup2(m_nSlave, STDERR_FILENO);
}

QList<QJsonObject> JsonLines(const QString& strOut)
{
    QList<QJsonObject> objects;
    for (const QString& strLine : strOut.split('\n', Qt::SkipEmptyParts)) {
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(strLine.toUtf8(), &error);
        if (error.error != QJsonParseError::NoError || !doc.isObject())
            return {};
        objects << doc.object();
    }
    return objects;
}

QList<QStringList> TraceRows(const QString& strPath, int nFirst)
{
    QList<QStringList> rows;
    for (const QByteArray& line : Slurp(strPath).split('\n'))
        if (!line.isEmpty())
            rows << QString::fromUtf8(line).split(',').mid(nFirst);
    return rows;
}

QString Sha256(const QByteArray& data)
{
    return QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex());
}
