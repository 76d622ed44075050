#include "toolactions.h"

#include <QAction>
#include <QIcon>
#include <QToolBar>

QAction* NewToolAction(const QString& strIcon, const QString& strText, const QString& strName,
                       const QString& strToolTip, QObject* pParent)
{
    auto* pAction = new QAction(QIcon(strIcon), strText, pParent);
    pAction->setObjectName(strName);
    pAction->setToolTip(strToolTip);
    return pAction;
}

void SetUpToolKeys(QToolBar* pBar, const QList<QPair<QAction*, QKeySequence>>& keys, const QAction* pNoTip)
{
    for (const auto& [pAction, key] : keys)
        pAction->setShortcut(key);
    for (QAction* pAction : pBar->actions()) {
        if (pAction->isSeparator())
            continue;
        if (QWidget* pButton = pBar->widgetForAction(pAction))
            pButton->setFocusPolicy(Qt::TabFocus);
        if (pAction != pNoTip && !pAction->shortcut().isEmpty())
            pAction->setStatusTip(
                QString("%1 (%2)").arg(pAction->toolTip(), pAction->shortcut().toString(QKeySequence::NativeText)));
    }
}
