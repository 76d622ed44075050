// Guards the flash outside what a test writes or erases: Fill puts
// pseudo-random bytes into a bench's flash.bin before the run; after it
// (link closed or process ended) ChangedOutside names the first byte outside
// the given ranges that no longer holds them, or is empty.
#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

#include <cstdint>

struct FlashRange {
    qint64 nStart;
    qint64 nLength;
};

class FlashPattern {
public:
    static constexpr int kBenchFlashSize = 2 * 1024 * 1024;

    // Writes nSize pattern bytes to the flash file, making its directory if needed.
    const QByteArray& Fill(const QString& strFlashFile, int nSize = kBenchFlashSize, uint32_t nSeed = 0x5EED);
    QString ChangedOutside(const QVector<FlashRange>& written) const;
    const QByteArray& Bytes() const { return m_pattern; }

private:
    QString m_strFile;
    QByteArray m_pattern;
};

// Fills the flash of every adapter of a gang bench (adapter-1 ... adapter-N),
// each with a pattern of its own.
QVector<FlashPattern> FillGangFlash(const QString& strBenchDir, int nAdapters);

// The flash outside the written ranges still holds the pattern (guard: a
// FlashPattern or a BenchFixture).
#define XQ_VERIFY_FLASH_KEPT(guard, ...)                                  \
    do {                                                                  \
        const QString strChanged_ = (guard).ChangedOutside(__VA_ARGS__);  \
        QVERIFY2(strChanged_.isEmpty(), qPrintable(strChanged_));         \
    } while (false)

// The ranges a log's lines name as not put back (xq::FlashLossText).
QVector<FlashRange> NamedLosses(const QString& strLog);

// Deterministic pseudo-random bytes.
QByteArray RandomBytes(int n, uint32_t nSeed);
