#include "benchfixture.h"

#include <QFile>

BenchFixture::BenchFixture(const QString& strIni)
{
    SetIni(strIni);
    m_pBackend = sim::UseSimulatedBench(m_dir.path());
    m_pCtrl = std::make_unique<SpiFlashCtrl>();
    m_pCtrl->SelectAdapter(names, 0);
    sim::BenchStats* pStats = m_pBackend->Stats(1).get();
    m_pCtrl->SetMsClock([pStats] { return pStats->VirtualMs(); });
}

BenchFixture::~BenchFixture()
{
    m_pCtrl.reset();
    mpsse::SetBackend(nullptr);
}

void BenchFixture::SetIni(const QString& strIni)
{
    if (strIni.isEmpty())
        return;
    QFile file(m_dir.path() + "/bench.ini");
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    file.write(strIni.toUtf8());
}

int BenchFixture::Open(int nRateIndex)
{
    return names.isEmpty() ? -1 : m_pCtrl->Open(names.first(), nRateIndex);
}

static QByteArray ReadAll(const QString& strPath)
{
    QFile file(strPath);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

QByteArray BenchFixture::Flash() const
{
    return ReadAll(m_dir.path() + "/flash.bin");
}

QByteArray BenchFixture::Security() const
{
    return ReadAll(m_dir.path() + "/security.bin");
}

void BenchFixture::WriteFlash(const QByteArray& data)
{
    QFile file(m_dir.path() + "/flash.bin");
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    file.write(data);
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
