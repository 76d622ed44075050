// A transport and backend for tests of the adapter library: records every USB
// write, answers reads from a script, and fails on request.
#pragma once

#include <transport.h>

#include <deque>
#include <memory>
#include <optional>
#include <vector>

struct TransportScript {
    std::vector<std::vector<uint8_t>> writes;  // every USB write, in order
    std::deque<uint8_t> replies;               // bytes the adapter will return
    int nTransfers = 0;
    int nFailOnTransfer = 0;   // 1-based transfer number that fails (0: none)
    bool bAnswerSync = true;   // answer the 0xAA synchronisation probe by itself
    int nPurges = 0;
    uint32_t nChipType = mpsse::kChipFt2232H;
    const mpsse::BoardPins* pBoard = nullptr;
    std::vector<int> readTimeouts;  // the deadline of every read, in ms
};

class RecordingTransport : public mpsse::Transport {
public:
    explicit RecordingTransport(std::shared_ptr<TransportScript> pScript) : m_p(std::move(pScript)) {}
    int Write(const uint8_t* pData, int n) override;
    int Read(uint8_t* pBuffer, int n, int nTimeoutMs) override;
    void Purge() override { ++m_p->nPurges; }
    uint32_t ChipType() const override { return m_p->nChipType; }
    const mpsse::BoardPins* Board() const override { return m_p->pBoard; }

private:
    std::shared_ptr<TransportScript> m_p;
};

class RecordingBackend : public mpsse::Backend {
public:
    std::vector<mpsse::AdapterEntry> entries;
    std::optional<int> enumerateResult;  // unset: the number of entries
    std::shared_ptr<TransportScript> pScript = std::make_shared<TransportScript>();
    struct OpenCall {
        uint32_t nLocation, nSubLocation;
        int nChannel;
    };
    std::vector<OpenCall> opens;

    int Enumerate(const mpsse::DeviceId* pTable, std::vector<mpsse::AdapterEntry>& out) override;
    std::unique_ptr<mpsse::Transport> Open(uint32_t nLocation, uint32_t nSubLocation, int nChannel,
                                           mpsse::AdapterError& error) override;
};
