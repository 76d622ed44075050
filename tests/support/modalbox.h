// A real modal message box in a headless test: the next one that opens is
// answered with Enter, as an operator pressing Enter would answer it, and
// its default button is kept; one still open after a time limit is closed,
// so that a box the test did not expect never hangs it.
#pragma once

#include <QMessageBox>
#include <QObject>

class QTimer;

class EnterOnNextBox : public QObject {
public:
    explicit EnterOnNextBox(int nLimitMs = 20000);
    // The default button of the box answered (NoButton: none opened).
    QMessageBox::StandardButton DefaultButton() const { return m_default; }
    QString Text() const { return m_strText; }

private:
    QTimer* m_pTimer = nullptr;
    QMessageBox::StandardButton m_default = QMessageBox::NoButton;
    QString m_strText;
};
