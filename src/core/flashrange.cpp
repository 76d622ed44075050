#include "flashrange.h"

#include <QCoreApplication>
#include <QStringList>

namespace xq {

bool FlashRangeFits(int64_t nStart, int64_t nLength, uint32_t nFlashSize)
{
    return nStart >= 0 && nStart < int64_t(nFlashSize) && nLength >= 0 && nStart + nLength <= int64_t(nFlashSize);
}

namespace {
QString Hex(int64_t n)
{
    return QString::number(n, 16).toUpper().rightJustified(6, QChar('0'));
}
}  // namespace

QString FlashRangeRefusal(int64_t nStart, int64_t nLength, uint32_t nFlashSize)
{
    const auto hex = Hex;
    return QCoreApplication::translate("FlashRange", "操作范围超出Flash容量: 0x%1 ~ 0x%2 (%3 字节), Flash容量 %4 字节")
        .arg(hex(nStart), hex(nStart + nLength))
        .arg(nLength)
        .arg(nFlashSize);
}

QString FlashLossText(const FlashLoss& loss)
{
    QStringList pieces;
    for (const FlashLoss::Piece& piece : loss.pieces) {
        if (piece.nLength > 0) {
            pieces << QString("0x%1 ~ 0x%2 (%3 %4)")
                          .arg(Hex(piece.nAddress), Hex(int64_t(piece.nAddress) + piece.nLength))
                          .arg(piece.nLength)
                          .arg(QCoreApplication::translate("FlashRange", "字节"));
        }
    }
    if (pieces.isEmpty())
        return QString();
    if (loss.bUnconfirmed)
        return QCoreApplication::translate("FlashRange", "范围外的原有数据未能恢复，可能已丢失（无法读回确认）: %1")
            .arg(pieces.join(", "));
    return QCoreApplication::translate("FlashRange", "范围外的原有数据未能恢复，已丢失: %1").arg(pieces.join(", "));
}

}  // namespace xq
