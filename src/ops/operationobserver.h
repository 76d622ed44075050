// What an operation reports while it runs: log lines, progress, warnings the
// window also shows in a box, and the question whether to stop. The window's
// and xqprog's workers implement it; the operations know nothing else of them.
#pragma once

#include <QString>

class OperationObserver {
public:
    virtual ~OperationObserver() = default;
    virtual void Log(const QString& strLine) = 0;
    virtual void Progress(int nPercent) = 0;
    virtual bool StopRequested() const = 0;
    virtual void Warning(const QString& strText) = 0;
};
