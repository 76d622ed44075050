#include "staticrecord.h"

#include <flashrules.h>

namespace {
const uint32_t* CrcTable()
{
    static uint32_t table[256];
    static const bool bBuilt = (InitCrcTable(kCrcPolynomial, table), true);
    (void)bBuilt;
    return table;
}
}  // namespace

void InitCrcTable(uint32_t nPolynomial, uint32_t table[256])
{
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i << 24;
        for (int k = 0; k < 8; ++k)
            c = (c & 0x80000000u) ? (c << 1) ^ nPolynomial : c << 1;
        table[i] = c;
    }
}

uint32_t CalcCrc(const uint8_t* pData, int nCount)
{
    const uint32_t* table = CrcTable();
    uint32_t crc = kCrcInitial;
    for (int i = 0; i < nCount; ++i)
        crc = (crc << 8) ^ table[((crc >> 24) ^ pData[i]) & 0xFF];
    return crc;
}

int32_t RecordWriteOffset(int32_t nFoundOffset, int32_t nUsedLength)
{
    int64_t nOffset = nFoundOffset < 0 ? 0 : int64_t(nFoundOffset) + 4;
    if (nOffset + nUsedLength + kStaticHeaderSize > xq::kSectorSize)
        nOffset = 0;
    return int32_t(nOffset);
}
