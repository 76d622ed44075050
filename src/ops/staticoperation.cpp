#include "staticoperation.h"

#include <flashrules.h>

QString StaticOperation::SearchingLine()
{
    return tr("查找静态数据标识...");
}

QString StaticOperation::NotFoundLine()
{
    return tr("未找到静态数据标识!");
}

int64_t StaticOperation::SearchedLength(int32_t nLength)
{
    return xq::SectorCeil(qMax(nLength, 1));
}
