#include "spiflashctrl.h"

#include "ratetable.h"

#include <spiftdi.h>

#include <QDir>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

namespace {

// Serial NOR flash opcodes (W25Q16JV datasheet, instruction table).
namespace flash {
constexpr uint8_t kWriteStatus = 0x01;
constexpr uint8_t kPageProgram = 0x02;
constexpr uint8_t kRead = 0x03;
constexpr uint8_t kWriteDisable = 0x04;
constexpr uint8_t kReadStatus = 0x05;
constexpr uint8_t kWriteEnable = 0x06;
constexpr uint8_t kFastRead = 0x0B;
constexpr uint8_t kSectorErase = 0x20;
constexpr uint8_t kWriteStatus2 = 0x31;
constexpr uint8_t kReadStatus2 = 0x35;
constexpr uint8_t kSecurityProgram = 0x42;
constexpr uint8_t kSecurityErase = 0x44;
constexpr uint8_t kSecurityRead = 0x48;
constexpr uint8_t kUniqueId = 0x4B;
constexpr uint8_t kBlock32Erase = 0x52;
constexpr uint8_t kChipErase = 0x60;
constexpr uint8_t kManufacturerId = 0x90;
constexpr uint8_t kJedecId = 0x9F;
constexpr uint8_t kBlock64Erase = 0xD8;
}  // namespace flash

// Frames of the chip's slave port.
namespace port {
constexpr uint8_t kMemWrite = 0x02;
constexpr uint8_t kMemRead = 0x0B;
constexpr uint8_t kModeQuery = 0xFE;
constexpr uint8_t kModeSet = 0xFF;
constexpr uint8_t kControl = 0x11;
constexpr uint8_t kControlArg = 0x1F;
constexpr int kMemReadDiscard = 4;  // bytes the port sends before the data
}  // namespace port

constexpr uint8_t kStatusBusy = 0x01;
constexpr uint8_t kStatusBusyOrWel = 0x03;
constexpr uint8_t kStatus2QuadEnable = 0x02;
constexpr uint8_t kProtectBit = 0x80;

constexpr uint32_t kChipIdAddress = 0x1A107018;
constexpr int32_t kPageSize = 256;
constexpr int32_t kSectorSize = 4096;
constexpr int32_t kBlock32Size = 0x8000;
constexpr int32_t kBlock64Size = 0x10000;
constexpr int32_t kVerifyChunk = 61440;
constexpr int32_t kSecurityAreaSize = 512;

// Encrypted image layout.
constexpr int32_t kPlainHead = 0x3000;          // always written in link mode 1
constexpr int32_t kSecondRegion = 0x7000;       // present when the image starts with kSecondRegionMagic
constexpr uint32_t kSecondRegionMagic = 0x0000706F;
constexpr int32_t kSecondRegionPlainTail = 80;  // last bytes of the second region, written in mode 1
constexpr int32_t kPlainTailOffset = 0x2FB0;    // their offset from the second region's own offset

void Report(const ProgressFn& progress, int64_t nPercent)
{
    if (progress)
        progress(int(std::min<int64_t>(nPercent, 100)));
}

// The first progress value of an operation over n bytes: 1 when n is a
// multiple of 100, else 0.
int64_t InitialPercent(int64_t n)
{
    return n > 0 ? (n / 100 * 100) / n : 0;
}

int32_t FirstPagePiece(int32_t nStart, int32_t nCount)
{
    return std::min(kPageSize - (nStart & 0xFF), nCount);
}

uint32_t LoadLe32(const uint8_t* p)
{
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

int64_t SteadyMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

SpiFlashCtrl::SpiFlashCtrl() : m_msClock(SteadyMs) {}

SpiFlashCtrl::~SpiFlashCtrl()
{
    if (m_pAdapter) {
        m_pAdapter->Close();
        delete m_pAdapter;
    }
}

// ---------------------------------------------------------------- adapter

int SpiFlashCtrl::SelectAdapter(QList<QByteArray>& names, int nKind)
{
    if (nKind != m_nAdapterKind && m_pAdapter) {
        m_pAdapter->Close();
        delete m_pAdapter;
        m_pAdapter = nullptr;
    }
    // The FTDI adapter ignores the library path; it is kept for adapters that load one.
    const QByteArray strLibPath = QDir::currentPath().left(249).toUtf8() + "/libspi/libftdi.dll";
    if (nKind == 0)
        SetAdapter(new SpiFtdi);
    if (!m_pAdapter)
        return -1;
    m_nAdapterKind = nKind;
    names.clear();
    return m_pAdapter->Init(names, strLibPath);
}

void SpiFlashCtrl::SetAdapter(SpiInterface* pAdapter)
{
    if (m_pAdapter) {
        m_pAdapter->Close();
        delete m_pAdapter;
    }
    m_pAdapter = pAdapter;
    m_bLinkOpen = false;
}

int SpiFlashCtrl::RefreshAdapters(QList<QByteArray>& names)
{
    if (!m_pAdapter)
        return -1;
    m_pAdapter->Close();
    m_bLinkOpen = false;
    names.clear();
    return m_pAdapter->Enumerate(names);
}

// ---------------------------------------------------------------- link and frames

int SpiFlashCtrl::Open(const QByteArray& strName, int nRateIndex)
{
    if (strName.isEmpty() || nRateIndex < 0 || nRateIndex >= xq::kRateCount || !m_pAdapter)
        return xq::kErrBadArgument;
    const int r = m_pAdapter->Open(strName, xq::kRateTable[nRateIndex].nHz);
    m_nProgramIdleUs = 0;  // a new link may lead to another chip: learn again
    if (r == 0)
        m_bLinkOpen = true;
    return r;
}

void SpiFlashCtrl::Close()
{
    if (m_pAdapter) {
        m_pAdapter->Close();
        m_bLinkOpen = false;
    }
}

int SpiFlashCtrl::MemWrite(uint32_t nAddress, const uint8_t* pData, int nLength)
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
            std::memcpy(frame + 5, pData + nDone, size_t(nChunk));
        r = m_pAdapter->WriteOnly(frame, nChunk + 5);
        nDone += nChunk;
    } while (r == 0 && nDone < nLength);
    return r;
}

int SpiFlashCtrl::MemRead(uint8_t* pBuffer, int nLength, uint32_t nAddress)
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
        const uint8_t header[5] = {port::kMemRead, uint8_t(nAt >> 24), uint8_t(nAt >> 16), uint8_t(nAt >> 8),
                                   uint8_t(nAt)};
        r = m_pAdapter->WriteRead(rx, nChunk + port::kMemReadDiscard, header, 5);
        if (r != 0)
            break;
        std::memcpy(pBuffer + nDone, rx + port::kMemReadDiscard, size_t(nChunk));
        nDone += nChunk;
    }
    if (r == 0 && nLength != 1)
        SwapWords(pBuffer, nLength);
    return r;
}

int SpiFlashCtrl::SendCmd(uint8_t nCmd, uint32_t nAddress, int nAddrLen, const uint8_t* pData, int nDataLen)
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

int SpiFlashCtrl::SendCmdRead(uint8_t* pBuffer, int nReadLen, uint8_t nCmd, uint32_t nAddress, int nAddrLen)
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

int SpiFlashCtrl::SendLinkReset()
{
    const uint8_t nFill = 0xFF;
    return SendCmd(port::kModeSet, 0xFFFFFF, 3, &nFill, 1);
}

int SpiFlashCtrl::SendModeSet(uint8_t nMode)
{
    return SendCmd(port::kModeSet, 0, 3, &nMode, 1);
}

int SpiFlashCtrl::SendControl()
{
    const uint8_t nArg = port::kControlArg;
    return SendCmd(port::kControl, 0, 0, &nArg, 1);
}

int SpiFlashCtrl::ReadMode()
{
    if (!m_bLinkOpen)
        return -1;
    uint8_t nValue = 0;
    uint8_t nReply = 0;
    if (SendCmdRead(&nReply, 1, port::kModeQuery, 0, 4) == 0)
        nValue = nReply;
    if (nValue <= 2) {
        m_nCurrentMode = nValue;
        return nValue;
    }
    if (nValue == 0xFF) {
        m_nCurrentMode = 0;
        return 0;
    }
    return -1;
}

int SpiFlashCtrl::SetMode(uint32_t nMode)
{
    if (nMode > 3)
        return xq::kErrBadArgument;
    if (!m_bLinkOpen)
        return xq::kErrNotOpen;
    if (ReadMode() != int(nMode)) {
        bool bDone = false;
        for (int k = 1; k <= 20 && !bDone; ++k) {
            SendModeSet(uint8_t(nMode));
            bDone = ReadMode() == int(nMode);
            if (!bDone && k >= 11 && k <= 19)
                SendLinkReset();
        }
        if (!bDone)
            return xq::kErrModeChange;
    }
    if (nMode == 0)
        SendControl();
    m_nCurrentMode = nMode;
    return 0;
}

bool SpiFlashCtrl::WaitReady(uint8_t nMask)
{
    const int64_t nStartMs = m_msClock();
    m_nPollError = 0;
    m_nLastPolls = 0;
    if (ReadMode() == 0)
        SetMode(1);
    uint8_t nStatus = 0;
    uint8_t nMasked = 0;
    if (m_nIdleBeforePollUs > 0)
        m_pAdapter->Idle(m_nIdleBeforePollUs);  // the first poll then leaves the adapter later
    for (;;) {
        std::this_thread::yield();
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
        if (nMasked == 0 || nElapsed > kBusyLimitMs || !bPolled)
            break;
    }
    return nMasked != 0;
}

int SpiFlashCtrl::SendCmdWE(uint8_t nCmd, uint32_t nAddress, int nAddrLen, const uint8_t* pData, int nDataLen)
{
    SendCmd(flash::kWriteEnable, 0, 0, nullptr, 0);
    const int r = SendCmd(nCmd, nAddress, nAddrLen, pData, nDataLen);
    SendCmd(flash::kWriteDisable, 0, 0, nullptr, 0);
    if (r != 0)
        return r;
    // A page program keeps the flash busy for a fairly fixed time: before
    // the first status poll the adapter waits on its own side, so the poll
    // is clocked about when the flash is done instead of costing round trips.
    const bool bPaced = nCmd == flash::kPageProgram || nCmd == flash::kSecurityProgram;
    m_nIdleBeforePollUs = bPaced ? m_nProgramIdleUs : 0;
    const bool bBusy = WaitReady(kStatusBusy);
    m_nIdleBeforePollUs = 0;
    if (bPaced)
        LearnProgramIdle();
    // The adapter sends write-only frames with the next read: a failure to
    // deliver this command shows up first in the status poll.
    if (m_nPollError != 0 && m_nPollError != xq::kErrNotOpen)
        return m_nPollError;
    return bBusy ? xq::kErrFlashBusyTimeout : 0;
}

void SpiFlashCtrl::LearnProgramIdle()
{
    // Implementation note: one poll means the wait may have been longer
    // than needed, so it shrinks a little; every extra poll means it was
    // too short, so it grows more. It settles just above the program time.
    constexpr uint32_t kShrinkUs = 5;
    constexpr uint32_t kGrowUs = 25;
    constexpr uint32_t kMaxIdleUs = 3000;
    if (m_nLastPolls <= 1)
        m_nProgramIdleUs = m_nProgramIdleUs > kShrinkUs ? m_nProgramIdleUs - kShrinkUs : 0;
    else
        m_nProgramIdleUs = std::min(kMaxIdleUs, m_nProgramIdleUs + kGrowUs * uint32_t(m_nLastPolls - 1));
}

void SpiFlashCtrl::SwapWords(uint8_t* pBuffer, int nLength)
{
    if (!pBuffer || nLength <= 0)
        return;
    for (int nAt = 0; nAt < nLength; nAt += 4)
        std::reverse(pBuffer + nAt, pBuffer + std::min(nAt + 4, nLength));
}

int SpiFlashCtrl::ScanMagic(const uint8_t* pBuffer, int nLength)
{
    if (!pBuffer || nLength <= 20)
        return -1;
    for (int p = 0; p + 21 <= nLength; p += 4) {
        if (pBuffer[p] != 'X' || pBuffer[p + 1] != 'Q')
            continue;
        int32_t nTotal;
        std::memcpy(&nTotal, pBuffer + p + 4, sizeof nTotal);
        if (nTotal > 0 && nTotal < nLength)
            return p;
    }
    return -1;
}

// ---------------------------------------------------------------- identification

uint32_t SpiFlashCtrl::ReadIdWord()
{
    SetMode(0);
    uint8_t word[4] = {0, 0, 0, 0};
    MemRead(word, 4, kChipIdAddress);
    WaitReady(kStatusBusy);
    return LoadLe32(word);
}

int SpiFlashCtrl::ReadChipId()
{
    if (!m_bLinkOpen)
        return xq::kErrNotOpen;
    return int(ReadIdWord());
}

int SpiFlashCtrl::ReadFlashInfo(FlashInfo* pInfo)
{
    if (!pInfo)
        return xq::kErrBadArgument;
    if (!m_bLinkOpen)
        return xq::kErrNotOpen;
    *pInfo = FlashInfo();
    if (ReadMode() == 0)
        SetMode(1);
    // A failed transfer leaves its fields 0 and is reported: zeros from an
    // adapter that is gone must not pass for a flash identification.
    int nFailed = 0;
    auto note = [&nFailed](int r) {
        if (r != 0 && nFailed == 0)
            nFailed = r;
        return r == 0;
    };
    uint8_t reply[16] = {};
    if (note(SendCmdRead(reply, 3, flash::kManufacturerId, 0, 3))) {
        pInfo->nManufacturerId = reply[0];
        pInfo->nDeviceId = reply[1];
    }
    uint8_t jedec[3] = {};
    if (note(SendCmdRead(jedec, 3, flash::kJedecId, 0, 0))) {
        pInfo->nMemoryType = jedec[1];
        pInfo->nCapacity = jedec[2];
    }
    if (note(SendCmdRead(reply, 16, flash::kUniqueId, 0, 4))) {
        SwapWords(reply, 16);
        std::memcpy(pInfo->uniqueId, reply, 16);
    }
    pInfo->nPageSize = kPageSize;
    pInfo->nSectorSize = kSectorSize;
    pInfo->nTotalSize = jedec[0] == pInfo->nManufacturerId ? 1u << (pInfo->nCapacity & 31) : 0;
    const bool bBusy = WaitReady(kStatusBusy);
    if (nFailed != 0)
        return nFailed;
    // No flash answering: the identification reads all zero (or all ones).
    const bool bSilent = (jedec[0] == 0 && jedec[1] == 0 && jedec[2] == 0) ||
                         (jedec[0] == 0xFF && jedec[1] == 0xFF && jedec[2] == 0xFF);
    if (bSilent)
        return xq::kErrBadArgument;
    return bBusy ? xq::kErrFlashBusyAtStart : 0;
}

// ---------------------------------------------------------------- erase, program, verify, read

int SpiFlashCtrl::EraseFlash(int32_t nStart, int32_t nCount, const ProgressFn& progress)
{
    if (nCount == 0)
        return xq::kErrBadArgument;
    if (WaitReady(kStatusBusyOrWel))
        return xq::kErrFlashBusyAtStart;
    if (nCount == -1)
        return SendCmdWE(flash::kChipErase, 0, 0, nullptr, 0);
    if (nCount < 0)
        return 0;
    Report(progress, InitialPercent(nCount));

    const int64_t nTotal = (int64_t(nCount) + kSectorSize - 1) / kSectorSize * kSectorSize;
    const uint32_t nBase = uint32_t(nStart) & ~uint32_t(kSectorSize - 1);
    // A flash erases the whole aligned unit that contains the address, so a
    // block erase is used only where the block starts; elsewhere 4 KiB
    // sectors. Exactly [start rounded down, + count rounded up) is erased.
    int64_t nOffset = 0;
    while (nOffset < nTotal) {
        const uint32_t nAt = nBase + uint32_t(nOffset);
        const int64_t nLeft = nTotal - nOffset;
        uint8_t nCmd = flash::kSectorErase;
        int32_t nUnit = kSectorSize;
        if (nAt % kBlock64Size == 0 && nLeft >= kBlock64Size) {
            nCmd = flash::kBlock64Erase;
            nUnit = kBlock64Size;
        } else if (nAt % kBlock32Size == 0 && nLeft >= kBlock32Size) {
            nCmd = flash::kBlock32Erase;
            nUnit = kBlock32Size;
        }
        const int r = SendCmdWE(nCmd, nAt, 3, nullptr, 0);
        if (r != 0)
            return r;
        nOffset += nUnit;
        Report(progress, nOffset * 100 / nTotal);
    }
    return 0;
}

int SpiFlashCtrl::ProgramPages(int32_t nStart, const uint8_t* pData, int32_t nCount, const ProgressFn& progress)
{
    int32_t nDone = 0;
    int32_t nPiece = FirstPagePiece(nStart, nCount);
    while (nDone < nCount) {
        const int r = SendCmdWE(flash::kPageProgram, uint32_t(nStart + nDone), 3, pData + nDone, nPiece);
        if (r != 0)
            return r;
        nDone += nPiece;
        Report(progress, int64_t(nDone) * 100 / nCount);
        nPiece = std::min(nCount - nDone, kPageSize);
    }
    return 0;
}

int SpiFlashCtrl::ProgramFlash(int32_t nStart, const uint8_t* pData, int32_t nCount, bool bSwap,
                               const ProgressFn& progress)
{
    if (!pData || nCount <= 0 || nStart < 0)
        return xq::kErrBadArgument;
    std::vector<uint8_t> swapped;
    if (bSwap && nCount > 1) {
        swapped.assign(pData, pData + nCount);
        SwapWords(swapped.data(), nCount);
        pData = swapped.data();
    }
    Report(progress, InitialPercent(nCount));
    if (WaitReady(kStatusBusyOrWel))
        return xq::kErrFlashBusyAtStart;
    return ProgramPages(nStart, pData, nCount, progress);
}

int SpiFlashCtrl::ProgramFlashEncrypted(int32_t nStart, const uint8_t* pImage, int32_t nCount, bool bSwap,
                                        const ProgressFn& progress)
{
    if (!pImage || nCount < 1 || nStart < 0)
        return xq::kErrBadArgument;
    std::vector<uint8_t> swapped;
    if (bSwap && nCount > 1) {
        swapped.assign(pImage, pImage + nCount);
        SwapWords(swapped.data(), nCount);
        pImage = swapped.data();
    }
    const int64_t nSpan = 2 * int64_t(nCount);  // the zero pass and the data pass
    Report(progress, InitialPercent(nSpan));

    SetMode(1);
    if (WaitReady(kStatusBusyOrWel))
        return xq::kErrFlashBusyAtStart;
    const int32_t nT = (nCount >= 4 && LoadLe32(pImage) == kSecondRegionMagic) ? kSecondRegion : 0;
    SetMode(2);

    // Zero pass: what the flash returns for zeros programmed in mode 2 is the key.
    const std::vector<uint8_t> zeros(kPageSize, 0);
    for (int32_t p = 0; p < nCount; p += kPageSize) {
        SendCmdWE(flash::kPageProgram, uint32_t(nStart + p), 3, zeros.data(), kPageSize);
        Report(progress, (int64_t(p) + kPageSize) * 100 / nSpan);
    }
    std::vector<uint8_t> key(size_t(nCount), 0);
    int r = FastReadFlash(key.data(), nCount, nStart);
    if (r != 0)
        return r;
    EraseFlash(nStart, nCount);

    int64_t nProgrammed = nCount;
    auto programRange = [&](int32_t nFrom, int32_t nTo, bool bPageAligned) {
        int32_t nDone = nFrom;
        int32_t nPiece = bPageAligned ? FirstPagePiece(nStart, nTo - nFrom) : std::min(nTo - nFrom, kPageSize);
        while (nDone < nTo) {
            const int rc = SendCmdWE(flash::kPageProgram, uint32_t(nStart + nDone), 3, pImage + nDone, nPiece);
            if (rc != 0)
                return rc;
            nDone += nPiece;
            nProgrammed += nPiece;
            Report(progress, nProgrammed * 100 / nSpan);
            nPiece = std::min(nTo - nDone, kPageSize);
        }
        return 0;
    };

    // Second region, in mode 2 (never past the end of the image).
    if (nT != 0 && int64_t(nStart) + nCount > kPlainHead) {
        r = programRange(kPlainHead, std::min(kPlainHead + nT - kSecondRegionPlainTail, nCount), true);
        if (r != 0)
            return r;
    }
    // The rest of the image, in mode 2.
    if (int64_t(nCount) - (kPlainHead + nT) <= 0)
        return xq::kErrModeChange;
    r = programRange(kPlainHead + nT, nCount, false);
    if (r != 0)
        return r;
    // The head, and the second region's tail, in mode 1.
    SetMode(1);
    r = programRange(0, kPlainHead, false);
    if (r != 0)
        return r;
    if (nT != 0) {
        const int32_t nTail = nT + kPlainTailOffset;
        r = SendCmdWE(flash::kPageProgram, uint32_t(nStart + nTail), 3, pImage + nTail, kSecondRegionPlainTail);
        if (r != 0)
            return r;
        nProgrammed += kSecondRegionPlainTail;
        Report(progress, nProgrammed * 100 / nSpan);
    }

    std::vector<uint8_t> readBack(size_t(nCount), 0);
    r = FastReadFlash(readBack.data(), nCount, nStart);
    if (r != 0)
        return r;
    for (int32_t i = 0; i + 4 <= nCount; i += 4) {
        const uint32_t nD = LoadLe32(pImage + i);
        const uint32_t nR = LoadLe32(readBack.data() + i);
        const uint32_t nK = LoadLe32(key.data() + i);
        if (nD != nR && nR != (nD ^ nK))
            return xq::kErrEncryptedReadBack;
    }
    return 0;
}

int SpiFlashCtrl::RepairPiece(const uint8_t* pImage, int32_t nAddress, int32_t nSize)
{
    const int32_t nSector = nAddress & ~(kSectorSize - 1);
    if (nAddress == nSector && nSize == kSectorSize) {
        int r = EraseFlash(nAddress, nSize);
        if (r == 0)
            r = ProgramFlash(nAddress, pImage, nSize, false);
        if (r != 0)
            return r;
        std::vector<uint8_t> check(static_cast<size_t>(nSize));
        r = SendCmdRead(check.data(), nSize, flash::kRead, uint32_t(nAddress), 3);
        if (r != 0)
            return r;
        return std::memcmp(check.data(), pImage, size_t(nSize)) == 0 ? 0 : xq::kErrRepairFailed;
    }
    // The piece covers part of a sector: keep the sector's other bytes, read
    // before the erase, and put them back with the piece.
    std::vector<uint8_t> sector(kSectorSize);
    int r = SendCmdRead(sector.data(), kSectorSize, flash::kRead, uint32_t(nSector), 3);
    if (r != 0)
        return r;
    std::memcpy(sector.data() + (nAddress - nSector), pImage, size_t(nSize));
    r = EraseFlash(nSector, kSectorSize);
    if (r == 0)
        r = ProgramFlash(nSector, sector.data(), kSectorSize, false);
    if (r != 0)
        return r;
    std::vector<uint8_t> check(kSectorSize);
    r = SendCmdRead(check.data(), kSectorSize, flash::kRead, uint32_t(nSector), 3);
    if (r != 0)
        return r;
    return check == sector ? 0 : xq::kErrRepairFailed;
}

int SpiFlashCtrl::VerifyFlash(const uint8_t* pImage, int32_t nCount, int32_t nStart, const ProgressFn& progress)
{
    if (!pImage || nCount <= 0 || nStart < 0)
        return xq::kErrBadArgument;
    if (WaitReady(kStatusBusyOrWel))
        return xq::kErrFlashBusyAtStart;
    Report(progress, InitialPercent(nCount));
    SetMode(1);

    std::vector<uint8_t> work(kVerifyChunk);
    int32_t nDone = 0;
    int32_t nChunk = std::min(kVerifyChunk - (nStart & 0xEFFF), nCount);
    while (nDone < nCount) {
        const int nReadRc = SendCmdRead(work.data(), nChunk, flash::kRead, uint32_t(nStart + nDone), 3);
        // Pieces never cross a sector boundary, so a repair stays inside its piece.
        for (int32_t o = 0; o < nChunk;) {
            const int32_t nAddress = nStart + nDone + o;
            const int32_t nSize = std::min(nChunk - o, kSectorSize - (nAddress & (kSectorSize - 1)));
            const uint8_t* pExpected = pImage + nDone + o;
            if (std::memcmp(work.data() + o, pExpected, size_t(nSize)) == 0) {
                if (nReadRc != 0)
                    return nReadRc;
            } else {
                const int r = RepairPiece(pExpected, nAddress, nSize);
                if (r != 0)
                    return r;
            }
            o += nSize;
        }
        nDone += nChunk;
        Report(progress, int64_t(nDone) * 100 / nCount);
        nChunk = std::min(nCount - nDone, kVerifyChunk);
    }
    return 0;
}

int SpiFlashCtrl::ReadFlashPieces(uint8_t* pBuffer, int32_t nCount, int32_t nStart, bool bFast,
                                  const ProgressFn& progress)
{
    if (!pBuffer || nCount <= 0 || nStart < 0)
        return xq::kErrBadArgument;
    if (WaitReady(kStatusBusyOrWel))
        return xq::kErrFlashBusyAtStart;
    Report(progress, InitialPercent(nCount));
    int32_t nDone = 0;
    int32_t nPiece = FirstPagePiece(nStart, nCount);
    while (nDone < nCount) {
        const int r = bFast ? SendCmdRead(pBuffer + nDone, nPiece, flash::kFastRead, uint32_t(nStart + nDone), 4)
                            : SendCmdRead(pBuffer + nDone, nPiece, flash::kRead, uint32_t(nStart + nDone), 3);
        if (r != 0)
            return r;
        nDone += nPiece;
        Report(progress, int64_t(nDone) * 100 / nCount);
        nPiece = std::min(nCount - nDone, kMemFrameSize);
    }
    return 0;
}

int SpiFlashCtrl::ReadFlashData(uint8_t* pBuffer, int32_t nCount, int32_t nStart, const ProgressFn& progress)
{
    return ReadFlashPieces(pBuffer, nCount, nStart, false, progress);
}

int SpiFlashCtrl::FastReadFlash(uint8_t* pBuffer, int32_t nCount, int32_t nStart, const ProgressFn& progress)
{
    return ReadFlashPieces(pBuffer, nCount, nStart, true, progress);
}

// ---------------------------------------------------------------- status and security registers

int SpiFlashCtrl::ReadProtectBit()
{
    WaitReady(kStatusBusy);
    uint8_t nStatus = 0;
    SendCmdRead(&nStatus, 1, flash::kReadStatus, 0, 0);
    return nStatus & kProtectBit;
}

int SpiFlashCtrl::WriteStatus(uint8_t nValue)
{
    if (WaitReady(kStatusBusyOrWel))
        return xq::kErrFlashBusyAtStart;
    SendCmdWE(flash::kWriteStatus, 0, 0, &nValue, 1);
    return 0;
}

int SpiFlashCtrl::ClearStatus()
{
    return WriteStatus(0);
}

namespace {
bool SecurityRangeOk(int32_t nAddress, int32_t nCount)
{
    return nAddress >= 0 && nAddress < kSecurityAreaSize && nCount > 0 &&
           int64_t(nAddress) + nCount <= kSecurityAreaSize;
}
}  // namespace

int SpiFlashCtrl::EraseSecurity(int32_t nAddress, int32_t nCount)
{
    if (!SecurityRangeOk(nAddress, nCount))
        return xq::kErrBadArgument;
    if (WaitReady(kStatusBusyOrWel))
        return xq::kErrFlashBusyAtStart;
    int32_t nDone = 0;
    int32_t nPiece = FirstPagePiece(nAddress, nCount);
    int r = 0;
    while (nDone < nCount) {
        r = SendCmdWE(flash::kSecurityErase, uint32_t(nAddress + nDone), 3, nullptr, 0);
        if (r != 0)
            return r;
        nDone += nPiece;
        nPiece = std::min(nCount - nDone, kPageSize);
    }
    return r;
}

int SpiFlashCtrl::ProgramSecurity(int32_t nAddress, const uint8_t* pData, int32_t nCount)
{
    if (!pData || !SecurityRangeOk(nAddress, nCount))
        return xq::kErrBadArgument;
    int32_t nDone = 0;
    int32_t nPiece = FirstPagePiece(nAddress, nCount);
    while (nDone < nCount) {
        const int r = SendCmdWE(flash::kSecurityProgram, uint32_t(nAddress + nDone), 3, pData + nDone, nPiece);
        if (r != 0)
            return r;
        nDone += nPiece;
        nPiece = std::min(nCount - nDone, kPageSize);
    }
    return 0;
}

int SpiFlashCtrl::ReadSecurity(uint8_t* pBuffer, int32_t nCount, int32_t nAddress)
{
    if (!pBuffer || !SecurityRangeOk(nAddress, nCount))
        return xq::kErrBadArgument;
    WaitReady(kStatusBusy);
    uint8_t scratch[260];
    int32_t nDone = 0;
    int32_t nPiece = FirstPagePiece(nAddress, nCount);
    while (nDone < nCount) {
        // The first byte after the address is a dummy byte.
        const int r = SendCmdRead(scratch, nPiece + 1, flash::kSecurityRead, uint32_t(nAddress + nDone), 3);
        if (r != 0)
            return r;
        std::memcpy(pBuffer + nDone, scratch + 1, size_t(nPiece));
        nDone += nPiece;
        nPiece = std::min(nCount - nDone, kPageSize);
    }
    return 0;
}

// ---------------------------------------------------------------- device

int SpiFlashCtrl::SoftReset(bool bEnableQuad)
{
    if (!m_bLinkOpen)
        return xq::kErrNotOpen;
    SendLinkReset();
    if (SetMode(1) < 0)
        return xq::kErrModeChange;
    for (int nRetry = 1; ReadMode() != 1; ++nRetry) {
        SendLinkReset();
        SetMode(1);
        if (nRetry == 10) {
            ReadMode();
            SendModeSet(1);
            SendModeSet(1);
            break;
        }
    }
    if (WaitReady(kStatusBusy))
        return xq::kErrFlashBusyAtStart;
    uint8_t jedec[4] = {0, 0, 0, 0};
    if (SendCmdRead(jedec, 3, flash::kJedecId, 0, 0) != 0 || LoadLe32(jedec) == 0)
        return xq::kErrBadArgument;
    if (bEnableQuad) {
        WaitReady(kStatusBusy);
        uint8_t nStatus2 = 0;
        SendCmdRead(&nStatus2, 1, flash::kReadStatus2, 0, 0);
        if (!(nStatus2 & kStatus2QuadEnable)) {
            const uint8_t nValue = nStatus2 | kStatus2QuadEnable;
            SendCmdWE(flash::kWriteStatus2, 0, 0, &nValue, 1);
        }
    }
    SetMode(0);
    SendControl();
    SendLinkReset();
    return 0;
}

void SpiFlashCtrl::EnterFlashMode()
{
    SendControl();
    SendModeSet(1);
}

int SpiFlashCtrl::ClearChipRegisters()
{
    if (!m_bLinkOpen)
        return xq::kErrBadArgument;
    const uint32_t nId = ReadIdWord();
    uint32_t nFirst;
    uint32_t nSecond;
    if (nId == kChipIdXq6030) {
        nFirst = 0x1A104408;
        nSecond = 0x1A104400;
    } else if (nId == kChipIdXq6230) {
        nFirst = 0x1A104208;
        nSecond = 0x1A104200;
    } else {
        return xq::kErrBadArgument;
    }
    const uint8_t zero[4] = {0, 0, 0, 0};
    int r = MemWrite(nFirst, zero, 4);
    if (r == 0)
        r = MemWrite(nSecond, zero, 4);
    return r;
}

int SpiFlashCtrl::SearchHeader(int32_t nStart, int32_t nLength, int32_t* pOffset, uint8_t* pRecord,
                               int32_t nRecordCapacity)
{
    if (nLength <= 0)
        return xq::kErrBadArgument;
    if (!m_bLinkOpen)
        return xq::kErrNotOpen;
    const int64_t nArea = (int64_t(nLength) + kSectorSize - 1) / kSectorSize * kSectorSize;
    if (nArea > INT32_MAX) {
        if (pOffset)
            *pOffset = -1;
        return 0;
    }
    std::vector<uint8_t> area(size_t(nArea), 0);
    SetMode(1);
    for (int64_t nAt = 0; nAt < nArea; nAt += kPageSize) {
        const int nPiece = int(std::min<int64_t>(nArea - nAt, kPageSize));
        SendCmdRead(area.data() + nAt, nPiece, flash::kRead, uint32_t(nStart + nAt), 3);
    }
    SwapWords(area.data(), int(nArea));
    const int nOffset = ScanMagic(area.data(), int(nArea));
    if (pOffset)
        *pOffset = nOffset;
    if (pRecord && nOffset >= 0) {
        int32_t nUsed;
        std::memcpy(&nUsed, area.data() + nOffset + 8, sizeof nUsed);
        // The used length comes from flash: copy only a record that lies
        // inside the area read and fits the caller's buffer.
        const int64_t nRecord = int64_t(nUsed) + 20;
        if (nUsed >= 0 && int64_t(nUsed) + 19 < nLength && nOffset + nRecord <= nArea && nRecord <= nRecordCapacity)
            std::memcpy(pRecord, area.data() + nOffset, size_t(nRecord));
    }
    return 0;
}
