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
    default: return QCoreApplication::translate("Result", "未知错误 %1").arg(nResult);
    }
}

QString StopEnding(int nStopPoint)
{
    switch (nStopPoint) {
    case kStopBeforeChange: return QCoreApplication::translate("Result", "已停止，芯片未被改动");
    case kStopBeforeVerify: return QCoreApplication::translate("Result", "已停止，镜像已烧写但未校验完，请重新烧写");
    case kStopBeforeProtect: return QCoreApplication::translate("Result", "已停止，镜像已校验，未设置写保护");
    case kStopBeforeSerial: return QCoreApplication::translate("Result", "已停止，镜像已校验，序列号未写入");
    case kStopBeforeEraseCheck: return QCoreApplication::translate("Result", "已停止，擦除已完成，未检查擦除结果");
    default: return QCoreApplication::translate("Result", "已停止，芯片上的数据不完整，请重新烧写");
    }
}

QString StopEndingNotVerified(int64_t nStart, int64_t nLength)
{
    return QCoreApplication::translate("Result", "已停止，0x%1 ~ 0x%2 已烧写，未校验完")
        .arg(QString::number(nStart, 16).toUpper(), QString::number(nStart + nLength, 16).toUpper());
}

QString StopLines(const QString& strEnding)
{
    return ResultText(kErrStopped) + '\n' + strEnding;
}

QString ResultText(int nResult, const QString& strCause)
{
    // The cause is kept by the link until its next open or close, so it is
    // only added to a code of the layer that left it.
    const bool bAdapterCode = nResult >= kErrAdapterArgument && nResult <= kErrAdapterClose;
    if (!bAdapterCode || strCause.isEmpty())
        return ResultText(nResult);
    return strCause + '\n' + ResultText(nResult);
}

}  // namespace xq
