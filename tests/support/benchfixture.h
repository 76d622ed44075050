// A simulated bench in a temporary directory, with a controller opened on it
// through the real adapter link and adapter library.
#pragma once

#include <simbench.h>
#include <spiflashctrl.h>

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <QVector>

#include <memory>

class BenchFixture {
public:
    // Writes bench.ini from the given text (empty: defaults) and makes the
    // bench; Ctrl() lists and opens on it. Whatever else should reach this
    // bench (a window, a dialog, an SpiFtdi) is given BackendPtr().
    explicit BenchFixture(const QString& strIni = QString());
    ~BenchFixture();

    QString Dir() const { return m_dir.path(); }
    sim::SimBackend& Backend() { return *m_pBackend; }
    const std::shared_ptr<sim::SimBackend>& BackendPtr() const { return m_pBackend; }
    sim::BenchStats& Stats() { return *m_pBackend->Stats(1); }
    // A controller with the FTDI adapter selected, its WaitReady clock on the bench's virtual time.
    SpiFlashCtrl& Ctrl() { return *m_pCtrl; }
    // Opens the first interface at the rate index.
    int Open(int nRateIndex = 9);
    void Close() { m_pCtrl->Close(); }
    QByteArray Flash() const;           // flash.bin (close the link first)
    QByteArray Security() const;        // security.bin
    void WriteFlash(const QByteArray& data);
    void SetIni(const QString& strIni);

    // Guards the flash outside what a test writes or erases: FillPattern
    // fills the whole flash (of nSize bytes) with pseudo-random bytes before
    // the run; after it (link closed) ChangedOutside names the first byte
    // outside the given ranges that no longer holds the pattern, or is empty.
    struct Range {
        qint64 nStart;
        qint64 nLength;
    };
    const QByteArray& FillPattern(int nSize = kBenchFlashSize, uint32_t nSeed = 0x5EED);
    QString ChangedOutside(const QVector<Range>& written) const;
    const QByteArray& Pattern() const { return m_pattern; }
    static constexpr int kBenchFlashSize = 2 * 1024 * 1024;
    QList<QByteArray> names;

private:
    QTemporaryDir m_dir;
    std::shared_ptr<sim::SimBackend> m_pBackend;
    std::unique_ptr<SpiFlashCtrl> m_pCtrl;
    QByteArray m_pattern;
};

// The flash outside the written ranges still holds the bench's pattern.
#define XQ_VERIFY_FLASH_KEPT(bench, ...)                                  \
    do {                                                                  \
        const QString strChanged_ = (bench).ChangedOutside(__VA_ARGS__);  \
        QVERIFY2(strChanged_.isEmpty(), qPrintable(strChanged_));         \
    } while (false)

// Deterministic pseudo-random bytes.
QByteArray RandomBytes(int n, uint32_t nSeed);
