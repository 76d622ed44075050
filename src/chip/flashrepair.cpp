#include "flashrepair.h"

#include "flashops.h"
#include "pageprogram.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace flash = xq::flash;
using flashpieces::InitialPercent;
using flashpieces::Report;

namespace {

constexpr int32_t kVerifyChunk = 61440;

// The bytes of a sector outside [nFrom, nTo), the part of a range in it.
xq::FlashLoss OutsideOf(int32_t nSector, int32_t nFrom, int32_t nTo)
{
    xq::FlashLoss loss;
    if (nFrom > nSector)
        loss.pieces[0] = {nSector, nFrom - nSector};
    if (nTo < nSector + flash::kSectorSize)
        loss.pieces[1] = {nTo, nSector + flash::kSectorSize - nTo};
    return loss;
}

}  // namespace

xq::FlashLoss FlashRepair::ConfirmLoss(int32_t nSector, const xq::FlashLoss& loss, const uint8_t* pSector)
{
    xq::FlashLoss confirmed;
    std::vector<uint8_t> check(flash::kSectorSize);
    for (int i = 0; i < 2; ++i) {
        const xq::FlashLoss::Piece& piece = loss.pieces[i];
        if (piece.nLength <= 0)
            continue;
        const int r = m_link.SendCmdRead(check.data(), piece.nLength, flash::kRead, uint32_t(piece.nAddress), 3);
        if (r != 0)
            confirmed.bUnconfirmed = true;
        if (r != 0 || std::memcmp(check.data(), pSector + (piece.nAddress - nSector), size_t(piece.nLength)) != 0)
            confirmed.pieces[i] = piece;
    }
    if (!confirmed.Any())
        confirmed.bUnconfirmed = false;
    return confirmed;
}

int FlashRepair::EraseAndRestore(int32_t nSector, const xq::FlashLoss& loss, const uint8_t* pSector, bool* pKept)
{
    std::vector<uint8_t> check(flash::kSectorSize);
    int r = m_ops.EraseFlash(nSector, flash::kSectorSize);
    for (const xq::FlashLoss::Piece& piece : loss.pieces) {
        if (r == 0 && piece.nLength > 0)
            r = PageProgrammer(m_link).ProgramRange(piece.nAddress, pSector + (piece.nAddress - nSector),
                                                    piece.nLength, true, {});
    }
    bool bKept = r == 0;
    for (const xq::FlashLoss::Piece& piece : loss.pieces) {
        if (r == 0 && piece.nLength > 0) {
            r = m_link.SendCmdRead(check.data(), piece.nLength, flash::kRead, uint32_t(piece.nAddress), 3);
            bKept = bKept && r == 0 &&
                    std::memcmp(check.data(), pSector + (piece.nAddress - nSector), size_t(piece.nLength)) == 0;
        }
    }
    *pKept = bKept;
    return r;
}

int FlashRepair::EraseSectorKeeping(int32_t nSector, int32_t nFrom, int32_t nTo, const uint8_t* pSector,
                                    xq::FlashLoss* pLost)
{
    if (pLost)
        *pLost = xq::FlashLoss();
    const xq::FlashLoss loss = OutsideOf(nSector, nFrom, nTo);
    if (!loss.Any())
        return m_ops.EraseFlash(nSector, flash::kSectorSize);
    if (m_link.StopRequested())
        return xq::kErrStopped;
    m_link.HoldStop(true);
    int r = 0;
    bool bKept = false;
    for (int nAttempt = 0; nAttempt < FlashOps::kRestoreAttempts && !bKept; ++nAttempt) {
        // A transfer that failed may have left the adapter or the port in a
        // half-sent frame: bring the link back before trying again.
        if (r != 0 && m_link.Recover() != 0)
            continue;
        r = EraseAndRestore(nSector, loss, pSector, &bKept);
    }
    if (!bKept && pLost) {
        // Only what the flash no longer holds is named as lost: an erase
        // that never reached the flash took nothing.
        m_link.Recover();
        *pLost = ConfirmLoss(nSector, loss, pSector);
    }
    m_link.HoldStop(false);
    if (bKept)
        return xq::kOk;
    return r != 0 ? r : xq::kErrRepairFailed;
}

int FlashRepair::RepairPiece(const uint8_t* pImage, int32_t nAddress, int32_t nSize, xq::FlashLoss* pLost)
{
    // The sector's other bytes are read before the erase and put back after
    // it; then the piece.
    const int32_t nSector = xq::SectorBase(nAddress);
    std::vector<uint8_t> sector(flash::kSectorSize);
    int r = 0;
    if (nAddress != nSector || nSize != flash::kSectorSize)
        r = m_link.SendCmdRead(sector.data(), flash::kSectorSize, flash::kRead, uint32_t(nSector), 3);
    if (r == 0)
        r = EraseSectorKeeping(nSector, nAddress, nAddress + nSize, sector.data(), pLost);
    if (r == 0)
        r = m_ops.ProgramFlash(nAddress, pImage, nSize, false);
    if (r != 0)
        return r;
    std::vector<uint8_t> check(static_cast<size_t>(nSize));
    r = m_link.SendCmdRead(check.data(), nSize, flash::kRead, uint32_t(nAddress), 3);
    if (r != 0)
        return r;
    return std::memcmp(check.data(), pImage, size_t(nSize)) == 0 ? 0 : xq::kErrRepairFailed;
}

int FlashRepair::Verify(const uint8_t* pImage, int32_t nCount, int32_t nStart, const ProgressFn& progress,
                        xq::FlashLoss* pLost)
{
    if (pLost)
        *pLost = xq::FlashLoss();
    if (!pImage || nCount <= 0 || nStart < 0)
        return xq::kErrBadArgument;
    if (m_link.WaitReady(flash::kStatusBusyOrWel))
        return xq::kErrFlashBusyAtStart;
    Report(progress, InitialPercent(nCount));
    m_link.SetMode(xq::port::kModeFlash);

    std::vector<uint8_t> work(kVerifyChunk);
    int32_t nDone = 0;
    int32_t nChunk = std::min(kVerifyChunk - (nStart & 0xEFFF), nCount);
    while (nDone < nCount) {
        if (m_link.StopRequested())
            return xq::kErrStopped;
        const int nReadRc = m_link.SendCmdRead(work.data(), nChunk, flash::kRead, uint32_t(nStart + nDone), 3);
        // Pieces never cross a sector boundary, so a repair stays inside its piece.
        for (int32_t o = 0; o < nChunk;) {
            const int32_t nAddress = nStart + nDone + o;
            const int32_t nSize = std::min(nChunk - o, flash::kSectorSize - (nAddress & (flash::kSectorSize - 1)));
            const uint8_t* pExpected = pImage + nDone + o;
            if (std::memcmp(work.data() + o, pExpected, size_t(nSize)) == 0) {
                if (nReadRc != 0)
                    return nReadRc;
            } else {
                const int r = RepairPiece(pExpected, nAddress, nSize, pLost);
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
