// The SPI clock rates a user can choose, by rate index, with the labels the
// interface dialog shows. Indexes 0 and 1 run at 100 kHz and 400 kHz although
// their labels read 1 and 4 kHz: the adapter accepts nothing below 100 kHz.
#pragma once

#include <cstdint>

namespace xq {

struct RateEntry {
    uint32_t nHz;
    const char* pLabel;
};

constexpr RateEntry kRateTable[] = {
    {100000, "1KHz"},    {400000, "4KHz"},    {1000000, "1MHz"},   {2000000, "2MHz"},
    {5000000, "5MHz"},   {6000000, "6MHz"},   {10000000, "10MHz"}, {12000000, "12MHz"},
    {15000000, "15MHz"}, {30000000, "30MHz"}, {60000000, "60MHz"},
};
constexpr int kRateCount = int(sizeof kRateTable / sizeof kRateTable[0]);
constexpr int kDefaultRateIndex = 5;  // 6 MHz

// The index of a rate named by its label ("6MHz", in any case) or by its
// index ("5"); -1 when the text is neither.
int RateIndexOf(const char* pText);

}  // namespace xq
