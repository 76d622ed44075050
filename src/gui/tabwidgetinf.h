// The contract of an operation tab of the main window: it receives the chip
// controller, starts its write or read on a worker thread when the window
// asks, keeps its own settings, and reports through finish/log/progress and,
// for the traceability record, report. Each tab hands its worker a request
// value with a signal of its own.
#pragma once

#include <operationreport.h>
#include <operationkind.h>

#include <QWidget>

class SpiFlashCtrl;

class TabWidgetInf : public QWidget {
    Q_OBJECT

public:
    using QWidget::QWidget;

    virtual void SetFlashCtrl(SpiFlashCtrl* pCtrl) = 0;
    virtual void Write() = 0;
    virtual void Read() = 0;
    // A verify against the tab's image (bBlank false) or a blank check of its
    // erase range; only a tab whose CanVerify is true is asked.
    virtual bool CanVerify() const { return false; }
    virtual void Verify(bool bBlank) { Q_UNUSED(bBlank); }
    virtual void LoadSettings() = 0;
    virtual void SaveSettings() = 0;
    // Ends the tab's worker thread once its running operation has returned,
    // and waits for it. The window calls it before the controller goes;
    // calling it again does nothing.
    virtual void StopWorker() {}

public slots:
    virtual void winStateChanged(Qt::WindowStates state) = 0;

signals:
    // The tab has handed a write or read (a verify or blank check: a read) to its worker (the request itself
    // travels with a signal of the tab's own).
    void startWrite();
    void startRead();
    void finish(int nOpt, bool bState = true);  // nOpt: OptOf(OperationKind)
    void log(QString);
    void progress(int);
    // What a chip operation did, just before its finish.
    void report(const OperationReport& report);
};

