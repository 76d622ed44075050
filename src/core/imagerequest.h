// An image write or read as a value: what the image tab or xqprog asks the
// image worker to do, and the rules both apply before asking (erase choice,
// sizes, the texts of a refusal). The image bytes are shared, not copied,
// by every worker of a gang run.
#pragma once

#include "requestmarkers.h"
#include "results.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QMetaType>
#include <QString>

#include <cstdint>

// The erase choices of an image write, in the order the image tab offers them.
constexpr int kEraseWhole = 0;
constexpr int kEraseByFile = 1;
constexpr int kEraseBySize = 2;
// Appended after the three above, so a stored choice keeps its meaning:
// erase and program only the sectors that differ from the image.
constexpr int kEraseSmart = 3;

struct ImageWriteRequest {
    QByteArray image;           // empty: erase only
    QString strImage;           // the image's path, for the log and the record
    int32_t nStart = 0;
    int32_t nEraseBytes = 0;    // xq::kWholeChip: the whole chip
    bool bProtect = false;
    bool bSerial = false;
    uint32_t nSerial = 0;
    // After the stamp, the record is read back and compared (opt-in): a
    // record that differs fails the stamp, and its number is not stamped.
    bool bCheckSerial = false;
    // Erase and program only what differs from the flash (SpiFlashCtrl::SmartWrite);
    // needs an image, and an encrypted image is written the normal way.
    bool bSmart = false;
};
Q_DECLARE_METATYPE(ImageWriteRequest)

struct ImageReadRequest {
    int32_t nStart = 0;
    int32_t nLength = 0;        // xq::kWholeChip: from nStart to the end of the flash
    QString strSaveFile;
    bool bSerial = false;       // also read the stamped serial number
};
Q_DECLARE_METATYPE(ImageReadRequest)

// A verify (the flash compared with an image; nothing is erased or
// programmed) or, without an image, a blank check (every byte of the range
// reads 0xFF).
struct ImageVerifyRequest {
    QByteArray image;           // empty: blank check
    QString strImage;           // the image's path, for the log and the record
    int32_t nStart = 0;
    int32_t nLength = 0;        // blank check: the byte count, or xq::kWholeChip (nStart to the end)
    // The range was written just before (a job's verify step after its
    // write): a stop leaves it programmed and not verified, not unchanged.
    bool bAfterWrite = false;
};
Q_DECLARE_METATYPE(ImageVerifyRequest)

// The checks made before a request goes to the worker. Each returns an empty
// string when the input is accepted, else the text that refuses it.
class ImageRules {
    Q_DECLARE_TR_FUNCTIONS(ImageRules)

public:
    // A start address: hexadecimal, 0 to 0xFFFFFF.
    static QString StartAddress(const QString& strHex, int32_t& nStart);
    // The refusal of a start address that does not read whole.
    static QString BadStartAddress();
    // The erase count of a write for an erase choice: the whole chip, the
    // image's size, or a given byte count (decimal, or 0x hexadecimal) that
    // covers the image. nImageSize 0: erase only.
    static QString EraseCount(int nEraseMode, int64_t nImageSize, const QString& strBytes, int32_t& nEraseBytes);
    // The erase choice a word names, as xqprog and job files write it:
    // "whole", "file", "smart"; any other word is a byte count (kEraseBySize).
    static int EraseMode(const QString& strWord);
    // The word of an erase choice in a job file: "whole", "file", "size", "smart".
    static QString EraseWord(int nEraseMode);
    // An image larger than the family's largest flash.
    static QString ImageSize(int64_t nImageSize);
    // Reads an image file whole into data; refused by its size before it
    // is read. Empty when read, else the refusal naming the file.
    static QString ReadImage(const QString& strPath, QByteArray& data);
    // A read length: 1 to the largest flash (decimal, or 0x hexadecimal).
    static QString ReadLength(const QString& strBytes, int32_t& nLength);
    // A blank check length: 1 to the largest flash (decimal, or 0x hexadecimal).
    static QString BlankLength(const QString& strBytes, int32_t& nLength);
    // Why a byte count of a size field (erase, read, blank check) was
    // refused, for a line after the field's own text: not a number, zero,
    // past the end of the largest flash, or, with nImageSize > 0, smaller
    // than the image. Empty when none of these holds.
    static QString SizeReason(const QString& strBytes, int64_t nImageSize = 0);
    // The last serial number a chip can carry (the record holds 32 bits).
    static constexpr uint64_t kLastSerial = 0xFFFFFFFFu;
    // A serial number as an operator or a job file gives it: 0 to
    // kLastSerial, decimal or 0x hexadecimal. False when it is none.
    static bool ParseSerial(const QString& strText, uint32_t& nSerial);
    // The image tab's serial box: hexadecimal (with or without 0x) while it
    // shows hexadecimal, else decimal digits only; 0 to kLastSerial. False
    // when it is none.
    static bool ParseSerialBox(const QString& strText, bool bHex, uint32_t& nSerial);
};
