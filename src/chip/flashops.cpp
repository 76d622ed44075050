#include "flashops.h"

#include "blankcheck.h"
#include "chipdefs.h"
#include "encryptedprogram.h"
#include "flashrepair.h"
#include "headersearch.h"

#include <algorithm>
#include <iterator>
#include <cstring>
#include <vector>

namespace flash = xq::flash;
using flashpieces::FirstPagePiece;
using flashpieces::InitialPercent;
using flashpieces::Report;

namespace {

bool SecurityRangeOk(int32_t nAddress, int32_t nCount)
{
    return nAddress >= 0 && nAddress < flash::kSecurityAreaSize && nCount > 0 &&
           int64_t(nAddress) + nCount <= flash::kSecurityAreaSize;
}

}  // namespace

// ---------------------------------------------------------------- identification

int FlashOps::ReadFlashInfo(FlashInfo* pInfo)
{
    if (!pInfo)
        return xq::kErrBadArgument;
    if (!m_link.IsOpen())
        return xq::kErrNotOpen;
    *pInfo = FlashInfo();
    if (m_link.ReadMode() == int(xq::port::kModeMemory))
        m_link.SetMode(xq::port::kModeFlash);
    // A failed transfer leaves its fields 0 and is reported: zeros from an
    // adapter that is gone must not pass for a flash identification.
    int nFailed = 0;
    auto note = [&nFailed](int r) {
        if (r != 0 && nFailed == 0)
            nFailed = r;
        return r == 0;
    };
    uint8_t reply[16] = {};
    if (note(m_link.SendCmdRead(reply, 3, flash::kManufacturerId, 0, 3))) {
        pInfo->nManufacturerId = reply[0];
        pInfo->nDeviceId = reply[1];
    }
    uint8_t jedec[3] = {};
    if (note(m_link.SendCmdRead(jedec, 3, flash::kJedecId, 0, 0))) {
        pInfo->nMemoryType = jedec[1];
        pInfo->nCapacity = jedec[2];
    }
    if (note(m_link.SendCmdRead(reply, 16, flash::kUniqueId, 0, 4))) {
        ChipLink::SwapWords(reply, 16);
        std::memcpy(pInfo->uniqueId, reply, 16);
    }
    // The size comes from the capacity code when the JEDEC id names the same
    // maker as the 0x90 reply; a listed flash gives its row as well.
    if (jedec[0] == pInfo->nManufacturerId)
        pInfo->pPart = flash::FindFlashPart(jedec[0], jedec[1], jedec[2]);
    pInfo->nPageSize = pInfo->pPart ? pInfo->pPart->nPageSize : uint32_t(flash::kPageSize);
    pInfo->nSectorSize = pInfo->pPart ? pInfo->pPart->nSectorSize : uint32_t(flash::kSectorSize);
    m_link.SetFlashPart(pInfo->pPart);
    if (pInfo->pPart)
        pInfo->nTotalSize = pInfo->pPart->nTotalSize;
    else
        pInfo->nTotalSize = jedec[0] == pInfo->nManufacturerId ? 1u << (pInfo->nCapacity & 31) : 0;
    const bool bBusy = m_link.WaitReady(flash::kStatusBusy);
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

int FlashOps::EraseFlash(int32_t nStart, int32_t nCount, const ProgressFn& progress)
{
    if (nCount == 0)
        return xq::kErrBadArgument;
    if (m_link.WaitReady(flash::kStatusBusyOrWel))
        return xq::kErrFlashBusyAtStart;
    if (nCount == xq::kWholeChip)
        return m_link.SendCmdWE(flash::kChipErase, 0, 0, nullptr, 0);
    if (nCount < 0)
        return 0;
    Report(progress, InitialPercent(nCount));

    const int64_t nTotal = xq::SectorCeil(nCount);
    const uint32_t nBase = uint32_t(xq::SectorBase(nStart));
    // A flash erases the whole aligned unit that contains the address, so a
    // block erase is used only where the block starts; elsewhere 4 KiB
    // sectors. Exactly [start rounded down, + count rounded up) is erased.
    int64_t nOffset = 0;
    while (nOffset < nTotal) {
        const uint32_t nAt = nBase + uint32_t(nOffset);
        const int64_t nLeft = nTotal - nOffset;
        const flash::EraseUnit* pUnit = std::find_if(
            std::begin(flash::kEraseUnits), std::end(flash::kEraseUnits) - 1,
            [&](const flash::EraseUnit& u) { return nAt % uint32_t(u.nSize) == 0 && nLeft >= u.nSize; });
        const uint8_t nCmd = pUnit->nOpcode;
        const int32_t nUnit = pUnit->nSize;
        // Fast profile: a block that reads all 0xFF is left as it is.
        bool bBlank = false;
        int r = nCmd == flash::kBlock64Erase && m_link.BatchingInEffect() ? CheckBlank(*this, nAt, nUnit, &bBlank) : 0;
        if (r == 0 && !bBlank)
            r = m_link.SendCmdWE(nCmd, nAt, 3, nullptr, 0);
        if (r != 0)
            return r;
        nOffset += nUnit;
        Report(progress, nOffset * 100 / nTotal);
    }
    return 0;
}

int FlashOps::EraseRange(int32_t nStart, int32_t nCount, const ProgressFn& progress)
{
    if (nCount < 0)
        return EraseFlash(nStart, nCount, progress);
    if (nCount == 0 || nStart < 0)
        return xq::kErrBadArgument;
    // EraseFlash rounds the start down and the count up on their own, which
    // misses the last sector of a range that starts inside a sector: the
    // count is taken from the rounded start to the range's end instead.
    const int32_t nFirst = xq::SectorBase(nStart);
    const int64_t nSpan = xq::SectorCeil(int64_t(nStart) + nCount) - nFirst;
    if (nSpan > INT32_MAX)
        return xq::kErrBadArgument;
    return EraseFlash(nFirst, int32_t(nSpan), progress);
}

int FlashOps::EraseSectorKeeping(int32_t nSector, int32_t nFrom, int32_t nTo, const uint8_t* pSector,
                                 xq::FlashLoss* pLost)
{
    return FlashRepair(*this, m_link).EraseSectorKeeping(nSector, nFrom, nTo, pSector, pLost);
}

int FlashOps::ProgramPageList(const std::vector<PageWrite>& pages, int32_t nCount, const ProgressFn& progress)
{
    return PageProgrammer(m_link).ProgramPageList(pages, nCount, progress);
}

int FlashOps::ProgramFlash(int32_t nStart, const uint8_t* pData, int32_t nCount, bool bSwap,
                           const ProgressFn& progress)
{
    if (!pData || nCount <= 0 || nStart < 0)
        return xq::kErrBadArgument;
    std::vector<uint8_t> swapped;
    if (bSwap && nCount > 1) {
        swapped.assign(pData, pData + nCount);
        ChipLink::SwapWords(swapped.data(), nCount);
        pData = swapped.data();
    }
    Report(progress, InitialPercent(nCount));
    if (m_link.WaitReady(flash::kStatusBusyOrWel))
        return xq::kErrFlashBusyAtStart;
    return PageProgrammer(m_link).ProgramRange(nStart, pData, nCount, false, progress);
}

int FlashOps::ProgramFlashSkipBlank(int32_t nStart, const uint8_t* pData, int32_t nCount, const ProgressFn& progress)
{
    if (!pData || nCount <= 0 || nStart < 0)
        return xq::kErrBadArgument;
    Report(progress, InitialPercent(nCount));
    if (m_link.WaitReady(flash::kStatusBusyOrWel))
        return xq::kErrFlashBusyAtStart;
    return PageProgrammer(m_link).ProgramRange(nStart, pData, nCount, true, progress);
}

int FlashOps::ProgramFlashEncrypted(int32_t nStart, const uint8_t* pImage, int32_t nCount, bool bSwap,
                                    const ProgressFn& progress)
{
    return EncryptedProgrammer(*this, m_link).Program(nStart, pImage, nCount, bSwap, progress);
}

bool FlashOps::EncryptedPartMissing(const uint8_t* pImage, int32_t nCount)
{
    return EncryptedProgrammer::PartMissing(pImage, nCount);
}

int FlashOps::VerifyFlash(const uint8_t* pImage, int32_t nCount, int32_t nStart, const ProgressFn& progress,
                          xq::FlashLoss* pLost)
{
    return FlashRepair(*this, m_link).Verify(pImage, nCount, nStart, progress, pLost);
}

int FlashOps::ReadFlashPieces(uint8_t* pBuffer, int32_t nCount, int32_t nStart, bool bFast,
                              const ProgressFn& progress)
{
    if (!pBuffer || nCount <= 0 || nStart < 0)
        return xq::kErrBadArgument;
    if (m_link.WaitReady(flash::kStatusBusyOrWel))
        return xq::kErrFlashBusyAtStart;
    Report(progress, InitialPercent(nCount));
    int32_t nDone = 0;
    int32_t nPiece = FirstPagePiece(nStart, nCount);
    while (nDone < nCount) {
        if (m_link.StopRequested())
            return xq::kErrStopped;
        const int r = bFast ? m_link.SendCmdRead(pBuffer + nDone, nPiece, flash::kFastRead, uint32_t(nStart + nDone), 4)
                            : m_link.SendCmdRead(pBuffer + nDone, nPiece, flash::kRead, uint32_t(nStart + nDone), 3);
        if (r != 0)
            return r;
        nDone += nPiece;
        Report(progress, int64_t(nDone) * 100 / nCount);
        nPiece = std::min(nCount - nDone, ChipLink::kMemFrameSize);
    }
    return 0;
}

int FlashOps::ReadFlashData(uint8_t* pBuffer, int32_t nCount, int32_t nStart, const ProgressFn& progress)
{
    return ReadFlashPieces(pBuffer, nCount, nStart, false, progress);
}

int FlashOps::FastReadFlash(uint8_t* pBuffer, int32_t nCount, int32_t nStart, const ProgressFn& progress)
{
    return ReadFlashPieces(pBuffer, nCount, nStart, true, progress);
}

// ---------------------------------------------------------------- status and security registers

int FlashOps::ReadProtectBit()
{
    m_link.WaitReady(flash::kStatusBusy);
    uint8_t nStatus = 0;
    m_link.SendCmdRead(&nStatus, 1, flash::kReadStatus, 0, 0);
    return nStatus & flash::kProtectBits;
}

int FlashOps::ReadStatus(uint8_t* pStatus)
{
    if (!pStatus)
        return xq::kErrBadArgument;
    m_link.WaitReady(flash::kStatusBusy);
    return m_link.SendCmdRead(pStatus, 1, flash::kReadStatus, 0, 0);
}

int FlashOps::WriteStatus(uint8_t nValue)
{
    if (m_link.WaitReady(flash::kStatusBusyOrWel))
        return xq::kErrFlashBusyAtStart;
    return m_link.SendCmdWE(flash::kWriteStatus, 0, 0, &nValue, 1);
}

int FlashOps::ClearStatus()
{
    return WriteStatus(0);
}

int FlashOps::EraseSecurity(int32_t nAddress, int32_t nCount)
{
    if (!SecurityRangeOk(nAddress, nCount))
        return xq::kErrBadArgument;
    if (m_link.WaitReady(flash::kStatusBusyOrWel))
        return xq::kErrFlashBusyAtStart;
    int32_t nDone = 0;
    int32_t nPiece = FirstPagePiece(nAddress, nCount);
    int r = 0;
    while (nDone < nCount) {
        r = m_link.SendCmdWE(flash::kSecurityErase, uint32_t(nAddress + nDone), 3, nullptr, 0);
        if (r != 0)
            return r;
        nDone += nPiece;
        nPiece = std::min(nCount - nDone, flash::kPageSize);
    }
    return r;
}

int FlashOps::ProgramSecurity(int32_t nAddress, const uint8_t* pData, int32_t nCount)
{
    if (!pData || !SecurityRangeOk(nAddress, nCount))
        return xq::kErrBadArgument;
    int32_t nDone = 0;
    int32_t nPiece = FirstPagePiece(nAddress, nCount);
    while (nDone < nCount) {
        const int r = m_link.SendCmdWE(flash::kSecurityProgram, uint32_t(nAddress + nDone), 3, pData + nDone, nPiece);
        if (r != 0)
            return r;
        nDone += nPiece;
        nPiece = std::min(nCount - nDone, flash::kPageSize);
    }
    return 0;
}

int FlashOps::ReadSecurity(uint8_t* pBuffer, int32_t nCount, int32_t nAddress)
{
    if (!pBuffer || !SecurityRangeOk(nAddress, nCount))
        return xq::kErrBadArgument;
    m_link.WaitReady(flash::kStatusBusy);
    uint8_t scratch[260];
    int32_t nDone = 0;
    int32_t nPiece = FirstPagePiece(nAddress, nCount);
    while (nDone < nCount) {
        // The first byte after the address is a dummy byte.
        const int r = m_link.SendCmdRead(scratch, nPiece + 1, flash::kSecurityRead, uint32_t(nAddress + nDone), 3);
        if (r != 0)
            return r;
        std::memcpy(pBuffer + nDone, scratch + 1, size_t(nPiece));
        nDone += nPiece;
        nPiece = std::min(nCount - nDone, flash::kPageSize);
    }
    return 0;
}

// ---------------------------------------------------------------- static data header

int FlashOps::ScanMagic(const uint8_t* pBuffer, int nLength)
{
    return HeaderSearch::ScanMagic(pBuffer, nLength);
}

int FlashOps::SearchHeader(int32_t nStart, int32_t nLength, int32_t* pOffset, uint8_t* pRecord,
                           int32_t nRecordCapacity)
{
    return HeaderSearch(m_link).Search(nStart, nLength, pOffset, pRecord, nRecordCapacity);
}
