#include "textrules.h"

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
