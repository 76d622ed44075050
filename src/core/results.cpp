#include "results.h"

#include <QCoreApplication>
#include <QString>

namespace xq {

QString ResultText(int nResult)
{
    switch (nResult) {
    case kOk: return QString();
    case kErrFileAccess: return QCoreApplication::translate("Result", "文件访问失败");
    case kErrFileOpen: return QCoreApplication::translate("Result", "文件打开错误");
    case kErrFlashBusyTimeout:
    case kErrFlashBusyAtStart: return QCoreApplication::translate("Result", "发生超时 %1").arg(nResult);
    case kErrRepairFailed: return QCoreApplication::translate("Result", "校验失败");
    case kErrStopped: return QCoreApplication::translate("Result", "已中断");
    case kErrMismatch: return QCoreApplication::translate("Result", "Flash内容不符");
    case kErrEncryptedReadBack: return QCoreApplication::translate("Result", "SPI 异常");
    case kErrModeChange: return QCoreApplication::translate("Result", "链路模式切换失败 %1").arg(nResult);
    default: return QCoreApplication::translate("Result", "未知错误 %1").arg(nResult);
    }
}

QString ResultText(int nResult, const QString& strCause)
{
    // The cause is kept per thread until the next close, so it is only added
    // to a code of the layer that left it.
    const bool bAdapterCode = nResult >= kErrAdapterArgument && nResult <= kErrAdapterClose;
    if (!bAdapterCode || strCause.isEmpty())
        return ResultText(nResult);
    return QString("%1 (%2)").arg(ResultText(nResult), strCause);
}

}  // namespace xq
