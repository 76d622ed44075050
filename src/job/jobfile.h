// A production job: the whole recipe of what goes on a chip, fixed in one
// small file (NAME.xqjob, INI text) that an engineer prepares and an
// operator only opens. The image and the static data workbook are named with
// their SHA-256, so a file changed after the job was made is refused. A job
// is checked whole (files, hashes, counter file, ranges) before any adapter
// opens; what it runs is the very requests the image and static data tabs
// and xqprog hand to their workers.
#pragma once

#include <imagerequest.h>
#include <staticrequest.h>

#include <QByteArray>
#include <QCoreApplication>
#include <QString>

#include <cstdint>

// The job file as written: texts as the engineer gave them, paths as stored
// (relative to the job file's directory, or absolute).
struct JobSpec {
    QString strName;
    QString strDescription;
    QString strRate;           // a rate label or index; empty: the default rate

    QString strImage;
    QByteArray imageSha256;    // lower-case hexadecimal
    QString strStart = "0";    // hexadecimal
    QString strErase = "file";  // whole, file, smart or size
    QString strEraseSize;      // the byte count of erase=size
    bool bProtect = false;

    bool bSerial = false;
    QString strCounterFile;    // the next free number, shared with every run on this PC
    QString strFirstSerial = "1";  // where a missing counter file starts

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
    QString strCounterFile;   // absolute; empty when no serial numbers are stamped
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

    // Reads a job file; false with the reason when it is not one.
    static bool Read(const QString& strPath, JobSpec& spec, QByteArray& jobSha256, QString& strError);
    // Writes a job file (replacing it whole).
    static bool Write(const QString& strPath, const JobSpec& spec, QString& strError);
    // Reads and checks a job: everything a run needs before an adapter opens.
    static bool Prepare(const QString& strPath, JobPlan& plan, QString& strError);
    // Checks a job as it is being made and fills in the files' SHA-256.
    static bool Complete(const QString& strPath, JobSpec& spec, QString& strError);

    // The refusal of a file that is no longer the one a job was made (or
    // opened) with, naming it and both SHA-256.
    static QString Changed(const QString& strFile, const QByteArray& expected, const QByteArray& actual);
    // The job as "key: value" lines, for xqprog job show.
    static QString Describe(const JobSpec& spec, const QByteArray& jobSha256);
    // The rate index of a rate label ("6MHz", any case) or index; -1 when neither.
    static int RateIndex(const QString& strRate);

private:
    static bool Check(const QString& strPath, const JobSpec& spec, JobPlan& plan, QString& strError);
};
