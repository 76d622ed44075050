#include "mpsse.h"

#include "mpsse_engine.h"
#include "transport.h"

#include <chrono>
#include <cstring>

namespace mpsse {

namespace {
MpsseEngine* Engine(void* pContext)
{
    return static_cast<MpsseEngine*>(pContext);
}
}  // namespace

int GetDevInfoAll(const DeviceId* pTable, int* pnCount, DevInfo** ppList)
{
    const std::unique_ptr<Backend> pHardware = MakeFtdiBackend();
    return GetDevInfoAll(*pHardware, pTable, pnCount, ppList);
}

int GetDevInfoAll(Backend& backend, const DeviceId* pTable, int* pnCount, DevInfo** ppList)
{
    if (pnCount)
        *pnCount = 0;
    if (!ppList || !pTable)
        return -1;
    *ppList = nullptr;
    std::vector<AdapterEntry> entries;
    const int r = backend.Enumerate(pTable, entries);
    if (r < 0)
        return r;
    DevInfo** ppTail = ppList;
    for (const AdapterEntry& e : entries) {
        auto* pInfo = new DevInfo;
        std::memset(pInfo, 0, sizeof *pInfo);
        pInfo->nVendor = e.nVendor;
        pInfo->nChipType = e.nChipType;
        pInfo->nProduct = e.nProduct;
        pInfo->nLocation = e.nLocation;
        pInfo->nSubLocation = e.nSubLocation;
        pInfo->nNaming = e.bNeedsSubLocation ? kNamingWithSubLocation : 0;
        pInfo->nChannels = uint8_t(e.nChannels);
        pInfo->pStrings = new DevStrings{e.strSerial, e.strProduct, e.strPortPath};
        *ppTail = pInfo;
        ppTail = &pInfo->pNext;
    }
    if (pnCount)
        *pnCount = int(entries.size());
    return int(entries.size());
}

void DevInfoRease(DevInfo* pList)
{
    while (pList) {
        DevInfo* pNext = pList->pNext;
        delete pList->pStrings;
        delete pList;
        pList = pNext;
    }
}

void* MPSSE_PortPath(Backend& backend, int nMode, uint32_t nClockHz, int nChannel, int nReserved,
                     uint32_t nLocation, uint32_t nSubLocation, AdapterError* pError)
{
    AdapterError error;
    if (!pError)
        pError = &error;
    *pError = AdapterError();
    if (nMode != 1 || nReserved != 0 || nChannel < 0 || nChannel > 4)
        return nullptr;
    std::unique_ptr<Transport> pTransport = backend.Open(nLocation, nSubLocation, nChannel, *pError);
    if (!pTransport)
        return nullptr;
    auto* pEngine = new MpsseEngine(std::move(pTransport), backend.WriteBatching());
    if (pEngine->Initialise(nClockHz) != kOk) {
        *pError = pEngine->Error();
        delete pEngine;
        return nullptr;
    }
    return pEngine;
}

int SetClock(void* pContext, uint32_t nClockHz)
{
    return pContext ? Engine(pContext)->SetClock(nClockHz) : int(kErrBadArgument);
}

int Start(void* pContext)
{
    return pContext ? Engine(pContext)->Start() : int(kErrBadArgument);
}

int Stop(void* pContext)
{
    return pContext ? Engine(pContext)->Stop() : int(kErrBadArgument);
}

int FastWrite(void* pContext, const uint8_t* pData, int nLength)
{
    return pContext ? Engine(pContext)->Write(pData, nLength) : int(kErrBadArgument);
}

int FastRead(void* pContext, uint8_t* pBuffer, int nLength)
{
    return pContext ? Engine(pContext)->Read(pBuffer, nLength) : int(kErrBadArgument);
}

int FastReadLater(void* pContext, uint8_t* pBuffer, int nLength)
{
    return pContext ? Engine(pContext)->ReadLater(pBuffer, nLength) : int(kErrBadArgument);
}

int64_t MpsseEngine::WallMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

int64_t Transport::ClockMs() const
{
    return MpsseEngine::WallMs();
}

int64_t ClockMs(void* pContext)
{
    return pContext ? Engine(pContext)->ClockMs() : MpsseEngine::WallMs();
}

uint32_t ContextChipType(void* pContext)
{
    return pContext ? Engine(pContext)->ChipType() : uint32_t(kChipFt2232H);
}

int Idle(void* pContext, uint32_t nMicroseconds)
{
    return pContext ? Engine(pContext)->Idle(nMicroseconds) : int(kErrBadArgument);
}

AdapterError LastError(void* pContext)
{
    return pContext ? Engine(pContext)->Error() : AdapterError();
}

std::string ErrorText(void* pContext)
{
    return LastError(pContext).strText;
}

int Close(void* pContext, AdapterError* pError)
{
    if (!pContext)
        return kErrBadArgument;
    Engine(pContext)->ClearError();
    const int r = Engine(pContext)->Close();
    if (pError)
        *pError = Engine(pContext)->Error();
    delete Engine(pContext);
    return r;
}

}  // namespace mpsse
