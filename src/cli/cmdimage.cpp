// write, erase and read: the image tab's operations on the command line.
#include "clirunner.h"
#include "commands.h"
#include "serialcounter.h"

#include <baseworker.h>
#include <spiflashctrl.h>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <cstring>
#include <memory>

namespace {

const QCommandLineOption kStart("start", "The flash address (hexadecimal, default 0).", "HEX");

// The --start option, default nDefault; false after a usage error.
bool ReadStart(const CliContext& ctx, int32_t nDefault, int32_t& nStart)
{
    nStart = nDefault;
    if (!ctx.parser.isSet("start"))
        return true;
    const QString strValue = ctx.parser.value("start");
    int64_t n = 0;
    if (!ParseHex(strValue, n) || n < 0 || n > 0xFFFFFF) {
        UsageError(QString("bad start address: %1").arg(strValue));
        return false;
    }
    nStart = int32_t(n);
    return true;
}

// The image, read whole; refused by its size before it is read.
QByteArray ReadImage(const QString& strPath, QString& strError)
{
    const QFileInfo info(strPath);
    if (!info.isFile()) {
        strError = QString("cannot read image %1").arg(strPath);
        return QByteArray();
    }
    if (info.size() > qint64(kMaxFlashSize)) {
        strError = QCoreApplication::translate("xqprog", "烧写文件大小大于Flash容量") +
                   QString(": %1 (%2 bytes)").arg(strPath).arg(info.size());
        return QByteArray();
    }
    QFile file(strPath);
    if (!file.open(QIODevice::ReadOnly)) {
        strError = QString("cannot read image %1: %2").arg(strPath, file.errorString());
        return QByteArray();
    }
    const QByteArray data = file.read(qint64(kMaxFlashSize) + 1);
    if (data.size() != file.size() || data.isEmpty() || data.size() > qint64(kMaxFlashSize))
        strError = QString("cannot read image %1 whole").arg(strPath);
    return data;
}

// Whether a read may save into strFile: its directory exists and takes a
// new file, and an existing file there can be replaced. Checked before the
// chip is touched.
bool OutputWritable(const QString& strFile, QString& strError)
{
    const QFileInfo info(strFile);
    const QFileInfo dir(info.absolutePath());
    if (!dir.isDir())
        strError = QString("cannot save %1: the directory %2 does not exist").arg(strFile, dir.filePath());
    else if (!dir.isWritable())
        strError = QString("cannot save %1: the directory %2 is not writable").arg(strFile, dir.filePath());
    else if (info.isDir())
        strError = QString("cannot save %1: it is a directory").arg(strFile);
    else if (info.exists() && !info.isWritable())
        strError = QString("cannot save %1: the file is not writable").arg(strFile);
    return strError.isEmpty();
}

// The erase count of a write or erase: -1 the whole chip, else a byte count
// that covers the image; false after a usage error.
bool EraseBytes(const QString& strErase, int nImageSize, bool bWrite, int32_t& nEraseBytes)
{
    int64_t nValue = 0;
    if (strErase == "whole")
        nEraseBytes = -1;
    else if (strErase == "file" && bWrite)
        nEraseBytes = nImageSize;
    else if (ParseNumber(strErase, nValue) && nValue > 0 && nValue <= 0x200000 && nValue >= nImageSize)
        nEraseBytes = int32_t(nValue);
    else
        return UsageError(QString("bad erase size: %1").arg(strErase)), false;
    return true;
}

// What an image write or erase-only run needs.
struct ImageJob {
    QByteArray image;
    QString strImage;
    int32_t nStart = 0;
    int32_t nEraseBytes = 0;
    bool bProtect = false;
    bool bSerial = false;
    std::shared_ptr<SerialCounter> pSerials = std::make_shared<SerialCounter>();
};

int RunImageWrite(CliContext& ctx, const ImageJob& request)
{
    const int nExit = RunJobs(ctx, ctx.targets, [&request](SpiFlashCtrl& ctrl, Job& job) {
        BaseWorker worker;
        worker.pSpiCtrl = &ctrl;
        worker.bProtect = request.bProtect;
        worker.bSeqId = request.bSerial;
        worker.nStartAddr = request.nStart;
        worker.nEraseBytes = request.nEraseBytes;
        worker.takeSerial = [&request, &job](uint32_t& nSerial) {
            QString strError;
            if (request.pSerials->Take(nSerial, strError))
                return true;
            job.Log(strError);
            return false;
        };
        if (!request.image.isEmpty()) {
            job.Log(QCoreApplication::translate("xqprog", "准备烧写%1文件").arg(request.strImage));
            worker.SetSharedImage(request.image);  // one copy for every adapter
        }
        return RunImageWorker(worker, job, true);
    });
    if (request.bSerial)
        ctx.out.Log(QString(), QCoreApplication::translate("xqprog", "下一个序列号: %1").arg(request.pSerials->Next()));
    return nExit;
}

}  // namespace

QList<QCommandLineOption> WriteOptions()
{
    return {kStart,
            {"erase", "What to erase first: whole, file (the image's size, the default) or a byte count.",
             "whole|file|BYTES"},
            {"protect", "Write-protect the flash afterwards."},
            {"serial", "Stamp serial numbers from this one on (decimal or 0x hexadecimal), one per chip; the next "
                       "free one is printed.", "N"},
            {"serial-file", "Take the serial numbers from this counter file (one decimal number, the next free one; "
                            "a missing file starts at --serial or 1), shared by every xqprog on this PC.", "FILE"}};
}

QList<QCommandLineOption> EraseOptions()
{
    return {kStart, {"whole", "Erase the whole chip."}, {"size", "Erase this many bytes.", "BYTES"}};
}

QList<QCommandLineOption> ReadOptions()
{
    return {kStart,
            {"length", "Read this many bytes.", "BYTES"},
            {"all", "Read from the start address to the end of the flash."},
            {"serial", "Also print the stamped serial number."}};
}

int CmdWrite(CliContext& ctx)
{
    ImageJob request;
    if (!ReadStart(ctx, 0, request.nStart))
        return kExitUsage;
    QString strError;
    request.strImage = QFileInfo(ctx.args.first()).absoluteFilePath();
    request.image = ReadImage(request.strImage, strError);
    if (!strError.isEmpty())
        return UsageError(strError);
    const QString strErase = ctx.parser.isSet("erase") ? ctx.parser.value("erase") : QString("file");
    if (!EraseBytes(strErase, request.image.size(), true, request.nEraseBytes))
        return kExitUsage;
    request.bProtect = ctx.parser.isSet("protect");
    request.bSerial = ctx.parser.isSet("serial") || ctx.parser.isSet("serial-file");
    int64_t nFirst = 1;
    if (ctx.parser.isSet("serial")) {
        const QString strSerial = ctx.parser.value("serial");
        if (!ParseNumber(strSerial, nFirst) || nFirst < 0 || nFirst > 0xFFFFFFFFll)
            return UsageError(QString("bad serial number: %1").arg(strSerial));
    }
    if (request.bSerial && !request.pSerials->Init(ctx.parser.value("serial-file"), uint32_t(nFirst), strError))
        return UsageError(strError);
    return RunImageWrite(ctx, request);
}

int CmdErase(CliContext& ctx)
{
    ImageJob request;
    if (!ReadStart(ctx, 0, request.nStart))
        return kExitUsage;
    const bool bWhole = ctx.parser.isSet("whole");
    if (bWhole == ctx.parser.isSet("size"))
        return UsageError("erase needs --whole or --size BYTES");
    if (!EraseBytes(bWhole ? QString("whole") : ctx.parser.value("size"), 0, false, request.nEraseBytes))
        return kExitUsage;
    return RunImageWrite(ctx, request);
}

int CmdRead(CliContext& ctx)
{
    int32_t nStart = 0;
    if (!ReadStart(ctx, 0, nStart))
        return kExitUsage;
    const bool bLength = ctx.parser.isSet("length");
    if (ctx.parser.isSet("all") == bLength)
        return UsageError("read needs --length BYTES or --all");
    int64_t nLength = -1;
    const QString strLength = ctx.parser.value("length");
    if (bLength && (!ParseNumber(strLength, nLength) || nLength <= 0 || nLength > 0x200000))
        return UsageError(QString("bad length: %1").arg(strLength));
    const bool bSerial = ctx.parser.isSet("serial");
    const QString strFile = ctx.args.first();
    const bool bGang = ctx.targets.size() > 1;
    QString strError;
    if (!OutputWritable(strFile, strError))
        return UsageError(strError);
    return RunJobs(ctx, ctx.targets, [=](SpiFlashCtrl& ctrl, Job& job) {
        BaseWorker worker;
        worker.pSpiCtrl = &ctrl;
        worker.bSeqId = bSerial;
        worker.nStartAddr = nStart;
        worker.nReadBytes = int32_t(nLength);
        // In a gang read every adapter writes its own file.
        worker.strSaveFile = bGang ? strFile + "." + QString::fromUtf8(job.Interface()) : strFile;
        const bool bOk = RunImageWorker(worker, job, false);
        if (bOk && bSerial)
            job.Print(QString("serial: %1\n").arg(worker.nSeqId));
        return bOk;
    });
}
