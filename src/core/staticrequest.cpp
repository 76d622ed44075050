#include "staticrequest.h"

#include "textrules.h"

QString StaticRules::Total(int64_t nTotal, int nReadOnlyLength, int nUsedLength)
{
    if (nTotal < nReadOnlyLength || nTotal < nUsedLength || nTotal <= kStaticHeaderSize || nTotal > kStaticMaxTotal)
        return TotalRefusal();
    return QString();
}

QString StaticRules::TotalRefusal()
{
    return tr("\"总大小\"设置错误，请重新设置");
}

QString StaticRules::WriteRefusedLine()
{
    return tr("写入参数错误");
}

bool StaticRules::ParseTotal(const QString& strText, int64_t& nTotal)
{
    return xq::ParseNumber(strText, nTotal);
}
