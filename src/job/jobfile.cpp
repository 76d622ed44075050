#include "jobfile.h"

#include "serialcounter.h"

#include <imageops.h>
#include <flashrange.h>
#include <flashrules.h>
#include <ratetable.h>
#include <staticarea.h>
#include <staticlayout.h>
#include <textrules.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QSettings>
#include <QStringList>

namespace {

// Every key a job file may hold: a misspelt key would otherwise be dropped
// unseen and the chip get a default nobody chose.
const QSet<QString>& KnownKeys()
{
    static const QSet<QString> keys{
        "job/name",        "job/description", "job/rate",         "image/file",     "image/sha256",
        "image/start",     "image/erase",     "image/erase_size", "image/protect",  "serial/enabled",
        "serial/counter_file", "serial/first", "static/enabled",  "static/workbook", "static/sha256",
        "static/start",    "static/total",    "static/values",    "verify/enabled",
    };
    return keys;
}

// A text value; a value with a comma, which the INI reader splits, whole again.
QString Text(const QSettings& settings, const QString& strKey)
{
    const QVariant value = settings.value(strKey);
    if (value.type() == QVariant::StringList)
        return value.toStringList().join(", ");
    return value.toString().trimmed();
}

// A true/false value; false with the refusal for anything else.
bool Flag(const QSettings& settings, const QString& strKey, bool& bValue, QString& strError)
{
    const QString strText = Text(settings, strKey);
    bValue = strText == "true";
    if (strText.isEmpty() || strText == "true" || strText == "false")
        return true;
    strError = JobRules::tr("任务文件的%1必须是true或false: %2").arg(strKey, strText);
    return false;
}

QString FlagText(bool b)
{
    return b ? "true" : "false";
}

}  // namespace

bool JobRules::HashFile(const QString& strPath, QByteArray& sha256, QString& strError)
{
    QFile file(strPath);
    if (!QFileInfo(strPath).isFile() || !file.open(QIODevice::ReadOnly)) {
        strError = tr("文件无法读取: %1").arg(strPath);
        return false;
    }
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file) || file.error() != QFileDevice::NoError) {
        strError = tr("文件无法读取: %1").arg(strPath);
        return false;
    }
    sha256 = hash.result().toHex();
    return true;
}

QString JobRules::Resolve(const QString& strJobPath, const QString& strStored)
{
    if (strStored.isEmpty())
        return QString();
    return QDir::cleanPath(QFileInfo(strJobPath).absoluteDir().absoluteFilePath(strStored));
}

QString JobRules::StorePath(const QString& strJobPath, const QString& strFile)
{
    const QString strAbsolute = QFileInfo(strFile).absoluteFilePath();
    const QString strRelative = QFileInfo(strJobPath).absoluteDir().relativeFilePath(strAbsolute);
    return strRelative.startsWith("../") ? strAbsolute : strRelative;
}

int JobRules::RateIndex(const QString& strRate)
{
    return xq::RateIndexOf(strRate.toUtf8().constData());
}

bool JobRules::Read(const QString& strPath, JobSpec& spec, QByteArray& jobSha256, QString& strError)
{
    if (!HashFile(strPath, jobSha256, strError))
        return false;
    QSettings settings(strPath, QSettings::IniFormat);
    settings.setIniCodec("UTF-8");
    if (settings.status() != QSettings::NoError) {
        strError = tr("任务文件格式错误: %1").arg(strPath);
        return false;
    }
    for (const QString& strKey : settings.allKeys())
        if (!KnownKeys().contains(strKey)) {
            strError = tr("任务文件%1中有未知的项: %2").arg(strPath, strKey);
            return false;
        }
    spec = JobSpec();
    spec.strName = Text(settings, "job/name");
    spec.strDescription = Text(settings, "job/description");
    spec.strRate = Text(settings, "job/rate");
    spec.strImage = Text(settings, "image/file");
    spec.imageSha256 = Text(settings, "image/sha256").toLower().toLatin1();
    if (settings.contains("image/start"))
        spec.strStart = Text(settings, "image/start");
    if (settings.contains("image/erase"))
        spec.strErase = Text(settings, "image/erase");
    spec.strEraseSize = Text(settings, "image/erase_size");
    spec.strCounterFile = Text(settings, "serial/counter_file");
    if (settings.contains("serial/first"))
        spec.strFirstSerial = Text(settings, "serial/first");
    spec.strWorkbook = Text(settings, "static/workbook");
    spec.workbookSha256 = Text(settings, "static/sha256").toLower().toLatin1();
    spec.strStaticStart = Text(settings, "static/start");
    spec.strStaticTotal = Text(settings, "static/total");
    const QString strValues = Text(settings, "static/values");
    if (!strValues.isEmpty() && strValues != "default" && strValues != "current") {
        strError = tr("任务文件的static/values必须是default或current: %1").arg(strValues);
        return false;
    }
    spec.bStaticCurrent = strValues == "current";
    return Flag(settings, "image/protect", spec.bProtect, strError) &&
           Flag(settings, "serial/enabled", spec.bSerial, strError) &&
           Flag(settings, "static/enabled", spec.bStatic, strError) &&
           Flag(settings, "verify/enabled", spec.bVerify, strError);
}

bool JobRules::Write(const QString& strPath, const JobSpec& spec, QString& strError)
{
    {
        QSettings settings(strPath, QSettings::IniFormat);
        settings.setIniCodec("UTF-8");
        settings.clear();
        settings.setValue("job/name", spec.strName);
        settings.setValue("job/description", spec.strDescription);
        if (!spec.strRate.isEmpty())
            settings.setValue("job/rate", spec.strRate);
        settings.setValue("image/file", spec.strImage);
        settings.setValue("image/sha256", QString::fromLatin1(spec.imageSha256));
        settings.setValue("image/start", spec.strStart);
        settings.setValue("image/erase", spec.strErase);
        if (spec.strErase == "size")
            settings.setValue("image/erase_size", spec.strEraseSize);
        settings.setValue("image/protect", FlagText(spec.bProtect));
        settings.setValue("serial/enabled", FlagText(spec.bSerial));
        if (spec.bSerial) {
            settings.setValue("serial/counter_file", spec.strCounterFile);
            settings.setValue("serial/first", spec.strFirstSerial);
        }
        settings.setValue("static/enabled", FlagText(spec.bStatic));
        if (spec.bStatic) {
            settings.setValue("static/workbook", spec.strWorkbook);
            settings.setValue("static/sha256", QString::fromLatin1(spec.workbookSha256));
            if (!spec.strStaticStart.isEmpty())
                settings.setValue("static/start", spec.strStaticStart);
            if (!spec.strStaticTotal.isEmpty())
                settings.setValue("static/total", spec.strStaticTotal);
            settings.setValue("static/values", spec.bStaticCurrent ? "current" : "default");
        }
        settings.setValue("verify/enabled", FlagText(spec.bVerify));
        settings.sync();
        if (settings.status() == QSettings::NoError)
            return true;
    }
    strError = tr("任务文件无法写入: %1").arg(strPath);
    return false;
}

bool JobRules::Complete(const QString& strPath, JobSpec& spec, QString& strError)
{
    if (!spec.strImage.isEmpty() && !HashFile(Resolve(strPath, spec.strImage), spec.imageSha256, strError))
        return false;
    if (spec.bStatic && !HashFile(Resolve(strPath, spec.strWorkbook), spec.workbookSha256, strError))
        return false;
    JobPlan plan;
    return Check(strPath, spec, plan, strError);
}

bool JobRules::Prepare(const QString& strPath, JobPlan& plan, QString& strError)
{
    JobSpec spec;
    QByteArray jobSha256;
    if (!Read(strPath, spec, jobSha256, strError) || !Check(strPath, spec, plan, strError))
        return false;
    plan.jobSha256 = jobSha256;
    return true;
}

QString JobRules::Changed(const QString& strFile, const QByteArray& expected, const QByteArray& actual)
{
    return JobRules::tr("文件已改变，与任务不符: %1\n任务中的SHA-256: %2\n文件的SHA-256: %3")
        .arg(strFile, QString::fromLatin1(expected), QString::fromLatin1(actual));
}

bool JobRules::Check(const QString& strPath, const JobSpec& spec, JobPlan& plan, QString& strError)
{
    plan = JobPlan();
    plan.spec = spec;
    plan.strPath = QFileInfo(strPath).absoluteFilePath();
    if (spec.strName.isEmpty())
        return (strError = tr("任务没有名称")), false;
    plan.nRateIndex = spec.strRate.isEmpty() ? xq::kDefaultRateIndex : RateIndex(spec.strRate);
    if (plan.nRateIndex < 0)
        return (strError = tr("任务的速率无效: %1").arg(spec.strRate)), false;

    // The image step: the file as hashed, the start, the erase, the range.
    if (spec.strImage.isEmpty())
        return (strError = tr("任务没有烧写文件")), false;
    ImageWriteRequest& write = plan.write;
    write.strImage = Resolve(strPath, spec.strImage);
    strError = ImageRules::ReadImage(write.strImage, write.image);
    if (!strError.isEmpty())
        return false;
    // The bytes that will be written are the ones hashed.
    const QByteArray imageSha256 = QCryptographicHash::hash(write.image, QCryptographicHash::Sha256).toHex();
    if (imageSha256 != spec.imageSha256)
        return (strError = Changed(write.strImage, spec.imageSha256, imageSha256)), false;
    strError = ImageRules::StartAddress(spec.strStart, write.nStart);
    if (!strError.isEmpty())
        return (strError = QString("%1: %2").arg(strError, spec.strStart)), false;
    const int nMode = spec.strErase == "size" ? kEraseBySize : ImageRules::EraseMode(spec.strErase);
    if (nMode == kEraseBySize && spec.strErase != "size")
        return (strError = tr("任务的擦除方式无效: %1 (whole, file, smart, size)").arg(spec.strErase)), false;
    strError = ImageRules::EraseCount(nMode, write.image.size(), spec.strEraseSize, write.nEraseBytes);
    if (!strError.isEmpty())
        return (strError = QString("%1: %2").arg(strError, spec.strEraseSize)), false;
    write.bSmart = nMode == kEraseSmart;
    write.bProtect = spec.bProtect;
    const int64_t nSpan = qMax<int64_t>(write.image.size(), write.nEraseBytes);
    if (!xq::FlashRangeFits(write.nStart, nSpan, xq::kMaxFlashSize))
        return (strError = xq::FlashRangeRefusal(write.nStart, nSpan, xq::kMaxFlashSize)), false;

    // Serial numbers: from a counter file that can be read and replaced.
    write.bSerial = spec.bSerial;
    if (spec.bSerial) {
        if (spec.strCounterFile.isEmpty())
            return (strError = tr("任务的序列号需要计数文件")), false;
        plan.strCounterFile = Resolve(strPath, spec.strCounterFile);
        if (!ImageRules::ParseSerial(spec.strFirstSerial, plan.nFirstSerial))
            return (strError = tr("任务的起始序列号无效: %1").arg(spec.strFirstSerial)), false;
        const QFileInfo counter(plan.strCounterFile);
        const QFileInfo dir(counter.absolutePath());
        if (!dir.isDir() || !dir.isWritable() || counter.isDir() || (counter.exists() && !counter.isWritable()))
            return (strError = tr("序列号计数文件不可写: %1").arg(plan.strCounterFile)), false;
        SerialCounter serials;
        if (!serials.Init(plan.strCounterFile, plan.nFirstSerial, strError))
            return false;
    }

    // The static data step: the workbook as hashed, its record, the area.
    plan.bStatic = spec.bStatic;
    if (spec.bStatic) {
        const QString strBook = Resolve(strPath, spec.strWorkbook);
        if (spec.strWorkbook.isEmpty())
            return (strError = tr("任务的静态数据步骤没有工作簿")), false;
        QByteArray bookSha256;
        if (!HashFile(strBook, bookSha256, strError))
            return false;
        if (bookSha256 != spec.workbookSha256)
            return (strError = Changed(strBook, spec.workbookSha256, bookSha256)), false;
        StaticLayout layout;
        if (layout.LoadXlsx(strBook) != xq::kOk)
            return (strError = tr("工作簿无法读取: %1 %2").arg(strBook, layout.strError)), false;
        layout.strWorkbook = strBook;
        int32_t nStart = 0;
        int32_t nTotal = 0;
        strError = StaticArea(layout, spec.strStaticStart, spec.strStaticTotal, nStart, nTotal);
        if (strError.isEmpty())
            strError = StaticWriteOf(layout, spec.bStaticCurrent, nStart, nTotal, plan.staticWrite);
        if (!strError.isEmpty())
            return false;
        if (!xq::FlashRangeFits(nStart, nTotal, xq::kMaxFlashSize))
            return (strError = xq::FlashRangeRefusal(nStart, nTotal, xq::kMaxFlashSize)), false;
    }
    plan.bVerify = spec.bVerify;
    if (spec.bVerify) {
        strError = ImageOperation::VerifyRefusal(write.image);
        if (!strError.isEmpty())
            return false;
        plan.verify.image = write.image;
        plan.verify.strImage = write.strImage;
        plan.verify.nStart = write.nStart;
    }
    strError.clear();
    return true;
}

QString JobRules::Describe(const JobSpec& spec, const QByteArray& jobSha256)
{
    QStringList lines{
        QString("name: %1").arg(spec.strName),
        QString("description: %1").arg(spec.strDescription),
        QString("job sha256: %1").arg(QString::fromLatin1(jobSha256)),
        QString("rate: %1").arg(spec.strRate.isEmpty() ? QString(xq::kRateTable[xq::kDefaultRateIndex].pLabel)
                                                       : spec.strRate),
        QString("image: %1").arg(spec.strImage),
        QString("image sha256: %1").arg(QString::fromLatin1(spec.imageSha256)),
        QString("start: %1").arg(spec.strStart),
        QString("erase: %1").arg(spec.strErase == "size" ? "size " + spec.strEraseSize : spec.strErase),
        QString("protect: %1").arg(spec.bProtect ? "yes" : "no"),
        QString("serial: %1").arg(spec.bSerial ? QString("counter file %1, first %2")
                                                     .arg(spec.strCounterFile, spec.strFirstSerial)
                                               : QString("off")),
    };
    if (spec.bStatic) {
        lines << QString("static workbook: %1").arg(spec.strWorkbook)
              << QString("static sha256: %1").arg(QString::fromLatin1(spec.workbookSha256))
              << QString("static start: %1").arg(spec.strStaticStart.isEmpty() ? "the workbook's" : spec.strStaticStart)
              << QString("static total: %1").arg(spec.strStaticTotal.isEmpty() ? "the layout's" : spec.strStaticTotal)
              << QString("static values: %1").arg(spec.bStaticCurrent ? "current" : "default");
    } else {
        lines << "static: off";
    }
    lines << QString("verify: %1").arg(spec.bVerify ? "yes" : "no");
    return lines.join('\n') + '\n';
}
