// The record of one attempt from the window (runrecord.h).
#include "runrecord.h"

#include "application.h"

#include <session.h>
#include <textrules.h>
#include <tracefile.h>

#include <QSettings>

RunRecord::RunRecord()
{
    m_runLog.SetEnabled(RunLogFile::EnabledBySettings());
    m_strTraceFile = QSettings(kSettingsFile, QSettings::IniFormat).value("trace_file").toString();
}

void RunRecord::Begin(const QString& strInterface)
{
    m_timer.start();
    m_strLastLine.clear();
    m_reports.clear();
    m_strLogInterface = QString("[%1] ").arg(strInterface);
}

void RunRecord::Log(const QString& strStamp, const QString& strLine)
{
    m_strLastLine = strLine;
    m_runLog.Append(strStamp + m_strLogInterface, strLine);
}

void RunRecord::Trace(const QString& strLine)
{
    m_runLog.Append(xq::LogStamp() + strLine);
}

void RunRecord::Add(const OperationReport& report, const QString& strInterface)
{
    OperationReport row = report;
    row.strInterface = strInterface;
    row.dSeconds = Seconds();
    m_reports << row;
}

bool RunRecord::WriteRows(Session& session)
{
    const QList<OperationReport> rows = m_reports;
    m_reports.clear();
    if (m_strTraceFile.isEmpty())
        return true;
    const TraceFile trace(m_strTraceFile);
    return session.Trace(&trace, rows);
}

void RunRecord::End(const QString& strResult)
{
    Trace(strResult);
    m_strLogInterface.clear();
}
