#include "spiflashctrl.h"

SpiFlashCtrl::SpiFlashCtrl() = default;

SpiFlashCtrl::~SpiFlashCtrl() = default;
