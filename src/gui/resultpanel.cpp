#include "resultpanel.h"

#include "mnemonic.h"

#include <commontexts.h>
#include <results.h>

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QResizeEvent>
#include <QStyle>
#include <QVBoxLayout>

namespace {

// A label that shows its text on one line, elided to its width, with the
// whole text in its tooltip: a long reason never widens the window.
class ElidedLabel : public QLabel {
public:
    using QLabel::QLabel;
    void SetFullText(const QString& strText)
    {
        m_strFull = strText;
        setToolTip(strText);
        Elide();
    }
    QString FullText() const { return m_strFull; }
    QSize minimumSizeHint() const override { return QSize(0, QLabel::minimumSizeHint().height()); }
    QSize sizeHint() const override
    {
        return QSize(fontMetrics().horizontalAdvance(m_strFull) + 8, QLabel::sizeHint().height());
    }

protected:
    void resizeEvent(QResizeEvent* pEvent) override
    {
        QLabel::resizeEvent(pEvent);
        Elide();
    }
    void changeEvent(QEvent* pEvent) override
    {
        QLabel::changeEvent(pEvent);
        if (pEvent->type() == QEvent::FontChange || pEvent->type() == QEvent::StyleChange)
            Elide();
    }

private:
    void Elide() { setText(fontMetrics().elidedText(m_strFull, Qt::ElideRight, width())); }
    QString m_strFull;
};

}  // namespace

ResultPanel::ResultPanel(QWidget* pParent) : QFrame(pParent)
{
    setObjectName("resultPanel");
    m_pVerdict = new QLabel(this);
    m_pVerdict->setObjectName("lblVerdict");
    m_pVerdict->setAlignment(Qt::AlignCenter);
    QFont bigFont = m_pVerdict->font();
    bigFont.setPixelSize(28);
    bigFont.setBold(true);
    m_pVerdict->setFont(bigFont);
    m_pVerdict->setMinimumWidth(QFontMetrics(bigFont).horizontalAdvance(xq::VerdictWord(false)) * 2 + 24);

    auto* pReason = new ElidedLabel(this);
    pReason->setObjectName("lblReason");
    QFont reasonFont = pReason->font();
    reasonFont.setPixelSize(16);
    reasonFont.setBold(true);
    pReason->setFont(reasonFont);
    pReason->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_pReason = pReason;
    m_pElapsed = new QLabel(this);
    m_pElapsed->setObjectName("lblElapsed");

    m_pJob = new QLabel(this);
    m_pJob->setObjectName("lblJob");
    m_pJob->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_pJob->hide();
    m_pCounters = new QLabel(this);
    m_pCounters->setObjectName("lblCounters");
    QFont countFont = m_pCounters->font();
    countFont.setPixelSize(16);
    countFont.setBold(true);
    m_pCounters->setFont(countFont);
    m_pReset = new QPushButton(tr("清零"), this);
    SetMnemonic(m_pReset, 'R');
    m_pReset->setObjectName("pbResetCounters");
    m_pReset->setToolTip(tr("通过和失败的计数清零"));
    connect(m_pReset, &QPushButton::clicked, this, &ResultPanel::ResetCounters);

    auto* pText = new QVBoxLayout;
    pText->setSpacing(2);
    pText->addWidget(m_pReason);
    // The time and the job share a line under the reason: the job's name
    // never pushes the verdict or the counters aside.
    auto* pTimeRow = new QHBoxLayout;
    pTimeRow->addWidget(m_pElapsed);
    pTimeRow->addSpacing(16);
    pTimeRow->addWidget(m_pJob, 1);
    pText->addLayout(pTimeRow);
    auto* pCount = new QVBoxLayout;
    pCount->setSpacing(2);
    m_pMarkerRow = new QHBoxLayout;
    m_pMarkerRow->addStretch(1);
    pCount->addLayout(m_pMarkerRow);
    auto* pCountRow = new QHBoxLayout;
    pCountRow->addWidget(m_pCounters);
    pCountRow->addWidget(m_pReset);
    pCount->addLayout(pCountRow);
    auto* pLayout = new QHBoxLayout(this);
    pLayout->setContentsMargins(4, 4, 4, 4);
    pLayout->setSpacing(10);
    pLayout->addWidget(m_pVerdict);
    pLayout->addLayout(pText, 1);
    pLayout->addLayout(pCount);

    ShowVerdict(tr("就绪"), "idle");
    pReason->SetFullText(QString());
    ShowCounters();
}

void ResultPanel::ShowVerdict(const QString& strText, const char* pState)
{
    m_pVerdict->setText(strText);
    // The style sheet colours the verdict by this property.
    m_pVerdict->setProperty("state", pState);
    m_pVerdict->style()->unpolish(m_pVerdict);
    m_pVerdict->style()->polish(m_pVerdict);
}

void ResultPanel::ShowRunning()
{
    ShowVerdict(tr("进行中"), "running");
    static_cast<ElidedLabel*>(m_pReason)->SetFullText(QString());
    m_pElapsed->clear();
}

void ResultPanel::ShowResult(bool bPassed, const QString& strReason, double dSeconds, bool bCount)
{
    ShowVerdict(xq::VerdictWord(bPassed), bPassed ? "passed" : "failed");
    static_cast<ElidedLabel*>(m_pReason)->SetFullText(strReason);
    m_pElapsed->setText(tr("用时 %1 秒").arg(dSeconds, 0, 'f', 1));
    if (bCount)
        ++(bPassed ? m_nPassed : m_nFailed);
    ShowCounters();
}

void ResultPanel::ShowNotRun()
{
    ShowVerdict(xq::VerdictNotRunWord(), "idle");
    static_cast<ElidedLabel*>(m_pReason)->SetFullText(QString());
    m_pElapsed->clear();
}

void ResultPanel::SetJobName(const QString& strName)
{
    m_pJob->setText(strName.isEmpty() ? QString() : tr("任务: %1").arg(strName));
    m_pJob->setToolTip(strName);
    m_pJob->setVisible(!strName.isEmpty());
}

void ResultPanel::AddMarker(QWidget* pMarker)
{
    pMarker->setParent(this);
    m_pMarkerRow->addWidget(pMarker);
}

QString ResultPanel::JobName() const
{
    return m_pJob->toolTip();
}

QString ResultPanel::Verdict() const
{
    return m_pVerdict->text();
}

QString ResultPanel::Reason() const
{
    return static_cast<ElidedLabel*>(m_pReason)->FullText();
}

QString ResultPanel::ReasonLine(const OperationReport& report)
{
    if (report.eResult != OperationReport::kResultOk && report.nCode == xq::kErrRepairFailed) {
        if (report.nFirstDifference >= 0)
            return tr("%1: 首个不同的地址 0x%2, 修复失败，请更换芯片")
                .arg(report.strMessage, QString::number(report.nFirstDifference, 16).toUpper());
        return tr("%1: 修复失败，请更换芯片").arg(report.strMessage);
    }
    return report.strMessage;
}

void ResultPanel::ResetCounters()
{
    m_nPassed = 0;
    m_nFailed = 0;
    ShowCounters();
}

void ResultPanel::ShowCounters()
{
    m_pCounters->setText(tr("通过 %1   失败 %2").arg(m_nPassed).arg(m_nFailed));
}
