// Keyboard mnemonics for labels and buttons whose texts come from the
// translation: the key letter is marked where the text has it
// ("&Start address:"), otherwise added the Chinese way ("起始地址(&A):"), so
// the texts themselves stay as they are.
#pragma once

#include <QChar>
#include <QString>

class QAbstractButton;
class QLabel;
class QWidget;

QString WithMnemonic(const QString& strText, QChar key);
// Marks KEY in the label's text and makes BUDDY the widget the key focuses.
void SetMnemonic(QLabel* pLabel, QWidget* pBuddy, QChar key);
void SetMnemonic(QAbstractButton* pButton, QChar key);
