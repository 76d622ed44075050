#include "logpane.h"

#include <QAction>
#include <QCoreApplication>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextEdit>

void AddLogPaneMenu(QTextEdit* pLog)
{
    auto* pCopy = new QAction(QCoreApplication::translate("MainWindow", "拷贝"), pLog);
    auto* pSelectAll = new QAction(QCoreApplication::translate("MainWindow", "全选"), pLog);
    auto* pDeleteAll = new QAction(QCoreApplication::translate("MainWindow", "全删"), pLog);
    pSelectAll->setShortcut(QKeySequence::SelectAll);
    pCopy->setShortcut(QKeySequence::Copy);
    pDeleteAll->setShortcut(QKeySequence(Qt::Key_Delete));
    QObject::connect(pSelectAll, &QAction::triggered, pLog, &QTextEdit::selectAll);
    QObject::connect(pCopy, &QAction::triggered, pLog, &QTextEdit::copy);
    QObject::connect(pDeleteAll, &QAction::triggered, pLog, &QTextEdit::clear);
    pLog->addAction(pSelectAll);
    pLog->addAction(pCopy);
    pLog->addAction(pDeleteAll);
    pLog->setContextMenuPolicy(Qt::ActionsContextMenu);
}

void AppendPlainLogLine(QTextEdit* pLog, const QString& strLine)
{
    QTextCursor cursor(pLog->document());
    cursor.movePosition(QTextCursor::End);
    if (!pLog->document()->isEmpty())
        cursor.insertBlock();
    cursor.insertText(strLine);
    pLog->ensureCursorVisible();
    if (QScrollBar* pBar = pLog->verticalScrollBar())
        pBar->setValue(pBar->maximum());
}
