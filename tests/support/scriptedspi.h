// A scripted SPI adapter for frame-level tests of the controller: records
// every frame and answers reads like a small chip (mode, status, JEDEC id,
// flash contents), with hooks to script odd answers.
#pragma once

#include <results.h>
#include <spiinterface.h>

#include <deque>
#include <functional>
#include <vector>

using Bytes = std::vector<uint8_t>;

struct Frame {
    Bytes tx;
    int nRx = 0;  // bytes read after tx; 0 for a write frame
    bool IsRead() const { return nRx > 0; }
};

class ScriptedSpi : public SpiInterface {
public:
    std::vector<Frame> frames;
    uint8_t nMode = 1;
    bool bModeFollowsSet = true;
    std::deque<uint8_t> modeAnswers;   // answered before nMode while not empty
    uint8_t nStatus = 0;
    bool bLatch = false;               // the write enable latch, answered in the status (0x02)
    Bytes jedec{0xEF, 0x40, 0x15};
    Bytes manufacturer{0xEF, 0x14};
    Bytes memory;                      // flash contents answered to 0x03/0x0B (empty: 0xFF)
    std::function<bool(const Frame&, uint8_t*)> hook;  // true when it answered
    int nPollsInModeZero = 0;          // status polls sent while the port was in mode 0

    int Init(QList<QByteArray>& names, const QByteArray&) override { return Enumerate(names); }
    int Enumerate(QList<QByteArray>& names) override
    {
        names = {"SCRIPTED-LOC-1"};
        return xq::kOk;
    }
    int SetClock(uint32_t) override { return 0; }
    int Open(const QByteArray&, uint32_t nHz) override
    {
        nOpenHz = nHz;
        return 0;
    }
    int Close() override { return 0; }
    int WriteRead(uint8_t* pRx, int nRxLen, const uint8_t* pTx, int nTxLen) override;
    int WriteOnly(const uint8_t* pTx, int nLen) override;

    // Frames whose first byte is cmd.
    std::vector<Frame> With(uint8_t nCmd) const;
    int Count(const Bytes& tx) const;
    uint32_t nOpenHz = 0;
};
