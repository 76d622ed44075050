// The static data record: a 20-byte header and the items' packed value
// bytes, with a CRC-32 (polynomial 0x04C11DB7, MSB first, initial value
// 0xF5F5F5F5, no reflection, no final XOR) over the data bytes.
#pragma once

#include <staticrequest.h>

#include <cstdint>

#pragma pack(push, 1)
struct static_data_hdr {
    uint16_t nMagic;      // "XQ": 0x58 0x51
    uint16_t nVersion;    // 1
    uint32_t nTotalSize;  // the area length at the time of writing
    uint32_t nUsedLength; // data bytes after the header
    uint32_t nReserved;   // 0
    uint32_t nChecksum;   // CalcCrc of the data bytes
};
#pragma pack(pop)
static_assert(sizeof(static_data_hdr) == 20, "the record header is 20 bytes");

constexpr uint16_t kStaticMagic = 0x5158;  // "XQ" read little-endian
constexpr uint32_t kCrcPolynomial = 0x04C11DB7;
constexpr uint32_t kCrcInitial = 0xF5F5F5F5;

void InitCrcTable(uint32_t nPolynomial, uint32_t table[256]);
uint32_t CalcCrc(const uint8_t* pData, int nCount);

// Where a new record goes in the area: 4 bytes after the one found at
// nFoundOffset (-1: none), or back at 0 when it would leave the first
// sector (xq::kSectorSize).
int32_t RecordWriteOffset(int32_t nFoundOffset, int32_t nUsedLength);
