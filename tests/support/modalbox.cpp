#include "modalbox.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

EnterOnNextBox::EnterOnNextBox(int nLimitMs) : m_pTimer(new QTimer(this))
{
    auto pClock = std::make_shared<QElapsedTimer>();
    pClock->start();
    connect(m_pTimer, &QTimer::timeout, this, [this, pClock, nLimitMs] {
        auto* pBox = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!pBox) {
            if (pClock->elapsed() > nLimitMs)
                m_pTimer->stop();
            return;
        }
        m_pTimer->stop();
        if (pClock->elapsed() > nLimitMs) {
            pBox->close();
            return;
        }
        m_default = pBox->defaultButton() ? pBox->standardButton(pBox->defaultButton()) : QMessageBox::NoButton;
        m_strText = pBox->text();
        QTest::keyClick(pBox, Qt::Key_Return);
    });
    m_pTimer->start(20);
}
