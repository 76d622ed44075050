#include "spiflashctrl.h"

SpiFlashCtrl::SpiFlashCtrl(std::shared_ptr<mpsse::Backend> pBackend) : m_link(std::move(pBackend)) {}

SpiFlashCtrl::~SpiFlashCtrl() = default;
