// ChipLink: the frames of the chip's slave port over one SPI adapter. It owns
// the adapter, opens and closes the link, sends memory frames (mode 0) and
// flash command frames (mode 1 and 2), queries and switches the link mode,
// and polls the flash's status until it is no longer busy.
//
// Not re-entrant: one caller at a time.
#pragma once

#include "flashtable.h"

#include <results.h>
#include <spiinterface.h>

#include <QByteArray>
#include <QList>
#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

namespace mpsse {
class Backend;
}

class ChipLink {
public:
    // Milliseconds from a monotonic clock; WaitReady's time limit and the
    // learned erase waits run on it. Default: the adapter's (ClockMs).
    using MsClock = std::function<int64_t()>;

    static constexpr int kMemFrameSize = 64512;  // 0xFC00 bytes each way
    static constexpr int kMemWriteChunk = kMemFrameSize - 5;  // opcode and address, then data
    static constexpr int kMemReadChunk = kMemFrameSize - 4;   // the port's lead-in bytes, then data
    static constexpr int kCmdBufferSize = 512;
    // The status wait's limit when no command's own applies (a wait before
    // an operation, or for a flash the table has no figure for).
    static constexpr int kBusyLimitMs = xq::flash::kBusyLimitFloorMs;
    // The longest wait the adapter is asked for before one poll: its reply
    // must come well within the adapter library's read time-out.
    static constexpr uint32_t kMaxIdlePerPollUs = 500000;
    // SetMode sends the mode-set frame up to kModeSetAttempts times; the
    // attempts from kLinkResetFrom to kLinkResetTo are each followed by a
    // link reset, which frees a port stuck in a half-received frame.
    static constexpr int kModeSetAttempts = 20;
    static constexpr int kLinkResetFrom = 11;
    static constexpr int kLinkResetTo = 19;

    // The FTDI adapter it selects lists and opens on pBackend (null: a
    // libftdi1 backend of its own, real adapters).
    explicit ChipLink(std::shared_ptr<mpsse::Backend> pBackend = nullptr);
    ~ChipLink();
    ChipLink(const ChipLink&) = delete;
    ChipLink& operator=(const ChipLink&) = delete;

    // Adapter selection and enumeration.
    // Both list the adapters into names: kOk (names empty when none is
    // attached), xq::kErrAdapterList when the bus could not be read, or
    // kErrBadArgument for an unknown kind or no adapter chosen yet.
    int SelectAdapter(QList<QByteArray>& names, int nKind);
    int RefreshAdapters(QList<QByteArray>& names);
    // Serial number, description and port path of the adapters last listed.
    QList<AdapterDescription> Adapters() const { return m_pAdapter ? m_pAdapter->Adapters() : QList<AdapterDescription>(); }
    // Replaces the adapter (tests use a scripted one); takes ownership.
    void SetAdapter(SpiInterface* pAdapter);
    SpiInterface* Adapter() const { return m_pAdapter; }
    void SetMsClock(MsClock clock) { m_msClock = std::move(clock); }

    int Open(const QByteArray& strName, int nRateIndex);
    // After a failed transfer: frees the port of a half-received frame and
    // puts it in mode 1; when that fails too, closes the adapter and opens
    // it again (as last opened) and tries once more. 0 when the link
    // answers in mode 1 again, else the last code.
    int Recover();
    // 0, or the adapter's code when it could not be released cleanly (then
    // AdapterErrorText says why: the simulated bench could not save, say).
    int Close();
    bool IsOpen() const { return m_bLinkOpen; }
    QString AdapterErrorText() const { return m_pAdapter ? m_pAdapter->ErrorText() : QString(); }

    // A flag another thread (or a signal handler) sets to stop the running
    // operation at its next safe point: no write-type flash command starts
    // after it is set (the one in progress completes, busy wait included),
    // and reads end before their next piece. Null: never stopped.
    void SetStopFlag(const std::atomic<bool>* pStop) { m_pStop = pStop; }
    bool StopRequested() const { return m_nStopHolds == 0 && m_pStop && m_pStop->load(); }
    // While held, a stop waits: the steps that put back bytes an erase took
    // away run to their end. Holds nest.
    void HoldStop(bool bHold) { m_nStopHolds += bHold ? 1 : -1; }

    // Frames.
    int MemWrite(uint32_t nAddress, const uint8_t* pData, int nLength);
    int MemRead(uint8_t* pBuffer, int nLength, uint32_t nAddress);
    int SendCmd(uint8_t nCmd, uint32_t nAddress, int nAddrLen, const uint8_t* pData, int nDataLen);
    int SendCmdRead(uint8_t* pBuffer, int nReadLen, uint8_t nCmd, uint32_t nAddress, int nAddrLen);
    int SendLinkReset();
    int SendModeSet(uint8_t nMode);
    int SendControl();

    // Link modes.
    int ReadMode();
    int SetMode(uint32_t nMode);
    uint32_t CurrentMode() const { return m_nCurrentMode; }

    // Polls the status register until (status & nMask) is 0 or nLimitMs
    // pass; true while still busy.
    bool WaitReady(uint8_t nMask, int nLimitMs = kBusyLimitMs);
    // The flash table's row of the flash behind the link (null: unknown, or
    // not identified since the link opened): the status wait after each
    // write-type command takes that command's limit from it (BusyLimitMs).
    void SetFlashPart(const xq::flash::FlashPart* pPart) { m_pFlashPart = pPart; }
    int BusyLimitMs(uint8_t nCmd) const { return xq::flash::BusyLimitMs(m_pFlashPart, nCmd); }
    // The adapter's code when the last WaitReady could not poll (0: it could).
    int PollError() const { return m_nPollError; }
    // Write enable, the command, write disable, then waits while busy, up
    // to the command's limit (BusyLimitMs).
    int SendCmdWE(uint8_t nCmd, uint32_t nAddress, int nAddrLen, const uint8_t* pData, int nDataLen);
    // Sends raw frames through the adapter in one exchange (link closed: kErrNotOpen).
    int Transfer(const SpiFrame* pFrames, int nCount);
    // The learned wait before the first poll after a page program, in microseconds.
    uint32_t ProgramIdleUs() const { return m_nProgramIdleNs / 1000; }
    // The answer of a mode query sent in a Transfer: 0, 1 or 2 (and the idle
    // answer) become the current mode, as with ReadMode.
    int TakeModeQueryAnswer(uint8_t nValue) { return TakeModeAnswer(nValue); }

    // Batched page programs (off by default): many page programs per USB
    // exchange, each after a latch poll, the ones not taken sent again.
    // That is not the chip maker's frame order (each page program on its
    // own: write enable, program, write disable, then its status polls) and
    // it has only been run on the simulated bench. Asked for by the caller
    // (xqprog --batch-programs, the window's [timing] batch_programs); the
    // simulated bench's [timing] strict_order overrides it.
    void SetBatchPrograms(bool bBatch) { m_bBatchPrograms = bBatch; }
    bool BatchPrograms() const;
    // Whether the batches (and the fast profile that comes with them: a
    // 64 KiB block that reads blank is not erased) apply now: asked for, and
    // never in link mode 2, whose port has never been seen to pass a status
    // read between write enable and program.
    bool BatchingInEffect() const;
    // Whether the adapter's wait clocks bytes across USB (an FT2232D): then
    // an erase is polled instead of waited out on the adapter's side.
    bool IdleCostsTransfer() const { return m_pAdapter && m_pAdapter->IdleCostsTransfer(); }

    // Reverses every 4-byte group: words travel most significant byte first.
    static void SwapWords(uint8_t* pBuffer, int nLength);

private:
    int TakeModeAnswer(uint8_t nValue);
    static uint32_t TakeIdle(uint32_t& nIdleLeftUs);
    uint32_t* LearnedEraseIdle(uint8_t nCmd);
    void LearnProgramIdle();
    void LearnEraseIdle(uint32_t& nIdleUs, int64_t nWaitedMs);

    std::shared_ptr<mpsse::Backend> m_pBackend;
    SpiInterface* m_pAdapter = nullptr;
    bool m_bLinkOpen = false;
    QByteArray m_strOpenName;  // the interface and rate of the last Open, for Recover
    int m_nOpenRateIndex = 0;
    int m_nAdapterKind = 0;
    uint32_t m_nCurrentMode = 1;
    uint8_t m_cmdBuffer[kCmdBufferSize] = {};
    int m_nPollError = 0;  // the adapter's code when the last WaitReady could not poll
    int m_nLastPolls = 0;  // status polls the last WaitReady sent
    uint32_t m_nProgramIdleNs = 0;     // learned wait before the first poll after a page program
    // Learned waits before the first poll after each kind of erase: 4 KiB,
    // 32 KiB, 64 KiB, whole chip, security register.
    uint32_t m_eraseIdleUs[5] = {0, 0, 0, 0, 0};
    uint32_t m_nIdleBeforePollUs = 0;  // the wait WaitReady asks the adapter for, once
    MsClock m_msClock;
    bool m_bBatchPrograms = false;
    const xq::flash::FlashPart* m_pFlashPart = nullptr;
    const std::atomic<bool>* m_pStop = nullptr;
    int m_nStopHolds = 0;
};
