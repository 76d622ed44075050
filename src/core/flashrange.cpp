#include "flashrange.h"

#include <QCoreApplication>

namespace xq {

bool FlashRangeFits(int64_t nStart, int64_t nLength, uint32_t nFlashSize)
{
    return nStart >= 0 && nStart < int64_t(nFlashSize) && nLength >= 0 && nStart + nLength <= int64_t(nFlashSize);
}

QString FlashRangeRefusal(int64_t nStart, int64_t nLength, uint32_t nFlashSize)
{
    auto hex = [](int64_t n) { return QString::number(n, 16).toUpper().rightJustified(6, QChar('0')); };
    return QCoreApplication::translate("FlashRange", "操作范围超出Flash容量: 0x%1 ~ 0x%2 (%3 字节), Flash容量 %4 字节")
        .arg(hex(nStart), hex(nStart + nLength))
        .arg(nLength)
        .arg(nFlashSize);
}

}  // namespace xq
