// The traceability record: one CSV row per chip operation, appended to a
// file that is never rewritten, so it answers "which image and serial number
// went into the chip with unique id X". Each row goes out in one write() on
// a file opened for appending and is flushed to disk before the operation
// counts as recorded; rows of parallel jobs and processes never interleave.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

struct OperationReport;

class TraceFile {
public:
    explicit TraceFile(const QString& strPath) : m_strPath(strPath) {}

    const QString& Path() const { return m_strPath; }
    // Opens the file for appending (created when missing) and checks that it
    // is a regular file, before any chip is touched; false with the reason.
    bool Check(QString& strError) const;
    // Appends the row of one operation (after the column names when the file
    // is new or empty); false with the reason when it is not on disk.
    bool Append(const OperationReport& report, QString& strError) const;

    // The column names, and one row, each ending in a line feed.
    static QByteArray Header();
    static QByteArray Row(const OperationReport& report, const QDateTime& time, const QString& strHost);

private:
    int OpenForAppend(QString& strError) const;

    QString m_strPath;
};
