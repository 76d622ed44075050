// A simulated bench in a temporary directory, with a controller opened on it
// through the real adapter link and adapter library.
#pragma once

#include "flashpattern.h"

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
    // A controller with the FTDI adapter selected; its clock is the adapter's, the bench's virtual time.
    SpiFlashCtrl& Ctrl() { return *m_pCtrl; }
    // Opens the first interface at the rate index.
    int Open(int nRateIndex = 9);
    void Close() { m_pCtrl->Close(); }
    // The chip's identification word (0 when it could not be read).
    uint32_t ChipId()
    {
        uint32_t nId = 0;
        return m_pCtrl->ReadChipId(&nId) == 0 ? nId : 0;
    }
    QByteArray Flash() const;           // flash.bin (close the link first)
    QByteArray Security() const;        // security.bin
    void WriteFlash(const QByteArray& data);
    void SetIni(const QString& strIni);

    // The flash guard (flashpattern.h) on this bench's flash.bin.
    const QByteArray& FillPattern(int nSize = FlashPattern::kBenchFlashSize, uint32_t nSeed = 0x5EED)
    {
        return m_pattern.Fill(Dir() + "/flash.bin", nSize, nSeed);
    }
    QString ChangedOutside(const QVector<FlashRange>& written) const { return m_pattern.ChangedOutside(written); }
    QList<QByteArray> names;

private:
    QTemporaryDir m_dir;
    std::shared_ptr<sim::SimBackend> m_pBackend;
    std::unique_ptr<SpiFlashCtrl> m_pCtrl;
    FlashPattern m_pattern;
};
