// list, info and reset: the commands that only identify or reset the chip.
#include "clirunner.h"
#include "commands.h"

#include <deviceinfo.h>
#include <spiflashctrl.h>

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonObject>

namespace {

// One adapter of --json list.
QJsonObject AdapterJson(const AdapterDescription& adapter)
{
    auto text = [](const QString& s) { return s.isEmpty() ? QJsonValue() : QJsonValue(s); };
    return {{"name", QString::fromUtf8(adapter.strName)},
            {"serial", text(adapter.strSerial)},
            {"description", text(adapter.strDescription)},
            {"location", text(adapter.strLocation)}};
}

// The description of each listed interface (only its name when the adapter
// layer tells nothing more).
QList<AdapterDescription> Described(const CliContext& ctx)
{
    QList<AdapterDescription> adapters;
    for (const QByteArray& strName : ctx.names) {
        AdapterDescription adapter;
        adapter.strName = strName;
        for (const AdapterDescription& known : ctx.adapters)
            if (known.strName == strName)
                adapter = known;
        adapters << adapter;
    }
    return adapters;
}

}  // namespace

// One adapter a line: name, serial number, description and port path,
// separated by tabs ("-" for what is not known); with --json one array.
int CmdList(CliContext& ctx)
{
    const QList<AdapterDescription> adapters = Described(ctx);
    if (ctx.out.Json()) {
        QJsonArray list;
        for (const AdapterDescription& adapter : adapters)
            list.append(AdapterJson(adapter));
        ctx.out.PrintJson(list);
        return kExitOk;
    }
    QString strLines;
    auto field = [](const QString& s) { return s.isEmpty() ? QString("-") : s; };
    for (const AdapterDescription& adapter : adapters)
        strLines += QStringList{QString::fromUtf8(adapter.strName), field(adapter.strSerial),
                                field(adapter.strDescription), field(adapter.strLocation)}
                        .join('\t') +
                    "\n";
    ctx.out.Print(strLines);
    return kExitOk;
}

int CmdInfo(CliContext& ctx)
{
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
