// write, erase, read, verify and blank: the image tab's operations on the
// command line, under the same rules (imagerequest.h).
#include "clirunner.h"
#include "commands.h"
#include "serialcounter.h"

#include <linedb.h>
#include <serialstamp.h>

#include <commontexts.h>
#include <imageops.h>
#include <flashrules.h>
#include <imagerequest.h>
#include <outputfile.h>
#include <spiflashctrl.h>
#include <textrules.h>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

namespace {

// A size field's refusal, the value given and why it was refused.
QString SizeRefusal(const QString& strRefusal, const QString& strBytes, int64_t nImageSize = 0)
{
    const QString strReason = ImageRules::SizeReason(strBytes, nImageSize);
    return QString("%1: %2").arg(strRefusal, strBytes) + (strReason.isEmpty() ? QString() : QString(" (%1)").arg(strReason));
}

// Two options of which exactly one is needed: one given alone; both say
// they exclude each other.
bool OneOf(const CliContext& ctx, const char* pFirst, const char* pSecond, const QString& strWhat)
{
    const bool bFirst = ctx.parser.isSet(pFirst);
    if (bFirst != ctx.parser.isSet(pSecond))
        return true;
    if (bFirst)
        UsageError(ctx, QCoreApplication::translate("xqprog", "%1: --%2 与 --%3 互相排斥，只能给出其中一个").arg(strWhat, pFirst, pSecond));
    else
        UsageError(ctx, QCoreApplication::translate("xqprog", "%1 需要 --%2 或 --%3").arg(strWhat, pFirst, pSecond));
    return false;
}

// Made when asked for: its description is in the run's language.
QCommandLineOption StartOption()
{
    return {"start", QCoreApplication::translate("xqprog", "Flash 地址 (十六进制，默认 0)。"), "HEX"};
}

// The --start option, default 0; false after a usage error.
bool ReadStart(const CliContext& ctx, int32_t& nStart)
{
    nStart = 0;
    if (!ctx.parser.isSet("start"))
        return true;
    const QString strRefusal = ImageRules::StartAddress(ctx.parser.value("start"), nStart);
    if (!strRefusal.isEmpty())
        UsageError(ctx, QString("%1: %2").arg(strRefusal, ctx.parser.value("start")));
    return strRefusal.isEmpty();
}

// Runs a write (or an erase only) on every target. With pSerials the
// serial numbers come from that counter, one per chip as it is stamped.
int RunImageWrite(CliContext& ctx, const ImageWriteRequest& request, SerialSource* pSerials)
{
    const QString strOperation = request.image.isEmpty() ? "erase" : "write";
    const int nExit = RunJobs(ctx, strOperation, ctx.targets, [&request, pSerials](SpiFlashCtrl& ctrl, Job& job) {
        if (!request.image.isEmpty())
            job.Log(xq::PrepareWriteLine(request.strImage));
        return RunOperation(job, [&](OperationObserver& observer, OperationReport& report) {
            ImageWrite write(ctrl, observer);
            return RunWriteWithSerials(write, request, report, pSerials, QString::fromUtf8(job.Interface()), QString(),
                                       [&job](const QString& strLine) { job.Log(strLine); });
        });
    });
    LogNextSerial(ctx, pSerials);
    return nExit;
}

// Runs a verify (or a blank check) on every target.
int RunImageVerify(CliContext& ctx, const ImageVerifyRequest& request)
{
    return RunJobs(ctx, request.image.isEmpty() ? "blank" : "verify", ctx.targets, [&request](SpiFlashCtrl& ctrl, Job& job) {
        return RunOperation(job, [&](OperationObserver& observer, OperationReport& report) {
            return ImageVerify(ctrl, observer).Run(request, report);
        });
    });
}

}  // namespace

QList<QCommandLineOption> VerifyOptions()
{
    return {StartOption()};
}

QList<QCommandLineOption> BlankOptions()
{
    return {StartOption(),
            {"length", QCoreApplication::translate("xqprog", "检查这么多字节。"), "BYTES"},
            {"all", QCoreApplication::translate("xqprog", "从起始地址检查到 Flash 末尾。")}};
}

// The command's image, read whole (ImageRules::ReadImage); false after a usage error.
static bool ReadImageArgument(const CliContext& ctx, QString& strImage, QByteArray& image)
{
    strImage = QFileInfo(ctx.args.first()).absoluteFilePath();
    const QString strError = ImageRules::ReadImage(strImage, image);
    if (!strError.isEmpty())
        UsageError(ctx, strError);
    return strError.isEmpty();
}

int CmdVerify(CliContext& ctx)
{
    ImageVerifyRequest request;
    if (!ReadStart(ctx, request.nStart))
        return kExitUsage;
    if (!ReadImageArgument(ctx, request.strImage, request.image))
        return kExitUsage;
    const QString strEncrypted = ImageOperation::VerifyRefusal(request.image);
    if (!strEncrypted.isEmpty())
        return UsageError(ctx, strEncrypted);
    return RunImageVerify(ctx, request);
}

int CmdBlank(CliContext& ctx)
{
    ImageVerifyRequest request;
    if (!ReadStart(ctx, request.nStart))
        return kExitUsage;
    if (!OneOf(ctx, "length", "all", "blank"))
        return kExitUsage;
    const bool bLength = ctx.parser.isSet("length");
    request.nLength = xq::kWholeChip;
    if (bLength) {
        const QString strRefusal = ImageRules::BlankLength(ctx.parser.value("length"), request.nLength);
        if (!strRefusal.isEmpty())
            return UsageError(ctx, SizeRefusal(strRefusal, ctx.parser.value("length")));
    }
    return RunImageVerify(ctx, request);
}

QString ProtectOptionText()
{
    return QCoreApplication::translate("xqprog", "完成后对 Flash 写保护。");
}

QList<QCommandLineOption> WriteOptions()
{
    return QList<QCommandLineOption>{StartOption(),
            {"erase",
             QCoreApplication::translate("xqprog", "先擦除什么: whole、file (镜像的大小，默认)、字节数，或 smart (先读取；只擦除和编程与镜像不同的扇区)。"),
             "whole|file|smart|BYTES"},
            {"protect", ProtectOptionText()},
            {"serial",
             QCoreApplication::translate("xqprog", "从这个号起写入序列号 (十进制或 0x 十六进制)，每个芯片一个；"
                                                   "最后显示下一个可用的号。"),
             "N"},
            {"serial-file",
             QCoreApplication::translate("xqprog", "从这个计数文件取序列号 (一个十进制数，即下一个可用的号；"
                                                   "文件不存在时从 --serial 或 1 开始)，本机所有的 xqprog 共用。"),
             "FILE"},
            {"check-serial",
             QCoreApplication::translate("xqprog", "写入序列号后读回序列号记录并比较: 记录不同则写入失败 (默认关闭；只在模拟测试台上运行过)。")}} +
           LineDbOptions();
}

QList<QCommandLineOption> EraseOptions()
{
    return {StartOption(),
            {"whole", QCoreApplication::translate("xqprog", "擦除整片。")},
            {"size", QCoreApplication::translate("xqprog", "擦除这么多字节。"), "BYTES"}};
}

QList<QCommandLineOption> ReadOptions()
{
    return {StartOption(),
            {"length", QCoreApplication::translate("xqprog", "读取这么多字节。"), "BYTES"},
            {"all", QCoreApplication::translate("xqprog", "从起始地址读到 Flash 末尾。")},
            {"serial", QCoreApplication::translate("xqprog", "同时显示已写入的序列号。")}};
}

int CmdWrite(CliContext& ctx)
{
    ImageWriteRequest request;
    if (!ReadStart(ctx, request.nStart))
        return kExitUsage;
    if (!ReadImageArgument(ctx, request.strImage, request.image))
        return kExitUsage;
    QString strError;
    const QString strErase = ctx.parser.isSet("erase") ? ctx.parser.value("erase") : QString("file");
    const int nMode = ImageRules::EraseMode(strErase);
    const QString strRefusal = ImageRules::EraseCount(nMode, request.image.size(), strErase, request.nEraseBytes);
    if (!strRefusal.isEmpty()) {
        int64_t nUnused = 0;
        if (nMode == kEraseBySize && !xq::ParseNumber(strErase, nUnused))
            return UsageError(ctx, QCoreApplication::translate("xqprog", "%1: %2 (whole、file、smart 或字节数)").arg(strRefusal, strErase));
        return UsageError(ctx, SizeRefusal(strRefusal, strErase, request.image.size()));
    }
    request.bProtect = ctx.parser.isSet("protect");
    request.bSmart = nMode == kEraseSmart;
    request.bSerial = ctx.parser.isSet("serial") || ctx.parser.isSet("serial-file");
    request.bCheckSerial = ctx.parser.isSet("check-serial");
    if (request.bCheckSerial && !request.bSerial && !ctx.parser.isSet("serial-counter"))
        return UsageError(ctx, QCoreApplication::translate("xqprog", "--check-serial 需要 --serial、--serial-file 或 --serial-counter"));
    uint32_t nFirst = 1;
    if (ctx.parser.isSet("serial")) {
        const QString strSerial = ctx.parser.value("serial");
        if (!ImageRules::ParseSerial(strSerial, nFirst))
            return UsageError(ctx, BadSerialText(strSerial));
    }
    LineDb lineDb;
    bool bLineDb = false;
    if (const int nExit = OpenLineDb(ctx, lineDb, bLineDb, !request.bSerial); nExit != kExitOk)
        return nExit;
    if (bLineDb && ctx.parser.isSet("serial-counter")) {
        request.bSerial = true;
        return RunImageWrite(ctx, request, &lineDb);
    }
    if (!request.bSerial)
        return RunImageWrite(ctx, request, nullptr);
    SerialCounter serials;
    if (!serials.Init(ctx.parser.value("serial-file"), nFirst, strError, ctx.targets.size()))
        return UsageError(ctx, strError);
    return RunImageWrite(ctx, request, &serials);
}

int CmdErase(CliContext& ctx)
{
    ImageWriteRequest request;
    if (!ReadStart(ctx, request.nStart))
        return kExitUsage;
    if (!OneOf(ctx, "whole", "size", "erase"))
        return kExitUsage;
    const bool bWhole = ctx.parser.isSet("whole");
    const QString strSize = ctx.parser.value("size");
    const QString strRefusal =
        ImageRules::EraseCount(bWhole ? kEraseWhole : kEraseBySize, 0, strSize, request.nEraseBytes);
    if (!strRefusal.isEmpty())
        return UsageError(ctx, SizeRefusal(strRefusal, strSize));
    return RunImageWrite(ctx, request, nullptr);
}

int CmdRead(CliContext& ctx)
{
    ImageReadRequest request;
    if (!ReadStart(ctx, request.nStart))
        return kExitUsage;
    if (!OneOf(ctx, "length", "all", "read"))
        return kExitUsage;
    const bool bLength = ctx.parser.isSet("length");
    request.nLength = xq::kWholeChip;
    if (bLength) {
        const QString strRefusal = ImageRules::ReadLength(ctx.parser.value("length"), request.nLength);
        if (!strRefusal.isEmpty())
            return UsageError(ctx, SizeRefusal(strRefusal, ctx.parser.value("length")));
    }
    request.bSerial = ctx.parser.isSet("serial");
    const QString strFile = ctx.args.first();
    const bool bGang = ctx.targets.size() > 1;
    // Every file the read saves into is checked before any adapter opens.
    for (const QByteArray& strName : ctx.targets) {
        const QString strOut = bGang ? strFile + "." + QString::fromUtf8(strName) : strFile;
        const QString strRefusal = xq::OutputRefusal(strOut);
        if (!strRefusal.isEmpty())
            return UsageError(ctx, xq::ReadOutputRefusalText(strOut, strRefusal));
    }
    return RunJobs(ctx, "read", ctx.targets, [&](SpiFlashCtrl& ctrl, Job& job) {
        ImageReadRequest own = request;
        // In a gang read every adapter writes its own file.
        own.strSaveFile = bGang ? strFile + "." + QString::fromUtf8(job.Interface()) : strFile;
        const bool bOk = RunOperation(job, [&](OperationObserver& observer, OperationReport& report) {
            return ImageRead(ctrl, observer).Run(own, report);
        });
        if (bOk && request.bSerial)
            job.Print(QCoreApplication::translate("xqprog", "序列号: %1\n").arg(job.Report().nSerial));
        return bOk;
    });
}
