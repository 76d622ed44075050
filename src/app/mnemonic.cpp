#include "mnemonic.h"

#include <QAbstractButton>
#include <QLabel>

QString WithMnemonic(const QString& strText, QChar key)
{
    if (strText.contains('&'))
        return strText;
    const int nAt = strText.indexOf(key, 0, Qt::CaseInsensitive);
    if (nAt >= 0)
        return strText.left(nAt) + '&' + strText.mid(nAt);
    // Before a closing colon, if there is one: "起始地址(&A):".
    int nEnd = strText.size();
    while (nEnd > 0 && (strText[nEnd - 1] == ':' || strText[nEnd - 1] == QChar(0xFF1A)))
        --nEnd;
    return strText.left(nEnd) + QString("(&%1)").arg(key.toUpper()) + strText.mid(nEnd);
}

void SetMnemonic(QLabel* pLabel, QWidget* pBuddy, QChar key)
{
    pLabel->setText(WithMnemonic(pLabel->text(), key));
    pLabel->setBuddy(pBuddy);
}

void SetMnemonic(QAbstractButton* pButton, QChar key)
{
    pButton->setText(WithMnemonic(pButton->text(), key));
}
