#include "spiconfig.h"

#include "messagebox.h"
#include "ui_spiconfig.h"

#include <deviceinfo.h>
#include <ratetable.h>
#include <spiflashctrl.h>

#include <QListView>

SpiConfig::SpiConfig(QWidget* pParent) : QDialog(pParent), ui(new Ui::SpiConfig), m_pCtrl(new SpiFlashCtrl)
{
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::WindowCloseButtonHint);
    for (const xq::RateEntry& rate : xq::kRateTable)
        m_rateLabels.append(rate.pLabel);

    QList<QByteArray> names;
    m_bInterfacesFound = m_pCtrl->SelectAdapter(names, 0) > 0;
    for (const QByteArray& strName : names)
        ui->cmbInfSel->addItem(QString::fromUtf8(strName));
    if (ui->cmbInfSel->count() > 0)
        ui->cmbInfSel->setCurrentIndex(0);

    ui->cmbInfSel->setView(new QListView(ui->cmbInfSel));
    ui->cmbRateSel->setView(new QListView(ui->cmbRateSel));
    ui->cmbRateSel->addItems(m_rateLabels);
    ui->cmbRateSel->setCurrentIndex(xq::kDefaultRateIndex);

    connect(ui->cmbInfSel, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &SpiConfig::InfChanged);
    connect(ui->pbRefresh, &QPushButton::clicked, this, &SpiConfig::RefreshInf);
    connect(ui->pbRefreshInfo, &QPushButton::clicked, this, &SpiConfig::GetDevInfo);
}

SpiConfig::~SpiConfig()
{
    delete ui;
    delete m_pCtrl;
}

QByteArray SpiConfig::InterfaceName() const
{
    return ui->cmbInfSel->currentText().toUtf8();
}

int SpiConfig::RateIndex() const
{
    return ui->cmbRateSel->currentIndex();
}

int SpiConfig::exec()
{
    InfChanged(ui->cmbInfSel->currentIndex());
    return QDialog::exec();
}

void SpiConfig::ShowOpenError()
{
    msgbox::Critical(this, tr("错误"), tr("接口打开失败\n请确认后重试"));
}

void SpiConfig::InfChanged(int nIndex)
{
    if (!m_bInterfacesFound)
        return;
    ui->lblMcu->clear();
    ui->lblFlashInfo->clear();
    if (m_pCtrl->Open(ui->cmbInfSel->itemText(nIndex).toUtf8(), ui->cmbRateSel->currentIndex()) != 0)
        ShowOpenError();
}

void SpiConfig::RefreshInf()
{
    disconnect(ui->cmbInfSel, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &SpiConfig::InfChanged);
    ui->cmbInfSel->clear();
    QList<QByteArray> names;
    m_pCtrl->RefreshAdapters(names);
    for (const QByteArray& strName : names)
        ui->cmbInfSel->addItem(QString::fromUtf8(strName));
    if (ui->cmbInfSel->count() == 0)
        return;
    ui->cmbInfSel->setCurrentIndex(0);
    m_pCtrl->Open(ui->cmbInfSel->itemText(0).toUtf8(), xq::kDefaultRateIndex);
    connect(ui->cmbInfSel, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &SpiConfig::InfChanged);
}

QString SpiConfig::ModelName(uint32_t nChipId, uint32_t nTotalSize, bool bFlashInfoRead)
{
    return ChipModelName(nChipId, nTotalSize, bFlashInfoRead);
}

QString SpiConfig::FlashInfoText(const FlashInfo& info)
{
    return ::FlashInfoText(info);
}

void SpiConfig::GetDevInfo()
{
    ui->lblMcu->clear();
    ui->lblFlashInfo->clear();
    if (!m_pCtrl->IsOpen() && m_pCtrl->Open(InterfaceName(), xq::kDefaultRateIndex) != 0) {
        ShowOpenError();
        return;
    }
    const auto nId = uint32_t(m_pCtrl->ReadChipId());
    ui->lblMcu->setText(ModelName(nId, 0, false));
    FlashInfo info;
    if (m_pCtrl->ReadFlashInfo(&info) == 0) {
        if (info.nTotalSize <= 1048575 && nId == kChipIdXq6030)
            ui->lblMcu->setText("XQ6130");
        ui->lblFlashInfo->setText(FlashInfoText(info));
    }
    m_pCtrl->Close();
}
