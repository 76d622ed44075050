// Decodes the byte stream an MPSSE engine receives (FTDI AN_108) and plays
// it on the SPI wire against a slave: chip select edges on the low byte
// delimit frames, data shifting commands exchange bytes, clock commands set
// the SCK, and unknown opcodes are answered with 0xFA and the opcode, as the
// engine does. Replies are queued in the order the engine would return them.
//
// The engine is that of one chip generation (commands the generation lacks are
// answered like unknown ones), on one board: SK, DO and CS reach the slave
// only while the board's buffer gate is open (adaptermodel.h).
#pragma once

#include "adaptermodel.h"
#include "spislave.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

namespace sim {

class MpsseDecoder {
public:
    MpsseDecoder(SpiSlave* pSlave, uint32_t nChipType, const BoardGate& gate = BoardGate());
    // The chip type is a ChipType of mpsse.h, never a flag.
    MpsseDecoder(SpiSlave* pSlave, bool bHighSpeed, const BoardGate& gate = BoardGate()) = delete;

    // Feeds bytes as the USB host sends them; a command cut between two
    // writes is completed by the next one. A command that clocks bytes out
    // starts on the bytes that are there, as the engine does: what the wire
    // and the clock see does not depend on where the packets end.
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
    bool GateOpen() const;
    uint16_t Divisor() const { return m_nDivisor; }
    bool DivideBy5() const { return m_bDivBy5; }
    int BadCommands() const { return m_nBadCommands; }

private:
    // Length of the command at nAt in m_pending, or 0 if it is incomplete.
    size_t CommandLength(size_t nAt) const;
    void Execute(const uint8_t* pCmd);
    // Clocks n bytes of the byte shift command in progress (m_nShiftOp).
    void Shift(const uint8_t* pOut, size_t n);
    // Applies the pins after a change of either byte: a frame starts when CS
    // is driven low through an open gate and ends when either goes away.
    void UpdateSelect();
    void BadCommand(uint8_t nOpcode);
    // Advances the SPI time by nBytes at the SCK; bData: bytes that cross the wire.
    void Clock(size_t nBytes, bool bData = true);

    SpiSlave* m_pSlave;
    uint32_t m_nChipType;
    BoardGate m_gate;
    bool m_bDivBy5;
    uint8_t m_nLowValue = 0;
    uint8_t m_nLowDirection = 0;  // every pin an input after reset
    uint8_t m_nHighValue = 0;
    uint8_t m_nHighDirection = 0;
    uint16_t m_nDivisor = 0;
    bool m_bSelected = false;
    std::vector<uint8_t> m_pending;
    uint8_t m_nShiftOp = 0;       // byte shift command whose data is still arriving
    size_t m_nShiftLeft = 0;      // its bytes still to come
    std::deque<uint8_t> m_replies;
    size_t m_nImmediate = 0;
    uint64_t m_nSpiBytes = 0;
    double m_dSpiNs = 0;
    double m_dObservedNs = 0;
    std::function<void(int64_t)> m_observer;
    int m_nBadCommands = 0;
};

}  // namespace sim
