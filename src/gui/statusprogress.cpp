#include "statusprogress.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>

StatusProgress::StatusProgress(QWidget* pParent) : QWidget(pParent)
{
    m_pLabel = new QLabel(QCoreApplication::translate("MainWindow", "执行进度:"), this);
    m_pBar = new QProgressBar(this);
    m_pBar->setRange(0, 100);
    m_pBar->setValue(0);
    m_pBar->setFixedSize(250, 10);
    m_pBar->setTextVisible(false);
    m_pPercent = new QLabel(this);
    m_pPercent->setObjectName("labelProgressPercent");
    m_pPercent->setMinimumWidth(m_pPercent->fontMetrics().horizontalAdvance("100%") + 4);
    m_pPercent->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_pPercent->setText("0%");
    connect(m_pBar, &QProgressBar::valueChanged, m_pPercent,
            [this](int nVal) { m_pPercent->setText(QString("%1%").arg(nVal)); });
    m_pLabel->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    auto* pLayout = new QHBoxLayout(this);
    pLayout->setContentsMargins(0, 0, 6, 0);
    pLayout->setSpacing(2);
    // The stretch keeps the label next to its bar however wide the box grows.
    pLayout->addStretch(1);
    pLayout->addWidget(m_pLabel);
    pLayout->addWidget(m_pBar);
    pLayout->addWidget(m_pPercent);
    setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Preferred);
}
