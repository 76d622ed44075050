// xqprog: the command-line programmer. It runs the very same controller and
// worker sequences as the window, prints the same run-log lines on standard
// output and reports by exit code: 0 success, 1 the operation failed on the
// chip or adapter, 2 bad usage or input.
#include "cliprogress.h"

#include <i18n.h>
#include <runlogfile.h>

#include <baseworker.h>
#include <deviceinfo.h>
#include <ratetable.h>
#include <simbench.h>
#include <spiflashctrl.h>
#include <staticlayout.h>
#include <workbookexport.h>
#include <worker.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QThread>

#include <cstdio>
#include <functional>
#include <memory>

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int32_t kStaticDefaultStart = 0x1FF000;

const char* const kUsage =
    "usage: xqprog [--simulate[=DIR]] [-i|--interface NAME]... [-r|--rate LABEL|INDEX] [-q|--quiet] [--lang zh|en]\n"
    "              COMMAND ...\n"
    "  list                                     one interface name per line\n"
    "  info                                     chip model and flash information\n"
    "  write IMAGE [--start HEX] [--erase whole|file|BYTES] [--protect] [--serial N|0xN]\n"
    "  erase [--start HEX] (--whole | --size BYTES)\n"
    "  read FILE [--start HEX] (--length BYTES | --all) [--serial]\n"
    "  reset\n"
    "  static write WORKBOOK [--start HEX] [--total BYTES] [--values default|current] [--set NAME=VALUE]...\n"
    "  static read WORKBOOK [--start HEX] [--total BYTES]\n"
    "  static template FILE\n"
    "-i all (or -i several times) runs write, erase, read, reset and static write on every named adapter at once.\n"
    "Exit codes: 0 success, 1 the operation failed on the chip or adapter, 2 bad usage or input.\n";

QMutex g_outputMutex;
bool g_bQuiet = false;
RunLogFile g_runLog;

// One run-log line, with the window's time stamp (and the interface in gang runs).
void PrintLog(const QString& strPrefix, const QString& strLine)
{
    if (strLine.isEmpty())
        return;
    QMutexLocker lock(&g_outputMutex);
    const QString strStamp = QDateTime::currentDateTime().toString("[yyyy-MM-dd hh:mm:ss.zzz]: ");
    std::fprintf(stdout, "%s%s%s\n", qPrintable(strStamp), qPrintable(strPrefix), strLine.toUtf8().constData());
    std::fflush(stdout);
    g_runLog.Append(strStamp + strPrefix + strLine);
}

int UsageError(const QString& strMessage)
{
    std::fprintf(stderr, "xqprog: %s\n", strMessage.toUtf8().constData());
    return kExitUsage;
}

bool ParseInt(const QString& strText, int nBase, int64_t& nValue)
{
    bool bOk = false;
    QString strDigits = strText.trimmed();
    if (nBase == 16 && strDigits.startsWith("0x", Qt::CaseInsensitive))
        strDigits = strDigits.mid(2);
    nValue = strDigits.toLongLong(&bOk, nBase);
    return bOk;
}

// A decimal number, or hexadecimal with a 0x prefix.
bool ParseNumber(const QString& strText, int64_t& nValue)
{
    return strText.startsWith("0x", Qt::CaseInsensitive) ? ParseInt(strText, 16, nValue)
                                                          : ParseInt(strText, 10, nValue);
}

struct Options {
    bool bSimulate = false;
    QString strBenchDir;
    QStringList interfaces;
    int nRateIndex = xq::kDefaultRateIndex;
    QStringList args;  // the command and its arguments
};

// Takes "--name VALUE" from the argument list.
bool TakeValue(QStringList& args, const QString& strName, QString& strValue, bool& bPresent)
{
    const int n = args.indexOf(strName);
    if (n < 0)
        return true;
    if (n + 1 >= args.size())
        return false;
    bPresent = true;
    strValue = args[n + 1];
    args.removeAt(n);
    args.removeAt(n);
    return true;
}

bool TakeFlag(QStringList& args, const QString& strName)
{
    return args.removeAll(strName) > 0;
}

// One adapter's job: its own controller and its own worker run.
class Job {
public:
    QByteArray strInterface;
    QString strPrefix;
    std::function<bool(SpiFlashCtrl&, Job&)> run;
    bool bOk = false;
    double dSeconds = 0;
    CliProgress* pProgress = nullptr;
    int nRateIndex = xq::kDefaultRateIndex;

    void Log(const QString& strLine) { PrintLog(strPrefix, strLine); }

    void Execute()
    {
        QElapsedTimer timer;
        timer.start();
        SpiFlashCtrl ctrl;
        QList<QByteArray> names;
        ctrl.SelectAdapter(names, 0);
        if (ctrl.Open(strInterface, nRateIndex) != 0) {
            Log(QCoreApplication::translate("xqprog", "接口未打开\n请确认后重试"));
            bOk = false;
        } else {
            bOk = run(ctrl, *this);
            ctrl.Close();
        }
        dSeconds = double(timer.elapsed()) / 1000.0;
        g_runLog.Append(QDateTime::currentDateTime().toString("[yyyy-MM-dd hh:mm:ss.zzz]: ") +
                        QCoreApplication::translate("xqprog", "结果: %1, 接口: %2").arg(bOk ? QCoreApplication::translate("xqprog", "成功") : QCoreApplication::translate("xqprog", "失败"), QString::fromUtf8(strInterface)));
    }
};

void ConnectWorker(QObject* pWorker, Job& job)
{
    if (auto* p = qobject_cast<BaseWorker*>(pWorker)) {
        QObject::connect(p, &BaseWorker::log, p, [&job](const QString& s) { job.Log(s); }, Qt::DirectConnection);
        QObject::connect(p, &BaseWorker::progress, p, [&job](int v) {
            if (job.pProgress)
                job.pProgress->Set(v);
        }, Qt::DirectConnection);
    } else if (auto* w = qobject_cast<Worker*>(pWorker)) {
        QObject::connect(w, &Worker::log, w, [&job](const QString& s) { job.Log(s); }, Qt::DirectConnection);
        QObject::connect(w, &Worker::progress, w, [&job](int v) {
            if (job.pProgress)
                job.pProgress->Set(v);
        }, Qt::DirectConnection);
    }
}

// Runs a BaseWorker slot and returns its result.
bool RunImageWorker(BaseWorker& worker, Job& job, bool bWrite)
{
    bool bOk = false;
    ConnectWorker(&worker, job);
    QObject::connect(&worker, &BaseWorker::finish, &worker, [&bOk](int, bool b) { bOk = b; }, Qt::DirectConnection);
    if (bWrite)
        worker.OnWrite();
    else
        worker.OnRead();
    return bOk;
}

int RunJobs(const Options& opt, const QList<QByteArray>& targets, const std::function<bool(SpiFlashCtrl&, Job&)>& run)
{
    const bool bGang = targets.size() > 1;
    std::vector<std::unique_ptr<Job>> jobs;
    for (const QByteArray& strName : targets) {
        auto pJob = std::make_unique<Job>();
        pJob->strInterface = strName;
        pJob->strPrefix = bGang ? QString("[%1] ").arg(QString::fromUtf8(strName)) : QString();
        pJob->run = run;
        pJob->nRateIndex = opt.nRateIndex;
        jobs.push_back(std::move(pJob));
    }
    CliProgress progress(!g_bQuiet && !bGang);
    if (!bGang) {
        jobs[0]->pProgress = &progress;
        jobs[0]->Execute();
        progress.Done();
        return jobs[0]->bOk ? kExitOk : kExitFailed;
    }
    std::vector<QThread*> threads;
    for (auto& pJob : jobs) {
        Job* p = pJob.get();
        threads.push_back(QThread::create([p] { p->Execute(); }));
        threads.back()->start();
    }
    for (QThread* t : threads) {
        t->wait();
        delete t;
    }
    bool bAll = true;
    std::fprintf(stdout, "\n%-24s %-8s %s\n", "interface", "result", "seconds");
    for (auto& pJob : jobs) {
        std::fprintf(stdout, "%-24s %-8s %.2f\n", pJob->strInterface.constData(), pJob->bOk ? "ok" : "FAILED",
                     pJob->dSeconds);
        bAll = bAll && pJob->bOk;
    }
    return bAll ? kExitOk : kExitFailed;
}

bool ParseStart(QStringList& args, int32_t nDefault, int32_t& nStart, QString& strError)
{
    QString strValue;
    bool bPresent = false;
    if (!TakeValue(args, "--start", strValue, bPresent)) {
        strError = "--start needs a hexadecimal address";
        return false;
    }
    nStart = nDefault;
    if (bPresent) {
        int64_t n = 0;
        if (!ParseInt(strValue, 16, n) || n < 0 || n > 0xFFFFFF) {
            strError = QString("bad start address: %1").arg(strValue);
            return false;
        }
        nStart = int32_t(n);
    }
    return true;
}

QByteArray ReadImage(const QString& strPath, QString& strError)
{
    QFile file(strPath);
    if (!QFileInfo(strPath).isFile() || !file.open(QIODevice::ReadOnly)) {
        strError = QString("cannot read image %1").arg(strPath);
        return QByteArray();
    }
    const QByteArray data = file.readAll();
    if (data.size() != file.size() || data.isEmpty())
        strError = QString("cannot read image %1 whole").arg(strPath);
    return data;
}

bool ExtraArguments(const QStringList& args, QString& strError)
{
    if (args.isEmpty())
        return false;
    strError = QString("unexpected argument: %1").arg(args.first());
    return true;
}

}  // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("xqprog");
    QCoreApplication::setApplicationVersion("3.0.0");

    Options opt;
    QStringList args = app.arguments().mid(1);
    const QString strLang = TakeLanguageArgument(args);
    if (!InstallTranslation(app, strLang))
        return UsageError(QString("unknown language: %1 (zh or en)").arg(strLang));
    while (!args.isEmpty() && args.first().startsWith('-')) {
        const QString strArg = args.takeFirst();
        if (strArg == "-h" || strArg == "--help") {
            std::fputs(kUsage, stdout);
            return kExitOk;
        } else if (strArg == "--simulate") {
            opt.bSimulate = true;
        } else if (strArg.startsWith("--simulate=")) {
            opt.bSimulate = true;
            opt.strBenchDir = strArg.mid(11);
        } else if ((strArg == "-i" || strArg == "--interface") && !args.isEmpty()) {
            opt.interfaces << args.takeFirst();
        } else if ((strArg == "-r" || strArg == "--rate") && !args.isEmpty()) {
            const QString strRate = args.takeFirst();
            bool bOk = false;
            opt.nRateIndex = strRate.toInt(&bOk);
            if (!bOk) {
                opt.nRateIndex = -1;
                for (int i = 0; i < xq::kRateCount; ++i)
                    if (strRate.compare(xq::kRateTable[i].pLabel, Qt::CaseInsensitive) == 0)
                        opt.nRateIndex = i;
            }
            if (opt.nRateIndex < 0 || opt.nRateIndex >= xq::kRateCount)
                return UsageError(QString("unknown rate: %1").arg(strRate));
        } else if (strArg == "-q" || strArg == "--quiet") {
            g_bQuiet = true;
        } else {
            return UsageError(QString("unknown option: %1\n%2").arg(strArg, kUsage));
        }
    }
    if (args.isEmpty())
        return UsageError(QString("no command\n%1").arg(kUsage));
    if (opt.bSimulate)
        sim::UseSimulatedBench(opt.strBenchDir);

    const QString strCommand = args.takeFirst();
    g_runLog.SetEnabled(RunLogFile::EnabledBySettings() && !qEnvironmentVariableIsSet("XQPROG_NO_LOG_FILE"));
    if (strCommand != "list")
        g_runLog.Append(QDateTime::currentDateTime().toString("[yyyy-MM-dd hh:mm:ss.zzz]: ") +
                        QString("xqprog %1").arg(app.arguments().mid(1).join(' ')));
    if (args.contains("--help") || args.contains("-h")) {
        std::fputs(kUsage, stdout);
        return kExitOk;
    }

    // The adapters: the first listed by default, every one with "-i all".
    SpiFlashCtrl lister;
    QList<QByteArray> names;
    const int nFound = lister.SelectAdapter(names, 0);
    if (strCommand == "list") {
        for (const QByteArray& strName : names)
            std::fprintf(stdout, "%s\n", strName.constData());
        return nFound >= 0 ? kExitOk : kExitFailed;
    }
    QList<QByteArray> targets;
    if (opt.interfaces.contains("all")) {
        targets = names;
    } else {
        for (const QString& strName : opt.interfaces)
            targets << strName.toUtf8();
        if (targets.isEmpty() && !names.isEmpty())
            targets << names.first();
    }
    if (targets.isEmpty() && strCommand != "static")
        return (std::fprintf(stderr, "xqprog: no interface found\n"), kExitFailed);
    for (const QByteArray& strName : targets)
        if (!names.contains(strName))
            return UsageError(QString("no such interface: %1").arg(QString::fromUtf8(strName)));
    const QList<QByteArray> firstOnly = targets.mid(0, 1);

    QString strError;
    if (strCommand == "info") {
        if (ExtraArguments(args, strError))
            return UsageError(strError);
        return RunJobs(opt, firstOnly, [](SpiFlashCtrl& ctrl, Job& job) {
            const auto nId = uint32_t(ctrl.ReadChipId());
            FlashInfo info;
            const bool bInfo = ctrl.ReadFlashInfo(&info) == 0;
            std::fprintf(stdout, "MCU: %s\n", ChipModelName(nId, info.nTotalSize, bInfo).toUtf8().constData());
            if (bInfo)
                std::fprintf(stdout, "%s\n", FlashInfoText(info).replace("\n\n", "\n").toUtf8().constData());
            else
                job.Log(QCoreApplication::translate("xqprog", "Flash 信息读取失败"));
            return bInfo;
        });
    }

    if (strCommand == "reset") {
        if (ExtraArguments(args, strError))
            return UsageError(strError);
        return RunJobs(opt, targets, [](SpiFlashCtrl& ctrl, Job& job) {
            const int r = ctrl.SoftReset(false);
            job.Log(r == 0 ? QCoreApplication::translate("xqprog", "复位成功!") : QCoreApplication::translate("xqprog", "复位失败: %1").arg(r));
            return r == 0;
        });
    }

    if (strCommand == "write" || strCommand == "erase") {
        const bool bWrite = strCommand == "write";
        int32_t nStart = 0;
        if (!ParseStart(args, 0, nStart, strError))
            return UsageError(strError);
        QString strErase = bWrite ? "file" : QString();
        QString strSerial;
        QString strSize;
        bool bEraseGiven = false, bSerial = false, bSize = false;
        if (!TakeValue(args, "--erase", strErase, bEraseGiven) || !TakeValue(args, "--serial", strSerial, bSerial) ||
            !TakeValue(args, "--size", strSize, bSize))
            return UsageError("an option is missing its value");
        const bool bProtect = TakeFlag(args, "--protect");
        const bool bWhole = TakeFlag(args, "--whole");
        QByteArray image;
        QString strImage;
        if (bWrite) {
            if (args.isEmpty())
                return UsageError("write needs an IMAGE");
            strImage = QFileInfo(args.takeFirst()).absoluteFilePath();
            image = ReadImage(strImage, strError);
            if (!strError.isEmpty())
                return UsageError(strError);
        } else {
            if (bWhole == bSize)
                return UsageError("erase needs --whole or --size BYTES");
            strErase = bWhole ? "whole" : strSize;
        }
        if (ExtraArguments(args, strError))
            return UsageError(strError);
        int32_t nEraseBytes = 0;
        int64_t nValue = 0;
        if (strErase == "whole")
            nEraseBytes = -1;
        else if (strErase == "file" && bWrite)
            nEraseBytes = image.size();
        else if (ParseNumber(strErase, nValue) && nValue > 0 && nValue <= 0x200000 && nValue >= image.size())
            nEraseBytes = int32_t(nValue);
        else
            return UsageError(QString("bad erase size: %1").arg(strErase));
        uint32_t nSerial = 0;
        if (bSerial) {
            if (!ParseNumber(strSerial, nValue) || nValue < 0 || nValue > 0xFFFFFFFFll)
                return UsageError(QString("bad serial number: %1").arg(strSerial));
            nSerial = uint32_t(nValue);
        }
        return RunJobs(opt, targets, [=](SpiFlashCtrl& ctrl, Job& job) {
            BaseWorker worker;
            worker.pSpiCtrl = &ctrl;
            worker.bProtect = bProtect;
            worker.bSeqId = bSerial;
            worker.nSeqId = nSerial;
            worker.nStartAddr = nStart;
            worker.nEraseBytes = nEraseBytes;
            if (!image.isEmpty()) {
                job.Log(QCoreApplication::translate("xqprog", "准备烧写%1文件").arg(strImage));
                auto* pData = new uint8_t[size_t(image.size())];
                memcpy(pData, image.constData(), size_t(image.size()));
                worker.SetImage(pData, image.size());
            }
            const bool bOk = RunImageWorker(worker, job, true);
            if (bOk && bSerial)
                job.Log(QCoreApplication::translate("xqprog", "下一个序列号: %1").arg(worker.nSeqId));
            return bOk;
        });
    }

    if (strCommand == "read") {
        int32_t nStart = 0;
        if (!ParseStart(args, 0, nStart, strError))
            return UsageError(strError);
        QString strLength;
        bool bLength = false;
        if (!TakeValue(args, "--length", strLength, bLength))
            return UsageError("--length needs a byte count");
        const bool bAll = TakeFlag(args, "--all");
        const bool bSerial = TakeFlag(args, "--serial");
        if (args.isEmpty())
            return UsageError("read needs a FILE");
        const QString strFile = args.takeFirst();
        if (ExtraArguments(args, strError))
            return UsageError(strError);
        int64_t nLength = -1;
        if (bAll == bLength)
            return UsageError("read needs --length BYTES or --all");
        if (bLength && (!ParseNumber(strLength, nLength) || nLength <= 0 || nLength > 0x200000))
            return UsageError(QString("bad length: %1").arg(strLength));
        return RunJobs(opt, targets, [=](SpiFlashCtrl& ctrl, Job& job) {
            BaseWorker worker;
            worker.pSpiCtrl = &ctrl;
            worker.bSeqId = bSerial;
            worker.nStartAddr = nStart;
            worker.nReadBytes = int32_t(nLength);
            // In a gang read every adapter writes its own file.
            worker.strSaveFile = targets.size() > 1 ? strFile + "." + QString::fromUtf8(job.strInterface) : strFile;
            const bool bOk = RunImageWorker(worker, job, false);
            if (bOk && bSerial)
                std::fprintf(stdout, "serial: %u\n", worker.nSeqId);
            return bOk;
        });
    }

    if (strCommand == "static") {
        if (args.isEmpty())
            return UsageError("static needs write, read or template");
        const QString strSub = args.takeFirst();
        if (args.isEmpty())
            return UsageError(QString("static %1 needs a file").arg(strSub));
        if (strSub == "template") {
            const QString strFile = args.takeFirst();
            if (ExtraArguments(args, strError))
                return UsageError(strError);
            if (!ExportTemplate(strFile, strError))
                return (std::fprintf(stderr, "xqprog: %s\n", qPrintable(strError)), kExitFailed);
            return kExitOk;
        }
        if (strSub != "write" && strSub != "read")
            return UsageError(QString("unknown static command: %1").arg(strSub));
        if (targets.isEmpty())
            return (std::fprintf(stderr, "xqprog: no interface found\n"), kExitFailed);
        auto pLayout = std::make_shared<StaticLayout>();
        const QString strBook = args.takeFirst();
        const int rc = pLayout->LoadXlsx(strBook);
        if (rc != 0)
            return UsageError(QCoreApplication::translate("xqprog", "文件:%1, 错误码:%2 %3").arg(strBook).arg(rc).arg(pLayout->strError));
        int32_t nStart = pLayout->config.start_address != 0xFFFFFFFF ? int32_t(pLayout->config.start_address & 0xFFFFFF)
                                                                     : kStaticDefaultStart;
        if (!ParseStart(args, nStart, nStart, strError))
            return UsageError(strError);
        QString strTotal, strValues = "default";
        bool bTotal = false, bValues = false;
        if (!TakeValue(args, "--total", strTotal, bTotal) || !TakeValue(args, "--values", strValues, bValues))
            return UsageError("an option is missing its value");
        QStringList sets;
        for (int n = args.indexOf("--set"); n >= 0; n = args.indexOf("--set")) {
            if (n + 1 >= args.size())
                return UsageError("--set needs NAME=VALUE");
            sets << args[n + 1];
            args.removeAt(n);
            args.removeAt(n);
        }
        if (ExtraArguments(args, strError))
            return UsageError(strError);
        int64_t nTotal = (pLayout->nUsedLength + 23) & ~3;
        if (bTotal && !ParseNumber(strTotal, nTotal))
            return UsageError(QString("bad total size: %1").arg(strTotal));
        if (nTotal < pLayout->nReadOnlyLength || nTotal < pLayout->nUsedLength || nTotal <= kStaticHeaderSize ||
            nTotal > 262143)
            return UsageError(QCoreApplication::translate("xqprog", "\"总大小\"设置错误，请重新设置"));

        if (strSub == "read") {
            const bool bGangless = targets.size() == 1;
            if (!bGangless)
                return UsageError("static read runs on one interface");
            return RunJobs(opt, firstOnly, [=](SpiFlashCtrl& ctrl, Job& job) {
                Worker worker;
                worker.pSpiCtrl = &ctrl;
                worker.nStartAddr = nStart;
                worker.nTotalSize = int(nTotal);
                worker.nNotFoundPauseMs = 0;
                ConnectWorker(&worker, job);
                bool bOk = false;
                bool bMismatch = false;
                QObject::connect(&worker, &Worker::send, &worker, [&](const static_data_hdr* p) {
                    bMismatch = pLayout->SetStaticData(p) == 1;
                    pLayout->ShowDeviceValues();
                }, Qt::DirectConnection);
                QObject::connect(&worker, &Worker::finish, &worker, [&bOk](int, bool b) { bOk = b; }, Qt::DirectConnection);
                worker.OnRead();
                if (bMismatch) {
                    job.Log(QCoreApplication::translate("xqprog", "显示数据异常，请查看导入配置是否正确"));
                    return false;
                }
                for (const xlsx_sheet& sheet : pLayout->sheets)
                    for (const xlsx_item& item : sheet.items) {
                        const int nZero = item.currentText.indexOf('\0');
                        const QByteArray value = nZero < 0 ? item.currentText : item.currentText.left(nZero);
                        std::fprintf(stdout, "%s\t%s\t%s\t%s\n", sheet.strName.toUtf8().constData(),
                                     item.strName.toUtf8().constData(), item.cells.strDisplayName.toUtf8().constData(),
                                     value.constData());
                    }
                return bOk;
            });
        }

        if (strValues != "default" && strValues != "current")
            return UsageError(QString("bad --values: %1").arg(strValues));
        const bool bCurrent = strValues == "current";
        for (const QString& strSet : sets) {
            const int nEq = strSet.indexOf('=');
            xlsx_item* pItem = nEq > 0 ? pLayout->FindItem(strSet.left(nEq)) : nullptr;
            if (!pItem)
                return UsageError(QString("no item named %1").arg(strSet.left(nEq)));
            pLayout->TakeValue(*pItem, strSet.mid(nEq + 1));
        }
        QByteArray record = pLayout->GetStaticData(bCurrent);
        if (record.isEmpty())
            return UsageError(QCoreApplication::translate("xqprog", "写入参数错误"));
        reinterpret_cast<static_data_hdr*>(record.data())->nTotalSize = uint32_t(nTotal);
        return RunJobs(opt, targets, [=](SpiFlashCtrl& ctrl, Job& job) {
            Worker worker;
            worker.pSpiCtrl = &ctrl;
            worker.nStartAddr = nStart;
            worker.nTotalSize = int(nTotal);
            worker.bCurrent = bCurrent ? 1 : 0;
            worker.SetRecord(record);
            ConnectWorker(&worker, job);
            bool bOk = false;
            QObject::connect(&worker, &Worker::finish, &worker, [&bOk](int, bool b) { bOk = b; }, Qt::DirectConnection);
            worker.OnWrite();
            return bOk;
        });
    }

    return UsageError(QString("unknown command: %1\n%2").arg(strCommand, kUsage));
}
