// Small text rules shared by the window, the workers and xqprog.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <cstdint>

namespace xq {

// The stamp in front of every run-log line: "[yyyy-MM-dd hh:mm:ss.zzz]: ".
QString LogStamp(const QDateTime& time = QDateTime::currentDateTime());

// A stored string ends at its first NUL byte (the rest is padding).
QByteArray CutAtNul(const QByteArray& text);

// A decimal number, or hexadecimal with a 0x prefix.
bool ParseNumber(const QString& strText, int64_t& nValue);
// A hexadecimal number, with or without the 0x prefix.
bool ParseHex(const QString& strText, int64_t& nValue);

}  // namespace xq
