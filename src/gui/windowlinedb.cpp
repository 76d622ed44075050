// The window's line database (windowlinedb.h).
#include "windowlinedb.h"

#include "application.h"

#include <jobfile.h>
#include <linedb.h>
#include <operationreport.h>

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QUuid>

WindowLineDb::WindowLineDb() = default;
WindowLineDb::~WindowLineDb() = default;

QString WindowLineDb::Url()
{
    return QSettings(kSettingsFile, QSettings::IniFormat).value(kUrlKey).toString().trimmed();
}

QString WindowLineDb::Counter()
{
    return QSettings(kSettingsFile, QSettings::IniFormat).value(kCounterKey).toString().trimmed();
}

QString WindowLineDb::Store(const QString& strUrlText, const QString& strCounterText)
{
    const QString strUrl = strUrlText.trimmed();
    LineDbUrl url;
    const QString strRefusal = strUrl.isEmpty() ? QString() : LineDbUrl::Parse(strUrl, url);
    if (!strRefusal.isEmpty())
        return strRefusal;
    QSettings settings(kSettingsFile, QSettings::IniFormat);
    settings.setValue(kUrlKey, strUrl);
    settings.setValue(kCounterKey, strCounterText.trimmed());
    return QString();
}

bool WindowLineDb::Begin(const JobSpec* pJob, bool bSerials, QString& strError)
{
    m_bActive = false;
    m_bSerials = false;
    m_pDb.reset();
    QString strUrl = Url(), strCounter = Counter();
    if (pJob)
        JobRules::LineDbOfRun(*pJob, Url(), Counter(), strUrl, strCounter);
    if (strUrl.isEmpty())
        return true;
    auto pDb = std::make_unique<LineDb>();
    if (!pDb->Open(strUrl, strError))
        return false;
    m_bSerials = bSerials && !strCounter.isEmpty();
    if (m_bSerials && !pDb->UseCounter(strCounter, 1, strError))
        return false;
    m_pDb = std::move(pDb);
    m_bActive = true;
    return true;
}

SerialSource* WindowLineDb::Serials() const
{
    return m_bActive && m_bSerials ? m_pDb.get() : nullptr;
}

bool WindowLineDb::Finish(const QList<OperationReport>& reports, QString& strError)
{
    if (!m_bActive)
        return true;
    m_bActive = false;
    const QString strRun = QUuid::createUuid().toString(QUuid::WithoutBraces);
    bool bOk = true;
    for (const OperationReport& report : reports)
        bOk = m_pDb->Record(report, strRun, strError) && bOk;
    return bOk;
}

LineDbField::LineDbField(QWidget* pParent) : QGroupBox(tr("产线数据库"), pParent)
{
    setObjectName("grpLineDb");
    auto* pLayout = new QFormLayout(this);
    m_pUrl = new QLineEdit(WindowLineDb::Url(), this);
    m_pUrl->setObjectName("editLineDb");
    m_pUrl->setPlaceholderText("sqlite:PATH, postgresql://user@host:port/dbname");
    m_pUrl->setToolTip(tr("每颗芯片记录到此数据库；密码取自 PGPASSFILE 或 ~/.pgpass，不写在地址里"));
    m_pCounter = new QLineEdit(WindowLineDb::Counter(), this);
    m_pCounter->setObjectName("editSerialCounter");
    m_pCounter->setToolTip(tr("写序列号时从数据库的此计数器取号（空: 使用序列号框）"));
    m_pNote = new QLabel(this);
    m_pNote->setObjectName("lblLineDbNote");
    m_pNote->setWordWrap(true);
    m_pNote->hide();
    pLayout->addRow(tr("数据库地址:"), m_pUrl);
    pLayout->addRow(tr("序列号计数器:"), m_pCounter);
    pLayout->addRow(m_pNote);
    connect(m_pUrl, &QLineEdit::editingFinished, this, &LineDbField::Store);
    connect(m_pCounter, &QLineEdit::editingFinished, this, &LineDbField::Store);
}

void LineDbField::Store()
{
    const QString strRefusal = WindowLineDb::Store(m_pUrl->text(), m_pCounter->text());
    m_pNote->setText(strRefusal.isEmpty() ? QString() : tr("未保存: %1").arg(strRefusal));
    m_pNote->setVisible(!strRefusal.isEmpty());
}
