#include "mnemonic.h"

#include <QAbstractButton>
#include <QKeySequence>
#include <QLabel>
#include <QShortcut>

namespace {

// Alt+KEY, alive only while OWNER is shown (a hidden tab's keys do nothing).
QShortcut* AltKey(QWidget* pOwner, QChar key)
{
    auto* pShortcut = new QShortcut(QKeySequence(QString("Alt+%1").arg(key.toUpper())), pOwner);
    pShortcut->setContext(Qt::WindowShortcut);
    pOwner->setStatusTip(QString("Alt+%1").arg(key.toUpper()));
    return pShortcut;
}

}  // namespace

void SetMnemonic(QLabel* pLabel, QWidget* pBuddy, QChar key)
{
    pLabel->setBuddy(pBuddy);
    QObject::connect(AltKey(pLabel, key), &QShortcut::activated, pBuddy,
                     [pBuddy] { pBuddy->setFocus(Qt::ShortcutFocusReason); });
}

void SetMnemonic(QAbstractButton* pButton, QChar key)
{
    QObject::connect(AltKey(pButton, key), &QShortcut::activated, pButton, [pButton] {
        pButton->setFocus(Qt::ShortcutFocusReason);
        pButton->click();
    });
}
