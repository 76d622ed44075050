// The MPSSE command encoder and write queue behind one open adapter (the
// context that MPSSE_PortPath returns). Commands come from FTDI AN_108
// "Command Processor for MPSSE and MCU Host Bus Emulation Modes".
//
// Low byte pins in SPI mode 0 (AN_135):
//   ADBUS0 SK   clock, output, idle low
//   ADBUS1 DO   MOSI, output
//   ADBUS2 DI   MISO, input
//   ADBUS3 CS   chip select, output, idle high (active low)
// On a buffered board the board's own pins (ADBUS4..7, ACBUS0..7: its buffer
// enables) are held at the board's values while the adapter is open.
//
// The FT2232C/D gets only the commands of its generation: no divide-by-5,
// adaptive or three-phase clock commands and no clocks without data; any of
// those would be answered with 0xFA and shift every later reply.
#pragma once

#include "transport.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace mpsse {

namespace op {
constexpr uint8_t kSetBitsLow = 0x80;      // value, direction
constexpr uint8_t kSetBitsHigh = 0x82;     // value, direction
constexpr uint8_t kBytesOutNeg = 0x11;     // len-1 (LE16), data: out on the falling edge, MSB first
constexpr uint8_t kBytesInPos = 0x20;      // len-1 (LE16): in on the rising edge, MSB first
constexpr uint8_t kBytesInOut = 0x31;      // len-1 (LE16), data: out falling, in rising
constexpr uint8_t kLoopbackOff = 0x85;
constexpr uint8_t kSetDivisor = 0x86;      // divisor low, divisor high
constexpr uint8_t kSendImmediate = 0x87;
constexpr uint8_t kDivBy5Off = 0x8A;       // H chips only: 60 MHz base clock
constexpr uint8_t kDivBy5On = 0x8B;
constexpr uint8_t kThreePhaseOff = 0x8D;
constexpr uint8_t kAdaptiveOff = 0x97;
constexpr uint8_t kClockBytesNoData = 0x8F;  // len-1 (LE16): clock n x 8 bits, no data (H chips)
constexpr uint8_t kBadCommandEcho = 0xFA;  // the engine's answer to an unknown opcode
constexpr uint8_t kSyncProbe = 0xAA;       // an invalid opcode used to synchronise
}  // namespace op

namespace pin {
constexpr uint8_t kSck = 0x01;
constexpr uint8_t kMosi = 0x02;
constexpr uint8_t kMiso = 0x04;
constexpr uint8_t kCs = 0x08;
constexpr uint8_t kOutputs = kSck | kMosi | kCs;
}  // namespace pin

// Computes the clock divisor for a request: the fastest SCK at or below it.
uint16_t ClockDivisor(uint32_t nChipType, uint32_t nRequestedHz);

class MpsseEngine {
public:
    MpsseEngine(std::unique_ptr<Transport> pTransport, bool bBatching);
    int64_t ClockMs() const { return m_pTransport ? m_pTransport->ClockMs() : WallMs(); }
    static int64_t WallMs();
    uint32_t ChipType() const { return m_nChipType; }
    ~MpsseEngine();

    // Synchronises with the engine and sets up SPI mode 0 at the clock.
    int Initialise(uint32_t nClockHz);
    int SetClock(uint32_t nClockHz);
    int Start();
    int Stop();
    int Write(const uint8_t* pData, int nLength);
    int Read(uint8_t* pBuffer, int nLength);
    // Queues a read whose bytes land in pBuffer when the queue is next sent
    // (by Read, SetClock, Close or a full queue); pBuffer must live until then.
    int ReadLater(uint8_t* pBuffer, int nLength);
    int Idle(uint32_t nMicroseconds);
    // Sends what is queued, puts every pin back to input and releases the transport.
    int Close();
    // The transport's reason for its last failure (after Close: the one it
    // left then); ClearError drops it.
    const AdapterError& Error() const { return m_pTransport ? m_pTransport->Error() : m_closedError; }
    void ClearError() { m_pTransport ? m_pTransport->SetError(AdapterError()) : void(m_closedError = AdapterError()); }

    static constexpr int kQueueLimit = 65536 + 4096;  // flush before the queue grows past this
    static constexpr int kMaxChunk = 65536;            // longest single MPSSE data command
    // A reply may take as long as the engine needs to clock every byte queued
    // before it, plus this margin for USB and the host.
    static constexpr int kReadMarginMs = 2000;
    // The deadline for a reply once nClockBytes bytes were clocked since the last one.
    int ReadDeadlineMs(uint64_t nClockBytes) const;

private:
    int SetLowPins(uint8_t nValue);
    int Flush();  // sends the queue and collects the replies of the reads in it
    int Fail(int nCode);
    int AfterQueued();  // sends at once when batching is off or the queue is full

    std::unique_ptr<Transport> m_pTransport;
    std::vector<uint8_t> m_queue;
    struct PendingRead {
        uint8_t* pBuffer;
        int nLength;
    };
    std::vector<PendingRead> m_pendingReads;  // reads in the queue, in order
    int m_nPendingBytes = 0;
    bool m_bBatching;
    int m_nStickyError = kOk;
    uint32_t m_nSckHz = 0;  // the SCK the engine runs at
    uint32_t m_nChipType = kChipFt2232H;
    const BoardPins* m_pBoard = nullptr;
    uint8_t m_nIdlePins = 0;       // low byte with CS high, the board's pins set
    uint8_t m_nSelectedPins = 0;   // the same with CS low
    uint8_t m_nDirection = 0;      // low byte direction
    uint64_t m_nClockBytes = 0;    // bytes the engine clocks before the next reply
    int m_nPinValue = -1;          // last value sent with kSetBitsLow, -1 before the first
    AdapterError m_closedError;  // the transport's reason when it was released
};

}  // namespace mpsse
