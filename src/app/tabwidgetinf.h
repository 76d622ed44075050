// The contract of an operation tab of the main window: it receives the chip
// controller, starts its write or read on a worker thread when the window
// asks, keeps its own settings, and reports through finish/log/progress.
#pragma once

#include <results.h>

#include <QWidget>

class SpiFlashCtrl;

class TabWidgetInf : public QWidget {
    Q_OBJECT

public:
    using QWidget::QWidget;

    virtual void SetFlashCtrl(SpiFlashCtrl* pCtrl) = 0;
    virtual void Write() = 0;
    virtual void Read() = 0;
    virtual void LoadSettings() = 0;
    virtual void SaveSettings() = 0;
    // Ends the tab's worker thread once its running operation has returned,
    // and waits for it. The window calls it before the controller goes;
    // calling it again does nothing.
    virtual void StopWorker() {}

public slots:
    virtual void winStateChanged(Qt::WindowStates state) = 0;

signals:
    void startWrite();
    void startRead();
    void finish(int nOpt, bool bState = true);
    void log(QString);
    void progress(int);
};

