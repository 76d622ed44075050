// The image tab's worker: runs an image write (reset, identify, erase,
// program plain or encrypted, verify with repair, protect, serial number,
// reset) or a flash read into a file, on its own thread. QtCore only, so the
// command-line programmer runs the very same sequences.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>

class SpiFlashCtrl;

class BaseWorker : public QObject {
    Q_OBJECT

public:
    explicit BaseWorker(QObject* pParent = nullptr);
    ~BaseWorker() override;

    bool bProtect = false;
    bool bSeqId = false;
    uint32_t nSeqId = 0;
    int32_t nStartAddr = 0;
    int32_t nEraseBytes = 0;       // -1: the whole chip
    int32_t nFileSize = 0;
    int32_t nReadBytes = 0;        // -1: from the start address to the end of the flash
    uint8_t* pFileData = nullptr;  // owned once handed over; freed at the end of every OnWrite
    SpiFlashCtrl* pSpiCtrl = nullptr;
    QString strSaveFile;

    // Hands an image over (the worker frees it).
    void SetImage(uint8_t* pData, int32_t nSize);
    // Uses an image that several workers share (no copy; the worker only reads it).
    void SetSharedImage(const QByteArray& image);
    // When set, the serial number to stamp is taken from it at the moment of
    // stamping (one counter shared by several adapters): false when no
    // number can be had, then nothing is stamped.
    std::function<bool(uint32_t& nSerial)> takeSerial;
    // Whether an image asks for encrypted programming.
    static bool IsEncryptedImage(const uint8_t* pData, int32_t nSize);
    // The 16-byte serial number record stored at security-register offset 16.
    static void SerialRecord(uint32_t nSeqId, uint8_t record[16]);

signals:
    void finish(int nOpt, bool bState);
    void log(QString);
    void progress(int);
    void seqId(uint);

public slots:
    void OnWrite();
    void OnRead();

private:
    // The write and its phases; each returns a result code or kStopped.
    int RunWrite();
    int CheckImageFits(bool bImage);
    int EraseForWrite(int nEraseSpan);
    int ProgramImage();
    int WriteSerialNumber();
    void ReportError(int rc);
    void FreeImage();
    QString SeqLine(const QString& strPrefix, uint32_t nValue) const;

    bool m_bFlashChanged = false;  // the write has begun to erase
    QByteArray m_sharedImage;      // keeps a shared image alive while pFileData points into it
};
// Security register offsets of the serial number record.
constexpr int32_t kSerialEraseOffset = 0;
constexpr int32_t kSerialEraseLength = 256;
constexpr int32_t kSerialOffset = 16;
constexpr int32_t kSerialLength = 16;
