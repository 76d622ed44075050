#include "benchfixture.h"
#include "testfiles.h"

#include <QTest>

BenchFixture::BenchFixture(const QString& strIni)
{
    SetIni(strIni);
    m_pBackend = sim::MakeSimulatedBench(m_dir.path());
    m_pCtrl = std::make_unique<SpiFlashCtrl>(m_pBackend);
    m_pCtrl->SelectAdapter(names, 0);
    sim::BenchStats* pStats = m_pBackend->Stats(1).get();
    m_pCtrl->SetMsClock([pStats] { return pStats->VirtualMs(); });
}

BenchFixture::~BenchFixture()
{
    m_pCtrl.reset();
}

void BenchFixture::SetIni(const QString& strIni)
{
    if (strIni.isEmpty())
        return;
    if (!WriteFile(m_dir.path() + "/bench.ini", strIni.toUtf8()))
        QTest::qFail("bench.ini not written", __FILE__, __LINE__);
}

int BenchFixture::Open(int nRateIndex)
{
    return names.isEmpty() ? -1 : m_pCtrl->Open(names.first(), nRateIndex);
}

QByteArray BenchFixture::Flash() const
{
    return Slurp(m_dir.path() + "/flash.bin");
}

QByteArray BenchFixture::Security() const
{
    return Slurp(m_dir.path() + "/security.bin");
}

void BenchFixture::WriteFlash(const QByteArray& data)
{
    if (!WriteFile(m_dir.path() + "/flash.bin", data))
        QTest::qFail("flash.bin not written", __FILE__, __LINE__);
}

const QByteArray& BenchFixture::FillPattern(int nSize, uint32_t nSeed)
{
    m_pattern = RandomBytes(nSize, nSeed);
    WriteFlash(m_pattern);
    return m_pattern;
}

QString BenchFixture::ChangedOutside(const QVector<Range>& written) const
{
    const QByteArray after = Flash();
    if (after.size() != m_pattern.size())
        return QString("flash.bin holds %1 bytes, the pattern %2").arg(after.size()).arg(m_pattern.size());
    QVector<bool> inside(after.size(), false);
    for (const Range& r : written)
        for (qint64 a = qMax<qint64>(r.nStart, 0); a < r.nStart + r.nLength && a < after.size(); ++a)
            inside[int(a)] = true;
    for (int a = 0; a < after.size(); ++a) {
        if (!inside[a] && after[a] != m_pattern[a])
            return QString("byte 0x%1 outside the written ranges changed from %2 to %3")
                .arg(a, 0, 16)
                .arg(uint8_t(m_pattern[a]), 2, 16, QChar('0'))
                .arg(uint8_t(after[a]), 2, 16, QChar('0'));
    }
    return QString();
}

QByteArray RandomBytes(int n, uint32_t nSeed)
{
    QByteArray data(n, 0);
    uint32_t x = nSeed * 2654435761u + 1;
    for (int i = 0; i < n; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        data[i] = char(x >> 24);
    }
    return data;
}
