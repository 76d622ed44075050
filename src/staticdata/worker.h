// The static data tab's worker: writes the record into its flash area (moved
// 4 bytes on at each write, protection lifted for the write and put back) or
// finds it and hands it over. QtCore only, shared with the command-line tool.
// Each run takes its request as a value and ends with a report of what it did.
#pragma once

#include "staticrecord.h"

#include <operationreport.h>
#include <staticrequest.h>

#include <QObject>

class SpiFlashCtrl;
struct FlashInfo;

class Worker : public QObject {
    Q_OBJECT

public:
    explicit Worker(QObject* pParent = nullptr);

    SpiFlashCtrl* pSpiCtrl = nullptr;
    // Milliseconds to pause before reporting a record that is not there.
    int nNotFoundPauseMs = 300;

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
    // The phases of OnWrite: where the record goes, whether the area fits,
    // then erase, program and read back.
    int RunWrite(const StaticWriteRequest& request, const FlashInfo* pInfo, OperationReport& record);
    int32_t FindWriteOffset(const StaticWriteRequest& request);
    int WriteRecord(const StaticWriteRequest& request, int32_t nEraseStart, int32_t nEraseLength, int32_t nWriteOffset);
    bool m_bAreaChanged = false;  // the write has begun to erase the area
    // The refusal when the erase would run past the end of the flash of
    // pInfo (nullptr: the flash was not identified), else empty.
    // The refusal line (also sent as warning) when the range does not lie
    // inside the flash; empty when it does or the flash size is not known.
    QString AreaOutsideFlash(const FlashInfo* pInfo, int64_t nStart, int64_t nLength);
    // Lifts the protection for the write: the status byte to put back, or -1 when none.
    int OpenProtection(int& rc);
    // Puts the status byte back and reads it back; false (and says so) when it does not hold.
    bool RestoreProtection(int nStatus);
};

constexpr uint8_t kStatusTopHalfOpen = 0xB4;  // protects the lower half only
constexpr uint8_t kStatusAllProtected = 0x9C;
