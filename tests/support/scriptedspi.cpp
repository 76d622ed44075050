#include "scriptedspi.h"

#include <algorithm>

int ScriptedSpi::WriteOnly(const uint8_t* pTx, int nLen)
{
    Frame f{Bytes(pTx, pTx + nLen), 0};
    frames.push_back(f);
    // Write enable sets the latch; write disable and every write-type command clear it.
    if (nLen > 0 && pTx[0] != 0xFE && pTx[0] != 0xFF)
        bLatch = pTx[0] == 0x06;
    if (bModeFollowsSet && nLen == 5 && pTx[0] == 0xFF && pTx[1] == 0 && pTx[2] == 0 && pTx[3] == 0)
        nMode = pTx[4];
    return 0;
}

int ScriptedSpi::WriteRead(uint8_t* pRx, int nRxLen, const uint8_t* pTx, int nTxLen)
{
    Frame f{Bytes(pTx, pTx + nTxLen), nRxLen};
    frames.push_back(f);
    std::fill(pRx, pRx + nRxLen, 0);
    if (pTx[0] == 0x05 && nMode == 0)
        ++nPollsInModeZero;
    if (hook && hook(f, pRx))
        return 0;
    const uint32_t nAddr = nTxLen >= 4 ? (uint32_t(pTx[1]) << 16) | (uint32_t(pTx[2]) << 8) | pTx[3] : 0;
    switch (pTx[0]) {
    case 0xFE:
        if (!modeAnswers.empty()) {
            pRx[0] = modeAnswers.front();
            modeAnswers.pop_front();
        } else {
            pRx[0] = nMode;
        }
        break;
    case 0x05: pRx[0] = uint8_t(nStatus | (bLatch ? 0x02 : 0)); break;
    case 0x9F: std::copy_n(jedec.begin(), std::min<int>(nRxLen, int(jedec.size())), pRx); break;
    case 0x90: std::copy_n(manufacturer.begin(), std::min<int>(nRxLen, 2), pRx); break;
    case 0x03:
    case 0x0B:
        for (int i = 0; i < nRxLen; ++i)
            pRx[i] = nAddr + uint32_t(i) < memory.size() ? memory[nAddr + uint32_t(i)] : 0xFF;
        break;
    default: break;
    }
    return 0;
}

std::vector<Frame> ScriptedSpi::With(uint8_t nCmd) const
{
    std::vector<Frame> out;
    for (const Frame& f : frames)
        if (!f.tx.empty() && f.tx[0] == nCmd)
            out.push_back(f);
    return out;
}

int ScriptedSpi::Count(const Bytes& tx) const
{
    return int(std::count_if(frames.begin(), frames.end(), [&](const Frame& f) { return f.tx == tx; }));
}
