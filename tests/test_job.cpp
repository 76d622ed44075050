// Production jobs: the job file and its checks, xqprog job create/show/run
// (one adapter and a gang), and the window locked to a job, which runs it
// exactly as xqprog does.
#include "benchfixture.h"
#include "testfiles.h"
#include "xqprogrunner.h"

#include <baseop.h>
#include <filesysmodel.h>
#include <jobfile.h>
#include <mainwindow.h>
#include <resultpanel.h>
#include <messagebox.h>
#include <staticdata.h>

#include <QAction>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QSettings>
#include <QTextEdit>
#include <QtTest>

#include <functional>

namespace {
// Sets section/key in a job file's text (added at the section's end when
// missing) and seals it again, as an engineer's own tool might: the job's
// rules then decide, not its checksum.
void SetJobKey(const QString& strJob, const QString& strKey, const QString& strValue, bool bSeal = true)
{
    const QByteArray bytes = Slurp(strJob);
    QStringList lines = QString::fromUtf8(bytes.left(bytes.lastIndexOf("[checksum]"))).split('\n');
    const QString strSection = "[" + strKey.section('/', 0, 0) + "]";
    const QString strName = strKey.section('/', 1) + "=";
    int nAt = lines.indexOf(strSection);
    QVERIFY(nAt >= 0);
    for (++nAt; nAt < lines.size() && !lines[nAt].startsWith('[') && !lines[nAt].isEmpty(); ++nAt)
        if (lines[nAt].startsWith(strName)) {
            lines.removeAt(nAt);
            break;
        }
    lines.insert(nAt, strName + strValue);
    const QByteArray body = lines.join('\n').toUtf8();
    QVERIFY(WriteFile(strJob, bSeal ? JobRules::Seal(body) : body));
}

void FlipByte(const QString& strPath, int nOffset)
{
    QByteArray data = Slurp(strPath);
    data[nOffset] = char(data[nOffset] ^ 0x01);
    QVERIFY(WriteFile(strPath, data));
}
}  // namespace

class TestJob : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QByteArray m_image;
    QList<QString> m_boxes;

    QString P(const QString& s) { return m_dir.filePath(s); }

    XqprogRunner m_xqprog{XQPROG_PATH, m_dir.path()};

    XqprogResult Xqprog(const QStringList& args, const QString& strBench = QString())
    {
        return m_xqprog.Run(args, strBench);
    }

    // A job in DIR of everything a job holds: image at 0x3000, erase by
    // size, protection, serial numbers from a counter file, static data.
    QString MakeJob(const QString& strDir, const QString& strName)
    {
        QDir().mkpath(strDir);
        if (!WriteFile(strDir + "/fw.bin", m_image) || !QFile::copy(XQ_SAMPLE_WORKBOOK, strDir + "/book.xlsx"))
            return QString();
        const QString strJob = strDir + "/" + strName + ".xqjob";
        const XqprogResult r = Xqprog({"job", "create", strJob, "--image", strDir + "/fw.bin", "--start", "3000", "--erase",
                                 "0x12000", "--protect", "--serial-file", strDir + "/serial.txt", "--serial", "500",
                                 "--static", strDir + "/book.xlsx", "--verify", "--description", "第一批, rev 3"});
        return r.nExit == 0 ? strJob : (qWarning("%s", qPrintable(r.strErr)), QString());
    }

private slots:
    void initTestCase()
    {
        Q_INIT_RESOURCE(resources);
        QDir::setCurrent(m_dir.path());
        m_image = RandomBytes(70000, 77);
        msgbox::SetHandler([this](QMessageBox::Icon, const QString&, const QString& strText, QMessageBox::StandardButtons) {
            m_boxes << strText;
            return QMessageBox::Yes;
        });
    }

    // Everything a run needs is checked before an adapter opens; each row
    // spoils one thing of a good job and names what the refusal must say.
    void refusalsOfTheJobFile()
    {
        const QString strJob = MakeJob(P("lib"), "lib");
        QVERIFY(!strJob.isEmpty());
        JobPlan plan;
        QString strError;
        QVERIFY2(JobRules::Prepare(strJob, plan, strError), qPrintable(strError));
        QCOMPARE(plan.spec.strImage, QString("fw.bin"));  // stored beside the job
        QCOMPARE(plan.write.image, m_image);
        QCOMPARE(plan.write.nStart, 0x3000);
        QCOMPARE(plan.write.nEraseBytes, 0x12000);
        QVERIFY(plan.write.bProtect && plan.write.bSerial && !plan.write.bSmart);
        QCOMPARE(plan.nFirstSerial, 500u);
        QCOMPARE(plan.spec.strDescription, QString("第一批, rev 3"));  // a comma survives the INI text
        QVERIFY(plan.bStatic);
        QCOMPARE(plan.staticWrite.nStart, kStaticDefaultStart);
        QCOMPARE(plan.jobSha256, Sha256(Slurp(strJob)).toLatin1());
        QCOMPARE(plan.ImageShortHash(), Sha256(m_image).left(8));

        // The job with its files moved elsewhere still runs: the paths are relative.
        QVERIFY(QDir().rename(P("lib"), P("lib-moved")));
        QVERIFY2(JobRules::Prepare(P("lib-moved/lib.xqjob"), plan, strError), qPrintable(strError));
        QCOMPARE(plan.write.strImage, P("lib-moved/fw.bin"));
        QVERIFY(QDir().rename(P("lib-moved"), P("lib")));

        const QString strSha = Sha256(m_image);
        struct Row {
            const char* pName;
            std::function<void()> spoil;  // undone by the next row's fresh job
            QStringList expected;
        };
        auto setKey = [&](const QString& strKey, const QString& strValue) { SetJobKey(strJob, strKey, strValue); };
        auto editText = [&](const QByteArray& from, const QByteArray& to, bool bSeal) {
            QByteArray bytes = Slurp(strJob);
            bytes = bytes.left(bytes.lastIndexOf("[checksum]")).replace(from, to);
            QVERIFY(WriteFile(strJob, bSeal ? JobRules::Seal(bytes) : bytes));
        };
        QByteArray changed = m_image;
        changed[100] = char(changed[100] ^ 0x01);
        const QVector<Row> rows{
            {"image changed by one byte", [&] { FlipByte(P("lib/fw.bin"), 100); },
             {"文件已改变", P("lib/fw.bin"), strSha, Sha256(changed)}},
            {"image missing", [&] { QFile::remove(P("lib/fw.bin")); }, {"烧写文件无法读取", P("lib/fw.bin")}},
            {"workbook changed", [&] { FlipByte(P("lib/book.xlsx"), 10); }, {"文件已改变", P("lib/book.xlsx")}},
            {"misspelt key", [&] { setKey("image/protet", "true"); }, {"未知的项: image/protet"}},
            {"flag not true or false", [&] { setKey("image/protect", "yes"); }, {"image/protect", "yes"}},
            {"unknown erase word", [&] { setKey("image/erase", "clever"); }, {"擦除方式无效: clever"}},
            {"erase smaller than the image", [&] { setKey("image/erase_size", "4096"); }, {"请输入正确擦除大小"}},
            {"image past the end of the flash", [&] { setKey("image/start", "1F0000"); }, {"操作范围超出Flash容量"}},
            {"bad start", [&] { setKey("image/start", "XYZ"); }, {"请正确填写起始地址"}},
            {"counter holds no number", [&] { QVERIFY(WriteFile(P("lib/serial.txt"), "abc\n")); },
             {"的内容须是不大于 4294967296 的十进制数"}},
            {"counter in no directory", [&] { setKey("serial/counter_file", "nodir/serial.txt"); },
             {"序列号计数文件不可写", P("lib/nodir/serial.txt")}},
            {"serial without a counter file", [&] { setKey("serial/counter_file", ""); }, {"需要计数文件"}},
            {"static record past the flash", [&] { setKey("static/start", "1FFFF0"); }, {"操作范围超出Flash容量"}},
            {"static values neither", [&] { setKey("static/values", "some"); }, {"static/values"}},
            {"verify flag", [&] { setKey("verify/enabled", "1"); }, {"verify/enabled"}},
            {"no name", [&] { setKey("job/name", ""); }, {"任务没有名称"}},
            {"unknown rate", [&] { setKey("job/rate", "7MHz"); }, {"速率无效: 7MHz"}},
            {"rate by index", [&] { setKey("job/rate", "10"); }, {"速率无效: 10"}},
            {"erase size past the flash end", [&] { setKey("image/erase_size", "0x1FE000"); }, {"操作范围超出Flash容量"}},
            {"static area over the image", [&] { setKey("static/start", "3000"); }, {"重叠"}},
            {"static area whose search leaves the flash", [&] { setKey("static/start", "1FF800"); },
             {"操作范围超出Flash容量"}},
            {"static area under the protection", [&] { setKey("static/start", "18000"); }, {"上半部分"}},
            {"batch flag", [&] { setKey("job/batch_programs", "on"); }, {"job/batch_programs"}},
            {"line counter without its database", [&] { editText("[verify]", "[line]\nserial_counter=c\n\n[verify]", true); },
             {"需要产线数据库: c"}},
            {"password in the line database",
             [&] { editText("[verify]", "[line]\ndb=postgresql://st:pw@db/line\n\n[verify]", true); }, {"不能含密码"}},
            {"counter file and line counter both",
             [&] { editText("[verify]", "[line]\ndb=sqlite:x.db\nserial_counter=c\n\n[verify]", true); }, {"之一"}},
            {"key twice", [&] { editText("start=3000\n", "start=3000\nstart=4000\n", true); }, {"项重复"}},
            {"section twice", [&] { editText("[verify]", "[image]\nx=1\n[verify]", true); }, {"节重复"}},
            {"unknown section", [&] { editText("[verify]", "[extra]\n[verify]", true); }, {"未知的节: extra"}},
            {"a line of no key", [&] { editText("[verify]", "start\n[verify]", true); }, {"无法识别"}},
            {"format version 2", [&] { setKey("job/format", "2"); }, {"格式版本不支持: 2"}},
            {"edited under its checksum", [&] { QVERIFY(WriteFile(strJob, Slurp(strJob).replace("start=3000", "start=3001"))); },
             {"校验和不符"}},
            {"no checksum", [&] { editText("", "", false); }, {"不完整 (没有校验和)"}},
            {"older format", [&] { editText("format=1\n", "", false); }, {"没有格式版本和校验和", "--from"}},
        };
        for (const Row& row : rows) {
            QVERIFY(QDir(P("lib")).removeRecursively());
            QCOMPARE(MakeJob(P("lib"), "lib"), strJob);
            row.spoil();
            const bool bPrepared = JobRules::Prepare(strJob, plan, strError);
            QVERIFY2(!bPrepared, row.pName);
            for (const QString& strPart : row.expected)
                QVERIFY2(strError.contains(strPart), qPrintable(QString("%1: %2").arg(row.pName, strError)));
        }
    }

    // A job file cut short anywhere is refused whole; a file swapped right
    // after it was read changes nothing of what runs; showing a job writes
    // nothing; an older file runs only once rewritten.
    void wholeOrRefused()
    {
        const QString strJob = MakeJob(P("cut"), "cut");
        QVERIFY(!strJob.isEmpty());
        QVERIFY(!QFileInfo::exists(P("cut/serial.txt")));  // neither create nor the check makes it
        QCOMPARE(Xqprog({"job", "show", strJob}).nExit, 0);
        QVERIFY(!QFileInfo::exists(P("cut/serial.txt")));
        const QByteArray whole = Slurp(strJob);
        JobSpec spec;
        QString strError;
        for (int n = 0; n < whole.size(); ++n) {
            QVERIFY2(!JobRules::Parse(whole.left(n), strJob, spec, strError), qPrintable(QString::number(n)));
            QVERIFY(!strError.isEmpty());
        }
        JobPlan good;
        QVERIFY2(JobRules::Prepare(strJob, good, strError), qPrintable(strError));

        // Each file replaced the moment it was read: the plan is the bytes read.
        QVERIFY(WriteFile(P("cut/other.bin"), RandomBytes(1000, 5)));
        const QByteArray otherJob = QByteArray(whole).replace("start=3000", "start=4000");
        const struct {
            const char* pFile;
            QByteArray replacement;
        } swaps[] = {{"cut/cut.xqjob", JobRules::Seal(otherJob.left(otherJob.lastIndexOf("[checksum]")))},
                     {"cut/fw.bin", RandomBytes(70000, 9)},
                     {"cut/book.xlsx", Slurp(P("cut/other.bin"))}};
        for (const auto& swap : swaps) {
            const QByteArray before = Slurp(P(swap.pFile));
            JobRules::SetReadHook([&](const QString& strPath) {
                if (strPath == P(swap.pFile))
                    QVERIFY(WriteFile(strPath, swap.replacement));
            });
            JobPlan plan;
            const bool bPrepared = JobRules::Prepare(strJob, plan, strError);
            JobRules::SetReadHook(nullptr);
            QVERIFY2(bPrepared, qPrintable(QString("%1: %2").arg(swap.pFile, strError)));
            QCOMPARE(plan.jobSha256, good.jobSha256);
            QCOMPARE(plan.write.nStart, 0x3000);
            QCOMPARE(plan.write.image, m_image);
            QCOMPARE(plan.staticWrite.record, good.staticWrite.record);
            QVERIFY(WriteFile(P(swap.pFile), before));
        }

        // The older format: refused, rewritten by --from (in place or anew), then accepted.
        QByteArray older = whole.left(whole.lastIndexOf("[checksum]")).replace("format=1\n", "");
        QVERIFY(WriteFile(P("cut/old.xqjob"), older));
        QVERIFY(!JobRules::Prepare(P("cut/old.xqjob"), good, strError));
        QCOMPARE(Xqprog({"job", "create", P("cut/new.xqjob"), "--from", P("cut/old.xqjob")}).nExit, 0);
        QVERIFY2(JobRules::Prepare(P("cut/new.xqjob"), good, strError), qPrintable(strError));
        QCOMPARE(good.write.nStart, 0x3000);
        QCOMPARE(Xqprog({"job", "create", P("cut/old.xqjob"), "--from", P("cut/old.xqjob"), "--force"}).nExit, 0);
        QCOMPARE(Slurp(P("cut/old.xqjob")), Slurp(P("cut/new.xqjob")).replace("name=new", "name=cut"));
        QCOMPARE(Xqprog({"job", "create", P("cut/x.xqjob"), "--from", strJob, "--verify"}).nExit, 2);

        // --force through a link: never onto the job's own image or a file that is
        // no job; onto a job, the link's target replaced whole.
        QVERIFY(QFile::link(P("cut/fw.bin"), P("cut/link.xqjob")));
        XqprogResult r = Xqprog({"job", "create", P("cut/link.xqjob"), "--force", "--image", P("cut/fw.bin")});
        QCOMPARE(r.nExit, 1);
        QCOMPARE(Slurp(P("cut/fw.bin")), m_image);
        QVERIFY(QFile::remove(P("cut/link.xqjob")));
        QVERIFY(QFile::link(P("cut/other.bin"), P("cut/link.xqjob")));
        QCOMPARE(Xqprog({"job", "create", P("cut/link.xqjob"), "--force", "--image", P("cut/fw.bin")}).nExit, 1);
        QCOMPARE(Slurp(P("cut/other.bin")).size(), 1000);
        QVERIFY(QFile::remove(P("cut/link.xqjob")));
        QVERIFY(QFile::link(P("cut/new.xqjob"), P("cut/link.xqjob")));
        r = Xqprog({"job", "create", P("cut/link.xqjob"), "--force", "--image", P("cut/fw.bin"), "--batch-programs"});
        QCOMPARE(r.nExit, 0);
        QVERIFY(r.strOut.contains("成批页编程: 是\n"));
        QVERIFY(QFileInfo(P("cut/link.xqjob")).isSymLink());
        QVERIFY2(JobRules::Prepare(P("cut/new.xqjob"), good, strError), qPrintable(strError));
        QVERIFY(good.spec.bBatchPrograms);
    }

    // The adapter lost around the serial stamp: whenever the chip may hold
    // the number, JSON and the trace row keep it, and an unread stamp is
    // said to be unconfirmed, never "not written".
    void serialOfUnknownFate()
    {
        QVERIFY(WriteFile(P("fate.bin"), m_image));
        for (int nTransfers : {318, 324, 330, 332}) {
            const QString strBench = P(QString("fate-%1").arg(nTransfers));
            QDir().mkpath(strBench);
            QVERIFY(WriteFile(strBench + "/bench.ini", QString("[faults]\nunplug_after_transfers=%1\n").arg(nTransfers).toUtf8()));
            const QString strTrace = strBench + ".csv";
            const XqprogResult r = Xqprog({"--json", "--trace", strTrace, "write", P("fate.bin"), "--serial", "77"}, strBench);
            const QList<QJsonObject> json = JsonLines(r.strOut);
            QCOMPARE(json.size(), 1);
            const bool bUnknown = r.strErr.contains("序列号 77 可能已写入，未能确认");
            QVERIFY2(!r.strErr.contains("序列号 77 未写入"), qPrintable(r.strErr));
            QCOMPARE(json[0]["serial_confirmed"] == QJsonValue(false), bUnknown);
            if (bUnknown || r.nExit == 0) {
                QCOMPARE(json[0]["serial"].toInt(), 77);
                QCOMPARE(TraceRows(strTrace, 1).last().value(7), QString("77"));
            }
            QCOMPARE(r.nExit == 0, !bUnknown && json[0]["result"] == "ok");
        }
    }

    // The static record's page program fails once (the 276 frames of opcode
    // 0x02 before it, the image's page programs in the default order, pass):
    // the run fails there, and no later step runs or is reported a success.
    void staticStepFailsTheRun()
    {
        QDir().mkpath(P("sf"));
        QVERIFY(WriteFile(P("sf/fw.bin"), m_image) && QFile::copy(XQ_SAMPLE_WORKBOOK, P("sf/book.xlsx")));
        QCOMPARE(Xqprog({"job", "create", P("sf/sf.xqjob"), "--image", P("sf/fw.bin"), "--start", "3000", "--static",
                         P("sf/book.xlsx"), "--verify"}).nExit, 0);
        QDir().mkpath(P("sf-bench"));
        QVERIFY(WriteFile(P("sf-bench/bench.ini"), "[faults]\nfail_once=02@277\n"));
        const XqprogResult r = Xqprog({"--json", "--trace", P("sf.csv"), "run", P("sf/sf.xqjob")}, P("sf-bench"));
        QCOMPARE(r.nExit, 1);
        QStringList steps;
        for (const QJsonObject& o : JsonLines(r.strOut))
            steps << o["operation"].toString() + " " + o["result"].toString();
        QCOMPARE(steps, (QStringList{"write ok", "static write failed"}));
        QCOMPARE(TraceRows(P("sf.csv"), 1).size(), 3);
    }

    // create, show and run on the bench; then one changed byte of the image
    // refuses the run before the adapter opens.
    void createShowRunRefuse()
    {
        const QString strJob = MakeJob(P("cli"), "board-a");
        QVERIFY(!strJob.isEmpty());
        XqprogResult r = Xqprog({"job", "show", strJob});
        QCOMPARE(r.nExit, 0);
        QVERIFY2(r.strOut.startsWith("名称: board-a\n描述: 第一批, rev 3\n任务 SHA-256: " + Sha256(Slurp(strJob))),
                 qPrintable(r.strOut));
        QVERIFY(r.strOut.contains("镜像: fw.bin\n镜像 SHA-256: " + Sha256(m_image) + "\n起始地址: 3000\n擦除: 字节数 0x12000\n"
                                  "写保护: 是\n序列号: 计数文件 serial.txt，第一个号 500\n"));
        QVERIFY(r.strOut.endsWith("校验: 是\n状态: 可以运行\n"));
        QCOMPARE(Xqprog({"job", "create", strJob, "--image", P("cli/fw.bin")}).nExit, 2);  // no silent replace
        // The read-back of a stamp needs a stamp.
        r = Xqprog({"job", "create", P("cli/check.xqjob"), "--image", P("cli/fw.bin"), "--check-serial"});
        QVERIFY2(r.nExit == 2 && r.strErr.contains("--check-serial") && !QFile::exists(P("cli/check.xqjob")),
                 qPrintable(r.strErr));

        const QString strBench = P("cli-bench");
        FlashPattern flash;
        flash.Fill(strBench + "/flash.bin");
        r = Xqprog({"--json", "--trace", P("cli.csv"), "run", strJob}, strBench);
        QCOMPARE(r.nExit, 0);
        const QList<QJsonObject> json = JsonLines(r.strOut);
        QCOMPARE(json.size(), 3);
        QCOMPARE(json[0]["operation"].toString(), QString("write"));
        QCOMPARE(json[0]["serial"].toInt(), 500);
        QCOMPARE(json[1]["operation"].toString(), QString("static write"));
        QCOMPARE(json[2]["operation"].toString(), QString("verify"));
        QCOMPARE(json[2]["sha256"].toString(), Sha256(m_image));
        for (const QJsonObject& o : json) {
            QCOMPARE(o["result"].toString(), QString("ok"));
            QCOMPARE(o["job"].toString(), QString("board-a"));
            QCOMPARE(o["job_sha256"].toString(), Sha256(Slurp(strJob)));
        }
        QCOMPARE(Slurp(strBench + "/flash.bin").mid(0x3000, m_image.size()), m_image);
        XQ_VERIFY_FLASH_KEPT(flash, {{0x3000, 0x15000}, {0x1FF000, 0x1000}});
        QCOMPARE(Slurp(P("cli/serial.txt")), QByteArray("501\n"));
        const QList<QStringList> rows = TraceRows(P("cli.csv"), 1);
        QCOMPARE(rows.size(), 4);
        QCOMPARE(rows[1].mid(2, 2), (QStringList{"write", "ok"}));
        QCOMPARE(rows[2].mid(2, 2), (QStringList{"static write", "ok"}));
        QCOMPARE(rows[3].mid(2, 2), (QStringList{"verify", "ok"}));
        for (const QStringList& row : rows.mid(1))
            QCOMPARE(row.mid(11), (QStringList{"board-a", Sha256(Slurp(strJob))}));

        // A rate other than the job's is refused; the job's own is accepted.
        QCOMPARE(Xqprog({"-r", "1MHz", "run", strJob}, strBench).nExit, 2);

        // One changed byte: refused naming the file and both hashes, on a
        // bench no adapter of which was ever opened (it would exist then).
        FlipByte(P("cli/fw.bin"), 0);
        r = Xqprog({"run", strJob}, P("cli-unopened"));
        QCOMPARE(r.nExit, 2);
        QVERIFY2(r.strErr.contains(P("cli/fw.bin")) && r.strErr.contains(Sha256(m_image)) &&
                     r.strErr.contains(Sha256(Slurp(P("cli/fw.bin")))),
                 qPrintable(r.strErr));
        QVERIFY(!QFileInfo::exists(P("cli-unopened")));
        QCOMPARE(Xqprog({"job", "show", strJob}).nExit, 2);
        QCOMPARE(Slurp(P("cli/serial.txt")), QByteArray("501\n"));
    }

    // A job the check lets through for a 1 MiB flash (the static area in
    // its upper half, under the protection) meets a 2 MiB flash: refused
    // once the flash identifies itself, before the chip is changed or a
    // serial number taken.
    void flashFoundRefusesTheJob()
    {
        QDir().mkpath(P("big"));
        QVERIFY(WriteFile(P("big/fw.bin"), m_image) && QFile::copy(XQ_SAMPLE_WORKBOOK, P("big/book.xlsx")));
        XqprogResult r = Xqprog({"job", "create", P("big/big.xqjob"), "--image", P("big/fw.bin"), "--protect",
                                 "--serial-file", P("big/serial.txt"), "--static", P("big/book.xlsx"), "--static-start",
                                 "80000", "--verify"});
        QVERIFY2(r.nExit == 0, qPrintable(r.strErr));
        const QString strBench = P("big-bench");
        FlashPattern flash;
        flash.Fill(strBench + "/flash.bin");
        r = Xqprog({"--json", "--trace", P("big.csv"), "run", P("big/big.xqjob")}, strBench);
        QCOMPARE(r.nExit, 1);  // as a write refused by the flash it found
        QVERIFY2(r.strErr.contains("写保护时静态数据区须在Flash的上半部分 (0x100000 起): 0x80000"), qPrintable(r.strErr));
        const QList<QJsonObject> json = JsonLines(r.strOut);
        QCOMPARE(json.size(), 1);
        QCOMPARE(json[0]["operation"].toString(), QString("write"));
        QCOMPARE(json[0]["result"].toString(), QString("refused"));
        QCOMPARE(json[0]["job"].toString(), QString("big"));
        QVERIFY(!json[0]["jedec"].toString().isEmpty());  // the flash that decided
        QCOMPARE(TraceRows(P("big.csv"), 1).size(), 2);
        QCOMPARE(Slurp(P("big/serial.txt")), QByteArray("1\n"));  // no number taken
        XQ_VERIFY_FLASH_KEPT(flash, {});
    }

    // A gang run: one result per adapter, each with its own consecutive
    // serial number; an adapter whose write fails stops before static data.
    void gangRun()
    {
        const QString strJob = MakeJob(P("gang"), "gang");
        QVERIFY(!strJob.isEmpty());
        const QString strBench = P("gang-bench");
        QDir().mkpath(strBench + "/adapter-2");
        QVERIFY(WriteFile(strBench + "/bench.ini", "[bench]\nadapters=3\n"));
        QVERIFY(WriteFile(strBench + "/adapter-2/bench.ini", "[faults]\ndead_sectors=4000\n"));
        const XqprogResult r = Xqprog({"-i", "all", "--json", "run", strJob}, strBench);
        QCOMPARE(r.nExit, 1);
        QVERIFY(r.strErr.contains(QRegularExpression("FT2232-LOC-2\\s+失败")));
        QVERIFY(r.strErr.contains(QRegularExpression("FT2232-LOC-1\\s+成功")));
        QMap<QString, QStringList> steps;
        QMap<QString, double> stepSeconds;
        QList<int> serials;
        for (const QJsonObject& o : JsonLines(r.strOut)) {
            QCOMPARE(o["job"].toString(), QString("gang"));
            steps[o["interface"].toString()] << o["operation"].toString() + " " + o["result"].toString();
            stepSeconds[o["interface"].toString()] += o["seconds"].toDouble();
            if (o["operation"] == "write" && o["result"] == "ok")
                serials << o["serial"].toInt();
        }
        QCOMPARE(steps["FT2232-LOC-1"], (QStringList{"write ok", "static write ok", "verify ok"}));
        QCOMPARE(steps["FT2232-LOC-2"], (QStringList{"write failed"}));
        QCOMPARE(steps["FT2232-LOC-3"], (QStringList{"write ok", "static write ok", "verify ok"}));
        std::sort(serials.begin(), serials.end());
        QCOMPARE(serials, (QList<int>{500, 501}));  // taken as chips are stamped: none for the failed one
        // The table's seconds are the whole job's on that adapter, never its last step's.
        for (const QString& strInterface : {QString("FT2232-LOC-1"), QString("FT2232-LOC-3")}) {
            const QRegularExpressionMatch row =
                QRegularExpression(strInterface + "\\s+成功\\s+([0-9.]+)").match(r.strErr);
            QVERIFY(row.hasMatch());
            QVERIFY2(row.captured(1).toDouble() + 0.006 >= stepSeconds[strInterface],
                     qPrintable(QString("%1 < %2").arg(row.captured(1)).arg(stepSeconds[strInterface])));
        }
        QCOMPARE(Slurp(P("gang/serial.txt")), QByteArray("502\n"));
        for (int n : {1, 3})
            QCOMPARE(Slurp(strBench + QString("/adapter-%1/flash.bin").arg(n)).mid(0x3000, m_image.size()), m_image);
    }

    // Open locks the tabs to the job and shows it in the title; close gives
    // the tabs their own settings back; save makes a job of the settings.
    void windowLockedToAJob()
    {
        QFile::remove("XqProgrammer.ini");
        const QString strJob = MakeJob(P("win"), "station-7");
        QVERIFY(!strJob.isEmpty());
        QSettings("XqProgrammer.ini", QSettings::IniFormat).setValue("StaticData/xlsx", P("win/book.xlsx"));
        BenchFixture bench;
        MainWindow w(bench.BackendPtr());
        auto* pBaseOp = w.findChild<BaseOp*>("tabBaseOp");
        auto* pStatic = w.findChild<StaticData*>("tabStatic");
        auto* pStart = pBaseOp->findChild<QLineEdit*>("editStartAddr");
        pStart->setText("A000");
        const QString strTitle = w.windowTitle();
        QString strAnswer = strJob;
        msgbox::SetFileHandler([&strAnswer](const QString&, const QString&) { return strAnswer; });
        w.findChild<QAction*>("action_open_job")->trigger();
        QVERIFY(w.LoadedJob());
        QCOMPARE(w.windowTitle(), strTitle + " - 任务: station-7 [" + Sha256(m_image).left(8) + "]");
        QCOMPARE(w.findChild<QLabel*>("lblJob")->text(), "任务: station-7 [" + Sha256(m_image).left(8) + "]");
        QVERIFY(!w.findChild<QLabel*>("lblJob")->isHidden());
        QVERIFY(!pBaseOp->isEnabled() && !pStatic->isEnabled());
        QCOMPARE(pStart->text(), QString("3000"));
        QVERIFY(!w.findChild<QAction*>("action_read")->isEnabled());
        QVERIFY(!w.findChild<QAction*>("action_save_job")->isEnabled());
        QVERIFY(w.findChild<QAction*>("action_write")->isEnabled());
        QTRY_COMPARE(pBaseOp->FileModel()->strCheckedPath, P("win/fw.bin"));

        w.findChild<QAction*>("action_close_job")->trigger();
        QVERIFY(!w.LoadedJob());
        QCOMPARE(w.windowTitle(), strTitle);
        QVERIFY(w.findChild<QLabel*>("lblJob")->isHidden());
        QVERIFY(pBaseOp->isEnabled() && pStatic->isEnabled());
        QCOMPARE(pStart->text(), QString("A000"));

        // Saved from the settings shown: the checked image at A000, the
        // static step included (the box is answered yes).
        QTRY_VERIFY(pBaseOp->FileModel()->mapFileCheck.contains("fw.bin") || (pBaseOp->ShowDirectory(P("win")), false));
        QVERIFY(pBaseOp->FileModel()->setData(pBaseOp->FileModel()->index(P("win/fw.bin")), Qt::Checked, Qt::CheckStateRole));
        strAnswer = P("win/saved");
        w.findChild<QAction*>("action_save_job")->trigger();
        JobPlan plan;
        QString strError;
        QVERIFY2(JobRules::Prepare(P("win/saved.xqjob"), plan, strError), qPrintable(strError));
        QCOMPARE(plan.spec.strName, QString("saved"));
        QCOMPARE(plan.write.nStart, 0xA000);
        QCOMPARE(plan.write.image, m_image);
        QVERIFY(plan.bStatic);
        QCOMPARE(plan.staticWrite.strWorkbook, P("win/book.xlsx"));

        // A job that is refused leaves the window unlocked, with a warning.
        FlipByte(P("win/fw.bin"), 1);
        m_boxes.clear();
        strAnswer = strJob;
        w.findChild<QAction*>("action_open_job")->trigger();
        QVERIFY(!w.LoadedJob());
        QCOMPARE(m_boxes.size(), 1);
        QVERIFY(m_boxes[0].contains(P("win/fw.bin")));

        msgbox::SetFileHandler(nullptr);
    }

    // The job xqprog runs and the window runs give the same flash, security
    // register and trace row (all but the time); a file changed after the
    // job was opened is refused before the adapter opens.
    void windowRunsTheJobAsXqprogDoes()
    {
        const QString strJob = MakeJob(P("same"), "same");
        QVERIFY(!strJob.isEmpty());
        const QString strCliBench = P("same-cli");
        QCOMPARE(Xqprog({"--trace", P("same-cli.csv"), "run", strJob}, strCliBench).nExit, 0);

        BenchFixture bench;
        // The locked tab offers the number the job's counter gives next (xqprog
        // took 500), not the tab's own or the job's first.
        const auto shownSerial = [](MainWindow& w) { return w.findChild<QLineEdit*>("editSeq")->text(); };
        {
            MainWindow w(bench.BackendPtr());
            QVERIFY(w.OpenJob(strJob));
            QCOMPARE(shownSerial(w), QString("00000501"));
        }
        QFile::remove(P("same/serial.txt"));  // the window starts from the same number
        QFile::remove("XqProgrammer.ini");
        QSettings("XqProgrammer.ini", QSettings::IniFormat).setValue("trace_file", P("same-win.csv"));
        {
            MainWindow w(bench.BackendPtr());
            QVERIFY(w.OpenJob(strJob));
            QCOMPARE(shownSerial(w), QString("00000500"));
            w.findChild<QAction*>("action_write")->trigger();
            QTRY_VERIFY_WITH_TIMEOUT(!w.Busy(), 60000);
            QVERIFY(w.ProgressBar()->styleSheet().contains("#05B8CC"));
            // The result panel names the job it counts for and the number just stamped.
            QCOMPARE(w.Results()->Verdict(), QString("成功"));
            QVERIFY(!w.Results()->JobName().isEmpty());
            QCOMPARE(w.Results()->Serial(), QString("序列号 00000500"));
            QCOMPARE(shownSerial(w), QString("00000501"));
            w.CloseJob();
            QVERIFY(w.Results()->JobName().isEmpty());
        }
        QCOMPARE(bench.Flash(), Slurp(strCliBench + "/flash.bin"));
        QCOMPARE(bench.Security(), Slurp(strCliBench + "/security.bin"));
        QCOMPARE(TraceRows(P("same-win.csv"), 1), TraceRows(P("same-cli.csv"), 1));
        QCOMPARE(TraceRows(P("same-win.csv"), 1).size(), 4);

        // Changed after opening: refused at 烧写, the adapter never opened.
        const sim::BenchStats before = bench.Stats();
        MainWindow w(bench.BackendPtr());
        QVERIFY(w.OpenJob(strJob));
        FlipByte(P("same/fw.bin"), 2);
        m_boxes.clear();
        w.findChild<QAction*>("action_write")->trigger();
        QVERIFY(!w.Busy());
        QCOMPARE(m_boxes.size(), 1);
        QVERIFY(m_boxes[0].contains("文件已改变"));
        QCOMPARE(bench.Stats().nUsbTransfers, before.nUsbTransfers);

        // The job file edited after opening: refused too, the window still shows the job it opened.
        FlipByte(P("same/fw.bin"), 2);
        {
            QSettings ini(strJob, QSettings::IniFormat);
            ini.setValue("image/start", "4000");
        }
        m_boxes.clear();
        w.findChild<QAction*>("action_write")->trigger();
        QCOMPARE(m_boxes.size(), 1);
        QVERIFY2(m_boxes[0].contains(strJob), qPrintable(m_boxes[0]));
        QCOMPARE(bench.Stats().nUsbTransfers, before.nUsbTransfers);
        QCOMPARE(TraceRows(P("same-win.csv"), 1).size(), 4);

        // Stopped: the stop's lines stay the last, no next number after them,
        // and the counter file and the locked tab still offer the first number.
        BenchFixture slow("[timing]\nrealtime=true\n");
        MainWindow ws(slow.BackendPtr());
        QVERIFY(ws.OpenJob(MakeJob(P("stop"), "stop")));
        ws.findChild<QAction*>("action_write")->trigger();
        ws.findChild<QAction*>("action_stop")->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(!ws.Busy(), 60000);
        const QString strLog = ws.findChild<QTextEdit*>("teLog")->toPlainText();
        QVERIFY2(strLog.contains("已中断") && !strLog.contains("下一个序列号"), qPrintable(strLog));
        QVERIFY2(strLog.trimmed().section('\n', -2, -2).endsWith("]: 已中断"), qPrintable(strLog));
        QCOMPARE(Slurp(P("stop/serial.txt")), QByteArray("500\n"));
        QCOMPARE(shownSerial(ws), QString("00000500"));
    }
};

QTEST_MAIN(TestJob)
#include "test_job.moc"
