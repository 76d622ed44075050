#include "benchfixture.h"
#include "testfiles.h"

#include <QTest>

BenchFixture::BenchFixture(const QString& strIni)
{
    SetIni(strIni);
    m_pBackend = sim::MakeSimulatedBench(m_dir.path());
    m_pCtrl = std::make_unique<SpiFlashCtrl>(m_pBackend);
    m_pCtrl->SelectAdapter(names, 0);  // its clock: the adapter's, the bench's virtual time
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
