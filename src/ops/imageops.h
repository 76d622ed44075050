// The image operations: a write (reset, identify, erase, program plain or
// encrypted or only the changed sectors, verify with repair, protect, serial
// number, reset), a flash read into a file, and a verify or blank check
// that only reads. Plain classes on a controller that is open: each run
// takes its request as a value, tells its steps through an observer and
// fills in a report of what it did. The window's BaseWorker and xqprog run
// these same steps.
#pragma once

#include "operationobserver.h"
#include "stepend.h"

#include <flashrange.h>
#include <imagerequest.h>
#include <operationreport.h>

#include <QCoreApplication>
#include <QString>

#include <cstdint>
#include <functional>

class SpiFlashCtrl;

// Security register offsets of the serial number record.
constexpr int32_t kSerialEraseOffset = 0;
constexpr int32_t kSerialEraseLength = 256;
constexpr int32_t kSerialOffset = 16;
constexpr int32_t kSerialLength = 16;

// What the image operations share: the controller and the observer,
// progress told only when it changes, the error lines and the comparison
// of the flash with the expected bytes.
class ImageOperation {
    Q_DECLARE_TR_FUNCTIONS(ImageOperation)

public:
    // Whether an image asks for encrypted programming.
    static bool IsEncryptedImage(const uint8_t* pData, int32_t nSize);
    // The 16-byte serial number record stored at security-register offset 16.
    static void SerialRecord(uint32_t nSeqId, uint8_t record[16]);
    // Why an image cannot be verified without writing the chip (an encrypted
    // one), or empty. Both front ends refuse with it before the adapter opens.
    static QString VerifyRefusal(const QByteArray& image);

protected:
    ImageOperation(SpiFlashCtrl& ctrl, OperationObserver& observer) : m_ctrl(ctrl), m_observer(observer) {}

    void Log(const QString& strLine) { m_observer.Log(strLine); }
    // Tells progress only when the percentage changes: the flash steps
    // report every page, and the window gets each one as a queued event.
    void Progress(int nPercent);
    // The log line of a result (with its cause first where one is known).
    void ReportError(int rc);
    // After a failure, the log line naming the bytes outside the request not put back.
    void LogLoss(int rc, const xq::FlashLoss& loss);
    QString SeqLine(const QString& strPrefix, uint32_t nValue) const;
    // A flash that did not identify itself before a read or a compare.
    static QString NoFlashAnswerText();
    // The comparison of the flash with the image begins.
    static QString VerifyingText();
    // Reads nLength bytes from nStart and compares them with pExpected (null:
    // 0xFF everywhere); the first differing address and the count go into
    // record. Progress runs from nFrom to nTo.
    int CompareFlash(int32_t nStart, int32_t nLength, const uint8_t* pExpected, int nFrom, int nTo,
                     OperationReport& record);

    SpiFlashCtrl& m_ctrl;
    OperationObserver& m_observer;

private:
    int m_nLastProgress = -1;
};

class ImageWrite : public ImageOperation {
    Q_DECLARE_TR_FUNCTIONS(ImageOperation)

public:
    ImageWrite(SpiFlashCtrl& ctrl, OperationObserver& observer) : ImageOperation(ctrl, observer) {}

    // When set, the serial number to stamp is taken from it at the moment of
    // stamping (one counter shared by several adapters) instead of the
    // request's: false when no number can be had, then nothing is stamped.
    std::function<bool(uint32_t& nSerial)> takeSerial;

    // Writes the request's image (or erases alone when it has none); record
    // gets what the run did. Returns the result code.
    int Run(const ImageWriteRequest& request, OperationReport& record);
    // The write's range rule on a flash of nFlashSize bytes: the image and
    // the given erase size from the start lie inside it. Empty when they do.
    static QString RangeRefusal(const ImageWriteRequest& request, uint32_t nFlashSize);
    // The line of a serial number whose stamp could not be read back.
    static QString SerialUnconfirmedText(uint32_t nSerial);
    // The bytes the write's range rule holds to the flash from the start:
    // the image or the given erase size, whichever is longer.
    static int64_t RangeLength(const ImageWriteRequest& request);

private:
    // The write and its phases; each returns a result code or kEndedAndReported.
    int RunWrite(const ImageWriteRequest& request, OperationReport& record);
    int CheckImageFits(const ImageWriteRequest& request, OperationReport& record);
    // Flash mode, chip registers, protection lifted (and checked gone).
    int PrepareFlash();
    // Sets the protection and reads it back.
    int ProtectFlash();
    int SmartWriteImage(const ImageWriteRequest& request, OperationReport& record);
    int EraseForWrite(const ImageWriteRequest& request, OperationReport& record, int nEraseSpan);
    int ProgramImage(const ImageWriteRequest& request, OperationReport& record);
    int WriteSerialNumber(const ImageWriteRequest& request, OperationReport& record);
    int BlankCheck(const ImageWriteRequest& request);

    uint32_t m_nFlashSize = 0;  // from the write's identification; 0: not known
    int m_nStopPoint = 0;  // xq::StopPoint: what a stop now would leave on the chip
};

class ImageRead : public ImageOperation {
    Q_DECLARE_TR_FUNCTIONS(ImageOperation)

public:
    ImageRead(SpiFlashCtrl& ctrl, OperationObserver& observer) : ImageOperation(ctrl, observer) {}

    // Reads the request's range into its file (and the serial number when
    // asked). Returns the result code.
    int Run(const ImageReadRequest& request, OperationReport& record);

private:
    int RunRead(const ImageReadRequest& request, OperationReport& record);
};

class ImageVerify : public ImageOperation {
    Q_DECLARE_TR_FUNCTIONS(ImageOperation)

public:
    ImageVerify(SpiFlashCtrl& ctrl, OperationObserver& observer) : ImageOperation(ctrl, observer) {}

    // Compares the flash with the request's image, or checks that its range
    // is blank; erases and programs nothing. Reports "verify" or "blank".
    int Run(const ImageVerifyRequest& request, OperationReport& record);

private:
    int RunVerify(const ImageVerifyRequest& request, OperationReport& record);
};
