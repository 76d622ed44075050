// Small text rules shared by the window, the workers and xqprog.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

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

// The columns a text takes on a terminal: East Asian wide characters (the
// Chinese texts) take two, every other character one.
int TerminalWidth(const QString& strText);
// The text padded with spaces to nWidth columns (never cut): on the right,
// or on the left for a right-aligned column.
QString PadToWidth(const QString& strText, int nWidth, bool bAlignRight = false);
// The text wrapped into lines of at most nWidth columns, at spaces and
// between Chinese characters (a closing mark stays with the text before it,
// an opening one with the text after it); a word wider than a line stands
// alone. Line breaks in the text are kept.
QStringList WrapToWidth(const QString& strText, int nWidth);

}  // namespace xq
