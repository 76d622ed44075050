// The record of one attempt at an operation from the window: its lines in
// the run log file (each with the adapter's name while the attempt runs),
// the traceability rows of its steps (trace_file in the settings, one row
// per step of a job), written once the link has closed so that a close that
// fails is in the last row too, its last log line and its time.
#pragma once

#include <operationreport.h>
#include <runlogfile.h>

#include <QElapsedTimer>
#include <QList>
#include <QString>

class Session;

class RunRecord {
public:
    // The run log file as the settings allow it, and the trace file they name.
    RunRecord();

    // An attempt on the adapter strInterface begins: no rows, no last line,
    // its time from now.
    void Begin(const QString& strInterface);
    // The operation itself starts (its worker has it): the time counts from
    // here, never the time a file dialog was open.
    void StartClock() { m_timer.start(); }
    // A line of the window's log, stamped strStamp: into the run log file,
    // after the adapter's name while an attempt runs.
    void Log(const QString& strStamp, const QString& strLine);
    // A stamped line for the run log file only (which adapter, how it ended).
    void Trace(const QString& strLine);
    // A step's report becomes a row, with the adapter and the time so far.
    void Add(const OperationReport& report, const QString& strInterface);
    // The last step's report (the session's close adds to it), or null.
    OperationReport* LastReport() { return m_reports.isEmpty() ? nullptr : &m_reports.last(); }
    const QList<OperationReport>& Reports() const { return m_reports; }
    // Appends the attempt's rows to the trace file (none named: nothing)
    // and forgets them; false when one could not be written.
    bool WriteRows(Session& session);
    // The attempt has ended: strResult is its last line in the run log file.
    void End(const QString& strResult);

    QString LastLine() const { return m_strLastLine; }
    double Seconds() const { return double(m_timer.elapsed()) / 1000.0; }

private:
    RunLogFile m_runLog;
    QString m_strTraceFile;         // empty for none
    QString m_strLogInterface;      // "[interface] " on the file's lines of a running attempt
    QList<OperationReport> m_reports;
    QString m_strLastLine;
    QElapsedTimer m_timer;
};
