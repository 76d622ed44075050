// The static data tab's worker: writes the record into its flash area (moved
// 4 bytes on at each write, protection lifted for the write and put back) or
// finds it and hands it over. QtCore only, shared with the command-line tool.
#pragma once

#include "staticrecord.h"

#include <QObject>

class SpiFlashCtrl;

class Worker : public QObject {
    Q_OBJECT

public:
    explicit Worker(QObject* pParent = nullptr);
    ~Worker() override;

    int nStartAddr = 0;
    int nTotalSize = 0;
    int bCurrent = 0;
    SpiFlashCtrl* pSpiCtrl = nullptr;
    static_data_hdr* pStaticData = nullptr;  // owned from the hand-over until OnWrite ends
    // Used length of the layout the read record is shown in (0: none loaded);
    // a read succeeds only with a record of that length.
    int nLayoutLength = 0;

    // Hands a record over (a copy of the bytes; the worker frees it).
    void SetRecord(const QByteArray& record);
    // Milliseconds to pause before reporting a record that is not there.
    int nNotFoundPauseMs = 300;

signals:
    void finish(int nOpt, bool bState);
    void log(QString);
    void progress(int);
    void send(const static_data_hdr*);

public slots:
    void OnWrite();
    void OnRead();

private:
    void FreeRecord();
    // False (and says so) when the erase would run past the end of the flash.
    bool AreaInsideFlash(SpiFlashCtrl& ctrl, int32_t nEraseStart, int64_t nEraseLength);
    // The phases of OnWrite: where the record goes, then erase, program and read back.
    int32_t FindWriteOffset();
    int WriteRecord(int32_t nEraseStart, int32_t nEraseLength, int32_t nWriteOffset);
};

constexpr uint8_t kStatusTopHalfOpen = 0xB4;  // protects the lower half only
constexpr uint8_t kStatusAllProtected = 0x9C;
