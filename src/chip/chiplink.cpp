#include "chiplink.h"

#include "chipdefs.h"
#include "ratetable.h"

#include <spiftdi.h>

#include <QDir>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

namespace flash = xq::flash;
namespace port = xq::port;

namespace {

int64_t SteadyMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

// Unless a clock is set, the adapter's: the bench's virtual time on the
// simulated bench, the wall on hardware, so the waits learned from it follow
// the flash and not the load of the machine.
ChipLink::ChipLink(std::shared_ptr<mpsse::Backend> pBackend)
    : m_pBackend(pBackend ? std::move(pBackend) : std::shared_ptr<mpsse::Backend>(mpsse::MakeFtdiBackend())),
      m_msClock([this] { return m_pAdapter ? m_pAdapter->ClockMs() : SteadyMs(); })
{
}

ChipLink::~ChipLink()
{
    if (m_pAdapter) {
        m_pAdapter->Close();
        delete m_pAdapter;
    }
}

// ---------------------------------------------------------------- adapter

int ChipLink::SelectAdapter(QList<QByteArray>& names, int nKind)
{
    if (nKind != m_nAdapterKind && m_pAdapter) {
        m_pAdapter->Close();
        delete m_pAdapter;
        m_pAdapter = nullptr;
    }
    // The FTDI adapter ignores the library path; it is kept for adapters that load one.
    const QByteArray strLibPath = QDir::currentPath().left(249).toUtf8() + "/libspi/libftdi.dll";
    if (nKind == 0)
        SetAdapter(new SpiFtdi(m_pBackend));
    if (!m_pAdapter)
        return xq::kErrBadArgument;
    m_nAdapterKind = nKind;
    names.clear();
    return m_pAdapter->Init(names, strLibPath);
}

void ChipLink::SetAdapter(SpiInterface* pAdapter)
{
    if (m_pAdapter) {
        m_pAdapter->Close();
        delete m_pAdapter;
    }
    m_pAdapter = pAdapter;
    m_bLinkOpen = false;
}

int ChipLink::RefreshAdapters(QList<QByteArray>& names)
{
    if (!m_pAdapter)
        return xq::kErrBadArgument;
    m_pAdapter->Close();
    m_bLinkOpen = false;
    names.clear();
    return m_pAdapter->Enumerate(names);
}

// ---------------------------------------------------------------- link and frames

int ChipLink::Open(const QByteArray& strName, int nRateIndex)
{
    if (strName.isEmpty() || nRateIndex < 0 || nRateIndex >= xq::kRateCount || !m_pAdapter)
        return xq::kErrBadArgument;
    const int r = m_pAdapter->Open(strName, xq::kRateTable[nRateIndex].nHz);
    // A new link may lead to another chip and flash: learn the waits again,
    // and wait as for an unknown flash until it is identified.
    m_pFlashPart = nullptr;
    m_nProgramIdleNs = 0;
    std::fill(std::begin(m_eraseIdleUs), std::end(m_eraseIdleUs), 0u);
    if (r == 0) {
        m_bLinkOpen = true;
        m_strOpenName = strName;
        m_nOpenRateIndex = nRateIndex;
    }
    return r;
}

int ChipLink::Recover()
{
    // A link the caller closed stays closed.
    if (!m_pAdapter || !m_bLinkOpen || m_strOpenName.isEmpty())
        return xq::kErrNotOpen;
    SendLinkReset();
    if (SetMode(port::kModeFlash) == 0)
        return xq::kOk;
    m_bLinkOpen = false;
    m_pAdapter->Close();
    int r = m_pAdapter->Open(m_strOpenName, xq::kRateTable[m_nOpenRateIndex].nHz);
    if (r != 0)
        return r;
    m_bLinkOpen = true;
    SendLinkReset();
    r = SetMode(port::kModeFlash);
    return r;
}

int ChipLink::Close()
{
    if (!m_pAdapter)
        return xq::kOk;
    m_bLinkOpen = false;
    return m_pAdapter->Close();
}

int ChipLink::MemWrite(uint32_t nAddress, const uint8_t* pData, int nLength)
{
    if ((!pData && nLength > 0) || nLength < 0)
        return xq::kErrBadArgument;
    if (!m_bLinkOpen)
        return xq::kErrNotOpen;
    uint8_t frame[kMemFrameSize];
    int nDone = 0;
    int r = 0;
    do {
        const int nChunk = std::min(nLength - nDone, kMemWriteChunk);
        const uint32_t nAt = nAddress + uint32_t(nDone);
        frame[0] = port::kMemWrite;
        frame[1] = uint8_t(nAt >> 24);
        frame[2] = uint8_t(nAt >> 16);
        frame[3] = uint8_t(nAt >> 8);
        frame[4] = uint8_t(nAt);
        if (nChunk > 0)
            std::memcpy(frame + port::kMemHeaderSize, pData + nDone, size_t(nChunk));
        r = m_pAdapter->WriteOnly(frame, nChunk + port::kMemHeaderSize);
        nDone += nChunk;
    } while (r == 0 && nDone < nLength);
    return r;
}

int ChipLink::MemRead(uint8_t* pBuffer, int nLength, uint32_t nAddress)
{
    if (!pBuffer || nLength < 1)
        return xq::kErrBadArgument;
    if (!m_bLinkOpen)
        return xq::kErrNotOpen;
    uint8_t rx[kMemFrameSize];
    int nDone = 0;
    int r = 0;
    while (nDone < nLength) {
        const int nChunk = std::min(nLength - nDone, kMemReadChunk);
        const uint32_t nAt = nAddress + uint32_t(nDone);
        const uint8_t header[port::kMemHeaderSize] = {port::kMemRead, uint8_t(nAt >> 24), uint8_t(nAt >> 16),
                                                      uint8_t(nAt >> 8), uint8_t(nAt)};
        r = m_pAdapter->WriteRead(rx, nChunk + port::kMemReadDiscard, header, port::kMemHeaderSize);
        if (r != 0)
            break;
        std::memcpy(pBuffer + nDone, rx + port::kMemReadDiscard, size_t(nChunk));
        nDone += nChunk;
    }
    if (r == 0 && nLength != 1)
        SwapWords(pBuffer, nLength);
    return r;
}

int ChipLink::SendCmd(uint8_t nCmd, uint32_t nAddress, int nAddrLen, const uint8_t* pData, int nDataLen)
{
    if ((!pData && nDataLen > 0) || nDataLen < 0 || nAddrLen < 0)
        return xq::kErrBadArgument;
    if (!m_bLinkOpen)
        return xq::kErrNotOpen;
    const int n = nCmd == flash::kPageProgram ? 3 : std::min(nAddrLen, 4);
    if (1 + n + nDataLen > kCmdBufferSize)
        return xq::kErrBadArgument;  // would not fit the command buffer
    std::memset(m_cmdBuffer, 0, sizeof m_cmdBuffer);
    m_cmdBuffer[0] = nCmd;
    m_cmdBuffer[1] = uint8_t(nAddress >> 16);
    m_cmdBuffer[2] = uint8_t(nAddress >> 8);
    m_cmdBuffer[3] = uint8_t(nAddress);
    if (nDataLen > 0)
        std::memcpy(m_cmdBuffer + 1 + n, pData, size_t(nDataLen));
    return m_pAdapter->WriteOnly(m_cmdBuffer, 1 + n + nDataLen);
}

int ChipLink::SendCmdRead(uint8_t* pBuffer, int nReadLen, uint8_t nCmd, uint32_t nAddress, int nAddrLen)
{
    if (!pBuffer || nReadLen < 1 || nAddrLen > 4 || nAddrLen < 0)
        return xq::kErrBadArgument;
    if (!m_bLinkOpen)
        return xq::kErrNotOpen;
    std::memset(m_cmdBuffer, 0, sizeof m_cmdBuffer);
    m_cmdBuffer[0] = nCmd;
    m_cmdBuffer[1] = uint8_t(nAddress >> 16);
    m_cmdBuffer[2] = uint8_t(nAddress >> 8);
    m_cmdBuffer[3] = uint8_t(nAddress);
    return m_pAdapter->WriteRead(pBuffer, nReadLen, m_cmdBuffer, 1 + nAddrLen);
}

int ChipLink::SendLinkReset()
{
    const uint8_t nFill = port::kLinkResetFill;
    return SendCmd(port::kModeSet, port::kLinkResetAddress, 3, &nFill, 1);
}

int ChipLink::SendModeSet(uint8_t nMode)
{
    return SendCmd(port::kModeSet, 0, 3, &nMode, 1);
}

int ChipLink::SendControl()
{
    const uint8_t nArg = port::kControlArg;
    return SendCmd(port::kControl, 0, 0, &nArg, 1);
}

int ChipLink::ReadMode()
{
    if (!m_bLinkOpen)
        return xq::kErrBadArgument;
    uint8_t nReply = 0;
    const int r = SendCmdRead(&nReply, 1, port::kModeQuery, 0, 4);
    return TakeModeAnswer(r == 0 ? nReply : 0);  // a failed query reads as 0
}

// The mode a query's answer means; 0, 1 and 2 (and the idle answer, mode 0)
// also become the current mode.
int ChipLink::TakeModeAnswer(uint8_t nValue)
{
    if (nValue <= port::kModeEncrypted) {
        m_nCurrentMode = nValue;
        return nValue;
    }
    if (nValue == port::kModeAnswerIdle) {
        m_nCurrentMode = port::kModeMemory;
        return int(port::kModeMemory);
    }
    return xq::kErrBadArgument;
}

int ChipLink::SetMode(uint32_t nMode)
{
    if (nMode > port::kModeHighest)
        return xq::kErrBadArgument;
    if (!m_bLinkOpen)
        return xq::kErrNotOpen;
    if (ReadMode() != int(nMode)) {
        bool bDone = false;
        for (int k = 1; k <= kModeSetAttempts && !bDone; ++k) {
            SendModeSet(uint8_t(nMode));
            bDone = ReadMode() == int(nMode);
            if (!bDone && k >= kLinkResetFrom && k <= kLinkResetTo)
                SendLinkReset();
        }
        if (!bDone)
            return xq::kErrModeChange;
    }
    if (nMode == port::kModeMemory)
        SendControl();
    m_nCurrentMode = nMode;
    return xq::kOk;
}

bool ChipLink::WaitReady(uint8_t nMask, int nLimitMs)
{
    const int64_t nStartMs = m_msClock();
    m_nPollError = 0;
    m_nLastPolls = 0;
    uint8_t nStatus = 0;
    uint8_t nMasked = 0;
    uint32_t nIdleLeftUs = m_nIdleBeforePollUs;
    if (m_bLinkOpen && m_nCurrentMode == port::kModeMemory) {
        // Last seen in mode 0 (a device-information read, the register
        // clearing): the mode query goes alone, so no status poll reaches a
        // port that would pass it to no flash; a port still in mode 0 is
        // switched to mode 1, then polled.
        if (ReadMode() == int(port::kModeMemory))
            SetMode(port::kModeFlash);
    } else if (m_bLinkOpen) {
        // Last seen in a flash mode: the mode query and the first status poll
        // (after the adapter's wait) go out together and cost one round
        // trip; the chip sees the same frames in the same order as when they
        // are sent one by one. A port that answers mode 0 all the same (reset
        // behind the link's back) passed that poll to no flash: then it is
        // switched to mode 1 and polled again, its answer thrown away.
        const uint8_t query[5] = {port::kModeQuery, 0, 0, 0, 0};
        const uint8_t nPollCmd = flash::kReadStatus;
        uint8_t nMode = 0;
        uint8_t nReply = 0;
        SpiFrame frames[2];
        frames[0].pTx = query;
        frames[0].nTxLen = 5;
        frames[0].pRx = &nMode;
        frames[0].nRxLen = 1;
        frames[1].pTx = &nPollCmd;
        frames[1].nTxLen = 1;
        frames[1].pRx = &nReply;
        frames[1].nRxLen = 1;
        frames[1].nIdleBeforeUs = TakeIdle(nIdleLeftUs);  // the poll leaves the adapter later
        const int r = m_pAdapter->Transfer(frames, 2);
        if (TakeModeAnswer(r == 0 ? nMode : 0) == int(port::kModeMemory)) {
            SetMode(port::kModeFlash);
        } else {
            ++m_nLastPolls;
            if (r == 0)
                nStatus = nReply;
            else
                m_nPollError = r;
            nMasked = nStatus & nMask;
            if (nMasked == 0 || r != 0)
                return nMasked != 0;
        }
    }
    // Polls after the learned wait come closer than an eighth of the time
    // polled so far (the adapter waits the rest on its side): a wait nothing
    // was learned for yet (a link's first erase) costs a few dozen round
    // trips instead of hundreds, and ends at most an eighth late.
    const int64_t nPollingFromMs = m_msClock();
    const bool bSpreadPolls = !IdleCostsTransfer();
    for (;;) {
        std::this_thread::yield();
        if (nIdleLeftUs > 0)
            m_pAdapter->Idle(TakeIdle(nIdleLeftUs));
        else if (bSpreadPolls && m_nLastPolls > 0)
            m_pAdapter->Idle(uint32_t(std::min<int64_t>((m_msClock() - nPollingFromMs) * 1000 / 8, kMaxIdlePerPollUs)));
        uint8_t nReply = 0;
        const int nPoll = SendCmdRead(&nReply, 1, flash::kReadStatus, 0, 0);
        ++m_nLastPolls;
        const bool bPolled = nPoll == 0;
        if (bPolled)
            nStatus = nReply;
        else
            m_nPollError = nPoll;
        nMasked = nStatus & nMask;
        const int64_t nElapsed = m_msClock() - nStartMs;
        // A failed poll keeps the last status. The adapter keeps a transfer
        // error until the link is closed, so no later poll can succeed:
        // waiting out the time limit would only stall the station.
        if (nMasked == 0 || nElapsed > nLimitMs || !bPolled)
            break;
    }
    return nMasked != 0;
}

// A wait longer than the adapter's reply time-out allows is spread over
// several polls.
uint32_t ChipLink::TakeIdle(uint32_t& nIdleLeftUs)
{
    const uint32_t nUs = std::min(nIdleLeftUs, kMaxIdlePerPollUs);
    nIdleLeftUs -= nUs;
    return nUs;
}

int ChipLink::SendCmdWE(uint8_t nCmd, uint32_t nAddress, int nAddrLen, const uint8_t* pData, int nDataLen)
{
    if (StopRequested())
        return xq::kErrStopped;
    SendCmd(flash::kWriteEnable, 0, 0, nullptr, 0);
    const int r = SendCmd(nCmd, nAddress, nAddrLen, pData, nDataLen);
    SendCmd(flash::kWriteDisable, 0, 0, nullptr, 0);
    if (r != 0)
        return r;
    // Programs and erases keep the flash busy for a fairly fixed time of
    // their kind: before the first status poll the adapter waits on its own
    // side, so the poll is clocked about when the flash is done instead of
    // costing round trips.
    // An adapter whose wait clocks zero bytes across USB (an FT2232D) sends
    // tens of kilobytes for an erase's wait, and its engine starts clocking
    // them only once they have arrived: polling the erase costs less there.
    const bool bProgram = nCmd == flash::kPageProgram || nCmd == flash::kSecurityProgram;
    uint32_t* pEraseIdle = LearnedEraseIdle(nCmd);
    const bool bWaitErase = pEraseIdle && !IdleCostsTransfer();
    m_nIdleBeforePollUs = bProgram ? m_nProgramIdleNs / 1000 : bWaitErase ? *pEraseIdle : 0;
    const int64_t nStartMs = m_msClock();
    const bool bBusy = WaitReady(flash::kStatusBusy, BusyLimitMs(nCmd));
    m_nIdleBeforePollUs = 0;
    if (bProgram)
        LearnProgramIdle();
    else if (pEraseIdle && !bBusy && m_nPollError == 0)
        LearnEraseIdle(*pEraseIdle, m_msClock() - nStartMs);
    // The adapter sends write-only frames with the next read: a failure to
    // deliver this command shows up first in the status poll.
    if (m_nPollError != 0 && m_nPollError != xq::kErrNotOpen)
        return m_nPollError;
    return bBusy ? xq::kErrFlashBusyTimeout : xq::kOk;
}

bool ChipLink::BatchPrograms() const
{
    return m_bBatchPrograms && !(m_pBackend && m_pBackend->StrictOrder());
}

bool ChipLink::BatchingInEffect() const
{
    return BatchPrograms() && m_nCurrentMode != port::kModeEncrypted;
}

int ChipLink::Transfer(const SpiFrame* pFrames, int nCount)
{
    if (!m_bLinkOpen)
        return xq::kErrNotOpen;
    return m_pAdapter->Transfer(pFrames, nCount);
}

uint32_t* ChipLink::LearnedEraseIdle(uint8_t nCmd)
{
    switch (nCmd) {
    case flash::kSectorErase: return &m_eraseIdleUs[0];
    case flash::kBlock32Erase: return &m_eraseIdleUs[1];
    case flash::kBlock64Erase: return &m_eraseIdleUs[2];
    case flash::kChipErase: return &m_eraseIdleUs[3];
    case flash::kSecurityErase: return &m_eraseIdleUs[4];
    default: return nullptr;
    }
}

void ChipLink::LearnProgramIdle()
{
    // Implementation note: one poll means the wait may have been longer
    // than needed, so it shrinks a little; every extra poll means it was too
    // short, so it grows more. It settles just above the program time, where
    // one program in about kGrowNs / kShrinkNs needs a second poll (a round
    // trip) and the wait is at most kGrowNs above the flash's own time: with
    // a round trip T the steps cost about T * kShrinkNs / kGrowNs + kGrowNs / 2
    // a program, least for kGrowNs near the square root of 2 * T * kShrinkNs.
    constexpr uint32_t kShrinkNs = 100;
    constexpr uint32_t kGrowNs = 12000;
    constexpr uint32_t kMaxIdleNs = 3000000;
    if (m_nLastPolls <= 1)
        m_nProgramIdleNs = m_nProgramIdleNs > kShrinkNs ? m_nProgramIdleNs - kShrinkNs : 0;
    else
        m_nProgramIdleNs = std::min(kMaxIdleNs, m_nProgramIdleNs + kGrowNs * uint32_t(m_nLastPolls - 1));
}

void ChipLink::LearnEraseIdle(uint32_t& nIdleUs, int64_t nWaitedMs)
{
    // Implementation note: an erase takes tens to thousands of milliseconds,
    // so the wait is learned from the time the polling took (whole
    // milliseconds): the flash was done shortly before the last poll, so
    // the next wait ends a little before that. A single poll means the flash
    // may have been done long before: the wait shrinks by a sixteenth. It
    // never reaches the busy limit, whatever the flash does.
    constexpr int64_t kMarginUs = 1500;
    constexpr uint32_t kMaxIdleUs = (kBusyLimitMs - 1000) * 1000;
    if (m_nLastPolls <= 1) {
        nIdleUs -= nIdleUs / 16;
        return;
    }
    const int64_t nBusyUs = nWaitedMs * 1000 - kMarginUs;
    nIdleUs = uint32_t(std::clamp<int64_t>(nBusyUs, nIdleUs, kMaxIdleUs));
}

void ChipLink::SwapWords(uint8_t* pBuffer, int nLength)
{
    if (!pBuffer || nLength <= 0)
        return;
    for (int nAt = 0; nAt < nLength; nAt += 4)
        std::reverse(pBuffer + nAt, pBuffer + std::min(nAt + 4, nLength));
}
