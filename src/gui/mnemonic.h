// Keyboard access to labels and buttons without touching their texts: Alt
// and a letter focuses a label's buddy or clicks a button. The key is named
// in the widget's status tip, so the texts stay exactly as they are written.
#pragma once

#include <QChar>

class QAbstractButton;
class QLabel;
class QWidget;

// Makes BUDDY the widget the label stands for and Alt+KEY focus it.
void SetMnemonic(QLabel* pLabel, QWidget* pBuddy, QChar key);
// Alt+KEY focuses and clicks the button.
void SetMnemonic(QAbstractButton* pButton, QChar key);
