// Where the program saves what it produced (a flash read, a workbook, a
// template): one rule for the window and xqprog. A regular file (or a new
// one) is replaced atomically: the data goes to a temporary file beside it
// that takes its name only when complete, so a failed save never destroys
// an earlier file. A FIFO or a character device (/dev/null, a terminal) is
// opened and written in place: replacing it would put a regular file where
// a pipe or a system device was. Any other kind of path (a directory, a
// socket, a block device) is refused before the chip is touched.
#pragma once

#include <QByteArray>
#include <QString>

namespace xq {

// Empty when strPath can take an output; else the reason, for the log and
// the warning box ("文件夹不存在", "同名文件夹已存在", ...).
QString OutputRefusal(const QString& strPath);
// The line that names a refused output and its reason.
QString OutputRefusalLine(const QString& strPath, const QString& strReason);
// A flash read refused for its output: that line, then the result line
// "文件访问失败" on a line of its own.
QString ReadOutputRefusalText(const QString& strPath, const QString& strReason);
// Saves data at strPath as described above; false with the reason (the
// path and the system's error text) when it is not all there.
bool SaveOutput(const QString& strPath, const QByteArray& data, QString& strError);

}  // namespace xq
