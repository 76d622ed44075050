// What an operation tells the one who runs it: log lines, progress, the
// refusals worth a warning box and the serial number it wrote or read; and
// whether it is asked to stop. The window's workers turn these into their
// signals, xqprog into its output; the operations themselves know neither.
#pragma once

#include <QString>

#include <cstdint>

class OperationObserver {
public:
    virtual ~OperationObserver() = default;

    // One line of the operation's log (several lines when it holds '\n').
    virtual void Log(const QString& strLine) = 0;
    // The operation's progress in percent, 0 to 100.
    virtual void Progress(int nPercent) = 0;
    // Whether the operation is to end at its next step. The flash commands
    // watch the controller's stop flag themselves; this is for the steps
    // between them.
    virtual bool StopRequested() { return false; }
    // A refusal the window shows in a warning box as well; the operation
    // has logged the line already.
    virtual void Warning(const QString& strLine) { Q_UNUSED(strLine) }
    // The serial number to show: the next one after a write, the chip's
    // after a read.
    virtual void SerialShown(uint32_t nSerial) { Q_UNUSED(nSerial) }
};
