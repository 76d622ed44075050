// What one chip operation did, as a value: the worker fills in what it
// learnt from the chip (identification, unique id, serial number, range,
// image digest), the caller adds the interface and the time it took. xqprog
// prints it as one JSON object; the trace file keeps it as one CSV row.
#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QMetaType>
#include <QString>

#include <cstdint>

struct OperationReport {
    enum Result { kResultOk, kResultFailed, kResultRefused };

    QString strOperation;  // "write", "erase", "read", "verify", "blank", "info", "reset", "static write", "static read"
    QString strInterface;
    Result eResult = kResultFailed;
    int nCode = 0;        // the result code; 0 for success
    QString strMessage;   // the line that says how it ended
    double dSeconds = 0;

    // The chip, as far as it was identified.
    QString strChip;      // "XQ6230"
    QString strJedec;     // manufacturer, memory type, capacity: "EF4015"
    QString strUid;       // the flash's 16-byte unique id in hexadecimal
    uint32_t nFlashSize = 0;

    // The data and where it went; -1 or empty when the operation has none.
    QString strImage;     // the image written
    QString strFile;      // the file read into, or the workbook
    QByteArray sha256;    // hexadecimal digest of the bytes written or read
    int64_t nStart = -1;
    int64_t nSize = -1;
    bool bSerial = false;  // whether a serial number was stamped (or read)
    uint32_t nSerial = 0;
    // The serial number was taken and sent but could not be read back: it
    // may be on the chip. JSON "serial_confirmed": false.
    bool bSerialUnconfirmed = false;
    // verify and blank: the first address that differs from the image (or
    // is not 0xFF) and how many bytes do; -1 when the range was not compared.
    int64_t nFirstDifference = -1;
    int64_t nDifferences = -1;

    // The production job the operation was a step of; empty outside a job.
    QString strJob;        // the job's name
    QByteArray jobSha256;  // hexadecimal digest of the job file

    void SetResult(bool bOk, int nResultCode, const QString& strLine);
    // Refused before the chip was changed.
    void Refuse(int nResultCode, const QString& strLine);
    void SetData(const QByteArray& data);  // the digest of the bytes written or read

    // "ok", "failed" or "refused".
    QString ResultName() const;
    // The JSON object of xqprog --json: the keys every operation has and
    // those of its kind, null where a value is unknown; "job" and
    // "job_sha256" in a job's run.
    QJsonObject ToJson() const;
};
Q_DECLARE_METATYPE(OperationReport)

// A flash address as the trace and the JSON output show it: "0x002000".
QString AddressText(int64_t nAddress);
// The flash's identification as the trace and the JSON output show it.
QString JedecText(uint8_t nManufacturer, uint8_t nMemoryType, uint8_t nCapacity);
// The unique id's four words, in the flash's byte order, as 32 hex digits.
QString UniqueIdText(const uint32_t uniqueId[4]);
