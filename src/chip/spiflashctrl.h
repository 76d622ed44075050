// SpiFlashCtrl: the one object through which all chip traffic goes. It owns
// the SPI adapter, turns requests into frames for the chip's slave port
// (memory frames, flash command frames, link-mode frames, status polling) and
// builds the flash and device operations on them: identification, erase,
// program (plain and encrypted), verify with repair, reads, the security
// registers, write protection, soft reset and the static data header search.
//
// Not re-entrant: one caller at a time (the main window keeps its actions
// disabled while an operation runs).
#pragma once

#include "resultcodes.h"

#include <spiinterface.h>

#include <QByteArray>
#include <QList>

#include <cstdint>
#include <functional>

using ProgressFn = std::function<void(int)>;

struct FlashInfo {
    uint8_t nManufacturerId = 0;
    uint8_t nDeviceId = 0;
    uint8_t nMemoryType = 0;
    uint8_t nCapacity = 0;
    uint32_t nPageSize = 0;
    uint32_t nSectorSize = 0;
    uint32_t nTotalSize = 0;
    uint32_t uniqueId[4] = {0, 0, 0, 0};
};

// Chip identification words.
constexpr uint32_t kChipIdXq6230 = 0x58516230;
constexpr uint32_t kChipIdXq6030 = 0xABCD0001;  // XQ6130 when the flash is below 1 MiB

class SpiFlashCtrl {
public:
    // Milliseconds from a monotonic clock; WaitReady's time limit runs on it.
    using MsClock = std::function<int64_t()>;

    SpiFlashCtrl();
    virtual ~SpiFlashCtrl();
    SpiFlashCtrl(const SpiFlashCtrl&) = delete;
    SpiFlashCtrl& operator=(const SpiFlashCtrl&) = delete;

    // Adapter selection and enumeration.
    int SelectAdapter(QList<QByteArray>& names, int nKind);
    int RefreshAdapters(QList<QByteArray>& names);
    // Replaces the adapter (tests use a scripted one); takes ownership.
    void SetAdapter(SpiInterface* pAdapter);
    SpiInterface* Adapter() const { return m_pAdapter; }
    void SetMsClock(MsClock clock) { m_msClock = std::move(clock); }

    // Link and frames.
    int Open(const QByteArray& strName, int nRateIndex);
    void Close();
    bool IsOpen() const { return m_bLinkOpen; }
    int MemWrite(uint32_t nAddress, const uint8_t* pData, int nLength);
    int MemRead(uint8_t* pBuffer, int nLength, uint32_t nAddress);
    int SendCmd(uint8_t nCmd, uint32_t nAddress, int nAddrLen, const uint8_t* pData, int nDataLen);
    int SendCmdRead(uint8_t* pBuffer, int nReadLen, uint8_t nCmd, uint32_t nAddress, int nAddrLen);
    int ReadMode();
    int SetMode(uint32_t nMode);
    bool WaitReady(uint8_t nMask);
    int SendCmdWE(uint8_t nCmd, uint32_t nAddress, int nAddrLen, const uint8_t* pData, int nDataLen);
    uint32_t CurrentMode() const { return m_nCurrentMode; }

    static void SwapWords(uint8_t* pBuffer, int nLength);
    static int ScanMagic(const uint8_t* pBuffer, int nLength);

    // Flash and device operations.
    int ReadChipId();
    int ReadFlashInfo(FlashInfo* pInfo);
    int EraseFlash(int32_t nStart, int32_t nCount, const ProgressFn& progress = {});
    int ProgramFlash(int32_t nStart, const uint8_t* pData, int32_t nCount, bool bSwap, const ProgressFn& progress = {});
    int ProgramFlashEncrypted(int32_t nStart, const uint8_t* pImage, int32_t nCount, bool bSwap,
                              const ProgressFn& progress = {});
    int VerifyFlash(const uint8_t* pImage, int32_t nCount, int32_t nStart, const ProgressFn& progress = {});
    int ReadFlashData(uint8_t* pBuffer, int32_t nCount, int32_t nStart, const ProgressFn& progress = {});
    int FastReadFlash(uint8_t* pBuffer, int32_t nCount, int32_t nStart, const ProgressFn& progress = {});
    int ReadProtectBit();
    int WriteStatus(uint8_t nValue);
    int ClearStatus();
    int EraseSecurity(int32_t nAddress, int32_t nCount);
    int ProgramSecurity(int32_t nAddress, const uint8_t* pData, int32_t nCount);
    int ReadSecurity(uint8_t* pBuffer, int32_t nCount, int32_t nAddress);
    int SoftReset(bool bEnableQuad);
    void EnterFlashMode();
    int ClearChipRegisters();
    int SearchHeader(int32_t nStart, int32_t nLength, int32_t* pOffset, uint8_t* pRecord = nullptr,
                     int32_t nRecordCapacity = 0);

    // Frame sizes.
    static constexpr int kMemFrameSize = 64512;            // 0xFC00 bytes each way
    static constexpr int kMemWriteChunk = kMemFrameSize - 5;
    static constexpr int kMemReadChunk = kMemFrameSize - 4;
    static constexpr int kCmdBufferSize = 512;
    static constexpr int kBusyLimitMs = 6000;

private:
    int ReadFlashPieces(uint8_t* pBuffer, int32_t nCount, int32_t nStart, bool bFast, const ProgressFn& progress);
    int ProgramPages(int32_t nStart, const uint8_t* pData, int32_t nCount, const ProgressFn& progress);
    int RepairPiece(const uint8_t* pImage, int32_t nAddress, int32_t nSize);
    uint32_t ReadIdWord();
    void LearnProgramIdle();
    int SendLinkReset();
    int SendModeSet(uint8_t nMode);
    int SendControl();

    SpiInterface* m_pAdapter = nullptr;
    bool m_bLinkOpen = false;
    int m_nAdapterKind = 0;
    uint32_t m_nCurrentMode = 1;
    uint8_t m_cmdBuffer[kCmdBufferSize] = {};
    int m_nPollError = 0;  // the adapter's code when the last WaitReady could not poll
    int m_nLastPolls = 0;  // status polls the last WaitReady sent
    uint32_t m_nProgramIdleUs = 0;     // learned wait before the first poll after a page program
    uint32_t m_nIdleBeforePollUs = 0;  // the wait WaitReady asks the adapter for, once
    MsClock m_msClock;
};
