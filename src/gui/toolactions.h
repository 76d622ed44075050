// Toolbar actions: made with their icon, text, object name and tool tip,
// and keyed so that the station works without a mouse.
#pragma once

#include <QKeySequence>
#include <QList>
#include <QPair>
#include <QString>

class QAction;
class QObject;
class QToolBar;

QAction* NewToolAction(const QString& strIcon, const QString& strText, const QString& strName,
                       const QString& strToolTip, QObject* pParent);

// Puts each shortcut on its action, the toolbar's buttons in the Tab order,
// and names the shortcut in the status tip of every keyed action but pNoTip.
void SetUpToolKeys(QToolBar* pBar, const QList<QPair<QAction*, QKeySequence>>& keys, const QAction* pNoTip);
