// Runs the xqprog program for the tests that check it end to end: in a work
// directory, with its own XDG_STATE_HOME (run logs, settings), and with the
// exit code, standard output and standard error kept apart. Also reads what
// it writes: --json lines, --trace rows, image hashes.
#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <thread>

struct XqprogResult {
    int nExit = -1;  // -1 when the program crashed or did not end in time
    QString strOut;
    QString strErr;
};

class XqprogRunner {
public:
    // strProgram: the xqprog binary; strWorkDir: its working directory, whose
    // "state" subdirectory becomes XDG_STATE_HOME (empty: the caller's).
    explicit XqprogRunner(const QString& strProgram, const QString& strWorkDir = QString());

    // Arguments put before each call's own (e.g. "--lang", "en").
    void SetLeadArgs(const QStringList& args) { m_leadArgs = args; }
    // Standard error into standard output, in the order written.
    void SetMergedChannels(bool bMerged) { m_bMerged = bMerged; }

    // Sets up (without starting) a run on a simulated bench, quiet; an
    // empty bench directory runs on the real adapters.
    void Prepare(QProcess& p, const QStringList& args, const QString& strBench = QString()) const;
    // Runs to the end and collects what it wrote.
    XqprogResult Run(const QStringList& args, const QString& strBench = QString(), int nTimeoutMs = 240000) const;
    // What a started process ends with.
    static XqprogResult Finish(QProcess& p, int nTimeoutMs = 240000);

private:
    QString m_strProgram;
    QString m_strWorkDir;
    QStringList m_leadArgs;
    bool m_bMerged = false;
};

// A process whose standard error is a pseudo-terminal, as an operator's
// shell gives it: xqprog draws its progress bar there. What the program
// drew is read while it runs (a full terminal would stall it).
class TerminalProcess : public QProcess {
public:
    TerminalProcess();
    ~TerminalProcess() override;
    // Once the program has ended: everything it wrote to the terminal.
    QByteArray TakeTerminal();

protected:
    void setupChildProcess() override;

private:
    int m_nMaster = -1;
    int m_nSlave = -1;
    std::thread m_reader;
    QByteArray m_drawn;
};

// The objects of --json output, one a line; empty when standard output holds
// anything else as well.
QList<QJsonObject> JsonLines(const QString& strOut);
// The rows of a trace file split into fields (no field of one is quoted),
// each from field nFirst on: 1 leaves out the time.
QList<QStringList> TraceRows(const QString& strPath, int nFirst = 0);
// SHA-256 in lower-case hex, as the outputs and the trace file show it.
QString Sha256(const QByteArray& data);
