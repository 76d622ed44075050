// What the static write and read share: the chip and the observer they run
// on, the header search's lines and the length it reads.
#pragma once

#include "operationobserver.h"

#include <QCoreApplication>

#include <cstdint>

class SpiFlashCtrl;

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

    SpiFlashCtrl& m_ctrl;
    OperationObserver& m_observer;
};
