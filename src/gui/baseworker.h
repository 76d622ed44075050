// The image tab's worker: a thread shell that runs one image operation of
// src/ops (a write, a read into a file, a verify or blank check) on its own
// thread and turns what the operation tells into its signals. Each run takes its request as
// a value and ends with a report of what it did, then finish.
#pragma once

#include <imageops.h>
#include <operationobserver.h>
#include <serialsource.h>

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>

class SpiFlashCtrl;

class BaseWorker : public QObject, private OperationObserver {
    Q_OBJECT

public:
    explicit BaseWorker(QObject* pParent = nullptr);

    SpiFlashCtrl* pSpiCtrl = nullptr;
    // When set, the serial number to stamp is taken from it at the moment of
    // stamping (one counter shared by several adapters) instead of the
    // request's: false when no number can be had, then nothing is stamped.
    std::function<bool(uint32_t& nSerial)> takeSerial;
    // When set (the line database's counter), the numbers come from it
    // instead, taken and settled as xqprog's write does; set before the
    // write is started, with the adapter the numbers are recorded for.
    SerialSource* pSerials = nullptr;
    QString strSerialAdapter;

    // Whether an image asks for encrypted programming.
    static bool IsEncryptedImage(const uint8_t* pData, int32_t nSize)
    {
        return ImageOperation::IsEncryptedImage(pData, nSize);
    }
    // Why an image cannot be verified without writing the chip (an encrypted
    // one), or empty. Both front ends refuse with it before the adapter opens.
    static QString VerifyRefusal(const QByteArray& image) { return ImageOperation::VerifyRefusal(image); }

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
    // finishes as OperationKind::kVerify.
    void OnVerify(const ImageVerifyRequest& request);

private:
    // One log signal per line, so each line gets its own time stamp.
    void Log(const QString& strLine) override
    {
        for (const QString& strPart : strLine.split('\n'))
            emit log(strPart);
    }
    void Progress(int nPercent) override { emit progress(nPercent); }
    bool StopRequested() override;
    void Warning(const QString& strLine) override { emit warning(strLine); }
    void SerialShown(uint32_t nSerial) override { emit seqId(nSerial); }
};
