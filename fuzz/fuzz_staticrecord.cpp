// libFuzzer target: the static data record search and load on arbitrary
// flash contents (ScanMagic, SearchHeader through a controller reading the
// input as flash, SetStaticData into the default layout).
#include <spiflashctrl.h>
#include <staticlayout.h>

#include <QByteArray>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

// An adapter whose flash holds the fuzz input (reads beyond it are 0xFF).
class InputFlash : public SpiInterface {
public:
    QByteArray data;
    int Init(QList<QByteArray>& names, const QByteArray&) override { return Enumerate(names); }
    int Enumerate(QList<QByteArray>& names) override
    {
        names = {"FUZZ"};
        return 1;
    }
    int SetClock(uint32_t) override { return 0; }
    int Open(const QByteArray&, uint32_t) override { return 0; }
    int Close() override { return 0; }
    int WriteOnly(const uint8_t*, int) override { return 0; }
    int WriteRead(uint8_t* pRx, int nRx, const uint8_t* pTx, int nTx) override
    {
        std::memset(pRx, 0, size_t(nRx));
        if (pTx[0] == 0xFE)
            pRx[0] = 1;
        if (pTx[0] == 0x03 && nTx >= 4) {
            const uint32_t a = (uint32_t(pTx[1]) << 16) | (uint32_t(pTx[2]) << 8) | pTx[3];
            for (int i = 0; i < nRx; ++i)
                pRx[i] = a + uint32_t(i) < uint32_t(data.size()) ? uint8_t(data[int(a) + i]) : 0xFF;
        }
        return 0;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    static StaticLayout* pLayout = [] {
        auto* p = new StaticLayout;
        p->LoadXlsx(XQ_SAMPLE_WORKBOOK);
        return p;
    }();
    SpiFlashCtrl::ScanMagic(pData, int(nSize));

    SpiFlashCtrl ctrl;
    auto* pFlash = new InputFlash;
    pFlash->data = QByteArray(reinterpret_cast<const char*>(pData), int(nSize));
    ctrl.SetAdapter(pFlash);
    ctrl.Open("FUZZ", 5);
    // The length the user typed: taken from the input's first bytes.
    int32_t nTotal = 4096;
    if (nSize >= 2)
        nTotal = 1 + ((pData[0] | (pData[1] << 8)) % 8192);
    std::vector<uint8_t> record(size_t(nTotal) + 20, 0);
    int32_t nOffset = 0;
    ctrl.SearchHeader(0, nTotal, &nOffset, record.data(), int32_t(record.size()));
    StaticLayout layout = *pLayout;
    layout.SetStaticData(reinterpret_cast<const static_data_hdr*>(record.data()));
    layout.ShowDeviceValues();
    // A record taken straight from the input as well.
    if (nSize >= 20) {
        std::vector<uint8_t> raw(pData, pData + nSize);
        raw.resize(std::max<size_t>(nSize, size_t(layout.nUsedLength) + 20), 0);
        if (reinterpret_cast<const static_data_hdr*>(raw.data())->nUsedLength <= raw.size() - 20)
            layout.SetStaticData(reinterpret_cast<const static_data_hdr*>(raw.data()));
    }
    return 0;
}
