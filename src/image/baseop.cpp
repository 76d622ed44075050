#include "baseop.h"

BaseOp::BaseOp(QWidget* pParent) : TabWidgetInf(pParent) {}

void BaseOp::SetFlashCtrl(SpiFlashCtrl* pCtrl)
{
    if (pCtrl)
        m_pSpiCtrl = pCtrl;
}

void BaseOp::Write()
{
    emit log("镜像烧写尚未提供");
    emit finish(1, true);
}

void BaseOp::Read()
{
    emit log("镜像读取尚未提供");
    emit finish(0, true);
}

void BaseOp::LoadSettings() {}
void BaseOp::SaveSettings() {}
void BaseOp::winStateChanged(Qt::WindowStates state)
{
    Q_UNUSED(state);
}
