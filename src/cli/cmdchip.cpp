// list, info and reset: the commands that only identify or reset the chip.
#include "clirunner.h"
#include "commands.h"

#include <chipops.h>
#include <deviceinfo.h>
#include <session.h>
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
    if (ctx.targets.size() != 1)
        return UsageError(ctx, QCoreApplication::translate("xqprog", "info 只能在一个接口上运行"));
    return RunJobs(ctx, "info", ctx.targets.mid(0, 1), [](SpiFlashCtrl& ctrl, Job& job) {
        FunctionObserver observer([&job](const QString& strLine) { job.Log(strLine); });
        return Info(ctrl, observer).Run(job.Report(), [&job](const QString& strText) { job.Print(strText); }) == 0;
    });
}

int CmdReset(CliContext& ctx)
{
    return RunJobs(ctx, "reset", ctx.targets, [](SpiFlashCtrl& ctrl, Job& job) {
        FunctionObserver observer([&job](const QString& strLine) { job.Log(strLine); });
        return Reset(ctrl, observer).Run(job.Report()) == 0;
    });
}
