#include "mnemonic.h"

#include <QAbstractButton>
#include <QLabel>

QString WithMnemonic(const QString& strText, QChar key)
{
    if (strText.contains('&'))
        return strText;
    // The key at the start of a word, else anywhere in the text.
    int nAt = -1;
    for (int i = 0; i < strText.size() && nAt < 0; ++i) {
        if (strText[i].toUpper() == key.toUpper() && (i == 0 || strText[i - 1] == ' '))
            nAt = i;
    }
    if (nAt < 0)
        nAt = strText.indexOf(key, 0, Qt::CaseInsensitive);
    if (nAt >= 0)
        return strText.left(nAt) + '&' + strText.mid(nAt);
    // Before the colon, if there is one: "起始地址(&A):0x".
    int nColon = strText.indexOf(':');
    const int nWide = strText.indexOf(QChar(0xFF1A));
    if (nColon < 0 || (nWide >= 0 && nWide < nColon))
        nColon = nWide;
    const int nEnd = nColon < 0 ? strText.size() : nColon;
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
