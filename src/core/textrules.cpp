#include "textrules.h"

#include <QVector>

#include <cctype>

namespace xq {

QString LogStamp(const QDateTime& time)
{
    return time.toString("[yyyy-MM-dd hh:mm:ss.zzz]: ");
}

QByteArray CutAtNul(const QByteArray& text)
{
    const int nZero = text.indexOf('\0');
    return nZero < 0 ? text : text.left(nZero);
}

bool ParseHex(const QString& strText, int64_t& nValue)
{
    bool bOk = false;
    QString strDigits = strText.trimmed();
    if (strDigits.startsWith("0x", Qt::CaseInsensitive))
        strDigits = strDigits.mid(2);
    // Hexadecimal digits only: no sign ("0x+10", "-1000") and no spaces inside.
    for (const QChar c : strDigits)
        if (!isxdigit(c.unicode() < 128 ? int(c.unicode()) : 0))
            return false;
    nValue = strDigits.toLongLong(&bOk, 16);
    return bOk;
}

bool ParseNumber(const QString& strText, int64_t& nValue)
{
    if (strText.trimmed().startsWith("0x", Qt::CaseInsensitive))
        return ParseHex(strText, nValue);
    bool bOk = false;
    nValue = strText.trimmed().toLongLong(&bOk, 10);
    return bOk;
}

namespace {

bool IsWide(uint nCode)
{
    return (nCode >= 0x1100 && nCode <= 0x115F) || (nCode >= 0x2E80 && nCode <= 0x303E) ||
           (nCode >= 0x3041 && nCode <= 0x33FF) || (nCode >= 0x3400 && nCode <= 0x4DBF) ||
           (nCode >= 0x4E00 && nCode <= 0x9FFF) || (nCode >= 0xA000 && nCode <= 0xA4CF) ||
           (nCode >= 0xAC00 && nCode <= 0xD7A3) || (nCode >= 0xF900 && nCode <= 0xFAFF) ||
           (nCode >= 0xFE30 && nCode <= 0xFE4F) || (nCode >= 0xFF00 && nCode <= 0xFF60) ||
           (nCode >= 0xFFE0 && nCode <= 0xFFE6) || (nCode >= 0x20000 && nCode <= 0x3FFFD);
}

// Marks that never begin a line (they close what stands before them) and
// that never end one (they open what follows).
bool IsClosingMark(uint nCode)
{
    static const QVector<uint> kMarks = QStringLiteral("，。、；：！？）》」』】,.;:!?)]").toUcs4();
    return kMarks.contains(nCode);
}

bool IsOpeningMark(uint nCode)
{
    static const QVector<uint> kMarks = QStringLiteral("（《「『【([").toUcs4();
    return kMarks.contains(nCode);
}

// One piece of a line that is never broken: a word, a run of spaces, or a
// wide character with the marks that cling to it.
struct Piece {
    QString strText;
    int nWidth = 0;
    bool bSpace = false;
};

QList<Piece> Pieces(const QString& strText)
{
    QList<Piece> pieces;
    bool bOpen = false;  // the last piece ends with an opening mark: the next one joins it
    for (const uint nCode : strText.toUcs4()) {
        const QString strChar = QString::fromUcs4(&nCode, 1);
        const bool bSpace = nCode == ' ';
        const bool bWide = IsWide(nCode);
        const int nWidth = bWide ? 2 : 1;
        const bool bJoin = !pieces.isEmpty() && !bSpace &&
                           (bOpen || IsClosingMark(nCode) ||
                            (!bWide && !pieces.last().bSpace && !IsWide(pieces.last().strText.toUcs4().last())));
        if (bJoin || (bSpace && !pieces.isEmpty() && pieces.last().bSpace)) {
            pieces.last().strText += strChar;
            pieces.last().nWidth += nWidth;
        } else {
            pieces.append({strChar, nWidth, bSpace});
        }
        bOpen = IsOpeningMark(nCode);
    }
    return pieces;
}

}  // namespace

int TerminalWidth(const QString& strText)
{
    int nWidth = 0;
    for (const uint nCode : strText.toUcs4())
        nWidth += IsWide(nCode) ? 2 : 1;
    return nWidth;
}

QString PadToWidth(const QString& strText, int nWidth, bool bAlignRight)
{
    const QString strPad(qMax(0, nWidth - TerminalWidth(strText)), ' ');
    return bAlignRight ? strPad + strText : strText + strPad;
}

QStringList WrapToWidth(const QString& strText, int nWidth)
{
    QStringList lines;
    for (const QString& strPart : strText.split('\n')) {
        QString strLine;
        int nLine = 0;
        for (const Piece& piece : Pieces(strPart)) {
            if (piece.bSpace && strLine.isEmpty())
                continue;  // no line starts with spaces
            if (!piece.bSpace && nLine > 0 && nLine + piece.nWidth > nWidth) {
                lines << strLine.trimmed();
                strLine.clear();
                nLine = 0;
            }
            strLine += piece.strText;
            nLine += piece.nWidth;
        }
        lines << strLine.trimmed();
    }
    return lines;
}

}  // namespace xq
