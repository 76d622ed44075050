// The application style sheet: a Qt style sheet that starts with variable
// definitions ("$name = value;") and uses the variables in its rules.
#pragma once

#include <QByteArray>
#include <QString>

// Expands the raw file contents: bytes up to the first zero byte, comments
// removed, definitions read from the top, every use replaced by its value.
QString ExpandStyleSheet(const QByteArray& raw);

// Substitution stops once the text passes this size, so the expanded text
// stays below about twice it (the shipped sheet is a few KiB).
constexpr int kMaxStyleSheetChars = 1 << 20;
