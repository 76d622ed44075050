// The operations that leave the flash as it is: the reset and the device
// information. Plain classes on an open controller, like the image ones.
#pragma once

#include "operationobserver.h"

#include <operationreport.h>

#include <functional>

class SpiFlashCtrl;

// Restarts the chip (its soft reset).
class Reset {
public:
    Reset(SpiFlashCtrl& ctrl, OperationObserver& observer) : m_ctrl(ctrl), m_observer(observer) {}

    // Resets; the report and the log say how it ended. Returns the result code.
    int Run(OperationReport& report);

private:
    SpiFlashCtrl& m_ctrl;
    OperationObserver& m_observer;
};

// Identifies the chip and its flash.
class Info {
public:
    Info(SpiFlashCtrl& ctrl, OperationObserver& observer) : m_ctrl(ctrl), m_observer(observer) {}

    // The report gets the model, and the flash's identification when it
    // answers; show gets the lines to put before the operator (the model
    // line, then the flash's), a flash that does not answer goes to the
    // log. Returns the result code of the flash identification.
    int Run(OperationReport& report, const std::function<void(const QString&)>& show);

private:
    SpiFlashCtrl& m_ctrl;
    OperationObserver& m_observer;
};
