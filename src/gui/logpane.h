// The run log pane: plain-text lines (a file name such as "x<b>y.bin" shows
// as typed, never as markup) and its context menu (拷贝, 全选, 全删).
#pragma once

class QString;
class QTextEdit;

// The context menu's actions with their shortcuts.
void AddLogPaneMenu(QTextEdit* pLog);
// Appends strLine as a paragraph of its own and scrolls to it.
void AppendPlainLogLine(QTextEdit* pLog, const QString& strLine);
