#include "headersearch.h"

#include "chipdefs.h"

#include <flashrange.h>
#include <staticrecord.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <vector>

namespace flash = xq::flash;

namespace {

// Static data record header (staticrecord.h).
constexpr int kHeaderSize = int(sizeof(static_data_hdr));
constexpr int kHeaderTotalAt = int(offsetof(static_data_hdr, nTotalSize));
constexpr int kHeaderUsedAt = int(offsetof(static_data_hdr, nUsedLength));

// The writer programs the record with its words swapped, and SwapWords
// reverses a final group of 1 to 3 bytes within itself; the search swapped
// the area in whole words, which reversed that group together with the bytes
// after it. Take the record's last bytes from where that put them, so a read
// gives back exactly what was written whatever the record's length.
void UnswapRecordTail(uint8_t* pRecord, int64_t nRecord, const uint8_t* pSwappedArea)
{
    const int nTail = int(nRecord % 4);
    if (nTail == 0)
        return;
    const int64_t nGroup = nRecord - nTail;
    std::memcpy(pRecord + nGroup, pSwappedArea + nGroup + 4 - nTail, size_t(nTail));
}

}  // namespace

int HeaderSearch::ScanMagic(const uint8_t* pBuffer, int nLength)
{
    if (!pBuffer || nLength <= kHeaderSize)
        return xq::kNotFound;
    for (int p = 0; p + kHeaderSize + 1 <= nLength; p += 4) {
        if ((uint16_t(pBuffer[p]) | uint16_t(pBuffer[p + 1]) << 8) != kStaticMagic)
            continue;
        int32_t nTotal;
        std::memcpy(&nTotal, pBuffer + p + kHeaderTotalAt, sizeof nTotal);
        if (nTotal > 0 && nTotal < nLength)
            return p;
    }
    return xq::kNotFound;
}

int HeaderSearch::Search(int32_t nStart, int32_t nLength, int32_t* pOffset, uint8_t* pRecord, int32_t nRecordCapacity)
{
    if (nLength <= 0)
        return xq::kErrBadArgument;
    if (!m_link.IsOpen())
        return xq::kErrNotOpen;
    const int64_t nArea = xq::SectorCeil(nLength);
    if (nArea > INT32_MAX) {
        if (pOffset)
            *pOffset = xq::kNotFound;
        return 0;
    }
    std::vector<uint8_t> area(size_t(nArea), 0);
    m_link.SetMode(xq::port::kModeFlash);
    for (int64_t nAt = 0; nAt < nArea; nAt += flash::kPageSize) {
        const int nPiece = int(std::min<int64_t>(nArea - nAt, flash::kPageSize));
        // A read that fails is not an area without a record: the writer
        // would put its record over the old one, the reader report none.
        const int rc = m_link.SendCmdRead(area.data() + nAt, nPiece, flash::kRead, uint32_t(nStart + nAt), 3);
        if (rc != 0)
            return rc;
    }
    ChipLink::SwapWords(area.data(), int(nArea));
    const int nOffset = ScanMagic(area.data(), int(nArea));
    if (pOffset)
        *pOffset = nOffset;
    if (pRecord && nOffset >= 0) {
        int32_t nUsed;
        std::memcpy(&nUsed, area.data() + nOffset + kHeaderUsedAt, sizeof nUsed);
        // The used length comes from flash: copy only a record that lies
        // inside the area read and fits the caller's buffer.
        const int64_t nRecord = int64_t(nUsed) + kHeaderSize;
        if (nUsed >= 0 && nRecord <= nLength && nOffset + nRecord <= nArea && nRecord <= nRecordCapacity) {
            std::memcpy(pRecord, area.data() + nOffset, size_t(nRecord));
            UnswapRecordTail(pRecord, nRecord, area.data() + nOffset);
        }
    }
    return 0;
}
