#include "spiconfig.h"

#include "messagebox.h"
#include "ui_spiconfig.h"
#include "windowlinedb.h"

#include <deviceinfo.h>
#include <ratetable.h>
#include <spiflashctrl.h>

#include <QListView>

SpiConfig::SpiConfig(std::shared_ptr<mpsse::Backend> pBackend, QWidget* pParent)
    : QDialog(pParent), ui(new Ui::SpiConfig), m_pCtrl(new SpiFlashCtrl(std::move(pBackend)))
{
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::WindowCloseButtonHint);
    for (const xq::RateEntry& rate : xq::kRateTable)
        m_rateLabels.append(rate.pLabel);

    QList<QByteArray> names;
    m_bInterfacesFound = m_pCtrl->SelectAdapter(names, 0) == xq::kOk && !names.isEmpty();
    FillInterfaces(names);
    if (ui->cmbInfSel->count() > 0)
        ui->cmbInfSel->setCurrentIndex(0);

    ui->cmbInfSel->setView(new QListView(ui->cmbInfSel));
    ui->cmbRateSel->setView(new QListView(ui->cmbRateSel));
    ui->cmbRateSel->addItems(m_rateLabels);
    ui->cmbRateSel->setCurrentIndex(xq::kDefaultRateIndex);

    // Room for the flash information from the start, so the dialog does not grow when it arrives.
    ui->lblFlashInfo->setTextFormat(Qt::RichText);
    FlashInfo widest;
    widest.nManufacturerId = widest.nDeviceId = 0xEE;
    widest.nPageSize = 256;
    widest.nTotalSize = 512 * 1024;
    // The three lines as the flash gave them, never read as markup.
    ui->lblFlashInfo->setTextFormat(Qt::PlainText);
    ui->lblFlashInfo->setText(FlashInfoText(widest));
    ui->lblFlashInfo->setMinimumSize(ui->lblFlashInfo->sizeHint());
    ui->lblFlashInfo->clear();

    // The station's line database, below the adapter (stored as it is edited, and as the dialog closes).
    auto* pLineDb = new LineDbField(this);
    ui->verticalLayout->addWidget(pLineDb);
    connect(this, &QDialog::finished, pLineDb, &LineDbField::Store);

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
    return ui->cmbInfSel->currentData().toByteArray();
}

void SpiConfig::FillInterfaces(const QList<QByteArray>& names)
{
    // Each name with the serial number burnt into the adapter beside it, the
    // description and the USB port in its tool tip; the item's data is the name.
    const QList<AdapterDescription> adapters = m_pCtrl->Adapters();
    for (const QByteArray& strName : names) {
        QString strText = QString::fromUtf8(strName);
        QString strTip;
        for (const AdapterDescription& adapter : adapters) {
            if (adapter.strName != strName)
                continue;
            if (!adapter.strSerial.isEmpty())
                strText += QString("  [%1]").arg(adapter.strSerial);
            strTip = tr("序列号: %1\n描述: %2\n位置: %3")
                         .arg(adapter.strSerial.isEmpty() ? tr("无") : adapter.strSerial, adapter.strDescription,
                              adapter.strLocation);
        }
        ui->cmbInfSel->addItem(strText, strName);
        ui->cmbInfSel->setItemData(ui->cmbInfSel->count() - 1, strTip, Qt::ToolTipRole);
    }
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
    if (m_pCtrl->Open(ui->cmbInfSel->itemData(nIndex).toByteArray(), ui->cmbRateSel->currentIndex()) != 0)
        ShowOpenError();
}

void SpiConfig::RefreshInf()
{
    disconnect(ui->cmbInfSel, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &SpiConfig::InfChanged);
    ui->cmbInfSel->clear();
    // What was read from the previous adapter does not describe the new list.
    ui->lblMcu->clear();
    ui->lblFlashInfo->clear();
    QList<QByteArray> names;
    m_pCtrl->RefreshAdapters(names);
    FillInterfaces(names);
    if (ui->cmbInfSel->count() > 0) {
        ui->cmbInfSel->setCurrentIndex(0);
        m_pCtrl->Open(ui->cmbInfSel->itemData(0).toByteArray(), xq::kDefaultRateIndex);
    }
    // Also after a refresh that found nothing: the next one may find an adapter.
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
    uint32_t nId = 0;
    m_pCtrl->ReadChipId(&nId);  // a failed read leaves 0: shown as no model
    ui->lblMcu->setText(ModelName(nId, 0, false));
    FlashInfo info;
    if (m_pCtrl->ReadFlashInfo(&info) == 0) {
        ui->lblMcu->setText(ModelName(nId, info.nTotalSize, true));
        ui->lblFlashInfo->setText(FlashInfoText(info));
    }
    m_pCtrl->Close();
}
