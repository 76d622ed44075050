// The FTDI MPSSE adapter: enumerates the supported adapters through the
// adapter library, names them by type and USB location, and opens one by name.
// It lists and opens on the backend it was made with: the libftdi1 one
// (real adapters) unless a simulated bench or a test's backend is given.
#pragma once

#include "spiinterface.h"

#include <mpsse.h>
#include <transport.h>

#include <QMap>

#include <array>
#include <map>
#include <memory>

// Clock limits the adapter accepts, in Hz.
constexpr uint32_t kSpiMinClockHz = 100000;
constexpr uint32_t kSpiMaxClockHz = 60000000;
// The clock used when Open is asked for a rate outside the limits.
constexpr uint32_t kSpiFallbackClockHz = 30000000;

// Vendor/product pairs the adapter library is asked to list (the adapter
// table's, adapters.h); ends with zeros.
extern const mpsse::DeviceId* const kSupportedDevices;

struct AdapterType {
    const char* pTypeName;
    int nChannel;  // interface selector passed when opening: 0 any, 1 A, 2 B
};
// Product id -> short type name and channel selector (from the adapter table).
const std::map<uint32_t, AdapterType>& AdapterTypeMap();

// The operator's words for a reason the adapter library gave, in the
// program's language; a reason that only the library's text carries
// (libftdi's words, the simulated bench's own) is that text.
QString AdapterFaultText(const mpsse::AdapterError& error);
// How to let an operator open the adapters: the udev rule, its reload and
// the group; printed once per run when the device node refused the open.
QString AccessHintText();

class SpiFtdi : public SpiInterface {
public:
    using DeviceRecord = std::array<uint8_t, sizeof(mpsse::DevInfo)>;

    // pBackend null: a libftdi1 backend of its own. The link keeps the backend alive.
    explicit SpiFtdi(std::shared_ptr<mpsse::Backend> pBackend = nullptr);
    ~SpiFtdi() override;
    SpiFtdi(const SpiFtdi&) = delete;
    SpiFtdi& operator=(const SpiFtdi&) = delete;

    int Init(QList<QByteArray>& names, const QByteArray& strLibPath) override;
    int Enumerate(QList<QByteArray>& names) override;
    QList<AdapterDescription> Adapters() const override { return m_adapters; }
    int SetClock(uint32_t nHz) override;
    int Open(const QByteArray& strName, uint32_t nHz) override;
    int Close() override;
    QString ErrorText() const override;
    int WriteRead(uint8_t* pRx, int nRxLen, const uint8_t* pTx, int nTxLen) override;
    int WriteOnly(const uint8_t* pTx, int nLen) override;
    int Idle(uint32_t nMicroseconds) override;
    bool IdleCostsTransfer() const override;
    int64_t ClockMs() const override;
    // All replies of the frames come back in one USB round trip.
    int Transfer(const SpiFrame* pFrames, int nCount) override;

    bool IsOpen() const { return m_pContext != nullptr; }
    const QMap<QByteArray, DeviceRecord>& DeviceMap() const { return m_deviceMap; }

private:
    std::shared_ptr<mpsse::Backend> m_pBackend;
    void* m_pContext = nullptr;
    // The library's reason for the last failed open or close; while the
    // link is open, the context's own reason says what failed.
    mpsse::AdapterError m_error;
    QMap<QByteArray, DeviceRecord> m_deviceMap;
    QList<AdapterDescription> m_adapters;
};
