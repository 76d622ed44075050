#include "commontexts.h"

#include <QCoreApplication>

namespace xq {

QString SucceededWord(bool bOk)
{
    return bOk ? QCoreApplication::translate("Texts", "成功") : QCoreApplication::translate("Texts", "失败");
}

QString NotRunWord()
{
    return QCoreApplication::translate("Texts", "未执行");
}

QString VerdictWord(bool bPassed)
{
    return bPassed ? QCoreApplication::translate("Texts", "成功", "verdict")
                   : QCoreApplication::translate("Texts", "失败", "verdict");
}

QString VerdictNotRunWord()
{
    return QCoreApplication::translate("Texts", "未执行", "verdict");
}

QString PrepareWriteLine(const QString& strImage)
{
    return QCoreApplication::translate("Texts", "准备烧写%1文件").arg(strImage);
}

QString NextSerialLine(uint64_t nNext)
{
    return QCoreApplication::translate("Texts", "下一个序列号: %1").arg(nNext);
}

QString TraceRowLostLine(const QString& strError)
{
    return QCoreApplication::translate("Texts", "追溯记录写入失败: %1").arg(strError);
}

QString InterfaceNotOpenText()
{
    return QCoreApplication::translate("Texts", "接口未打开\n请确认后重试");
}

QString InterfaceCloseFailedLine(const QString& strWhy)
{
    return QCoreApplication::translate("Texts", "接口关闭失败: %1").arg(strWhy);
}

QString ResetDoneText()
{
    return QCoreApplication::translate("Texts", "复位成功!");
}

QString ResetFailedText(int nResult)
{
    return QCoreApplication::translate("Texts", "复位失败: %1").arg(nResult);
}

QString FlashInfoFailedText()
{
    return QCoreApplication::translate("Texts", "Flash 信息读取失败");
}

QString EraseDoneText()
{
    return QCoreApplication::translate("Texts", "擦除完成");
}

QString StartAddressHint()
{
    return QCoreApplication::translate("Texts", "建议为4K的整数倍");
}

}  // namespace xq
