// The static data tab: writes and reads the typed static-data record.
#pragma once

#include <tabwidgetinf.h>

class StaticData : public TabWidgetInf {
    Q_OBJECT

public:
    explicit StaticData(QWidget* pParent = nullptr);

    void SetFlashCtrl(SpiFlashCtrl* pCtrl) override;
    void Write() override;
    void Read() override;
    void LoadSettings() override;
    void SaveSettings() override;

public slots:
    void winStateChanged(Qt::WindowStates state) override;

private:
    SpiFlashCtrl* m_pSpiCtrl = nullptr;
};
