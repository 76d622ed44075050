#include "xqchip.h"

namespace sim {

namespace {
constexpr uint8_t kModeQuery = 0xFE;
constexpr uint8_t kModeSet = 0xFF;
constexpr uint8_t kControl = 0x11;
constexpr uint8_t kMemWrite = 0x02;
constexpr uint8_t kMemRead = 0x0B;
constexpr uint8_t kPageProgram = 0x02;
constexpr size_t kMemHeader = 5;      // command and a 32-bit address
constexpr size_t kMemReadDummy = 4;   // bytes the port sends before the data

uint32_t Be32(const std::vector<uint8_t>& h, size_t nAt)
{
    return (uint32_t(h[nAt]) << 24) | (uint32_t(h[nAt + 1]) << 16) | (uint32_t(h[nAt + 2]) << 8) | h[nAt + 3];
}

// Register words the write sequence clears before it erases.
bool IsTrackedRegister(uint32_t nAddress)
{
    return nAddress == 0x1A104200 || nAddress == 0x1A104208 || nAddress == 0x1A104400 || nAddress == 0x1A104408;
}
}  // namespace

uint32_t ChipIdWord(ChipModel model)
{
    return model == ChipModel::XQ6230 ? 0x58516230u : 0xABCD0001u;
}

const char* ChipModelName(ChipModel model)
{
    switch (model) {
    case ChipModel::XQ6230: return "XQ6230";
    case ChipModel::XQ6030: return "XQ6030";
    default: return "XQ6130";
    }
}

bool ChipModelFromName(const std::string& strName, ChipModel& model)
{
    for (ChipModel m : {ChipModel::XQ6230, ChipModel::XQ6030, ChipModel::XQ6130}) {
        if (strName == ChipModelName(m)) {
            model = m;
            return true;
        }
    }
    return false;
}

XqChip::XqChip(ChipModel model, SpiNorFlash* pFlash)
    : m_model(model), m_pFlash(pFlash), m_nSecret(0x5851C0DE00000000ull | ChipIdWord(model))
{
    const uint32_t nId = ChipIdWord(model);
    for (int i = 0; i < 4; ++i)
        m_memory[kChipIdAddress + uint32_t(i)] = uint8_t(nId >> (24 - 8 * i));
}

uint8_t XqChip::KeyByte(uint32_t nAddress) const
{
    // splitmix64 of the secret and the address: a fixed, address-dependent key.
    uint64_t z = m_nSecret + 0x9E3779B97F4A7C15ull * (uint64_t(nAddress) + 1);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return uint8_t(z ^ (z >> 31));
}

uint8_t XqChip::MemoryByte(uint32_t nAddress) const
{
    const auto it = m_memory.find(nAddress);
    return it == m_memory.end() ? 0 : it->second;
}

void XqChip::WriteMemoryByte(uint32_t nAddress, uint8_t nValue)
{
    if (nAddress >= kChipIdAddress && nAddress < kChipIdAddress + 4)
        return;  // the identification word is read-only
    m_memory[nAddress] = nValue;
    const uint32_t nWord = nAddress & ~3u;
    if ((nAddress & 3) == 3 && IsTrackedRegister(nWord)) {
        const uint32_t nValue32 = (uint32_t(MemoryByte(nWord)) << 24) | (uint32_t(MemoryByte(nWord + 1)) << 16) |
                                  (uint32_t(MemoryByte(nWord + 2)) << 8) | MemoryByte(nWord + 3);
        m_registerWrites.push_back({nWord, nValue32});
    }
}

void XqChip::Select()
{
    m_route = Route::Undecided;
    m_header.clear();
    m_nIndex = 0;
}

uint8_t XqChip::Exchange(uint8_t nMosi)
{
    const size_t nIndex = m_nIndex++;
    if (nIndex == 0) {
        switch (nMosi) {
        case kModeQuery: m_route = Route::ModeQuery; break;
        case kModeSet: m_route = Route::ModeFrame; break;
        case kControl: m_route = Route::Control; break;
        default:
            if (m_nMode == 0)
                m_route = nMosi == kMemWrite ? Route::MemWrite : nMosi == kMemRead ? Route::MemRead : Route::Ignore;
            else if ((m_nMode == 1 || m_nMode == 2) && m_bFlashPresent)
                m_route = (m_nMode == 2 && nMosi == kPageProgram) ? Route::Encrypted : Route::Flash;
            else
                m_route = Route::Ignore;
            if (m_route == Route::Flash || m_route == Route::Encrypted)
                m_pFlash->Select();
        }
    }
    if (m_header.size() < 8)
        m_header.push_back(nMosi);
    if (m_header[0] == kModeQuery || m_header[0] == 0x05 || m_header[0] == 0x35)
        ++m_nPollBytes;

    switch (m_route) {
    case Route::ModeQuery:
        return nIndex >= 5 ? m_nMode : 0xFF;
    case Route::ModeFrame:
    case Route::Control:
        return 0xFF;
    case Route::MemWrite:
        if (nIndex >= kMemHeader)
            WriteMemoryByte(Be32(m_header, 1) + uint32_t(nIndex - kMemHeader), nMosi);
        return 0xFF;
    case Route::MemRead:
        if (nIndex < kMemHeader + kMemReadDummy)
            return 0x00;
        return MemoryByte(Be32(m_header, 1) + uint32_t(nIndex - kMemHeader - kMemReadDummy));
    case Route::Flash:
        return m_pFlash->Exchange(nMosi);
    case Route::Encrypted:
        if (nIndex >= 4) {
            const uint32_t nAddr = (uint32_t(m_header[1]) << 16) | (uint32_t(m_header[2]) << 8) | m_header[3];
            const uint32_t nByteAddr = (nAddr & ~0xFFu) | ((nAddr + uint32_t(nIndex - 4)) & 0xFFu);
            return m_pFlash->Exchange(nMosi ^ KeyByte(nByteAddr));
        }
        return m_pFlash->Exchange(nMosi);
    default:
        // No flash answering pulls MISO low; a silent port leaves it high.
        return m_bFlashPresent ? 0xFF : 0x00;
    }
}

void XqChip::Deselect()
{
    if (m_route == Route::Flash || m_route == Route::Encrypted) {
        m_pFlash->Deselect();
        if (!m_header.empty() && m_header[0] == kPageProgram && ++m_nPrograms == m_nResetAfterPrograms)
            m_nMode = 0;
    }
    if (m_route == Route::MemWrite)
        ++m_nMemoryWriteFrames;
    if (m_route == Route::ModeFrame && m_header.size() >= 5) {
        if (Be32(m_header, 1) == 0xFFFFFFFFu) {
            ++m_nLinkResets;
        } else if (m_header[1] == 0 && m_header[2] == 0 && m_header[3] == 0 && m_header[4] <= 3 && !m_bModeStuck) {
            m_nMode = m_header[4];
        }
    }
    if (m_route == Route::Control && m_header.size() >= 2 && m_header[1] == 0x1F)
        ++m_nControlFrames;
    m_route = Route::Undecided;
}

}  // namespace sim
