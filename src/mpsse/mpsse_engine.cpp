#include "mpsse_engine.h"

#include "adapters.h"

#include <algorithm>

namespace mpsse {

namespace {
constexpr uint8_t kPinsIdle = pin::kCs;  // CS high, SK low, MOSI low
constexpr uint8_t kBoardLowPins = 0xF0;  // ADBUS4..7: the board's, not the SPI engine's

void AppendLength(std::vector<uint8_t>& q, int nLength)
{
    const int nCode = nLength - 1;  // the engine counts from 0: 0x0000 is one byte
    q.push_back(uint8_t(nCode & 0xFF));
    q.push_back(uint8_t((nCode >> 8) & 0xFF));
}

uint32_t BaseClockHz(uint32_t nChipType)
{
    // H chips run the engine from 60 MHz once divide-by-5 is off; the
    // FT2232D has a fixed 12 MHz base (FTDI AN_108, section 3.8).
    return IsHighSpeedChip(nChipType) ? 60000000u : 12000000u;
}
}  // namespace

uint16_t ClockDivisor(uint32_t nChipType, uint32_t nRequestedHz)
{
    // SCK = base / ((1 + divisor) * 2). Take the smallest divisor whose SCK
    // does not exceed the request; a request above base / 2 (30 MHz on H
    // chips) runs at base / 2, the fastest real SCK of the engine.
    const uint64_t nHalfBase = BaseClockHz(nChipType) / 2;
    if (nRequestedHz == 0)
        return 0xFFFF;
    uint64_t nDivisor = (nHalfBase + nRequestedHz - 1) / nRequestedHz;  // ceil
    nDivisor = nDivisor == 0 ? 0 : nDivisor - 1;
    return uint16_t(std::min<uint64_t>(nDivisor, 0xFFFF));
}

uint32_t ActualClockHz(uint32_t nChipType, uint32_t nRequestedHz)
{
    return uint32_t(BaseClockHz(nChipType) / 2 / (1u + ClockDivisor(nChipType, nRequestedHz)));
}

MpsseEngine::MpsseEngine(std::unique_ptr<Transport> pTransport, bool bBatching)
    : m_pTransport(std::move(pTransport)), m_bBatching(bBatching)
{
    m_queue.reserve(kQueueLimit + 16);
    if (m_pTransport) {
        m_nChipType = m_pTransport->ChipType();
        m_pBoard = m_pTransport->Board();
    }
    const uint8_t nBoardValue = m_pBoard ? uint8_t(m_pBoard->nLowValue & kBoardLowPins) : 0;
    const uint8_t nBoardDirection = m_pBoard ? uint8_t(m_pBoard->nLowDirection & kBoardLowPins) : 0;
    m_nIdlePins = kPinsIdle | nBoardValue;
    m_nSelectedPins = nBoardValue;
    m_nDirection = pin::kOutputs | nBoardDirection;
}

int MpsseEngine::ReadDeadlineMs(uint64_t nClockBytes) const
{
    const uint64_t nSck = std::max<uint32_t>(m_nSckHz, 1);
    return int(std::min<uint64_t>(kReadMarginMs + (nClockBytes * 8 * 1000 + nSck - 1) / nSck, INT32_MAX));
}

MpsseEngine::~MpsseEngine()
{
    Close();
}

int MpsseEngine::Fail(int nCode)
{
    if (m_nStickyError == kOk) {
        m_nStickyError = nCode;
        m_queue.clear();
        m_pendingReads.clear();
        m_nPendingBytes = 0;
        if (m_pTransport)
            m_pTransport->Purge();
    }
    return m_nStickyError;
}

int MpsseEngine::Flush()
{
    if (m_nStickyError != kOk)
        return m_nStickyError;
    if (m_queue.empty())
        return kOk;
    if (m_nPendingBytes == 0) {
        const int r = m_pTransport->Write(m_queue.data(), int(m_queue.size()));
        m_queue.clear();
        return r == kOk ? kOk : Fail(r);
    }
    m_queue.push_back(op::kSendImmediate);
    // One reply holds the bytes of every read in the queue, in order; it is
    // asked for together with the write (Transport::Exchange).
    std::vector<PendingRead> reads;
    reads.swap(m_pendingReads);
    const int nTotal = m_nPendingBytes;
    m_nPendingBytes = 0;
    const int nDeadlineMs = ReadDeadlineMs(m_nClockBytes);
    m_nClockBytes = 0;
    std::vector<uint8_t> reply;
    if (reads.size() > 1)
        reply.resize(static_cast<size_t>(nTotal));
    uint8_t* pReply = reads.size() == 1 ? reads[0].pBuffer : reply.data();
    const int r = m_pTransport->Exchange(m_queue.data(), int(m_queue.size()), pReply, nTotal, nDeadlineMs);
    m_queue.clear();
    if (r != kOk)
        return Fail(r);
    if (reads.size() == 1)
        return kOk;
    const uint8_t* pFrom = reply.data();
    for (const PendingRead& read : reads) {
        std::copy(pFrom, pFrom + read.nLength, read.pBuffer);
        pFrom += read.nLength;
    }
    return kOk;
}

int MpsseEngine::AfterQueued()
{
    if (!m_bBatching || int(m_queue.size()) >= kQueueLimit)
        return Flush();
    return kOk;
}

int MpsseEngine::SetLowPins(uint8_t nValue)
{
    if (m_nPinValue == nValue)
        return kOk;
    m_queue.push_back(op::kSetBitsLow);
    m_queue.push_back(nValue);
    m_queue.push_back(m_nDirection);
    m_nPinValue = nValue;
    return kOk;
}

int MpsseEngine::Initialise(uint32_t nClockHz)
{
    if (!m_pTransport)
        return kErrBadArgument;
    // Synchronise: an invalid opcode must come back as 0xFA followed by it
    // (FTDI AN_135, section 5.3.1). This proves that the MPSSE is listening
    // and that no stale bytes sit in the receive buffer.
    const uint8_t probe[] = {op::kSyncProbe, op::kSendImmediate};
    int r = m_pTransport->Write(probe, sizeof probe);
    if (r != kOk)
        return Fail(r);
    uint8_t echo[2] = {0, 0};
    r = m_pTransport->Read(echo, 2, kReadMarginMs);
    if (r != kOk)
        return Fail(r);
    if (echo[0] != op::kBadCommandEcho || echo[1] != op::kSyncProbe) {
        AdapterError error = AdapterError::FromText("the MPSSE did not answer the synchronisation probe");
        error.nFault = AdapterFault::kNoSyncAnswer;
        m_pTransport->SetError(error);
        return Fail(kErrBadCommand);
    }

    if (IsHighSpeedChip(m_nChipType)) {
        m_queue.push_back(op::kDivBy5Off);
        m_queue.push_back(op::kAdaptiveOff);
        m_queue.push_back(op::kThreePhaseOff);
    }
    m_queue.push_back(op::kLoopbackOff);
    const uint16_t nDivisor = ClockDivisor(m_nChipType, nClockHz);
    m_queue.push_back(op::kSetDivisor);
    m_queue.push_back(uint8_t(nDivisor & 0xFF));
    m_queue.push_back(uint8_t(nDivisor >> 8));
    m_nSckHz = ActualClockHz(m_nChipType, nClockHz);
    SetLowPins(m_nIdlePins);
    if (m_pBoard && m_pBoard->nHighDirection) {
        m_queue.push_back(op::kSetBitsHigh);
        m_queue.push_back(m_pBoard->nHighValue);
        m_queue.push_back(m_pBoard->nHighDirection);
    }
    return Flush();
}

int MpsseEngine::SetClock(uint32_t nClockHz)
{
    if (m_nStickyError != kOk)
        return m_nStickyError;
    const uint16_t nDivisor = ClockDivisor(m_nChipType, nClockHz);
    m_queue.push_back(op::kSetDivisor);
    m_queue.push_back(uint8_t(nDivisor & 0xFF));
    m_queue.push_back(uint8_t(nDivisor >> 8));
    m_nSckHz = ActualClockHz(m_nChipType, nClockHz);
    return Flush();
}

int MpsseEngine::Idle(uint32_t nMicroseconds)
{
    if (m_nStickyError != kOk)
        return m_nStickyError;
    // Chip select stays high: the clock runs, the chip sees no frame.
    SetLowPins(m_nIdlePins);
    uint64_t nBytes = uint64_t(nMicroseconds) * m_nSckHz / 8000000u;
    m_nClockBytes += nBytes;
    while (nBytes > 0) {
        const uint32_t nChunk = uint32_t(std::min<uint64_t>(nBytes, kMaxChunk));
        if (IsHighSpeedChip(m_nChipType)) {
            m_queue.push_back(op::kClockBytesNoData);
            AppendLength(m_queue, int(nChunk));
        } else {
            // The FT2232C/D has no clocks without data: clock out zeros with
            // CS high instead, which costs the bytes on USB but no command
            // the chip does not know.
            m_queue.push_back(op::kBytesOutNeg);
            AppendLength(m_queue, int(nChunk));
            m_queue.insert(m_queue.end(), nChunk, 0x00);
        }
        nBytes -= nChunk;
        const int r = AfterQueued();
        if (r != kOk)
            return r;
    }
    return kOk;
}

int MpsseEngine::Start()
{
    if (m_nStickyError != kOk)
        return m_nStickyError;
    SetLowPins(m_nSelectedPins);
    return AfterQueued();
}

int MpsseEngine::Stop()
{
    if (m_nStickyError != kOk)
        return m_nStickyError;
    SetLowPins(m_nIdlePins);
    return AfterQueued();
}

int MpsseEngine::Write(const uint8_t* pData, int nLength)
{
    if (!pData || nLength < 0)
        return kErrBadArgument;
    if (m_nStickyError != kOk)
        return m_nStickyError;
    for (int nDone = 0; nDone < nLength;) {
        const int nChunk = std::min(nLength - nDone, kMaxChunk);
        m_queue.push_back(op::kBytesOutNeg);
        AppendLength(m_queue, nChunk);
        m_queue.insert(m_queue.end(), pData + nDone, pData + nDone + nChunk);
        m_nClockBytes += uint64_t(nChunk);
        nDone += nChunk;
        const int r = AfterQueued();
        if (r != kOk)
            return r;
    }
    return kOk;
}

int MpsseEngine::Read(uint8_t* pBuffer, int nLength)
{
    // All read commands and SEND_IMMEDIATE travel in the same USB write as
    // whatever is queued before them; the reply is then collected whole.
    if (pBuffer && nLength == 0 && m_nStickyError == kOk)
        return kOk;
    const int r = ReadLater(pBuffer, nLength);
    return r == kOk ? Flush() : r;
}

int MpsseEngine::ReadLater(uint8_t* pBuffer, int nLength)
{
    if (!pBuffer || nLength < 0)
        return kErrBadArgument;
    if (m_nStickyError != kOk)
        return m_nStickyError;
    if (nLength == 0)
        return kOk;
    for (int nDone = 0; nDone < nLength;) {
        const int nChunk = std::min(nLength - nDone, kMaxChunk);
        m_queue.push_back(op::kBytesInPos);
        AppendLength(m_queue, nChunk);
        nDone += nChunk;
    }
    m_pendingReads.push_back({pBuffer, nLength});
    m_nPendingBytes += nLength;
    m_nClockBytes += uint64_t(nLength);
    return AfterQueued();
}

int MpsseEngine::Close()
{
    if (!m_pTransport)
        return kOk;
    // Chip select goes high first, then every pin back to input, in one
    // write with whatever is still queued (reads in it are collected). After
    // a transfer error the queue is gone and CS may still be low from the
    // frame that failed: CS is raised all the same, and the first error
    // stays the result (this last write fails too when the device is gone).
    const int nError = m_nStickyError;
    if (nError != kOk)
        m_nPinValue = -1;
    SetLowPins(m_nIdlePins);
    m_queue.push_back(op::kSetBitsLow);
    m_queue.push_back(0x00);
    m_queue.push_back(0x00);
    if (m_pBoard && m_pBoard->nHighDirection) {
        m_queue.push_back(op::kSetBitsHigh);
        m_queue.push_back(0x00);
        m_queue.push_back(0x00);
    }
    int r = nError;
    if (nError == kOk)
        r = Flush();
    else
        m_pTransport->Write(m_queue.data(), int(m_queue.size()));
    m_queue.clear();
    const int nReleased = m_pTransport->Close();
    m_closedError = m_pTransport->Error();
    m_pTransport.reset();
    if (r == kOk)
        r = nReleased;
    return r;
}

}  // namespace mpsse
