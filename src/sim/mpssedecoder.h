// Decodes the byte stream an MPSSE engine receives (FTDI AN_108) and plays
// it on the SPI wire against a slave: chip select edges on the low byte
// delimit frames, data shifting commands exchange bytes, clock commands set
// the SCK, and unknown opcodes are answered with 0xFA and the opcode, as the
// engine does. Replies are queued in the order the engine would return them.
#pragma once

#include "spislave.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

namespace sim {

class MpsseDecoder {
public:
    MpsseDecoder(SpiSlave* pSlave, bool bHighSpeedChip);

    // Feeds bytes as the USB host sends them; a command cut between two
    // writes is completed by the next one.
    void Feed(const uint8_t* pData, size_t n);

    std::deque<uint8_t>& Replies() { return m_replies; }
    // Reply bytes at the front of Replies() that a SEND_IMMEDIATE told the
    // engine to send at once; the rest waits for a full USB packet or the
    // chip's latency timer.
    size_t ImmediateReplies() const { return m_nImmediate < m_replies.size() ? m_nImmediate : m_replies.size(); }
    // Moves n bytes (at most what is queued) from the front of Replies() to pOut.
    size_t TakeReplies(uint8_t* pOut, size_t n);
    uint32_t SckHz() const;
    uint64_t SpiBytes() const { return m_nSpiBytes; }  // data bytes clocked (idle clocks left out)
    // Nanoseconds of SCK clocking since the last call.
    int64_t TakeSpiNs();
    // Called as clocking goes on, with the nanoseconds just clocked, so that
    // the devices on the wire see time pass inside one USB write.
    void SetClockObserver(std::function<void(int64_t)> observer) { m_observer = std::move(observer); }
    bool ChipSelected() const { return m_bSelected; }
    uint16_t Divisor() const { return m_nDivisor; }
    bool DivideBy5() const { return m_bDivBy5; }
    int BadCommands() const { return m_nBadCommands; }

private:
    // Length of the command at nAt in m_pending, or 0 if it is incomplete.
    size_t CommandLength(size_t nAt) const;
    void Execute(const uint8_t* pCmd);
    void SetLowByte(uint8_t nValue, uint8_t nDirection);
    // Advances the SPI time by nBytes at the SCK; bData: bytes that cross the wire.
    void Clock(size_t nBytes, bool bData = true);

    SpiSlave* m_pSlave;
    bool m_bHighSpeedChip;
    bool m_bDivBy5;
    uint16_t m_nDivisor = 0;
    bool m_bSelected = false;
    std::vector<uint8_t> m_pending;
    std::deque<uint8_t> m_replies;
    size_t m_nImmediate = 0;
    uint64_t m_nSpiBytes = 0;
    double m_dSpiNs = 0;
    double m_dObservedNs = 0;
    std::function<void(int64_t)> m_observer;
    int m_nBadCommands = 0;
};

}  // namespace sim
