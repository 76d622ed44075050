// static write, static read and static template: the static data tab's
// operations on the command line, under the same rules (staticrequest.h).
#include "clirunner.h"
#include "commands.h"

#include <imagerequest.h>
#include <operationobserver.h>
#include <outputfile.h>
#include <spiflashctrl.h>
#include <staticarea.h>
#include <staticlayout.h>
#include <staticrequest.h>
#include <textrules.h>
#include <staticread.h>
#include <staticwrite.h>
#include <workbookexport.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonObject>
#include <QRegularExpression>

#include <cstdio>

namespace {

// Loads the workbook; false after a usage error.
bool LoadLayout(const CliContext& ctx, StaticLayout& layout)
{
    const QString strBook = ctx.args.first();
    const int rc = layout.LoadXlsx(strBook);
    if (rc != 0)
        UsageError(ctx, QCoreApplication::translate("xqprog", "文件:%1, 错误码:%2 %3").arg(strBook).arg(rc).arg(layout.strError));
    for (const QString& strWarning : layout.warnings)
        std::fprintf(stderr, "xqprog: %s\n", QCoreApplication::translate("xqprog", "警告: %1").arg(strWarning).toUtf8().constData());
    return rc == 0;
}

// The record's area from the workbook, --start and --total; false after a usage error.
bool ReadArea(const CliContext& ctx, const StaticLayout& layout, int32_t& nStart, int32_t& nTotal)
{
    const QString strRefusal = StaticArea(layout, ctx.parser.value("start"), ctx.parser.value("total"), nStart, nTotal);
    if (!strRefusal.isEmpty())
        return UsageError(ctx, strRefusal), false;
    return true;
}

// The values read from the chip, one line per item: sheet, item, name, value.
QString ValueLines(const StaticLayout& layout)
{
    QString strLines;
    for (const xlsx_sheet& sheet : layout.sheets)
        for (const xlsx_item& item : sheet.items)
            strLines += QString("%1\t%2\t%3\t%4\n")
                            .arg(sheet.strName, item.strName, item.cells.strDisplayName,
                                 QString::fromUtf8(xq::CutAtNul(item.currentText)));
    return strLines;
}

// The same values as a JSON object: sheet name to item name to value.
QJsonObject ValueObject(const StaticLayout& layout)
{
    QJsonObject values;
    for (const xlsx_sheet& sheet : layout.sheets) {
        QJsonObject items;
        for (const xlsx_item& item : sheet.items)
            items[item.strName] = QString::fromUtf8(xq::CutAtNul(item.currentText));
        values[sheet.strName] = items;
    }
    return values;
}

// Checks a --set value against its item (StaticLayout::ValueRefusal, the
// rule of the static data tab's cells too): a string is cut to the item's
// size with a warning; a numeric item needs 1 to nCount numbers that read
// whole. False after a usage error.
bool CheckSetValue(const CliContext& ctx, const xlsx_item& item, QString& strValue)
{
    const ValueFormat fmt = FormatFromName(item.cells.format.toString());
    if (fmt == kFmtString) {
        const QByteArray text = strValue.toUtf8();
        const QByteArray cut = StaticLayout::CutText(item, text);
        if (cut.size() != text.size()) {
            strValue = QString::fromUtf8(cut);
            std::fprintf(stderr, "xqprog: %s\n",
                         QCoreApplication::translate("xqprog", "警告: --set %1: 值被截为 %2 字节: %3")
                             .arg(item.strName)
                             .arg(item.ByteSize())
                             .arg(QString::fromUtf8(cut))
                             .toUtf8()
                             .constData());
        }
        return true;
    }
    if (fmt == kFmtUnknown)
        return true;
    const QString strRefusal = StaticLayout::ValueRefusal(item, strValue);
    if (!strRefusal.isEmpty())
        return UsageError(ctx, QString("--set %1: %2").arg(item.strName, strRefusal)), false;
    if (strValue.split(QRegularExpression("\\s+"), Qt::SkipEmptyParts).isEmpty())
        return UsageError(ctx, QCoreApplication::translate("xqprog", "--set %1: 请给出 1 到 %2 个数值").arg(item.strName).arg(item.nCount)), false;
    return true;
}

// Made when asked for: their descriptions are in the run's language.
QCommandLineOption StartOption()
{
    return {"start", RecordStartOptionText(), "HEX"};
}

QCommandLineOption TotalOption()
{
    return {"total", RecordTotalOptionText(), "BYTES"};
}

}  // namespace

QString RecordStartOptionText()
{
    return QCoreApplication::translate("xqprog", "记录的 Flash 地址 (十六进制；默认取工作簿的，否则为 1FF000)。");
}

QString RecordTotalOptionText()
{
    return QCoreApplication::translate("xqprog", "记录的总字节数 (默认: 已用长度 + 20，向上取整为 4 的倍数)。");
}

QList<QCommandLineOption> StaticWriteOptions()
{
    return {StartOption(),
            TotalOption(),
            {"values", QCoreApplication::translate("xqprog", "写入默认值或当前值 (默认: default)。"), "default|current"},
            {"set", QCoreApplication::translate("xqprog", "设置一项的当前值；可以多次给出。"), "NAME=VALUE"},
            {"force", QCoreApplication::translate("xqprog", "与 --values current 一起: 即使有些项没有用 --set 给出值也写入 (它们写入默认值)。")}};
}

QList<QCommandLineOption> StaticReadOptions()
{
    return {StartOption(), TotalOption()};
}

int CmdStaticTemplate(CliContext& ctx)
{
    const QString strRefusal = xq::OutputRefusal(ctx.args.first());
    if (!strRefusal.isEmpty())
        return UsageError(ctx, xq::OutputRefusalLine(ctx.args.first(), strRefusal));
    QString strError;
    if (!ExportTemplate(ctx.args.first(), strError))
        return (std::fprintf(stderr, "xqprog: %s\n", qPrintable(strError)), kExitFailed);
    return kExitOk;
}

int CmdStaticRead(CliContext& ctx)
{
    StaticLayout layout;
    StaticReadRequest request;
    if (!LoadLayout(ctx, layout) || !ReadArea(ctx, layout, request.nStart, request.nTotal))
        return kExitUsage;
    if (ctx.targets.size() != 1)
        return UsageError(ctx, QCoreApplication::translate("xqprog", "static read 只能在一个接口上运行"));
    request.nLayoutLength = layout.nUsedLength;
    return RunJobs(ctx, "static read", ctx.targets, [&](SpiFlashCtrl& ctrl, Job& job) {
        const bool bOk = RunOperation(job, [&](OperationObserver& observer, OperationReport& report) {
            StaticRead read(ctrl, observer);
            read.onRecord = [&layout](const static_data_hdr* p) {
                if (layout.SetStaticData(p) == 0)
                    layout.ShowDeviceValues();
            };
            return read.Run(request, report);
        });
        job.Report().strFile = QFileInfo(ctx.args.first()).absoluteFilePath();
        if (bOk) {
            job.Print(ValueLines(layout));
            job.JsonExtra()["values"] = ValueObject(layout);
        }
        return bOk;
    });
}

int CmdStaticWrite(CliContext& ctx)
{
    StaticLayout layout;
    StaticWriteRequest request;
    if (!LoadLayout(ctx, layout) || !ReadArea(ctx, layout, request.nStart, request.nTotal))
        return kExitUsage;
    const QString strValues = ctx.parser.isSet("values") ? ctx.parser.value("values") : QString("default");
    if (strValues != "default" && strValues != "current")
        return UsageError(ctx, QCoreApplication::translate("xqprog", "--values 无效: %1 (default 或 current)").arg(strValues));
    request.bCurrent = strValues == "current";
    // --set fills current values; with the default values written they would be dropped unseen.
    if (!request.bCurrent && ctx.parser.isSet("set"))
        return UsageError(ctx, QCoreApplication::translate("xqprog", "--set 给出的是当前值: 请加上 --values current"));
    QList<const xlsx_item*> given;
    for (const QString& strSet : ctx.parser.values("set")) {
        const int nEq = strSet.indexOf('=');
        xlsx_item* pItem = nEq > 0 ? layout.FindItem(strSet.left(nEq)) : nullptr;
        if (!pItem)
            return UsageError(ctx, QCoreApplication::translate("xqprog", "没有名为 %1 的项").arg(strSet.left(nEq)));
        // An item name on several sheets does not say which item is meant.
        QStringList sheetsWithName;
        for (const xlsx_sheet& sheet : layout.sheets)
            for (const xlsx_item& item : sheet.items)
                if (item.strName == pItem->strName)
                    sheetsWithName << sheet.strName;
        if (sheetsWithName.size() > 1)
            return UsageError(ctx, QCoreApplication::translate("xqprog", "--set %1: 多个工作表中都有这个名称 (%2)")
                                  .arg(pItem->strName, sheetsWithName.join(", ")));
        QString strValue = strSet.mid(nEq + 1);
        if (!CheckSetValue(ctx, *pItem, strValue))
            return kExitUsage;
        layout.TakeValue(*pItem, strValue);
        given << pItem;
    }
    if (request.bCurrent && !ctx.parser.isSet("force")) {
        // Current values come only from --set here: an item left out would
        // be written with a value nobody chose for this chip.
        QStringList missing;
        for (const xlsx_sheet& sheet : layout.sheets)
            for (const xlsx_item& item : sheet.items)
                if (item.ByteSize() > 0 && !given.contains(&item))
                    missing << item.strName;
        if (!missing.isEmpty())
            return UsageError(ctx, QCoreApplication::translate("xqprog", "--values current: %1 没有给出值 (请用 --set 给出，或用 --force 写入它们的默认值)")
                                  .arg(missing.join(", ")));
    }
    const QString strRefusal = StaticWriteOf(layout, request.bCurrent, request.nStart, request.nTotal, request);
    if (!strRefusal.isEmpty())
        return UsageError(ctx, strRefusal);
    request.strWorkbook = QFileInfo(ctx.args.first()).absoluteFilePath();
    return RunJobs(ctx, "static write", ctx.targets, [&request](SpiFlashCtrl& ctrl, Job& job) {
        return RunOperation(job, [&](OperationObserver& observer, OperationReport& report) {
            return StaticWrite(ctrl, observer).Run(request, report);
        });
    });
}
