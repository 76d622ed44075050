// static write, static read and static template: the static data tab's
// operations on the command line.
#include "clirunner.h"
#include "commands.h"

#include <spiflashctrl.h>
#include <staticlayout.h>
#include <workbookexport.h>
#include <worker.h>

#include <QCoreApplication>
#include <QRegularExpression>

#include <cstdio>

#include <memory>

namespace {

constexpr int32_t kStaticDefaultStart = 0x1FF000;

// The workbook, its flash area (--start, --total) and the adapter.
struct StaticArea {
    std::shared_ptr<StaticLayout> pLayout = std::make_shared<StaticLayout>();
    int32_t nStart = kStaticDefaultStart;
    int32_t nTotal = 0;
};

// Loads the workbook and reads --start and --total; an exit code, or -1 to go on.
int ReadArea(const CliContext& ctx, StaticArea& area)
{
    const QString strBook = ctx.args.first();
    const int rc = area.pLayout->LoadXlsx(strBook);
    if (rc != 0)
        return UsageError(QCoreApplication::translate("xqprog", "文件:%1, 错误码:%2 %3")
                              .arg(strBook)
                              .arg(rc)
                              .arg(area.pLayout->strError));
    const StaticLayout& layout = *area.pLayout;
    if (layout.config.start_address != 0xFFFFFFFF)
        area.nStart = int32_t(layout.config.start_address & 0xFFFFFF);
    if (ctx.parser.isSet("start")) {
        int64_t n = 0;
        const QString strValue = ctx.parser.value("start");
        if (!ParseHex(strValue, n) || n < 0 || n > 0xFFFFFF)
            return UsageError(QString("bad start address: %1").arg(strValue));
        area.nStart = int32_t(n);
    }
    int64_t nTotal = (layout.nUsedLength + 23) & ~3;
    const QString strTotal = ctx.parser.value("total");
    if (ctx.parser.isSet("total") && !ParseNumber(strTotal, nTotal))
        return UsageError(QString("bad total size: %1").arg(strTotal));
    if (nTotal < layout.nReadOnlyLength || nTotal < layout.nUsedLength || nTotal <= kStaticHeaderSize ||
        nTotal > 262143)
        return UsageError(QCoreApplication::translate("xqprog", "\"总大小\"设置错误，请重新设置"));
    area.nTotal = int32_t(nTotal);
    return -1;
}

// The values read from the chip, one line per item: sheet, item, name, value.
QString ValueLines(const StaticLayout& layout)
{
    QString strLines;
    for (const xlsx_sheet& sheet : layout.sheets)
        for (const xlsx_item& item : sheet.items) {
            const int nZero = item.currentText.indexOf('\0');
            const QByteArray value = nZero < 0 ? item.currentText : item.currentText.left(nZero);
            strLines += QString("%1\t%2\t%3\t%4\n")
                            .arg(sheet.strName, item.strName, item.cells.strDisplayName, QString::fromUtf8(value));
        }
    return strLines;
}

// Cuts a UTF-8 text to at most nBytes, at a whole character.
QByteArray CutUtf8(const QByteArray& text, int nBytes)
{
    if (text.size() <= nBytes)
        return text;
    int n = nBytes;
    while (n > 0 && (uchar(text[n]) & 0xC0) == 0x80)  // a continuation byte: back to its lead byte
        --n;
    return text.left(n);
}

// Whether one piece of a numeric value is a number of the item's format.
bool NumberFits(const QString& strPiece, ValueFormat fmt)
{
    bool bOk = false;
    switch (fmt) {
    case kFmtYesNo: return strPiece == "0" || strPiece == "1";
    case kFmtUnsigned: strPiece.toULongLong(&bOk, 10); return bOk;
    case kFmtDecimal: strPiece.toLongLong(&bOk, 10); return bOk;
    case kFmtHex:
        (strPiece.startsWith("0x", Qt::CaseInsensitive) ? strPiece.mid(2) : strPiece).toULongLong(&bOk, 16);
        return bOk;
    case kFmtFloat: strPiece.toDouble(&bOk); return bOk;
    default: return true;
    }
}

// Checks a --set value against its item: numbers for a numeric item (at most
// as many as it holds), a string cut to the item's size with a warning.
// False after a usage error.
bool CheckSetValue(const xlsx_item& item, QString& strValue)
{
    const ValueFormat fmt = FormatFromName(item.cells.format.toString());
    if (fmt == kFmtString) {
        const QByteArray text = strValue.toUtf8();
        const QByteArray cut = CutUtf8(text, item.ByteSize());
        if (cut.size() != text.size()) {
            strValue = QString::fromUtf8(cut);
            std::fprintf(stderr, "xqprog: warning: --set %s: the value is cut to %d bytes: %s\n",
                         item.strName.toUtf8().constData(), item.ByteSize(), cut.constData());
        }
        return true;
    }
    if (fmt == kFmtUnknown)
        return true;
    const QStringList pieces = strValue.split(QRegularExpression("\\s+"), Qt::SkipEmptyParts);
    for (const QString& strPiece : pieces)
        if (!NumberFits(strPiece, fmt))
            return UsageError(QString("--set %1: %2 is not a value of the item's format (%3)")
                                  .arg(item.strName, strPiece, item.cells.format.toString())),
                   false;
    if (pieces.isEmpty() || pieces.size() > item.nCount)
        return UsageError(QString("--set %1: give 1 to %2 values").arg(item.strName).arg(item.nCount)), false;
    return true;
}

const QCommandLineOption kStart("start", "The flash address of the record (hexadecimal; default the workbook's, else 1FF000).",
                                "HEX");
const QCommandLineOption kTotal("total", "The record's total size in bytes (default: its used length + 20, rounded up to 4).",
                                "BYTES");

}  // namespace

QList<QCommandLineOption> StaticWriteOptions()
{
    return {kStart,
            kTotal,
            {"values", "Write the default values or the current ones (default: default).", "default|current"},
            {"set", "Set an item's current value; may be repeated.", "NAME=VALUE"},
            {"force", "With --values current: write although some items got no value from --set "
                      "(they keep their default values)."}};
}

QList<QCommandLineOption> StaticReadOptions()
{
    return {kStart, kTotal};
}

int CmdStaticTemplate(CliContext& ctx)
{
    QString strError;
    if (!ExportTemplate(ctx.args.first(), strError))
        return (std::fprintf(stderr, "xqprog: %s\n", qPrintable(strError)), kExitFailed);
    return kExitOk;
}

int CmdStaticRead(CliContext& ctx)
{
    StaticArea area;
    const int nExit = ReadArea(ctx, area);
    if (nExit >= 0)
        return nExit;
    if (ctx.targets.size() != 1)
        return UsageError("static read runs on one interface");
    return RunJobs(ctx, ctx.targets, [&area](SpiFlashCtrl& ctrl, Job& job) {
        StaticLayout& layout = *area.pLayout;
        Worker worker;
        worker.pSpiCtrl = &ctrl;
        worker.nStartAddr = area.nStart;
        worker.nTotalSize = area.nTotal;
        worker.nLayoutLength = layout.nUsedLength;
        worker.nNotFoundPauseMs = 0;
        job.Attach(&worker);
        bool bOk = false;
        QObject::connect(&worker, &Worker::send, &worker, [&layout](const static_data_hdr* p) {
            if (layout.SetStaticData(p) == 0)
                layout.ShowDeviceValues();
        }, Qt::DirectConnection);
        QObject::connect(&worker, &Worker::finish, &worker, [&bOk](int, bool b) { bOk = b; }, Qt::DirectConnection);
        worker.OnRead();
        if (bOk)
            job.Print(ValueLines(layout));
        return bOk;
    });
}

int CmdStaticWrite(CliContext& ctx)
{
    StaticArea area;
    const int nExit = ReadArea(ctx, area);
    if (nExit >= 0)
        return nExit;
    StaticLayout& layout = *area.pLayout;
    const QString strValues = ctx.parser.isSet("values") ? ctx.parser.value("values") : QString("default");
    if (strValues != "default" && strValues != "current")
        return UsageError(QString("bad --values: %1").arg(strValues));
    const bool bCurrent = strValues == "current";
    QList<const xlsx_item*> given;
    for (const QString& strSet : ctx.parser.values("set")) {
        const int nEq = strSet.indexOf('=');
        xlsx_item* pItem = nEq > 0 ? layout.FindItem(strSet.left(nEq)) : nullptr;
        if (!pItem)
            return UsageError(QString("no item named %1").arg(strSet.left(nEq)));
        QString strValue = strSet.mid(nEq + 1);
        if (!CheckSetValue(*pItem, strValue))
            return kExitUsage;
        layout.TakeValue(*pItem, strValue);
        given << pItem;
    }
    if (bCurrent && !ctx.parser.isSet("force")) {
        // Current values come only from --set here: an item left out would
        // be written with a value nobody chose for this chip.
        QStringList missing;
        for (const xlsx_sheet& sheet : layout.sheets)
            for (const xlsx_item& item : sheet.items)
                if (item.ByteSize() > 0 && !given.contains(&item))
                    missing << item.strName;
        if (!missing.isEmpty())
            return UsageError(QString("--values current: no value given for %1 (give them with --set, or --force "
                                      "to write their default values)")
                                  .arg(missing.join(", ")));
    }
    QByteArray record = layout.GetStaticData(bCurrent);
    if (record.isEmpty())
        return UsageError(QCoreApplication::translate("xqprog", "写入参数错误"));
    reinterpret_cast<static_data_hdr*>(record.data())->nTotalSize = uint32_t(area.nTotal);
    return RunJobs(ctx, ctx.targets, [&](SpiFlashCtrl& ctrl, Job& job) {
        Worker worker;
        worker.pSpiCtrl = &ctrl;
        worker.nStartAddr = area.nStart;
        worker.nTotalSize = area.nTotal;
        worker.bCurrent = bCurrent ? 1 : 0;
        worker.SetRecord(record);
        job.Attach(&worker);
        bool bOk = false;
        QObject::connect(&worker, &Worker::finish, &worker, [&bOk](int, bool b) { bOk = b; }, Qt::DirectConnection);
        worker.OnWrite();
        return bOk;
    });
}
