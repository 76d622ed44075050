// A static data write or read as a value: what the static data tab or
// xqprog asks the static data worker to do, and the rules of the record's
// area that both apply before asking.
#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QMetaType>
#include <QString>

#include <cstdint>

constexpr int kStaticHeaderSize = 20;           // the record's header
constexpr int32_t kStaticDefaultStart = 0x1FF000;  // the area's start when the workbook names none
constexpr int32_t kStaticMaxTotal = 262143;     // 0x3FFFF: the largest area

struct StaticWriteRequest {
    QByteArray record;   // the header (with the total size) and the data bytes
    int32_t nStart = kStaticDefaultStart;
    int32_t nTotal = 0;  // the area's length
    bool bCurrent = false;  // the current values rather than the defaults
    QString strWorkbook;    // the layout it came from, for the record
};
Q_DECLARE_METATYPE(StaticWriteRequest)

struct StaticReadRequest {
    int32_t nStart = kStaticDefaultStart;
    int32_t nTotal = 0;
    // Used length of the layout the read record is shown in (0: none loaded);
    // a read succeeds only with a record of that length.
    int nLayoutLength = 0;
};
Q_DECLARE_METATYPE(StaticReadRequest)

class StaticRules {
    Q_DECLARE_TR_FUNCTIONS(StaticRules)

public:
    // The area a layout needs at least: the header and the used length,
    // rounded up to whole 4-byte words.
    static int32_t DefaultTotal(int nUsedLength) { return (nUsedLength + kStaticHeaderSize + 3) & ~3; }
    // Empty when an area of nTotal bytes holds the layout's record, else the
    // text that refuses it.
    static QString Total(int64_t nTotal, int nReadOnlyLength, int nUsedLength);
    // A total size as the tab's box or xqprog gives it: decimal, or 0x
    // hexadecimal. False when it does not read as a number.
    static bool ParseTotal(const QString& strText, int64_t& nTotal);
    // The refusal of a total size, also where the box does not read as a number.
    static QString TotalRefusal();
    // The line that ends a static write refused before it was asked for.
    static QString WriteRefusedLine();
};
