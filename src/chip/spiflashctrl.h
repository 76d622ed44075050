// SpiFlashCtrl: the one object through which all chip traffic goes, and the
// only chip class its callers see. It is made of three parts:
//   ChipLink   (chiplink.h)   the adapter, the slave port's frames and link modes, status polling;
//   FlashOps   (flashops.h)   the flash operations: identification, erase, program (plain and
//                             encrypted), verify with repair, reads, status and security registers,
//                             the static data header search;
//   DeviceOps  (deviceops.h)  the chip itself: identification word, soft reset, flash mode entry,
//                             register clearing;
//   SmartWriter (smartwrite.h) a write that erases and programs only what differs.
// Each method below forwards to the part that does the work.
//
// Not re-entrant: one caller at a time (the main window keeps its actions
// disabled while an operation runs).
#pragma once

#include "chiplink.h"
#include "deviceops.h"
#include "flashops.h"
#include "smartwrite.h"

#include <results.h>

#include <QByteArray>
#include <QList>

#include <cstdint>

class SpiFlashCtrl {
public:
    using MsClock = ChipLink::MsClock;

    // Adapters are listed and opened on pBackend: null for real adapters
    // (libftdi1), or the simulated bench (simbench.h).
    explicit SpiFlashCtrl(std::shared_ptr<mpsse::Backend> pBackend = nullptr);
    virtual ~SpiFlashCtrl();
    SpiFlashCtrl(const SpiFlashCtrl&) = delete;
    SpiFlashCtrl& operator=(const SpiFlashCtrl&) = delete;

    // Adapter selection and enumeration.
    int SelectAdapter(QList<QByteArray>& names, int nKind) { return m_link.SelectAdapter(names, nKind); }
    int RefreshAdapters(QList<QByteArray>& names) { return m_link.RefreshAdapters(names); }
    QList<AdapterDescription> Adapters() const { return m_link.Adapters(); }
    // Replaces the adapter (tests use a scripted one); takes ownership.
    void SetAdapter(SpiInterface* pAdapter) { m_link.SetAdapter(pAdapter); }
    SpiInterface* Adapter() const { return m_link.Adapter(); }
    void SetMsClock(MsClock clock) { m_link.SetMsClock(std::move(clock)); }
    // Batched page programs, opt-in (ChipLink::SetBatchPrograms); by default
    // every page program goes on its own, in address order.
    void SetBatchPrograms(bool bBatch) { m_link.SetBatchPrograms(bBatch); }
    bool BatchPrograms() const { return m_link.BatchPrograms(); }
    bool BatchingInEffect() const { return m_link.BatchingInEffect(); }

    // Link and frames.
    int Open(const QByteArray& strName, int nRateIndex) { return m_link.Open(strName, nRateIndex); }
    int Close() { return m_link.Close(); }
    bool IsOpen() const { return m_link.IsOpen(); }
    // Brings the link back after a failed transfer (ChipLink::Recover).
    int Recover() { return m_link.Recover(); }
    QString AdapterErrorText() const { return m_link.AdapterErrorText(); }
    void SetStopFlag(const std::atomic<bool>* pStop) { m_link.SetStopFlag(pStop); }
    bool StopRequested() const { return m_link.StopRequested(); }
    int MemWrite(uint32_t nAddress, const uint8_t* pData, int nLength)
    {
        return m_link.MemWrite(nAddress, pData, nLength);
    }
    int MemRead(uint8_t* pBuffer, int nLength, uint32_t nAddress) { return m_link.MemRead(pBuffer, nLength, nAddress); }
    int SendCmd(uint8_t nCmd, uint32_t nAddress, int nAddrLen, const uint8_t* pData, int nDataLen)
    {
        return m_link.SendCmd(nCmd, nAddress, nAddrLen, pData, nDataLen);
    }
    int SendCmdRead(uint8_t* pBuffer, int nReadLen, uint8_t nCmd, uint32_t nAddress, int nAddrLen)
    {
        return m_link.SendCmdRead(pBuffer, nReadLen, nCmd, nAddress, nAddrLen);
    }
    int ReadMode() { return m_link.ReadMode(); }
    int SetMode(uint32_t nMode) { return m_link.SetMode(nMode); }
    bool WaitReady(uint8_t nMask) { return m_link.WaitReady(nMask); }
    int SendCmdWE(uint8_t nCmd, uint32_t nAddress, int nAddrLen, const uint8_t* pData, int nDataLen)
    {
        return m_link.SendCmdWE(nCmd, nAddress, nAddrLen, pData, nDataLen);
    }
    uint32_t CurrentMode() const { return m_link.CurrentMode(); }

    static void SwapWords(uint8_t* pBuffer, int nLength) { ChipLink::SwapWords(pBuffer, nLength); }
    static int ScanMagic(const uint8_t* pBuffer, int nLength) { return FlashOps::ScanMagic(pBuffer, nLength); }

    // Flash operations.
    int ReadFlashInfo(FlashInfo* pInfo) { return m_flash.ReadFlashInfo(pInfo); }
    int EraseFlash(int32_t nStart, int32_t nCount, const ProgressFn& progress = {})
    {
        return m_flash.EraseFlash(nStart, nCount, progress);
    }
    int EraseRange(int32_t nStart, int32_t nCount, const ProgressFn& progress = {})
    {
        return m_flash.EraseRange(nStart, nCount, progress);
    }
    int ProgramFlash(int32_t nStart, const uint8_t* pData, int32_t nCount, bool bSwap, const ProgressFn& progress = {})
    {
        return m_flash.ProgramFlash(nStart, pData, nCount, bSwap, progress);
    }
    int ProgramFlashSkipBlank(int32_t nStart, const uint8_t* pData, int32_t nCount, const ProgressFn& progress = {})
    {
        return m_flash.ProgramFlashSkipBlank(nStart, pData, nCount, progress);
    }
    int ProgramFlashEncrypted(int32_t nStart, const uint8_t* pImage, int32_t nCount, bool bSwap,
                              const ProgressFn& progress = {})
    {
        return m_flash.ProgramFlashEncrypted(nStart, pImage, nCount, bSwap, progress);
    }
    int VerifyFlash(const uint8_t* pImage, int32_t nCount, int32_t nStart, const ProgressFn& progress = {},
                    xq::FlashLoss* pLost = nullptr)
    {
        return m_flash.VerifyFlash(pImage, nCount, nStart, progress, pLost);
    }
    // Writes only what differs from what the flash holds (smartwrite.h).
    int SmartWrite(int32_t nStart, const uint8_t* pImage, int32_t nCount, SmartWriteCounts* pCounts,
                   const ProgressFn& progress = {}, xq::FlashLoss* pLost = nullptr)
    {
        return m_smart.Write(nStart, pImage, nCount, pCounts, progress, pLost);
    }
    int ReadFlashData(uint8_t* pBuffer, int32_t nCount, int32_t nStart, const ProgressFn& progress = {})
    {
        return m_flash.ReadFlashData(pBuffer, nCount, nStart, progress);
    }
    int FastReadFlash(uint8_t* pBuffer, int32_t nCount, int32_t nStart, const ProgressFn& progress = {})
    {
        return m_flash.FastReadFlash(pBuffer, nCount, nStart, progress);
    }
    int ReadProtectBit() { return m_flash.ReadProtectBit(); }
    int ReadStatus(uint8_t* pStatus) { return m_flash.ReadStatus(pStatus); }
    int WriteStatus(uint8_t nValue) { return m_flash.WriteStatus(nValue); }
    int ClearStatus() { return m_flash.ClearStatus(); }
    int EraseSecurity(int32_t nAddress, int32_t nCount) { return m_flash.EraseSecurity(nAddress, nCount); }
    int ProgramSecurity(int32_t nAddress, const uint8_t* pData, int32_t nCount)
    {
        return m_flash.ProgramSecurity(nAddress, pData, nCount);
    }
    int ReadSecurity(uint8_t* pBuffer, int32_t nCount, int32_t nAddress)
    {
        return m_flash.ReadSecurity(pBuffer, nCount, nAddress);
    }
    int SearchHeader(int32_t nStart, int32_t nLength, int32_t* pOffset, uint8_t* pRecord = nullptr,
                     int32_t nRecordCapacity = 0)
    {
        return m_flash.SearchHeader(nStart, nLength, pOffset, pRecord, nRecordCapacity);
    }

    // Device operations.
    int ReadChipId(uint32_t* pId) { return m_device.ReadChipId(pId); }
    int SoftReset(bool bEnableQuad) { return m_device.SoftReset(bEnableQuad); }
    void EnterFlashMode() { m_device.EnterFlashMode(); }
    int ClearChipRegisters() { return m_device.ClearChipRegisters(); }

    // Frame sizes.
    static constexpr int kMemFrameSize = ChipLink::kMemFrameSize;
    static constexpr int kMemWriteChunk = ChipLink::kMemWriteChunk;
    static constexpr int kMemReadChunk = ChipLink::kMemReadChunk;
    static constexpr int kCmdBufferSize = ChipLink::kCmdBufferSize;
    static constexpr int kBusyLimitMs = ChipLink::kBusyLimitMs;

private:
    // The parts hold the link by reference: it is declared first, so it is
    // built before and destroyed after them.
    ChipLink m_link;
    FlashOps m_flash{m_link};
    DeviceOps m_device{m_link};
    SmartWriter m_smart{m_link, m_flash};
};
