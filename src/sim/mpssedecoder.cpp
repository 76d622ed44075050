#include "mpssedecoder.h"

#include <algorithm>


namespace sim {

namespace {
constexpr uint8_t kCsPin = 0x08;

// Data shifting commands: bit 4 clocks data out, bit 5 clocks data in.
bool IsShiftCommand(uint8_t op)
{
    // Data shifting commands have bit 7 clear and do not drive TMS (bit 6).
    return (op & 0x80) == 0 && (op & 0x40) == 0 && (op & 0x30) != 0;
}
}  // namespace

MpsseDecoder::MpsseDecoder(SpiSlave* pSlave, uint32_t nChipType, const BoardGate& gate)
    : m_pSlave(pSlave), m_nChipType(nChipType), m_gate(gate), m_bDivBy5(true)
{
}

bool MpsseDecoder::GateOpen() const
{
    return m_gate.Open(m_nLowValue, m_nLowDirection, m_nHighValue, m_nHighDirection);
}

uint32_t MpsseDecoder::SckHz() const
{
    // H chips start with divide-by-5 on, which gives the fixed 12 MHz of the
    // FT2232D (where the commands that switch it are unknown).
    const uint32_t nBase = m_bDivBy5 ? 12000000u : 60000000u;
    return nBase / 2 / (1u + m_nDivisor);
}

int64_t MpsseDecoder::TakeSpiNs()
{
    const auto n = int64_t(m_dSpiNs);
    m_dSpiNs -= double(n);
    return n;
}

void MpsseDecoder::Clock(size_t nBytes, bool bData)
{
    if (bData)
        m_nSpiBytes += nBytes;
    const double dNs = double(nBytes) * 8.0 * 1e9 / double(SckHz());
    m_dSpiNs += dNs;
    if (m_observer) {
        m_dObservedNs += dNs;
        const auto nWhole = int64_t(m_dObservedNs);
        m_dObservedNs -= double(nWhole);
        m_observer(nWhole);
    }
}

size_t MpsseDecoder::CommandLength(size_t nAt) const
{
    const size_t nHave = m_pending.size() - nAt;
    const uint8_t* p = m_pending.data() + nAt;
    const uint8_t op = p[0];
    if (!EngineKnowsOpcode(m_nChipType, op))
        return 1;  // answered with 0xFA; its argument bytes run as commands
    if (IsShiftCommand(op)) {
        const bool bBits = op & 0x02;
        const bool bOut = op & 0x10;
        if (bBits) {
            const size_t nNeed = bOut ? 3 : 2;  // opcode, bit count, and the data byte when clocking out
            return nHave >= nNeed ? nNeed : 0;
        }
        if (nHave < 3)
            return 0;
        const size_t nLen = size_t(p[1] | (p[2] << 8)) + 1;
        const size_t nTotal = 3 + (bOut ? nLen : 0);
        return nHave >= nTotal ? nTotal : 0;
    }
    switch (op) {
    case 0x80: case 0x82: case 0x86: case 0x8F: case 0x9C: case 0x9D: case 0x9E:
    case 0x4A: case 0x4B: case 0x4E: case 0x4F: case 0x6A: case 0x6B: case 0x6E: case 0x6F:  // TMS: length, data
        return nHave >= 3 ? 3 : 0;
    case 0x8E:
        return nHave >= 2 ? 2 : 0;
    default:
        return 1;  // single-byte commands, and unknown opcodes (answered with 0xFA)
    }
}

void MpsseDecoder::Feed(const uint8_t* pData, size_t n)
{
    m_pending.insert(m_pending.end(), pData, pData + n);
    size_t nAt = 0;
    while (nAt < m_pending.size()) {
        if (m_nShiftLeft > 0) {
            const size_t nTake = std::min(m_nShiftLeft, m_pending.size() - nAt);
            m_nShiftLeft -= nTake;
            Shift(m_pending.data() + nAt, nTake);
            nAt += nTake;
            continue;
        }
        const uint8_t op = m_pending[nAt];
        const bool bByteShiftOut = EngineKnowsOpcode(m_nChipType, op) && IsShiftCommand(op) && !(op & 0x02) &&
                                   (op & 0x10);
        if (bByteShiftOut && m_pending.size() - nAt >= 3) {
            m_nShiftOp = op;
            m_nShiftLeft = size_t(m_pending[nAt + 1] | (m_pending[nAt + 2] << 8)) + 1;
            nAt += 3;
            continue;
        }
        const size_t nLen = CommandLength(nAt);
        if (nLen == 0)
            break;  // wait for the rest of the command
        Execute(m_pending.data() + nAt);
        nAt += nLen;
    }
    m_pending.erase(m_pending.begin(), m_pending.begin() + long(nAt));
}

size_t MpsseDecoder::TakeReplies(uint8_t* pOut, size_t n)
{
    n = n < m_replies.size() ? n : m_replies.size();
    for (size_t i = 0; i < n; ++i) {
        pOut[i] = m_replies.front();
        m_replies.pop_front();
    }
    m_nImmediate = m_nImmediate > n ? m_nImmediate - n : 0;
    return n;
}

void MpsseDecoder::UpdateSelect()
{
    // CS asserted means driven low; an input pin floats high (pulled up).
    const bool bSelected = GateOpen() && (m_nLowDirection & kCsPin) && !(m_nLowValue & kCsPin);
    if (bSelected && !m_bSelected)
        m_pSlave->Select();
    else if (!bSelected && m_bSelected)
        m_pSlave->Deselect();
    m_bSelected = bSelected;
}

void MpsseDecoder::BadCommand(uint8_t nOpcode)
{
    m_replies.push_back(0xFA);
    m_replies.push_back(nOpcode);
    ++m_nBadCommands;
}

void MpsseDecoder::Shift(const uint8_t* pOut, size_t n)
{
    const bool bIn = m_nShiftOp & 0x20;
    for (size_t i = 0; i < n; ++i) {
        const uint8_t nOut = pOut ? pOut[i] : 0x00;
        const uint8_t nIn = m_bSelected ? m_pSlave->Exchange(nOut) : 0xFF;
        if (bIn)
            m_replies.push_back(nIn);
    }
    Clock(n);
}

void MpsseDecoder::Execute(const uint8_t* pCmd)
{
    const uint8_t op = pCmd[0];
    if (IsShiftCommand(op)) {
        const bool bBits = op & 0x02;
        const bool bOut = op & 0x10;
        const bool bIn = op & 0x20;
        if (bBits) {
            // Bit transfers are not used for SPI frames here: clock one byte's worth.
            const uint8_t nOut = bOut ? pCmd[2] : 0;
            const uint8_t nIn = m_bSelected ? m_pSlave->Exchange(nOut) : 0xFF;
            if (bIn)
                m_replies.push_back(nIn);
            Clock(1);
            return;
        }
        // Byte commands that clock out stream through Feed; here only reads.
        m_nShiftOp = op;
        Shift(nullptr, size_t(pCmd[1] | (pCmd[2] << 8)) + 1);
        return;
    }
    if (!EngineKnowsOpcode(m_nChipType, op)) {
        BadCommand(op);
        return;
    }
    switch (op) {
    case 0x80:
        m_nLowValue = pCmd[1];
        m_nLowDirection = pCmd[2];
        UpdateSelect();
        break;
    case 0x82:
        m_nHighValue = pCmd[1];
        m_nHighDirection = pCmd[2];
        UpdateSelect();
        break;
    case 0x81: m_replies.push_back(uint8_t((m_nLowValue & m_nLowDirection) | ~m_nLowDirection)); break;
    case 0x83: m_replies.push_back(uint8_t((m_nHighValue & m_nHighDirection) | ~m_nHighDirection)); break;
    case 0x86: m_nDivisor = uint16_t(pCmd[1] | (pCmd[2] << 8)); break;
    case 0x8A: m_bDivBy5 = false; break;
    case 0x8B: m_bDivBy5 = true; break;
    case 0x8E: Clock(1, false); break;                                     // n bits, no data: under a byte
    case 0x8F: Clock(size_t(pCmd[1] | (pCmd[2] << 8)) + 1, false); break;  // n x 8 bits, no data
    case 0x87: m_nImmediate = m_replies.size(); break;  // send immediate
    default:
        break;  // loopback, send immediate, clock phases, waits on I/O: no effect on the wire here
    }
}

}  // namespace sim
