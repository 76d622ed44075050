// list, info and reset: the commands that only identify or reset the chip.
#include "clirunner.h"
#include "commands.h"

#include <deviceinfo.h>
#include <spiflashctrl.h>

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonObject>

int CmdList(CliContext& ctx)
{
    if (ctx.out.Json()) {
        // Objects, so that more facts of an adapter can be added as keys.
        QJsonArray adapters;
        for (const QByteArray& strName : ctx.names)
            adapters.append(QJsonObject{{"name", QString::fromUtf8(strName)}});
        ctx.out.PrintJson(adapters);
        return kExitOk;
    }
    QString strNames;
    for (const QByteArray& strName : ctx.names)
        strNames += QString::fromUtf8(strName) + "\n";
    ctx.out.Print(strNames);
    return kExitOk;
}

int CmdInfo(CliContext& ctx)
{
    if (ctx.targets.size() != 1)
        return UsageError("info runs on one interface");
    return RunJobs(ctx, "info", ctx.targets.mid(0, 1), [](SpiFlashCtrl& ctrl, Job& job) {
        const auto nId = uint32_t(ctrl.ReadChipId());
        FlashInfo info;
        const int rc = ctrl.ReadFlashInfo(&info);
        const bool bInfo = rc == 0;
        OperationReport& report = job.Report();
        report.strChip = ChipModelName(nId, info.nTotalSize, bInfo);
        job.Print(QString("MCU: %1\n").arg(report.strChip));
        if (bInfo) {
            DescribeFlash(info, report);
            job.Print(FlashInfoText(info).replace("\n\n", "\n") + "\n");
            report.SetResult(true, rc, QString());
        } else {
            report.SetResult(false, rc, QCoreApplication::translate("xqprog", "Flash 信息读取失败"));
            job.Log(report.strMessage);
        }
        return bInfo;
    });
}

int CmdReset(CliContext& ctx)
{
    return RunJobs(ctx, "reset", ctx.targets, [](SpiFlashCtrl& ctrl, Job& job) {
        const int r = ctrl.SoftReset(false);
        job.Report().SetResult(r == 0, r,
                               r == 0 ? QCoreApplication::translate("xqprog", "复位成功!")
                                      : QCoreApplication::translate("xqprog", "复位失败: %1").arg(r));
        job.Log(job.Report().strMessage);
        return r == 0;
    });
}
