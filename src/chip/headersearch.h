// HeaderSearch: finding the static data record's "XQ" header in an area of
// the flash, and reading the record back as it was written.
#pragma once

#include "chiplink.h"

#include <requestmarkers.h>

#include <cstdint>

class HeaderSearch {
public:
    explicit HeaderSearch(ChipLink& link) : m_link(link) {}

    // Over [nStart, nStart + nLength rounded up to a sector): *pOffset is
    // the record's offset or kNotFound.
    int Search(int32_t nStart, int32_t nLength, int32_t* pOffset, uint8_t* pRecord, int32_t nRecordCapacity);
    // The offset of the first "XQ" header with a plausible total, or kNotFound.
    static int ScanMagic(const uint8_t* pBuffer, int nLength);

private:
    ChipLink& m_link;
};
