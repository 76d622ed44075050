// The image tab's worker: runs an image write (reset, identify, erase,
// program plain or encrypted, verify with repair, protect, serial number,
// reset), a flash read into a file, or a verify or blank check that only
// reads, on its own thread. QtCore only, so the
// command-line programmer runs the very same sequences. Each run takes its
// request as a value and ends with a report of what it did.
#pragma once

#include <flashrange.h>
#include <imagerequest.h>
#include <operationreport.h>

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>

class SpiFlashCtrl;
struct FlashInfo;

class BaseWorker : public QObject {
    Q_OBJECT

public:
    explicit BaseWorker(QObject* pParent = nullptr);

    SpiFlashCtrl* pSpiCtrl = nullptr;
    // When set, the serial number to stamp is taken from it at the moment of
    // stamping (one counter shared by several adapters) instead of the
    // request's: false when no number can be had, then nothing is stamped.
    std::function<bool(uint32_t& nSerial)> takeSerial;

    // Whether an image asks for encrypted programming.
    static bool IsEncryptedImage(const uint8_t* pData, int32_t nSize);
    // The 16-byte serial number record stored at security-register offset 16.
    static void SerialRecord(uint32_t nSeqId, uint8_t record[16]);
    // Why an image cannot be verified without writing the chip (an encrypted
    // one), or empty. Both front ends refuse with it before the adapter opens.
    static QString VerifyRefusal(const QByteArray& image);

signals:
    void finish(int nOpt, bool bState);
    void log(QString);
    void progress(int);
    void seqId(uint);
    // Emitted just before finish: what the run did.
    void report(const OperationReport& report);
    // A refusal the window shows in a warning box as well (the range of an
    // operation outside the flash); the line also goes to log.
    void warning(QString);

public slots:
    void OnWrite(const ImageWriteRequest& request);
    void OnRead(const ImageReadRequest& request);
    // Compares the flash with the request's image, or checks that its range
    // is blank; erases and programs nothing. Reports "verify" or "blank" and
    // finishes with xq::kOptVerify.
    void OnVerify(const ImageVerifyRequest& request);

private:
    // Emits progress only when the percentage changes: the flash steps
    // report every page, and each signal is an event queued to the window.
    void Progress(int nPercent);
    int m_nLastProgress = -1;

    // The write and its phases; each returns a result code or kStopped.
    int RunWrite(const ImageWriteRequest& request, OperationReport& record);
    int CheckImageFits(const ImageWriteRequest& request, OperationReport& record);
    // Flash mode, chip registers, protection lifted (and checked gone).
    int PrepareFlash();
    // Sets the protection and reads it back.
    int ProtectFlash();
    int SmartWriteImage(const ImageWriteRequest& request);
    int EraseForWrite(const ImageWriteRequest& request, OperationReport& record, int nEraseSpan);
    int ProgramImage(const ImageWriteRequest& request, OperationReport& record);
    int WriteSerialNumber(const ImageWriteRequest& request, OperationReport& record);
    int BlankCheck(const ImageWriteRequest& request);
    int RunRead(const ImageReadRequest& request, OperationReport& record);
    int RunVerify(const ImageVerifyRequest& request, OperationReport& record);
    // Reads nLength bytes from nStart and compares them with pExpected (null:
    // 0xFF everywhere); the first differing address and the count go into
    // record. Progress runs from nFrom to nTo.
    int CompareFlash(int32_t nStart, int32_t nLength, const uint8_t* pExpected, int nFrom, int nTo,
                     OperationReport& record);
    void ReportError(int rc);
    // After a failure, the log line naming the bytes outside the request not put back.
    void LogLoss(int rc, const xq::FlashLoss& loss);
    QString SeqLine(const QString& strPrefix, uint32_t nValue) const;

    uint32_t m_nFlashSize = 0;  // from the write's identification; 0: not known
    bool m_bFlashChanged = false;  // the write has begun to erase
};

// Security register offsets of the serial number record.
constexpr int32_t kSerialEraseOffset = 0;
constexpr int32_t kSerialEraseLength = 256;
constexpr int32_t kSerialOffset = 16;
constexpr int32_t kSerialLength = 16;
