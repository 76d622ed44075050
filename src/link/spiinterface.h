// The abstract SPI adapter: named interfaces, a clock in Hz, and two kinds of
// frame (write, and write-then-read), each one chip-select period on the wire.
#pragma once

#include <QByteArray>
#include <QList>

#include <cstdint>

class SpiInterface {
public:
    virtual int Init(QList<QByteArray>& names, const QByteArray& strLibPath) = 0;
    virtual int Enumerate(QList<QByteArray>& names) = 0;
    virtual int SetClock(uint32_t nHz) = 0;
    virtual int Open(const QByteArray& strName, uint32_t nHz) = 0;
    virtual void Close() = 0;
    virtual int WriteRead(uint8_t* pRx, int nRxLen, const uint8_t* pTx, int nTxLen) = 0;
    virtual int WriteOnly(const uint8_t* pTx, int nLen) = 0;
    // Lets the adapter wait about nMicroseconds on its side before the next
    // frame (timing only, never a frame). Adapters that cannot do nothing.
    virtual int Idle(uint32_t nMicroseconds)
    {
        (void)nMicroseconds;
        return 0;
    }
    virtual ~SpiInterface() = default;
};
