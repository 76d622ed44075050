// Whole-file reads and writes for the tests.
#pragma once

#include <QByteArray>
#include <QString>

// The file's bytes; empty when it cannot be read.
QByteArray Slurp(const QString& strPath);
// Replaces the file's contents; false when it could not be written in full.
[[nodiscard]] bool WriteFile(const QString& strPath, const QByteArray& data);
