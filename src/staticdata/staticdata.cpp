#include "staticdata.h"

StaticData::StaticData(QWidget* pParent) : TabWidgetInf(pParent) {}

void StaticData::SetFlashCtrl(SpiFlashCtrl* pCtrl)
{
    if (pCtrl)
        m_pSpiCtrl = pCtrl;
}

void StaticData::Write()
{
    emit log("静态数据写入尚未提供");
    emit finish(1, true);
}

void StaticData::Read()
{
    emit log("静态数据读取尚未提供");
    emit finish(0, true);
}

void StaticData::LoadSettings() {}
void StaticData::SaveSettings() {}
void StaticData::winStateChanged(Qt::WindowStates state)
{
    Q_UNUSED(state);
}
