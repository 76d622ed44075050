#include "jobfile.h"

#include "serialcounter.h"

#include <imageops.h>
#include <linedb.h>
#include <flashrange.h>
#include <flashrules.h>
#include <outputfile.h>
#include <staticwrite.h>
#include <ratetable.h>
#include <staticarea.h>
#include <staticlayout.h>
#include <textrules.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QStringList>

#include <cctype>

namespace {

// Every key a job file may hold: a misspelt key would otherwise be dropped
// unseen and the chip get a default nobody chose.
const QSet<QString>& KnownKeys()
{
    static const QSet<QString> keys{
        "job/format",      "job/name",        "job/description",  "job/rate",       "job/batch_programs",
        "image/file",      "image/sha256",    "image/start",      "image/erase",    "image/erase_size",
        "image/protect",   "serial/enabled",  "serial/counter_file", "serial/first", "serial/check", "static/enabled",
        "static/workbook", "static/sha256",   "static/start",     "static/total",   "static/values",
        "verify/enabled",  "line/db",         "line/serial_counter",
    };
    return keys;
}

const QByteArray kSealSection = "[checksum]\n";
const QByteArray kSealKey = "sha256=";
constexpr qint64 kMaxJobBytes = 64 * 1024;
constexpr qint64 kMaxWorkbookBytes = 64 * 1024 * 1024;

std::function<void(const QString&)>& ReadHook()
{
    static std::function<void(const QString&)> hook;
    return hook;
}

// A file read whole, once, up to nMax bytes; false with the reason.
bool ReadWhole(const QString& strPath, qint64 nMax, QByteArray& data, QString& strError)
{
    QFile file(strPath);
    if (!QFileInfo(strPath).isFile() || !file.open(QIODevice::ReadOnly)) {
        strError = JobRules::tr("文件无法读取: %1").arg(strPath);
        return false;
    }
    data = file.read(nMax + 1);
    if (file.error() != QFileDevice::NoError || data.size() > nMax || !file.atEnd()) {
        strError = data.size() > nMax ? JobRules::tr("文件太大: %1").arg(strPath)
                                      : JobRules::tr("文件无法读取: %1").arg(strPath);
        return false;
    }
    if (ReadHook())
        ReadHook()(strPath);
    return true;
}

QByteArray Sha256Hex(const QByteArray& data)
{
    return QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex();
}

// A value as the INI text holds it: "quoted" or bare, with backslash
// escapes (\\ \" \n \r \t \xHHHH ...), a leading @@ for @. The older
// format's files were written this way too. False when it does not read.
bool Unescape(const QString& strRaw, QString& strValue)
{
    QString str = strRaw.trimmed();
    const bool bQuoted = str.startsWith('"');
    if (bQuoted) {
        if (str.size() < 2 || !str.endsWith('"'))
            return false;
        str = str.mid(1, str.size() - 2);
    }
    strValue.clear();
    for (int i = 0; i < str.size(); ++i) {
        const QChar c = str[i];
        if (c == '"' && bQuoted)
            return false;  // a quote inside must be escaped
        if (c != '\\') {
            strValue += c;
            continue;
        }
        if (++i >= str.size())
            return false;
        const QChar e = str[i];
        static const QString kFrom = "abfnrtv'\"?\\";
        static const QString kTo = QString::fromLatin1("\a\b\f\n\r\t\v'\"?\\");
        if (kFrom.contains(e)) {
            strValue += kTo[kFrom.indexOf(e)];
        } else if (e == 'x') {
            uint nCode = 0;
            int nDigits = 0;
            while (i + 1 < str.size() && isxdigit(str[i + 1].toLatin1()) && nDigits < 4) {
                nCode = nCode * 16 + uint(QString(str[++i]).toUInt(nullptr, 16));
                ++nDigits;
            }
            if (nDigits == 0)
                return false;
            strValue += QChar(ushort(nCode));
        } else {
            return false;
        }
    }
    if (strValue.startsWith("@@"))
        strValue.remove(0, 1);
    return true;
}

// A value as written: bare when plain, else quoted with escapes.
QString Escape(const QString& strValue)
{
    bool bPlain = strValue == strValue.trimmed() && !strValue.startsWith('@');
    for (const QChar c : strValue)
        bPlain = bPlain && c.unicode() >= 0x20 && c.unicode() != 0x7F && !QString("\"\\,;").contains(c);
    if (bPlain)
        return strValue;
    QString str = strValue.startsWith('@') ? "@" + strValue : strValue;
    QString strOut = "\"";
    bool bHexBefore = false;  // \x reads up to four hex digits: a digit after one is escaped too
    for (const QChar c : str) {
        const ushort n = c.unicode();
        const bool bHex = (n < 0x20 && n != '\n' && n != '\r' && n != '\t') || n == 0x7F ||
                          (bHexBefore && isxdigit(c.toLatin1()) && n < 0x80);
        if (c == '"' || c == '\\')
            strOut += QString('\\') + c;
        else if (n == '\n')
            strOut += "\\n";
        else if (n == '\r')
            strOut += "\\r";
        else if (n == '\t')
            strOut += "\\t";
        else if (bHex)
            strOut += QString("\\x%1").arg(n, 4, 16, QChar('0'));
        else
            strOut += c;
        bHexBefore = bHex;
    }
    return strOut + '"';
}

// The job file's lines as "section/key" -> value; false with the reason
// for a line that is neither a section, a key nor blank, a key outside a
// section, and a section or key given twice.
bool Tokenize(const QByteArray& body, const QString& strPath, QHash<QString, QString>& values, QString& strError)
{
    const QString strText = QString::fromUtf8(body);
    if (strText.contains(QChar::ReplacementCharacter) || strText.contains(QChar(0)) || strText.toUtf8() != body) {
        strError = JobRules::tr("任务文件不是UTF-8文本: %1").arg(strPath);
        return false;
    }
    QSet<QString> sections;
    QString strSection;
    const QStringList lines = strText.split('\n');
    for (int n = 0; n < lines.size(); ++n) {
        QString strLine = lines[n];
        if (strLine.endsWith('\r'))
            strLine.chop(1);
        const QString strTrimmed = strLine.trimmed();
        auto refuse = [&](const QString& strWhy) {
            strError = JobRules::tr("任务文件%1第%2行%3: %4").arg(strPath).arg(n + 1).arg(strWhy, strTrimmed);
            return false;
        };
        if (strTrimmed.isEmpty())
            continue;
        if (strTrimmed.startsWith('[')) {
            if (!strTrimmed.endsWith(']') || strTrimmed.size() < 3)
                return refuse(JobRules::tr("无法识别"));
            strSection = strTrimmed.mid(1, strTrimmed.size() - 2).trimmed();
            if (sections.contains(strSection))
                return refuse(JobRules::tr("的节重复"));
            sections.insert(strSection);
            continue;
        }
        const int nEquals = strLine.indexOf('=');
        if (nEquals <= 0 || strLine.left(nEquals).trimmed().isEmpty())
            return refuse(JobRules::tr("无法识别"));
        if (strSection.isEmpty())
            return refuse(JobRules::tr("不在任何节中"));
        const QString strKey = strSection + '/' + strLine.left(nEquals).trimmed();
        if (values.contains(strKey))
            return refuse(JobRules::tr("的项重复"));
        QString strValue;
        if (!Unescape(strLine.mid(nEquals + 1), strValue))
            return refuse(JobRules::tr("的值无法识别"));
        values.insert(strKey, strValue);
    }
    for (const QString& strName : sections) {
        bool bKnown = false;
        for (const QString& strKey : KnownKeys())
            bKnown = bKnown || strKey.startsWith(strName + '/');
        if (!bKnown) {
            strError = JobRules::tr("任务文件%1中有未知的节: %2").arg(strPath, strName);
            return false;
        }
    }
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        if (!KnownKeys().contains(it.key())) {
            strError = JobRules::tr("任务文件%1中有未知的项: %2").arg(strPath, it.key());
            return false;
        }
    return true;
}

// A true/false value; a missing key is false, anything else is refused.
bool Flag(const QHash<QString, QString>& values, const QString& strKey, bool& bValue, QString& strError)
{
    const QString strText = values.value(strKey, "false");
    bValue = strText == "true";
    if (strText == "true" || strText == "false")
        return true;
    strError = JobRules::tr("任务文件的%1必须是true或false: %2").arg(strKey, strText);
    return false;
}

QString FlagText(bool b)
{
    return b ? "true" : "false";
}

QString Hex(int64_t n)
{
    return QString::number(n, 16).toUpper().rightJustified(6, QChar('0'));
}

}  // namespace

void JobRules::SetReadHook(std::function<void(const QString&)> hook)
{
    ReadHook() = std::move(hook);
}

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
    for (int n = 0; n < xq::kRateCount; ++n)
        if (strRate.compare(QString::fromLatin1(xq::kRateTable[n].pLabel), Qt::CaseInsensitive) == 0)
            return n;
    return -1;
}

bool JobRules::Read(const QString& strPath, JobSpec& spec, QByteArray& jobSha256, QString& strError, bool bOlderFormat)
{
    QByteArray bytes;
    if (!ReadWhole(strPath, kMaxJobBytes, bytes, strError))
        return false;
    jobSha256 = Sha256Hex(bytes);
    return Parse(bytes, strPath, spec, strError, bOlderFormat);
}

bool JobRules::Parse(const QByteArray& bytes, const QString& strPath, JobSpec& spec, QString& strError,
                     bool bOlderFormat)
{
    // The seal: the last section, one checksum of every byte before it.
    int nSeal = bytes.startsWith(kSealSection) ? 0 : bytes.lastIndexOf("\n" + kSealSection);
    if (nSeal > 0)
        ++nSeal;
    const bool bSealed = nSeal >= 0;
    const QByteArray body = bSealed ? bytes.left(nSeal) : bytes;
    if (bSealed) {
        const QByteArray seal = bytes.mid(nSeal + kSealSection.size());
        const QByteArray checksum = seal.mid(kSealKey.size(), 64);
        if (!seal.startsWith(kSealKey) || seal.size() != kSealKey.size() + 65 || !seal.endsWith('\n') ||
            checksum != checksum.toLower() || QByteArray::fromHex(checksum).toHex() != checksum) {
            strError = tr("任务文件不完整或已损坏 (校验和无法读取): %1").arg(strPath);
            return false;
        }
        if (Sha256Hex(body) != checksum) {
            strError = tr("任务文件不完整或已被改动 (校验和不符): %1").arg(strPath);
            return false;
        }
    }
    QHash<QString, QString> values;
    if (!Tokenize(body, strPath, values, strError))
        return false;
    if (!values.contains("job/format") || !bSealed) {
        if (values.contains("job/format") || bSealed || !bOlderFormat) {
            strError = values.contains("job/format")
                           ? tr("任务文件不完整 (没有校验和): %1").arg(strPath)
                           : tr("任务文件没有格式版本和校验和: %1\n用 xqprog job create 新任务.xqjob --from %1 重写后再用")
                                 .arg(strPath);
            return false;
        }
    } else if (values.value("job/format") != QString::number(kFormat)) {
        strError = tr("任务文件的格式版本不支持: %1 (支持 %2)").arg(values.value("job/format")).arg(kFormat);
        return false;
    }
    spec = JobSpec();
    spec.strName = values.value("job/name");
    spec.strDescription = values.value("job/description");
    spec.strRate = values.value("job/rate");
    if (values.contains("job/rate") && RateIndex(spec.strRate) < 0) {
        QStringList labels;
        for (const xq::RateEntry& rate : xq::kRateTable)
            labels << rate.pLabel;
        strError = tr("任务的速率无效: %1 (%2)").arg(spec.strRate, labels.join(", "));
        return false;
    }
    spec.strImage = values.value("image/file");
    spec.imageSha256 = values.value("image/sha256").toLower().toLatin1();
    spec.strStart = values.value("image/start", spec.strStart);
    spec.strErase = values.value("image/erase", spec.strErase);
    spec.strEraseSize = values.value("image/erase_size");
    spec.strCounterFile = values.value("serial/counter_file");
    spec.strFirstSerial = values.value("serial/first", spec.strFirstSerial);
    spec.strLineDb = values.value("line/db");
    spec.strSerialCounter = values.value("line/serial_counter");
    spec.strWorkbook = values.value("static/workbook");
    spec.workbookSha256 = values.value("static/sha256").toLower().toLatin1();
    spec.strStaticStart = values.value("static/start");
    spec.strStaticTotal = values.value("static/total");
    const QString strValues = values.value("static/values", "default");
    if (strValues != "default" && strValues != "current") {
        strError = tr("任务文件的static/values必须是default或current: %1").arg(strValues);
        return false;
    }
    spec.bStaticCurrent = strValues == "current";
    return Flag(values, "job/batch_programs", spec.bBatchPrograms, strError) &&
           Flag(values, "image/protect", spec.bProtect, strError) &&
           Flag(values, "serial/enabled", spec.bSerial, strError) &&
           Flag(values, "serial/check", spec.bCheckSerial, strError) &&
           Flag(values, "static/enabled", spec.bStatic, strError) &&
           Flag(values, "verify/enabled", spec.bVerify, strError);
}

QByteArray JobRules::Seal(const QByteArray& body)
{
    return body + kSealSection + kSealKey + Sha256Hex(body) + '\n';
}

QByteArray JobRules::Format(const JobSpec& spec)
{
    QStringList lines;
    QString strSection;
    auto put = [&](const QString& strKey, const QString& strValue) {
        const QString strGroup = strKey.section('/', 0, 0);
        if (strGroup != strSection) {
            if (!strSection.isEmpty())
                lines << QString();
            lines << QString("[%1]").arg(strGroup);
            strSection = strGroup;
        }
        lines << QString("%1=%2").arg(strKey.section('/', 1), Escape(strValue));
    };
    const int nRate = spec.strRate.isEmpty() ? xq::kDefaultRateIndex : RateIndex(spec.strRate);
    put("job/format", QString::number(kFormat));
    put("job/name", spec.strName);
    put("job/description", spec.strDescription);
    put("job/rate", nRate < 0 ? spec.strRate : QString::fromLatin1(xq::kRateTable[nRate].pLabel));
    put("job/batch_programs", FlagText(spec.bBatchPrograms));
    put("image/file", spec.strImage);
    put("image/sha256", QString::fromLatin1(spec.imageSha256));
    put("image/start", spec.strStart);
    put("image/erase", spec.strErase);
    if (spec.strErase == "size")
        put("image/erase_size", spec.strEraseSize);
    put("image/protect", FlagText(spec.bProtect));
    put("serial/enabled", FlagText(spec.bSerial));
    if (spec.bSerial && spec.strSerialCounter.isEmpty()) {
        put("serial/counter_file", spec.strCounterFile);
        put("serial/first", spec.strFirstSerial);
    }
    // Written only when on: a job without the read-back stays the bytes it always was.
    if (spec.bSerial && spec.bCheckSerial)
        put("serial/check", FlagText(true));
    // Written only when given: a job without a line database stays the
    // bytes it always was.
    if (!spec.strLineDb.isEmpty())
        put("line/db", spec.strLineDb);
    if (!spec.strSerialCounter.isEmpty())
        put("line/serial_counter", spec.strSerialCounter);
    put("static/enabled", FlagText(spec.bStatic));
    if (spec.bStatic) {
        put("static/workbook", spec.strWorkbook);
        put("static/sha256", QString::fromLatin1(spec.workbookSha256));
        if (!spec.strStaticStart.isEmpty())
            put("static/start", spec.strStaticStart);
        if (!spec.strStaticTotal.isEmpty())
            put("static/total", spec.strStaticTotal);
        put("static/values", spec.bStaticCurrent ? "current" : "default");
    }
    put("verify/enabled", FlagText(spec.bVerify));
    lines << QString() << QString();
    return Seal(lines.join('\n').toUtf8());
}

bool JobRules::Write(const QString& strPath, const JobSpec& spec, QString& strError)
{
    // Replacing a job never lands on another kind of file: not through a
    // link onto the job's own image, workbook or counter file, and not over
    // a file that is no job at all.
    const QString strTarget = QFileInfo(strPath).canonicalFilePath();
    if (!strTarget.isEmpty()) {
        QStringList own{spec.strImage};
        if (spec.bStatic)
            own << spec.strWorkbook;
        if (spec.bSerial && !spec.strCounterFile.isEmpty())
            own << spec.strCounterFile;
        for (const QString& strOwn : own) {
            if (!strOwn.isEmpty() && QFileInfo(Resolve(strPath, strOwn)).canonicalFilePath() == strTarget) {
                strError = tr("任务文件无法写入: %1 是任务自己的文件 %2").arg(strPath, strTarget);
                return false;
            }
        }
        QFile existing(strTarget);
        QString strFirst;
        if (QFileInfo(strTarget).isFile() && existing.open(QIODevice::ReadOnly)) {
            while (strFirst.isEmpty() && !existing.atEnd())
                strFirst = QString::fromUtf8(existing.readLine(256)).trimmed();
            static const QStringList kSections{"[job]", "[image]", "[serial]", "[static]", "[verify]"};
            if (!kSections.contains(strFirst)) {
                strError = tr("任务文件无法写入: %1 不是任务文件，不替换").arg(strPath);
                return false;
            }
        }
    }
    QString strSaveError;
    if (xq::SaveOutput(strPath, Format(spec), strSaveError))
        return true;
    strError = tr("任务文件无法写入: %1").arg(strSaveError);
    return false;
}

bool JobRules::Complete(const QString& strPath, JobSpec& spec, QString& strError, bool bKeepHashes)
{
    JobPlan plan;
    if (!bKeepHashes) {
        spec.imageSha256.clear();
        spec.workbookSha256.clear();
    } else if (spec.imageSha256.isEmpty() || (spec.bStatic && spec.workbookSha256.isEmpty())) {
        strError = tr("任务没有文件的SHA-256: %1").arg(strPath);
        return false;
    }
    if (!Check(strPath, spec, plan, strError))
        return false;
    spec = plan.spec;  // with the SHA-256 of the bytes read
    return true;
}

bool JobRules::Prepare(const QString& strPath, JobPlan& plan, QString& strError)
{
    JobSpec spec;
    QByteArray jobSha256;
    return Read(strPath, spec, jobSha256, strError) && Prepare(strPath, spec, jobSha256, plan, strError);
}

bool JobRules::Prepare(const QString& strPath, const JobSpec& spec, const QByteArray& jobSha256, JobPlan& plan,
                       QString& strError)
{
    if (spec.imageSha256.isEmpty() || (spec.bStatic && spec.workbookSha256.isEmpty()))
        return (strError = tr("任务没有文件的SHA-256: %1").arg(strPath)), false;
    if (!Check(strPath, spec, plan, strError))
        return false;
    plan.jobSha256 = jobSha256;
    return true;
}

QString JobRules::Changed(const QString& strFile, const QByteArray& expected, const QByteArray& actual)
{
    return JobRules::tr("文件已改变，与任务不符: %1\n任务中的SHA-256: %2\n文件的SHA-256: %3")
        .arg(strFile, QString::fromLatin1(expected), QString::fromLatin1(actual));
}

QString JobRules::FlashRefusal(const JobPlan& plan, uint32_t nFlashSize)
{
    QString strRefusal = ImageWrite::RangeRefusal(plan.write, nFlashSize);
    if (!strRefusal.isEmpty() || !plan.bStatic)
        return strRefusal;
    const StaticWriteRequest& area = plan.staticWrite;
    strRefusal = StaticWrite::AreaRefusal(area, nFlashSize);
    if (!strRefusal.isEmpty())
        return strRefusal;
    // The static step changes its area only; the image written before it
    // (and compared by the verify after it) must lie elsewhere.
    const int64_t nImageEnd = int64_t(plan.write.nStart) + plan.write.image.size();
    const int64_t nAreaStart = StaticWrite::AreaStart(area);
    const int64_t nAreaEnd = StaticWrite::AreaEnd(area, 0);
    if (plan.write.nStart < nAreaEnd && nAreaStart < nImageEnd)
        return tr("静态数据区 0x%1 ~ 0x%2 与烧写文件 0x%3 ~ 0x%4 重叠")
            .arg(Hex(nAreaStart), Hex(nAreaEnd), Hex(plan.write.nStart), Hex(nImageEnd));
    return plan.write.bProtect ? StaticWrite::ProtectedAreaRefusal(area, nFlashSize) : QString();
}

bool JobRules::Check(const QString& strPath, const JobSpec& spec, JobPlan& plan, QString& strError)
{
    // An empty SHA-256 (a job being made) takes the hash of the bytes read.
    plan = JobPlan();
    plan.spec = spec;
    plan.strPath = QFileInfo(strPath).absoluteFilePath();
    if (spec.strName.isEmpty())
        return (strError = tr("任务没有名称")), false;
    plan.nRateIndex = spec.strRate.isEmpty() ? xq::kDefaultRateIndex : RateIndex(spec.strRate);
    if (plan.nRateIndex < 0)
        return (strError = tr("任务的速率无效: %1").arg(spec.strRate)), false;
    if (!CheckImage(strPath, spec, plan, strError) || !CheckSerials(strPath, spec, plan, strError) ||
        !CheckStatic(strPath, spec, plan, strError))
        return false;

    // The steps' own rules on the flash: refused when no flash of the
    // family would accept every step (the run checks again on the flash
    // it finds).
    QString strRefusal;
    for (uint32_t nSize = xq::kMaxFlashSize; nSize >= xq::kMinFlashSize; nSize /= 2) {
        const QString strOnSize = FlashRefusal(plan, nSize);
        if (strOnSize.isEmpty()) {
            strRefusal.clear();
            break;
        }
        if (strRefusal.isEmpty())
            strRefusal = strOnSize;
    }
    if (!strRefusal.isEmpty())
        return (strError = strRefusal), false;

    plan.bVerify = spec.bVerify;
    if (spec.bVerify) {
        strError = ImageOperation::VerifyRefusal(plan.write.image);
        if (!strError.isEmpty())
            return false;
        plan.verify.image = plan.write.image;
        plan.verify.strImage = plan.write.strImage;
        plan.verify.nStart = plan.write.nStart;
        plan.verify.bAfterWrite = true;  // a stop in it leaves the range programmed
    }
    strError.clear();
    return true;
}

// The image step: the file as hashed, the start, the erase, the range.
bool JobRules::CheckImage(const QString& strPath, const JobSpec& spec, JobPlan& plan, QString& strError)
{
    if (spec.strImage.isEmpty())
        return (strError = tr("任务没有烧写文件")), false;
    ImageWriteRequest& write = plan.write;
    write.strImage = Resolve(strPath, spec.strImage);
    strError = ImageRules::ReadImage(write.strImage, write.image);
    if (!strError.isEmpty())
        return false;
    if (ReadHook())
        ReadHook()(write.strImage);
    // The bytes that will be written are the ones hashed.
    const QByteArray imageSha256 = Sha256Hex(write.image);
    if (spec.imageSha256.isEmpty())
        plan.spec.imageSha256 = imageSha256;
    else if (imageSha256 != spec.imageSha256)
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
    return true;
}

// Serial numbers: from a counter file that can be read and replaced, or a
// line database's counter. Nothing is created or written here: a check
// leaves the disk as it is.
bool JobRules::CheckSerials(const QString& strPath, const JobSpec& spec, JobPlan& plan, QString& strError)
{
    plan.write.bSerial = spec.bSerial;
    plan.write.bCheckSerial = spec.bSerial && spec.bCheckSerial;
    if (!spec.strLineDb.isEmpty()) {
        LineDbUrl url;
        const QString strUrlError = LineDbUrl::Parse(spec.strLineDb, url);
        if (!strUrlError.isEmpty())
            return (strError = strUrlError), false;
    }
    if (!spec.strSerialCounter.isEmpty()) {
        // The line database's counter: checked for numbers left when the
        // run opens the database, before any adapter opens.
        if (spec.strLineDb.isEmpty())
            return (strError = tr("任务的序列号计数器需要产线数据库: %1").arg(spec.strSerialCounter)), false;
        if (!spec.bSerial)
            return (strError = tr("任务不写序列号，却指定了序列号计数器: %1").arg(spec.strSerialCounter)), false;
        if (!spec.strCounterFile.isEmpty())
            return (strError = tr("任务的序列号只能来自计数文件或产线数据库之一")), false;
    } else if (spec.bSerial) {
        if (spec.strCounterFile.isEmpty())
            return (strError = tr("任务的序列号需要计数文件")), false;
        plan.strCounterFile = Resolve(strPath, spec.strCounterFile);
        if (!ImageRules::ParseSerial(spec.strFirstSerial, plan.nFirstSerial))
            return (strError = tr("任务的起始序列号无效: %1").arg(spec.strFirstSerial)), false;
        const QFileInfo counter(plan.strCounterFile);
        const QFileInfo dir(counter.absolutePath());
        if (!dir.isDir() || !dir.isWritable() || counter.isDir() || (counter.exists() && !counter.isWritable()))
            return (strError = tr("序列号计数文件不可写: %1").arg(plan.strCounterFile)), false;
        if (!SerialCounter::Check(plan.strCounterFile, plan.nFirstSerial, strError))
            return false;
    }
    return true;
}

// The static data step: the workbook read once, its bytes hashed and laid
// out, its record, the area.
bool JobRules::CheckStatic(const QString& strPath, const JobSpec& spec, JobPlan& plan, QString& strError)
{
    plan.bStatic = spec.bStatic;
    if (spec.bStatic) {
        const QString strBook = Resolve(strPath, spec.strWorkbook);
        if (spec.strWorkbook.isEmpty())
            return (strError = tr("任务的静态数据步骤没有工作簿")), false;
        QByteArray book;
        if (!ReadWhole(strBook, kMaxWorkbookBytes, book, strError))
            return false;
        const QByteArray bookSha256 = Sha256Hex(book);
        if (spec.workbookSha256.isEmpty())
            plan.spec.workbookSha256 = bookSha256;
        else if (bookSha256 != spec.workbookSha256)
            return (strError = Changed(strBook, spec.workbookSha256, bookSha256)), false;
        StaticLayout layout;
        if (layout.LoadXlsxData(book, strBook) != xq::kOk)
            return (strError = tr("工作簿无法读取: %1 %2").arg(strBook, layout.strError)), false;
        layout.strWorkbook = strBook;
        int32_t nStart = 0;
        int32_t nTotal = 0;
        strError = StaticArea(layout, spec.strStaticStart, spec.strStaticTotal, nStart, nTotal);
        if (strError.isEmpty())
            strError = StaticWriteOf(layout, spec.bStaticCurrent, nStart, nTotal, plan.staticWrite);
        if (!strError.isEmpty())
            return false;
    }
    return true;
}

void JobRules::LineDbOfRun(const JobSpec& spec, const QString& strGivenUrl, const QString& strGivenCounter,
                           QString& strUrl, QString& strCounter)
{
    strUrl = strGivenUrl.isEmpty() ? spec.strLineDb : strGivenUrl;
    strCounter = strGivenCounter.isEmpty() ? spec.strSerialCounter : strGivenCounter;
}

QString JobRules::Describe(const JobSpec& spec, const QByteArray& jobSha256)
{
    auto yesNo = [](bool b) { return b ? tr("是") : tr("否"); };
    const QString strRate = RateIndex(spec.strRate) >= 0 ? QString(xq::kRateTable[RateIndex(spec.strRate)].pLabel)
                            : spec.strRate.isEmpty()     ? QString(xq::kRateTable[xq::kDefaultRateIndex].pLabel)
                                                         : spec.strRate;
    QStringList lines{
        tr("名称: %1").arg(spec.strName),
        tr("描述: %1").arg(spec.strDescription),
        tr("任务 SHA-256: %1").arg(QString::fromLatin1(jobSha256)),
        tr("速率: %1").arg(strRate),
        tr("成批页编程: %1").arg(yesNo(spec.bBatchPrograms)),
        tr("镜像: %1").arg(spec.strImage),
        tr("镜像 SHA-256: %1").arg(QString::fromLatin1(spec.imageSha256)),
        tr("起始地址: %1").arg(spec.strStart),
        tr("擦除: %1").arg(spec.strErase == "size" ? tr("字节数 %1").arg(spec.strEraseSize) : spec.strErase),
        tr("写保护: %1").arg(yesNo(spec.bProtect)),
        tr("序列号: %1").arg(!spec.bSerial                        ? tr("关")
                             : !spec.strSerialCounter.isEmpty() ? tr("产线数据库计数器 %1").arg(spec.strSerialCounter)
                                                                : tr("计数文件 %1，第一个号 %2")
                                                                      .arg(spec.strCounterFile, spec.strFirstSerial)),
    };
    if (spec.bSerial && spec.bCheckSerial)
        lines << tr("序列号检查: 回读");
    if (!spec.strLineDb.isEmpty())
        lines << tr("产线数据库: %1").arg(spec.strLineDb);
    if (spec.bStatic) {
        lines << tr("静态数据工作簿: %1").arg(spec.strWorkbook)
              << tr("静态数据 SHA-256: %1").arg(QString::fromLatin1(spec.workbookSha256))
              << tr("静态数据起始地址: %1").arg(spec.strStaticStart.isEmpty() ? tr("按工作簿") : spec.strStaticStart)
              << tr("静态数据总大小: %1").arg(spec.strStaticTotal.isEmpty() ? tr("按布局") : spec.strStaticTotal)
              << tr("静态数据的值: %1").arg(spec.bStaticCurrent ? "current" : "default");
    } else {
        lines << tr("静态数据: 关");
    }
    lines << tr("校验: %1").arg(yesNo(spec.bVerify));
    return lines.join('\n') + '\n';
}
