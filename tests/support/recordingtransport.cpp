#include "recordingtransport.h"

int RecordingTransport::Write(const uint8_t* pData, int n)
{
    ++m_p->nTransfers;
    if (m_p->nFailOnTransfer == m_p->nTransfers)
        return mpsse::kErrUsbWrite;
    m_p->writes.emplace_back(pData, pData + n);
    if (m_p->bAnswerSync && n == 2 && pData[0] == 0xAA && pData[1] == 0x87) {
        m_p->replies.push_front(0xAA);
        m_p->replies.push_front(0xFA);
    }
    return mpsse::kOk;
}

int RecordingTransport::Read(uint8_t* pBuffer, int n, int nTimeoutMs)
{
    m_p->readTimeouts.push_back(nTimeoutMs);
    ++m_p->nTransfers;
    if (m_p->nFailOnTransfer == m_p->nTransfers)
        return mpsse::kErrUsbRead;
    if (int(m_p->replies.size()) < n)
        return mpsse::kErrReadTimeout;
    for (int i = 0; i < n; ++i) {
        pBuffer[i] = m_p->replies.front();
        m_p->replies.pop_front();
    }
    return mpsse::kOk;
}

int RecordingBackend::Enumerate(const mpsse::DeviceId* pTable, std::vector<mpsse::AdapterEntry>& out)
{
    (void)pTable;
    out = entries;
    return enumerateResult ? *enumerateResult : int(entries.size());
}

std::unique_ptr<mpsse::Transport> RecordingBackend::Open(uint32_t nLocation, uint32_t nSubLocation, int nChannel,
                                                         mpsse::AdapterError& error)
{
    error = mpsse::AdapterError();
    opens.push_back({nLocation, nSubLocation, nChannel});
    for (const auto& e : entries)
        if (e.nLocation == nLocation)
            return std::make_unique<RecordingTransport>(pScript);
    return nullptr;
}
