// The static data tab's worker: a thread shell that runs one static write or
// read (src/ops) on the tab's thread and turns what the operation reports
// into signals. Each run takes its request as a value and ends with a report
// of what it did.
#pragma once

#include <operationobserver.h>
#include <operationreport.h>
#include <staticrecord.h>
#include <staticrequest.h>

#include <QObject>

class SpiFlashCtrl;

class Worker : public QObject, private OperationObserver {
    Q_OBJECT

public:
    explicit Worker(QObject* pParent = nullptr);

    SpiFlashCtrl* pSpiCtrl = nullptr;
    // Milliseconds to pause, on the worker's thread, before reporting a
    // record that is not there (the tab sets its pause; 0: none).
    int nNotFoundPauseMs = 0;

signals:
    void finish(int nOpt, bool bState);
    void log(QString);
    void progress(int);
    void send(const static_data_hdr*);
    // Emitted just before finish: what the run did.
    void report(const OperationReport& report);
    // A refusal the window shows in a warning box as well (the area outside
    // the flash); the line also goes to log.
    void warning(QString);

public slots:
    void OnWrite(const StaticWriteRequest& request);
    void OnRead(const StaticReadRequest& request);

private:
    void Log(const QString& strLine) override;
    void Progress(int nPercent) override;
    bool StopRequested() override;
    void Warning(const QString& strText) override;
};
