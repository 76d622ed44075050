// The serial numbers of an xqprog write: taken one at a time, at the moment
// each chip is stamped, from one counter that the run's adapters share, so
// they stay unique and consecutive even when an adapter fails. With a
// counter file the counter is shared by successive runs and by every xqprog
// process on this PC as well.
#pragma once

#include <serialsource.h>

#include <QMutex>
#include <QString>

#include <cstdint>

class SerialCounter : public SerialSource {
public:
    // Counts from nFirst; with strFile, from the number the file holds (one
    // decimal number, the next free one), or from nFirst when it is missing.
    // Everything that could make a later Take fail is found here, before any
    // chip is touched: the file is locked once and written back (created when
    // missing), and nNeeded numbers must be left. False with a message.
    bool Init(const QString& strFile, uint32_t nFirst, QString& strError, int nNeeded = 1);
    // What Init finds wrong with the file's number, without locking or
    // writing anything: for a check that must leave the disk as it is.
    static bool Check(const QString& strFile, uint32_t nFirst, QString& strError, int nNeeded = 1);
    // The next number. With a file, the file is advanced under its lock
    // (and replaced atomically) before the number is handed out.
    bool Take(uint32_t& nSerial, QString& strError);
    // The next free number (2^32 once every number is taken).
    uint64_t Next();
    // The number a counter from nFirst (with strFile, from that file) would
    // give next, read without taking the lock or writing anything; nFirst
    // when the file is missing or does not hold a number.
    static uint64_t Peek(const QString& strFile, uint32_t nFirst);

    bool Take(const SerialTakeInfo&, uint32_t& nSerial, QString& strError) override { return Take(nSerial, strError); }
    int64_t NextFree() override { return int64_t(Next()); }

private:
    bool ReadFile(uint64_t& nValue, QString& strError) const;
    // Stores nValue as the next free number, atomically.
    bool WriteFile(uint64_t nValue, QString& strError) const;
    QString NoneLeft() const;

    QMutex m_mutex;
    QString m_strFile;
    uint64_t m_nNext = 1;
};
