#include "resultpanel.h"

#include "messagebox.h"
#include "mnemonic.h"

#include <commontexts.h>
#include <results.h>

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace {

// The reason wraps onto further lines rather than being cut: the addresses
// and counts in it are what the operator acts on. Its width never widens the
// window; its height follows the lines it takes.
class ReasonLabel : public QLabel {
public:
    explicit ReasonLabel(QWidget* pParent) : QLabel(pParent)
    {
        setWordWrap(true);
        setTextFormat(Qt::PlainText);
        setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Minimum);
    }
    void SetFullText(const QString& strText)
    {
        m_strFull = strText;
        // One paragraph: a refusal's own line breaks would only waste height.
        setText(QString(strText).replace('\n', ' '));
        setToolTip(strText);
        updateGeometry();
    }
    QString FullText() const { return m_strFull; }

private:
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

    auto* pReason = new ReasonLabel(this);
    pReason->setObjectName("lblReason");
    QFont reasonFont = pReason->font();
    reasonFont.setPixelSize(16);
    reasonFont.setBold(true);
    pReason->setFont(reasonFont);
    m_pReason = pReason;
    m_pElapsed = new QLabel(this);
    m_pElapsed->setObjectName("lblElapsed");
    m_pSerial = new QLabel(this);
    m_pSerial->setObjectName("lblSerial");
    m_pSerial->hide();

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
    SetMnemonic(m_pReset, 'O');
    m_pReset->setObjectName("pbResetCounters");
    m_pReset->setToolTip(tr("通过和失败的计数清零"));
    connect(m_pReset, &QPushButton::clicked, this, &ResultPanel::AskResetCounters);

    auto* pText = new QVBoxLayout;
    pText->setSpacing(2);
    pText->addWidget(m_pReason);
    // The time and the job share a line under the reason: the job's name
    // never pushes the verdict or the counters aside.
    auto* pTimeRow = new QHBoxLayout;
    pTimeRow->addWidget(m_pElapsed);
    pTimeRow->addSpacing(16);
    pTimeRow->addWidget(m_pSerial);
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
    static_cast<ReasonLabel*>(m_pReason)->SetFullText(QString());
    m_pElapsed->clear();
    SetSerial(std::nullopt);
}

void ResultPanel::ShowResult(bool bPassed, const QString& strReason, double dSeconds, bool bCount)
{
    ShowVerdict(xq::VerdictWord(bPassed), bPassed ? "passed" : "failed");
    static_cast<ReasonLabel*>(m_pReason)->SetFullText(strReason);
    m_pElapsed->setText(tr("用时 %1 秒").arg(dSeconds, 0, 'f', 1));
    if (bCount)
        ++(bPassed ? m_nPassed : m_nFailed);
    ShowCounters();
}

void ResultPanel::ShowNotRun(const QString& strReason)
{
    ShowVerdict(xq::VerdictNotRunWord(), "idle");
    static_cast<ReasonLabel*>(m_pReason)->SetFullText(strReason);
    m_pElapsed->clear();
    SetSerial(std::nullopt);
}

void ResultPanel::SetSerial(std::optional<uint32_t> nSerial)
{
    m_pSerial->setText(nSerial ? tr("序列号 %1").arg(*nSerial, 8, 10, QChar('0')) : QString());
    m_pSerial->setVisible(nSerial.has_value());
}

QString ResultPanel::Serial() const
{
    return m_pSerial->text();
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
    return static_cast<ReasonLabel*>(m_pReason)->FullText();
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

void ResultPanel::AskResetCounters()
{
    if (msgbox::Question(this, tr("请确认"), tr("将通过和失败的计数清零？"), QMessageBox::Yes | QMessageBox::No, {},
                         QMessageBox::No) == QMessageBox::Yes)
        ResetCounters();
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

void ResultPanel::ShowOutcome(const Outcome& outcome)
{
    if (!outcome.bRan) {
        ShowNotRun(outcome.strRefusal.isEmpty() ? outcome.strLastLine : outcome.strRefusal);
        return;
    }
    std::optional<OperationReport> report;
    std::optional<uint32_t> nStamped;
    for (const OperationReport& step : outcome.steps) {
        if (!report || report->eResult == OperationReport::kResultOk)
            report = step;
        if (step.bSerial && step.strOperation == "write")
            nStamped = step.nSerial;
    }
    QString strReason = outcome.strLastLine;
    if (report && (report->eResult == OperationReport::kResultOk) == outcome.bState) {
        strReason = ReasonLine(*report);
        // A stop: the worker's last line says what the chip was left with.
        if (report->nCode == xq::kErrStopped && !outcome.strLastLine.isEmpty() && outcome.strLastLine != strReason)
            strReason = QString("%1: %2").arg(strReason, outcome.strLastLine);
    }
    if (strReason.isEmpty())  // a report without a message line
        strReason = outcome.strLastLine;
    ShowResult(outcome.bState, strReason, outcome.dSeconds);
    SetSerial(nStamped);
}
