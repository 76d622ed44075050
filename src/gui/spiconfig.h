// The interface configuration dialog: lists the adapters, offers the clock
// rates, opens the chosen interface and shows the chip and flash identity.
// It owns the chip-access controller.
#pragma once

#include <QByteArray>
#include <QDialog>
#include <QStringList>

#include <memory>

class SpiFlashCtrl;
struct FlashInfo;
namespace mpsse {
class Backend;
}

namespace Ui {
class SpiConfig;
}

class SpiConfig : public QDialog {
    Q_OBJECT

public:
    // The controller lists and opens adapters on pBackend (null: real adapters).
    explicit SpiConfig(std::shared_ptr<mpsse::Backend> pBackend = nullptr, QWidget* pParent = nullptr);
    ~SpiConfig() override;

    SpiFlashCtrl* Ctrl() const { return m_pCtrl; }
    QByteArray InterfaceName() const;
    int RateIndex() const;
    bool InterfacesFound() const { return m_bInterfacesFound; }

    // The model name for an identification word and flash size.
    static QString ModelName(uint32_t nChipId, uint32_t nTotalSize, bool bFlashInfoRead);
    // The three flash information lines, joined with blank lines.
    static QString FlashInfoText(const FlashInfo& info);

public slots:
    int exec() override;

private slots:
    void InfChanged(int nIndex);
    void RefreshInf();
    void GetDevInfo();

private:
    void ShowOpenError();
    // The interface list: each name with its serial number.
    void FillInterfaces(const QList<QByteArray>& names);

    bool m_bInterfacesFound = false;
    Ui::SpiConfig* ui;
    SpiFlashCtrl* m_pCtrl;
    QStringList m_rateLabels;
};
