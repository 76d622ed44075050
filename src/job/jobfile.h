// A production job: the whole recipe of what goes on a chip, fixed in one
// small file (NAME.xqjob, INI text) that an engineer prepares and an
// operator only opens. The image and the static data workbook are named with
// their SHA-256, so a file changed after the job was made is refused. A job
// is checked whole (files, hashes, counter file, ranges) before any adapter
// opens; what it runs is the very requests the image and static data tabs
// and xqprog hand to their workers.
//
// The file is self-checking: it names its format version ([job] format=1)
// and ends with the SHA-256 of everything before that last section
// ([checksum] sha256=...). A file cut short, edited by hand or holding an
// unknown or repeated key or section is refused whole; a file of the older
// format without the two is rewritten with job create --from. Every file
// (the job, its image, its workbook) is read once: the bytes hashed are the
// bytes parsed and run.
#pragma once

#include <imagerequest.h>
#include <staticrequest.h>

#include <QByteArray>
#include <QCoreApplication>
#include <QString>

#include <cstdint>
#include <functional>

// The job file as written: texts as the engineer gave them, paths as stored
// (relative to the job file's directory, or absolute).
struct JobSpec {
    QString strName;
    QString strDescription;
    QString strRate;           // a rate label; empty: the default rate
    // Page programs batched in one transfer (the adapter's opt-in; off: one
    // page program at a time, confirmed before the next).
    bool bBatchPrograms = false;

    QString strImage;
    QByteArray imageSha256;    // lower-case hexadecimal
    QString strStart = "0";    // hexadecimal
    QString strErase = "file";  // whole, file, smart or size
    QString strEraseSize;      // the byte count of erase=size
    bool bProtect = false;

    bool bSerial = false;
    QString strCounterFile;    // the next free number, shared with every run on this PC
    QString strFirstSerial = "1";  // where a missing counter file starts
    // Each stamp read back and compared (ImageWriteRequest::bCheckSerial).
    bool bCheckSerial = false;

    // The line database every chip is recorded in (sqlite:PATH or
    // postgresql://user@host:port/dbname, never with a password), and its
    // serial counter that stands in for the counter file; empty: none.
    QString strLineDb;
    QString strSerialCounter;

    bool bStatic = false;
    QString strWorkbook;
    QByteArray workbookSha256;
    QString strStaticStart;    // empty: the workbook's, else the default area
    QString strStaticTotal;    // empty: the layout's used length + the header
    bool bStaticCurrent = false;  // the workbook's current values rather than its defaults

    bool bVerify = false;      // a verify step (read and compare only) after the others
};

// A job checked whole and ready to run: the requests of its steps.
struct JobPlan {
    JobSpec spec;
    QString strPath;          // the job file, absolute
    QByteArray jobSha256;     // of the job file's bytes
    int nRateIndex = 0;
    ImageWriteRequest write;  // the image is read into it
    QString strCounterFile;   // absolute; empty when no serial numbers come from a counter file
    uint32_t nFirstSerial = 1;
    bool bStatic = false;
    StaticWriteRequest staticWrite;
    bool bVerify = false;
    ImageVerifyRequest verify;  // the image compared with the flash once every write is done

    // The first 8 hex digits of the image's SHA-256, as the window shows it.
    QString ImageShortHash() const { return QString::fromLatin1(spec.imageSha256.left(8)); }
};

class JobRules {
    Q_DECLARE_TR_FUNCTIONS(JobRules)

public:
    // The SHA-256 of a file's bytes in lower-case hexadecimal; false with the
    // reason when it cannot be read.
    static bool HashFile(const QString& strPath, QByteArray& sha256, QString& strError);
    // A path of the job file resolved against its directory.
    static QString Resolve(const QString& strJobPath, const QString& strStored);
    // A path as stored in a job at strJobPath: relative to its directory
    // when the file lies there or below, else absolute.
    static QString StorePath(const QString& strJobPath, const QString& strFile);

    // The format version written by Format and the only one Read accepts.
    static constexpr int kFormat = 1;

    // Reads a job file once; false with the reason when it is not one whole.
    // jobSha256 is of the bytes parsed. bOlderFormat: a file without format
    // version and checksum is accepted too (job create --from).
    static bool Read(const QString& strPath, JobSpec& spec, QByteArray& jobSha256, QString& strError,
                     bool bOlderFormat = false);
    // The same from the file's bytes.
    static bool Parse(const QByteArray& bytes, const QString& strPath, JobSpec& spec, QString& strError,
                      bool bOlderFormat = false);
    // The job file's bytes: the format version, the recipe, the checksum.
    static QByteArray Format(const JobSpec& spec);
    // body with the checksum section that seals it appended.
    static QByteArray Seal(const QByteArray& body);
    // Writes a job file by the output-file rule (checked first, replaced
    // atomically or refused); never over the job's own image, workbook or
    // counter file.
    static bool Write(const QString& strPath, const JobSpec& spec, QString& strError);
    // Reads and checks a job: everything a run needs before an adapter opens.
    static bool Prepare(const QString& strPath, JobPlan& plan, QString& strError);
    // The same for a job read already (its spec and the SHA-256 of its bytes).
    static bool Prepare(const QString& strPath, const JobSpec& spec, const QByteArray& jobSha256, JobPlan& plan,
                        QString& strError);
    // Checks a job as it is being made and fills in the SHA-256 of the files
    // as read; bKeepHashes: the files must still be the ones spec names.
    static bool Complete(const QString& strPath, JobSpec& spec, QString& strError, bool bKeepHashes = false);

    // The refusal of a file that is no longer the one a job was made (or
    // opened) with, naming it and both SHA-256.
    static QString Changed(const QString& strFile, const QByteArray& expected, const QByteArray& actual);
    // The job as "key: value" lines, for xqprog job show.
    static QString Describe(const JobSpec& spec, const QByteArray& jobSha256);
    // The rate index of a rate label ("6MHz", any case); -1 for anything
    // else (an index is refused: "10" is not 10MHz).
    static int RateIndex(const QString& strRate);

    // The refusal of the first step that would refuse its part of the plan
    // on a flash of nFlashSize bytes, by the steps' own rules (the image
    // range, the static area, the static area under protection) and the
    // job's (the static area apart from the image); empty when every step
    // would be accepted.
    static QString FlashRefusal(const JobPlan& plan, uint32_t nFlashSize);

    // The line database and serial counter a run of the job uses: the ones
    // given for the run (xqprog's --line-db and --serial-counter, the
    // window's settings) stand in for the job's, each on its own.
    static void LineDbOfRun(const JobSpec& spec, const QString& strGivenUrl, const QString& strGivenCounter,
                            QString& strUrl, QString& strCounter);

    // Called with a file's path right after each of a job's files was read
    // (for tests that change the file at that moment); unset normally.
    static void SetReadHook(std::function<void(const QString&)> hook);

private:
    static bool Check(const QString& strPath, const JobSpec& spec, JobPlan& plan, QString& strError);
    static bool CheckImage(const QString& strPath, const JobSpec& spec, JobPlan& plan, QString& strError);
    static bool CheckSerials(const QString& strPath, const JobSpec& spec, JobPlan& plan, QString& strError);
    static bool CheckStatic(const QString& strPath, const JobSpec& spec, JobPlan& plan, QString& strError);
};
