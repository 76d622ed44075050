// The abstract SPI adapter: named interfaces, a clock in Hz, and two kinds of
// frame (write, and write-then-read), each one chip-select period on the wire.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <chrono>
#include <cstdint>

// One chip-select period of SpiInterface::Transfer: bytes out, then, when
// pRx is set, nRxLen bytes in.
struct SpiFrame {
    const uint8_t* pTx = nullptr;
    int nTxLen = 0;
    uint8_t* pRx = nullptr;
    int nRxLen = 0;
    uint32_t nIdleBeforeUs = 0;  // Idle(nIdleBeforeUs) before the frame, when not 0
};

// What the adapter list shows of one interface besides its name.
struct AdapterDescription {
    QByteArray strName;       // the interface name: FT2232-LOC-33
    QString strSerial;        // the serial number burnt into the adapter; empty when it has none
    QString strDescription;   // the USB product string
    QString strLocation;      // where it is plugged in: the USB bus and port path, "2-1"
};

// The interface that strKey names among adapters: an interface name, or the
// serial number of exactly one adapter. Empty when none matches; strError
// then says why (a serial number that several adapters carry is refused).
QByteArray FindAdapter(const QList<AdapterDescription>& adapters, const QString& strKey, QString& strError);

class SpiInterface {
public:
    virtual int Init(QList<QByteArray>& names, const QByteArray& strLibPath) = 0;
    // Lists the attached adapters into names (empty when none is attached):
    // kOk, or xq::kErrAdapterList when the bus could not be read (names then
    // keeps what it held). The count is names.size().
    virtual int Enumerate(QList<QByteArray>& names) = 0;
    // The adapters of the last Enumerate, in the same order.
    virtual QList<AdapterDescription> Adapters() const { return {}; }
    virtual int SetClock(uint32_t nHz) = 0;
    virtual int Open(const QByteArray& strName, uint32_t nHz) = 0;
    // 0, or a code when the adapter could not be released cleanly (a deferred
    // frame failed, or the simulated bench could not save its chip).
    virtual int Close() = 0;
    virtual int WriteRead(uint8_t* pRx, int nRxLen, const uint8_t* pTx, int nTxLen) = 0;
    virtual int WriteOnly(const uint8_t* pTx, int nLen) = 0;
    // Lets the adapter wait about nMicroseconds on its side before the next
    // frame (timing only, never a frame). Adapters that cannot do nothing.
    virtual int Idle(uint32_t nMicroseconds)
    {
        (void)nMicroseconds;
        return 0;
    }
    // Whether Idle costs bytes on USB (an engine without clocks that carry
    // no data clocks out zero bytes instead). Adapters that cannot wait: no.
    virtual bool IdleCostsTransfer() const { return false; }
    // Sends the frames in order, the chip sees exactly what WriteOnly and
    // WriteRead would send one by one; an adapter that can queue replies
    // does it in one exchange. Returns the first failure, or 0.
    virtual int Transfer(const SpiFrame* pFrames, int nCount)
    {
        for (int i = 0; i < nCount; ++i) {
            const SpiFrame& f = pFrames[i];
            int r = f.nIdleBeforeUs > 0 ? Idle(f.nIdleBeforeUs) : 0;
            if (r == 0)
                r = f.pRx ? WriteRead(f.pRx, f.nRxLen, f.pTx, f.nTxLen) : WriteOnly(f.pTx, f.nTxLen);
            if (r != 0)
                return r;
        }
        return 0;
    }
    // Milliseconds on the adapter's clock: the wall for a real adapter, the
    // model's virtual time on the simulated bench. Waits learned from it
    // follow the flash, not the load of the machine.
    virtual int64_t ClockMs() const
    {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
    // The adapter's own text about its last failure on this thread, if any.
    virtual QString ErrorText() const { return QString(); }
    virtual ~SpiInterface() = default;
};
