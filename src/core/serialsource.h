// Where a write's serial numbers come from and where its chip records go,
// for the window and xqprog alike: a counter file on this PC or the line
// database shared by every station. A number is taken at the moment its
// chip is stamped and settled right after (stamped, or why not), so none is
// handed out twice or lost without a record saying why.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

struct OperationReport;

// What is known of the chip when its number is taken.
struct SerialTakeInfo {
    QString strAdapter;     // the interface the chip is on
    QString strUid;         // the flash's unique id, when read
    QString strJob;         // the production job, or empty
    QByteArray imageSha256; // hexadecimal digest of the image written
};

class SerialSource {
public:
    virtual ~SerialSource() = default;
    // The next number, taken for good before it goes to the chip; false
    // with the reason when none can be had (then nothing is stamped).
    virtual bool Take(const SerialTakeInfo& info, uint32_t& nSerial, QString& strError) = 0;
    // After the stamp: whether nSerial is on the chip, else the reason.
    virtual void Settle(uint32_t nSerial, bool bStamped, const QString& strReason, const QString& strUid)
    {
        (void)nSerial, (void)bStamped, (void)strReason, (void)strUid;
    }
    // The next free number (2^32 once every number is taken; -1 when unknown).
    virtual int64_t NextFree() = 0;
};

// Takes a record of every operation that reached a chip, beside the trace file.
class ChipRecordSink {
public:
    virtual ~ChipRecordSink() = default;
    // strRun ties the steps of one chip's run together. False with the
    // reason only when the record is lost (not even kept for later).
    virtual bool Record(const OperationReport& report, const QString& strRun, QString& strError) = 0;
};
