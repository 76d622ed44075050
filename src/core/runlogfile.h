// The run log on disk: every run-log line of the window and of xqprog is
// also appended to a daily file under $XDG_STATE_HOME/xqprogrammer/logs/
// (~/.local/state without it), so a station keeps a trace of what it
// programmed. The setting "log_file" in XqProgrammer.ini turns it off.
#pragma once

#include <QMutex>
#include <QString>

class RunLogFile {
public:
    // The directory of the daily files.
    static QString Directory();
    // Whether the settings file allows it (default: on).
    static bool EnabledBySettings();

    void SetEnabled(bool bEnabled) { m_bEnabled = bEnabled; }
    // Appends one stamped line to today's file (each line of a text of
    // several lines with the stamp); false when it cannot, also when the
    // file is not a regular file (a FIFO or a device is never waited on).
    bool Append(const QString& strStampedLine);
    // The same with every line of strText after strPrefix (stamp, interface).
    bool Append(const QString& strPrefix, const QString& strText);

private:
    QMutex m_mutex;
    bool m_bEnabled = true;
    bool m_bWarned = false;
};
