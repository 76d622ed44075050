// list, info and reset: the commands that only identify or reset the chip.
#include "clirunner.h"
#include "commands.h"

#include <deviceinfo.h>
#include <spiflashctrl.h>

#include <QCoreApplication>

int CmdList(CliContext& ctx)
{
    QString strNames;
    for (const QByteArray& strName : ctx.names)
        strNames += QString::fromUtf8(strName) + "\n";
    ctx.out.Print(strNames);
    return kExitOk;
}

int CmdInfo(CliContext& ctx)
{
    return RunJobs(ctx, ctx.targets.mid(0, 1), [](SpiFlashCtrl& ctrl, Job& job) {
        const auto nId = uint32_t(ctrl.ReadChipId());
        FlashInfo info;
        const bool bInfo = ctrl.ReadFlashInfo(&info) == 0;
        job.Print(QString("MCU: %1\n").arg(ChipModelName(nId, info.nTotalSize, bInfo)));
        if (bInfo)
            job.Print(FlashInfoText(info).replace("\n\n", "\n") + "\n");
        else
            job.Log(QCoreApplication::translate("xqprog", "Flash 信息读取失败"));
        return bInfo;
    });
}

int CmdReset(CliContext& ctx)
{
    return RunJobs(ctx, ctx.targets, [](SpiFlashCtrl& ctrl, Job& job) {
        const int r = ctrl.SoftReset(false);
        job.Log(r == 0 ? QCoreApplication::translate("xqprog", "复位成功!")
                       : QCoreApplication::translate("xqprog", "复位失败: %1").arg(r));
        return r == 0;
    });
}
