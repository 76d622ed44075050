#include "spinorflash.h"

#include <algorithm>

namespace sim {

namespace cmd {
constexpr uint8_t kWriteStatus = 0x01;
constexpr uint8_t kPageProgram = 0x02;
constexpr uint8_t kRead = 0x03;
constexpr uint8_t kWriteDisable = 0x04;
constexpr uint8_t kReadStatus1 = 0x05;
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
constexpr uint8_t kChipErase2 = 0xC7;
constexpr uint8_t kBlock64Erase = 0xD8;
}  // namespace cmd

constexpr uint32_t kPageSize = 256;
constexpr uint32_t kSectorSize = 4096;
constexpr size_t kMaxFrameBytes = 65536;

SpiNorFlash::SpiNorFlash(const FlashIdentity& id, Clock clock)
    : m_id(id), m_clock(std::move(clock)), m_array(id.Size(), 0xFF), m_security(kSecurityAreaSize, 0xFF)
{
}

void SpiNorFlash::SetStatus(uint8_t nStatus1, uint8_t nStatus2)
{
    m_nStatus1 = nStatus1 & ~(status1::kBusy | status1::kWel);
    m_nStatus2 = nStatus2;
}

bool SpiNorFlash::IsBusy() const
{
    return m_faults.bStuckBusy || m_clock() < m_nBusyUntil;
}

bool SpiNorFlash::IsStatusLocked() const
{
    return (m_nStatus2 & kStatus2Srp1) || ((m_nStatus1 & status1::kSrp0) && m_faults.bWpLow);
}

void SpiNorFlash::StartBusy(int64_t nUs)
{
    m_nBusyUntil = std::max(m_nBusyUntil, m_clock()) + nUs;
    m_nBusyTotalUs += nUs;
}

std::pair<uint32_t, uint32_t> SpiNorFlash::ProtectedRange() const
{
    const uint32_t nSize = uint32_t(m_array.size());
    const int nBp = (m_nStatus1 & status1::kBpMask) >> 2;
    if (nBp == 0)
        return {0, 0};
    uint32_t nProtected;
    if (nBp == 7) {
        nProtected = nSize;
    } else if (m_nStatus1 & status1::kSec) {
        // 4 KiB granularity: 4, 8, 16, 32, 32, 32 KiB
        nProtected = kSectorSize << std::min(nBp - 1, 3);
    } else {
        // 64 KiB granularity on a 2 MiB part: 1/32, 1/16, 1/8, 1/4, 1/2, all
        nProtected = nBp >= 6 ? nSize : nSize >> (6 - nBp);
    }
    nProtected = std::min(nProtected, nSize);
    if (m_nStatus1 & status1::kTb)
        return {0, nProtected};
    return {nSize - nProtected, nSize};
}

bool SpiNorFlash::IsProtected(uint32_t nAddress) const
{
    return IsRangeProtected(nAddress, 1);
}

bool SpiNorFlash::IsRangeProtected(uint32_t nAddress, uint32_t nLength) const
{
    const auto range = ProtectedRange();
    const uint64_t nFrom = nAddress & (uint32_t(m_array.size()) - 1);
    const uint64_t nTo = nFrom + nLength;
    return nLength > 0 && nFrom < range.second && range.first < nTo;
}

void SpiNorFlash::Select()
{
    m_frame.clear();
    m_nIndex = 0;
    m_bFrameIgnored = false;
    m_bBusyOnceFrame = false;
    m_bWeakOnceFrame = false;
}

bool SpiNorFlash::TakeTransferFault()
{
    const bool bFault = m_bTransferFault;
    m_bTransferFault = false;
    return bFault;
}

uint8_t SpiNorFlash::Exchange(uint8_t nMosi)
{
    const size_t nIndex = m_nIndex++;
    // Only program frames need their data kept; keep a bounded amount.
    const bool bKeep = nIndex < 8 || ((m_frame[0] == cmd::kPageProgram || m_frame[0] == cmd::kSecurityProgram) &&
                                      nIndex < kMaxFrameBytes);
    if (bKeep)
        m_frame.push_back(nMosi);
    const uint8_t nCmd = m_frame[0];

    if (nIndex == 0) {
        const OpcodeAt at{nCmd, ++m_opcodeCounts[nCmd]};
        if (m_faults.failOnce.count(at))
            m_bTransferFault = true;
        m_bBusyOnceFrame = m_faults.busyOnce.count(at) > 0;
        m_bWeakOnceFrame = m_faults.weakOnce.count(at) > 0;
    }
    // A failed transfer's commands never reach the flash.
    if (m_bTransferFault)
        m_bFrameIgnored = true;
    // While busy the part only answers the status reads.
    if (nIndex == 0 && IsBusy() && nCmd != cmd::kReadStatus1 && nCmd != cmd::kReadStatus2)
        m_bFrameIgnored = true;
    if (m_bFrameIgnored || nIndex == 0)
        return 0xFF;

    auto address = [&] { return (uint32_t(m_frame[1]) << 16) | (uint32_t(m_frame[2]) << 8) | m_frame[3]; };
    switch (nCmd) {
    case cmd::kReadStatus1:
        return uint8_t((m_nStatus1 & ~(status1::kBusy | status1::kWel)) | (IsBusy() ? status1::kBusy : 0) |
                       (m_bWel ? status1::kWel : 0));
    case cmd::kReadStatus2:
        return m_nStatus2;
    case cmd::kJedecId: {
        const uint8_t reply[3] = {m_id.nManufacturer, m_id.nMemoryType, m_id.nCapacity};
        return reply[(nIndex - 1) % 3];
    }
    case cmd::kManufacturerId:
        if (nIndex < 4)
            return 0xFF;
        return (nIndex - 4) % 2 == 0 ? m_id.nManufacturer : m_id.nDeviceId;
    case cmd::kUniqueId:
        if (nIndex < 5)
            return 0xFF;
        return m_id.uid[(nIndex - 5) % 16];
    case cmd::kRead:
        if (nIndex < 4)
            return 0xFF;
        return ReadByte(address() + uint32_t(nIndex - 4));
    case cmd::kFastRead:
        if (nIndex < 5)
            return 0xFF;
        return ReadByte(address() + uint32_t(nIndex - 5));
    case cmd::kSecurityRead:
        if (nIndex < 5)
            return 0xFF;
        return m_security[(address() + uint32_t(nIndex - 5)) % kSecurityAreaSize];
    default:
        return 0xFF;
    }
}

void SpiNorFlash::Deselect()
{
    if (!m_bFrameIgnored && !m_frame.empty())
        Execute();
    m_frame.clear();
}

namespace {

bool IsWriteType(uint8_t nCmd)
{
    switch (nCmd) {
    case cmd::kWriteStatus:
    case cmd::kWriteStatus2:
    case cmd::kPageProgram:
    case cmd::kSectorErase:
    case cmd::kBlock32Erase:
    case cmd::kBlock64Erase:
    case cmd::kChipErase:
    case cmd::kChipErase2:
    case cmd::kSecurityErase:
    case cmd::kSecurityProgram:
        return true;
    default:
        return false;  // reads and unknown commands change nothing
    }
}

}  // namespace

void SpiNorFlash::Execute()
{
    const uint8_t nCmd = m_frame[0];
    if (nCmd == cmd::kWriteEnable) {
        m_bWel = true;
        return;
    }
    if (nCmd == cmd::kWriteDisable) {
        m_bWel = false;
        return;
    }
    // Every write-type command needs the latch and clears it, done or not.
    if (!IsWriteType(nCmd) || !m_bWel)
        return;
    m_bWel = false;
    ExecuteWrite(nCmd);
    if (m_bBusyOnceFrame) {
        StartBusy(kBusyOnceExtraUs);
        m_nBusyOnceUntil = m_nBusyUntil;
    }
}

void SpiNorFlash::ExecuteWrite(uint8_t nCmd)
{
    const size_t n = m_frame.size();
    const uint32_t nAddress =
        n >= 4 ? (uint32_t(m_frame[1]) << 16) | (uint32_t(m_frame[2]) << 8) | m_frame[3] : 0;
    switch (nCmd) {
    case cmd::kWriteStatus:
        if (IsStatusLocked())
            break;
        if (n >= 2)
            m_nStatus1 = m_frame[1] & ~(status1::kBusy | status1::kWel) & ~uint8_t(m_faults.nStatusStuckBits);
        if (n >= 3)
            m_nStatus2 = m_frame[2] & ~uint8_t(m_faults.nStatusStuckBits >> 8);
        StartBusy(m_timing.nStatusWriteUs);
        break;
    case cmd::kWriteStatus2:
        if (IsStatusLocked())
            break;
        if (n >= 2)
            m_nStatus2 = m_frame[1] & ~uint8_t(m_faults.nStatusStuckBits >> 8);
        StartBusy(m_timing.nStatusWriteUs);
        break;
    case cmd::kPageProgram:
        if (n >= 4) {
            ProgramPage(nAddress, std::vector<uint8_t>(m_frame.begin() + 4, m_frame.end()));
            StartBusy(m_timing.nPageProgramUs);
        }
        break;
    case cmd::kSectorErase:
        if (n >= 4)
            EraseRange(nAddress & ~(kSectorSize - 1), kSectorSize, m_timing.nSectorEraseUs);
        break;
    case cmd::kBlock32Erase:
        if (n >= 4)
            EraseRange(nAddress & ~(0x8000u - 1), 0x8000, m_timing.nBlock32EraseUs);
        break;
    case cmd::kBlock64Erase:
        if (n >= 4)
            EraseRange(nAddress & ~(0x10000u - 1), 0x10000, m_timing.nBlock64EraseUs);
        break;
    case cmd::kChipErase:
    case cmd::kChipErase2:
        EraseChip();
        break;
    case cmd::kSecurityErase:
    case cmd::kSecurityProgram:
        if (n >= 4)
            WriteSecurityPage(nCmd, nAddress);
        break;
    default:
        break;
    }
}

void SpiNorFlash::EraseChip()
{
    // The datasheet ignores a chip erase while any block is protected.
    if ((m_nStatus1 & status1::kBpMask) == 0) {
        std::fill(m_array.begin(), m_array.end(), 0xFF);
        m_weakSpent.clear();
    }
    StartBusy(m_timing.nChipEraseUs);
}

void SpiNorFlash::WriteSecurityPage(uint8_t nCmd, uint32_t nAddress)
{
    const uint32_t nBase = (nAddress % kSecurityAreaSize) & ~(kPageSize - 1);
    if (nCmd == cmd::kSecurityErase) {
        std::fill(m_security.begin() + nBase, m_security.begin() + nBase + kPageSize, 0xFF);
        StartBusy(m_timing.nSecurityEraseUs);
        return;
    }
    // Programming only clears bits and wraps inside the page.
    const uint8_t nWeakBit = m_bWeakOnceFrame ? 0x01 : 0x00;
    for (size_t i = 4; i < m_frame.size(); ++i) {
        const uint32_t nOffset = (nAddress + uint32_t(i - 4)) % kPageSize;
        m_security[nBase + nOffset] &= m_frame[i] | nWeakBit;
    }
    StartBusy(m_timing.nSecurityProgramUs);
}

void SpiNorFlash::ProgramPage(uint32_t nAddress, const std::vector<uint8_t>& data)
{
    const uint32_t nMask = uint32_t(m_array.size()) - 1;
    const uint32_t nPage = (nAddress & nMask) & ~(kPageSize - 1);
    const uint32_t nSector = nPage & ~(kSectorSize - 1);
    if (IsProtected(nPage) || m_faults.deadSectors.count(nSector))
        return;
    // A weak sector's first program in this session leaves one bit of every
    // 64th byte unprogrammed; a second program (the verify repair) sticks.
    const bool bWeak = m_faults.weakSectors.count(nSector) && !m_weakSpent.count(nSector);
    if (bWeak)
        m_weakSpent.insert(nSector);
    // More than 256 data bytes: only the last 256 are kept (datasheet), and
    // the address wraps inside the page.
    const size_t nSkip = data.size() > kPageSize ? data.size() - kPageSize : 0;
    for (size_t i = nSkip; i < data.size(); ++i) {
        const uint32_t nOffset = ((nAddress & (kPageSize - 1)) + uint32_t(i - nSkip)) % kPageSize;
        uint8_t nValue = data[i];
        if ((bWeak && (nOffset % 64) == 0) || m_bWeakOnceFrame)
            nValue |= 0x01;
        if (m_faults.stuckBytes.count(nPage + nOffset))
            continue;
        m_array[nPage + nOffset] &= nValue;
    }
}

void SpiNorFlash::EraseRange(uint32_t nBase, uint32_t nSize, int64_t nBusyUs)
{
    nBase &= uint32_t(m_array.size()) - 1;
    // The datasheet ignores an erase whose unit holds any protected byte:
    // with the top 4 KiB protected, a 64 KiB erase of the last block does nothing.
    if (IsRangeProtected(nBase, nSize)) {
        StartBusy(nBusyUs);
        return;
    }
    std::fill(m_array.begin() + nBase, m_array.begin() + nBase + nSize, 0xFF);
    StartBusy(nBusyUs);
}

}  // namespace sim
