// What the static write and read share: the chip and the observer they run
// on, the header search's lines and the length it reads, and the check that
// the record's area lies inside the flash.
#pragma once

#include "operationobserver.h"

#include <QCoreApplication>

#include <cstdint>

class SpiFlashCtrl;
struct FlashInfo;

class StaticOperation {
    Q_DECLARE_TR_FUNCTIONS(StaticOperation)

public:
    StaticOperation(SpiFlashCtrl& ctrl, OperationObserver& observer) : m_ctrl(ctrl), m_observer(observer) {}

protected:
    // The lines of the header search.
    static QString SearchingLine();
    static QString NotFoundLine();
    // The bytes the header search reads: the length rounded up to whole sectors.
    static int64_t SearchedLength(int32_t nLength);
    // The refusal line (also sent as a warning) when the range does not lie
    // inside the flash of pInfo; empty when it does or the flash size is not
    // known (pInfo null: the flash was not identified).
    QString AreaOutsideFlash(const FlashInfo* pInfo, int64_t nStart, int64_t nLength);

    SpiFlashCtrl& m_ctrl;
    OperationObserver& m_observer;
};
