// The image tab: writes and reads firmware images.
#pragma once

#include <tabwidgetinf.h>

class BaseOp : public TabWidgetInf {
    Q_OBJECT

public:
    explicit BaseOp(QWidget* pParent = nullptr);

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
