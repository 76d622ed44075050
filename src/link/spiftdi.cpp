#include "spiftdi.h"

#include <adapters.h>
#include <results.h>

#include <QCoreApplication>
#include <QDebug>
#include <QStringList>

#include <atomic>
#include <cstdio>
#include <cstring>

const mpsse::DeviceId* const kSupportedDevices = mpsse::SupportedDeviceIds();

const std::map<uint32_t, AdapterType>& AdapterTypeMap()
{
    static const std::map<uint32_t, AdapterType> map = [] {
        std::map<uint32_t, AdapterType> types;
        size_t nRows = 0;
        const mpsse::AdapterRow* pRows = mpsse::AdapterRows(&nRows);
        for (size_t i = 0; i < nRows; ++i)
            if (pRows[i].pTypeName)
                types.emplace(pRows[i].id.nProduct, AdapterType{pRows[i].pTypeName, pRows[i].nTypeChannel});
        return types;
    }();
    return map;
}

namespace {
// Fields of a stored 40-byte device record.
uint32_t RecordU32(const SpiFtdi::DeviceRecord& rec, size_t nOffset)
{
    uint32_t v;
    std::memcpy(&v, rec.data() + nOffset, sizeof v);
    return v;
}
constexpr size_t kOffProduct = offsetof(mpsse::DevInfo, nProduct);
constexpr size_t kOffLocation = offsetof(mpsse::DevInfo, nLocation);
constexpr size_t kOffSubLocation = offsetof(mpsse::DevInfo, nSubLocation);
constexpr size_t kOffNaming = offsetof(mpsse::DevInfo, nNaming);
}  // namespace

QString AdapterFaultText(const mpsse::AdapterError& error)
{
    switch (error.nFault) {
    case mpsse::AdapterFault::kNoReply:
        return QCoreApplication::translate("SpiFtdi", "%1 毫秒内没有应答: 收到 %2 / %3 字节")
            .arg(error.nTimeoutMs)
            .arg(error.nReceived)
            .arg(error.nExpected);
    case mpsse::AdapterFault::kNoSyncAnswer:
        return QCoreApplication::translate("SpiFtdi", "MPSSE 没有应答同步探测");
    case mpsse::AdapterFault::kNone:
    case mpsse::AdapterFault::kNoPermission:
    case mpsse::AdapterFault::kLibrary:
        break;
    }
    return QString::fromStdString(error.strText);
}

QString AccessHintText()
{
    return QCoreApplication::translate("SpiFtdi",
                                       "xqprogrammer: 没有打开USB适配器的权限。请把 udev 规则 "
                                       "packaging/60-xqprogrammer.rules 安装到 /etc/udev/rules.d/，运行 "
                                       "'udevadm control --reload-rules && udevadm trigger'，把自己加入 "
                                       "plugdev 组，然后重新登录。");
}

SpiFtdi::SpiFtdi(std::shared_ptr<mpsse::Backend> pBackend)
    : m_pBackend(pBackend ? std::move(pBackend) : std::shared_ptr<mpsse::Backend>(mpsse::MakeFtdiBackend()))
{
}

SpiFtdi::~SpiFtdi()
{
    Close();
}

int SpiFtdi::Init(QList<QByteArray>& names, const QByteArray& strLibPath)
{
    Q_UNUSED(strLibPath);  // the adapter library is linked in, not loaded from a path
    return Enumerate(names);
}

QByteArray FindAdapter(const QList<AdapterDescription>& adapters, const QString& strKey, QString& strError)
{
    QStringList bySerial;
    QByteArray strFound;
    for (const AdapterDescription& adapter : adapters) {
        if (QString::fromUtf8(adapter.strName) == strKey)
            return adapter.strName;
        if (!adapter.strSerial.isEmpty() && adapter.strSerial == strKey) {
            bySerial << QString::fromUtf8(adapter.strName);
            strFound = adapter.strName;
        }
    }
    // Adapters with a cloned EEPROM share a serial number: it names none of them.
    if (bySerial.size() > 1) {
        strError = QCoreApplication::translate("SpiFtdi", "多个适配器带有同一序列号 %1: %2").arg(strKey, bySerial.join(", "));
        return QByteArray();
    }
    if (bySerial.isEmpty())
        strError = QCoreApplication::translate("SpiFtdi", "没有这个接口或序列号: %1").arg(strKey);
    return strFound;
}

int SpiFtdi::Enumerate(QList<QByteArray>& names)
{
    m_deviceMap.clear();
    m_adapters.clear();
    Close();
    int nCount = 0;
    mpsse::DevInfo* pList = nullptr;
    // The library's count, or a negative libusb-style code that says the
    // bus could not be read; neither travels beyond this function.
    const int nListed = mpsse::GetDevInfoAll(*m_pBackend, kSupportedDevices, &nCount, &pList);
    if (nListed < 0)
        return xq::kErrAdapterList;
    names.clear();
    for (mpsse::DevInfo* p = pList; p; p = p->pNext) {
        DeviceRecord rec;
        std::memcpy(rec.data(), p, rec.size());
        // The strings go with the list; the record keeps no pointer into it.
        std::memset(rec.data() + offsetof(mpsse::DevInfo, pStrings), 0, sizeof p->pStrings);
        char strType[12];
        const auto it = AdapterTypeMap().find(p->nProduct);
        if (it != AdapterTypeMap().end())
            std::snprintf(strType, sizeof strType, "%s", it->second.pTypeName);
        else
            std::snprintf(strType, sizeof strType, "0x%X", unsigned(p->nProduct));
        char strName[50];
        if (rec[kOffNaming] > 4) {
            std::snprintf(strName, sizeof strName, "%s-LOC-%u.%u", strType, unsigned(p->nLocation),
                          unsigned(p->nSubLocation));
        } else {
            std::snprintf(strName, sizeof strName, "%s-LOC-%u", strType, unsigned(p->nLocation));
            std::memset(rec.data() + kOffSubLocation, 0, sizeof(uint32_t));
        }
        m_deviceMap.insert(QByteArray(strName), rec);
        names.append(QByteArray(strName));
        AdapterDescription adapter;
        adapter.strName = QByteArray(strName);
        if (const mpsse::DevStrings* pStrings = p->pStrings) {
            adapter.strSerial = QString::fromStdString(pStrings->strSerial);
            adapter.strDescription = QString::fromStdString(pStrings->strDescription);
            adapter.strLocation = QString::fromStdString(pStrings->strPortPath);
        }
        m_adapters.append(adapter);
    }
    mpsse::DevInfoRease(pList);
    return xq::kOk;
}

int SpiFtdi::Open(const QByteArray& strName, uint32_t nHz)
{
    Close();
    m_error = mpsse::AdapterError();  // a refusal here must not carry an earlier session's reason
    if (strName.isEmpty() || m_deviceMap.isEmpty() || !m_deviceMap.contains(strName))
        return xq::kErrBadArgument;
    const DeviceRecord& rec = m_deviceMap[strName];
    const auto it = AdapterTypeMap().find(RecordU32(rec, kOffProduct));
    const int nChannel = it != AdapterTypeMap().end() ? it->second.nChannel : 0;
    const uint32_t nClock = (nHz >= kSpiMinClockHz && nHz <= kSpiMaxClockHz) ? nHz : kSpiFallbackClockHz;
    m_pContext = mpsse::MPSSE_PortPath(*m_pBackend, 1, nClock, nChannel, 0, RecordU32(rec, kOffLocation),
                                       RecordU32(rec, kOffSubLocation), &m_error);
    if (!m_pContext) {
        // The adapters of a gang run may all be refused together: once is enough.
        static std::atomic<bool> bHintShown{false};
        if (m_error.nFault == mpsse::AdapterFault::kNoPermission && !bHintShown.exchange(true))
            std::fprintf(stderr, "%s\n", AccessHintText().toUtf8().constData());
        qDebug("can not open");
        return xq::kErrBadArgument;
    }
    return 0;
}

int SpiFtdi::SetClock(uint32_t nHz)
{
    if (nHz < kSpiMinClockHz || nHz > kSpiMaxClockHz)
        return xq::kErrBadArgument;
    if (!m_pContext)
        return xq::kErrNotOpen;
    return mpsse::SetClock(m_pContext, nHz);
}

int SpiFtdi::Close()
{
    if (!m_pContext)
        return 0;
    const int r = mpsse::Close(m_pContext, &m_error);
    m_pContext = nullptr;
    return r;
}

QString SpiFtdi::ErrorText() const
{
    return AdapterFaultText(m_pContext ? mpsse::LastError(m_pContext) : m_error);
}

int SpiFtdi::WriteOnly(const uint8_t* pTx, int nLen)
{
    if (!m_pContext || !pTx || nLen < 1)
        return xq::kErrBadArgument;
    mpsse::Start(m_pContext);
    const int r = mpsse::FastWrite(m_pContext, pTx, nLen);
    mpsse::Stop(m_pContext);
    return r;
}

int SpiFtdi::WriteRead(uint8_t* pRx, int nRxLen, const uint8_t* pTx, int nTxLen)
{
    if (!m_pContext || !pTx || nTxLen < 1 || !pRx)
        return xq::kErrBadArgument;
    mpsse::Start(m_pContext);
    int r = mpsse::FastWrite(m_pContext, pTx, nTxLen);
    if (r == 0)
        r = mpsse::FastRead(m_pContext, pRx, nRxLen);
    mpsse::Stop(m_pContext);
    return r;
}

int64_t SpiFtdi::ClockMs() const
{
    return mpsse::ClockMs(m_pContext);
}

bool SpiFtdi::IdleCostsTransfer() const
{
    return m_pContext && !mpsse::IsHighSpeedChip(mpsse::ContextChipType(m_pContext));
}

int SpiFtdi::Idle(uint32_t nMicroseconds)
{
    return m_pContext ? mpsse::Idle(m_pContext, nMicroseconds) : xq::kErrBadArgument;
}

int SpiFtdi::Transfer(const SpiFrame* pFrames, int nCount)
{
    if (!m_pContext || !pFrames || nCount < 0)
        return xq::kErrBadArgument;
    int nLastRead = -1;
    for (int i = 0; i < nCount; ++i) {
        if (!pFrames[i].pTx || pFrames[i].nTxLen < 1)
            return xq::kErrBadArgument;
        if (pFrames[i].pRx)
            nLastRead = i;
    }
    // Every read but the last only joins the queue; the last one sends the
    // whole queue and collects all replies.
    for (int i = 0; i < nCount; ++i) {
        const SpiFrame& f = pFrames[i];
        int r = f.nIdleBeforeUs > 0 ? mpsse::Idle(m_pContext, f.nIdleBeforeUs) : 0;
        if (r == 0)
            r = mpsse::Start(m_pContext);
        if (r == 0)
            r = mpsse::FastWrite(m_pContext, f.pTx, f.nTxLen);
        if (r == 0 && f.pRx) {
            r = i == nLastRead ? mpsse::FastRead(m_pContext, f.pRx, f.nRxLen)
                               : mpsse::FastReadLater(m_pContext, f.pRx, f.nRxLen);
        }
        mpsse::Stop(m_pContext);
        if (r != 0)
            return r;
    }
    return 0;
}
