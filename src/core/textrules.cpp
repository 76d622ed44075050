#include "textrules.h"

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

}  // namespace xq
