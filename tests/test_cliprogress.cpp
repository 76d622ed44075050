// The command line's progress bar and the log lines printed around it, on a
// pseudo-terminal: a line never lands inside the bar, the bar never steps back.
#include <cliprogress.h>
#include <i18n.h>
#include <textrules.h>

#include <QtTest>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace {
// A stream in memory; its text is read back after a flush.
struct MemStream {
    char* pBuf = nullptr;
    size_t nSize = 0;
    std::FILE* pFile = open_memstream(&pBuf, &nSize);
    ~MemStream()
    {
        std::fclose(pFile);
        std::free(pBuf);
    }
    QByteArray Text()
    {
        std::fflush(pFile);
        return QByteArray(pBuf, int(nSize));
    }
};
}  // namespace

class TestCliProgress : public QObject {
    Q_OBJECT

    int m_nTerminal = -1;

private slots:
    void initTestCase()
    {
        const int nMaster = posix_openpt(O_RDWR | O_NOCTTY);
        QVERIFY(nMaster >= 0);
        QVERIFY(grantpt(nMaster) == 0 && unlockpt(nMaster) == 0);
        m_nTerminal = open(ptsname(nMaster), O_RDWR | O_NOCTTY);
        QVERIFY(m_nTerminal >= 0);
    }

    void linesStepAroundTheBar()
    {
        MemStream bar, out;
        CliProgress progress(true, bar.pFile, m_nTerminal);
        progress.Set(25);
        const QByteArray strDrawn25 = "\r[##########                              ]  25%";
        QCOMPARE(bar.Text(), strDrawn25);

        CliProgress::PrintLine(out.pFile, "[time]: 擦除完成");
        QCOMPARE(out.Text(), QByteArray("[time]: 擦除完成\n"));
        // Erased (carriage return, erase line), then drawn again after the line.
        QCOMPARE(bar.Text(), strDrawn25 + "\r\033[K" + strDrawn25);

        progress.Set(90);
        const QByteArray strAfter90 = bar.Text();
        progress.Set(89);
        progress.Set(90);
        QCOMPARE(bar.Text(), strAfter90);  // never backwards, no redraw for the same value
        QVERIFY(strAfter90.endsWith("]  90%"));

        progress.Done();
        QVERIFY(bar.Text().endsWith("\n"));
        const QByteArray strDone = bar.Text();
        CliProgress::PrintLine(out.pFile, "结果");
        QCOMPARE(bar.Text(), strDone);  // no bar left to redraw

        progress.Set(10);  // a new operation starts a new bar
        QVERIFY(bar.Text().endsWith("]  10%"));
    }

    // A bar that knows its phase and byte count shows both and the rate; a
    // new phase is drawn at once; the end is one summary line. In Chinese
    // (the texts as written) and in English (the translation installed).
    void phaseBytesAndSummary_data()
    {
        QTest::addColumn<QString>("lang");
        QTest::addColumn<QString>("erase");    // what the bar shows after 10 % of the erase
        QTest::addColumn<QString>("program");  // the same percentage in the next phase
        QTest::addColumn<QString>("summary");  // the closing line, as a pattern
        QTest::addColumn<QString>("twoMiB");   // the line for 2 MiB in 2 s
        QTest::newRow("zh") << "zh" << "]  10% 擦除    7000/70000 字节 " << "]  10% 编程    7000/70000"
                            << "\n70000 字节，用时 [0-9]+\\.[0-9]{2} s \\([0-9]+\\.[0-9] KiB/s\\)\n$"
                            << "2097152 字节，用时 2.00 s (1024.0 KiB/s)";
        QTest::newRow("en") << "en" << "]  10% erase   7000/70000 bytes " << "]  10% program 7000/70000"
                            << "\n70000 bytes in [0-9]+\\.[0-9]{2} s \\([0-9]+\\.[0-9] KiB/s\\)\n$"
                            << "2097152 bytes in 2.00 s (1024.0 KiB/s)";
    }

    void phaseBytesAndSummary()
    {
        QFETCH(QString, lang);
        QFETCH(QString, erase);
        QFETCH(QString, program);
        QFETCH(QString, summary);
        QFETCH(QString, twoMiB);
        QVERIFY(InstallTranslation(*QCoreApplication::instance(), lang));
        MemStream bar;
        CliProgress progress(true, bar.pFile, m_nTerminal);
        progress.Set(10, "erase", 70000);
        QVERIFY2(QString::fromUtf8(bar.Text()).contains(erase), bar.Text().constData());
        progress.Set(10, "program", 70000);  // the same percentage in a new phase
        QVERIFY2(bar.Text().endsWith(" KiB/s") && QString::fromUtf8(bar.Text()).contains(program),
                 bar.Text().constData());
        // A line that fits an 80-column terminal for a 16 MiB flash, with room
        // for a rate of "99999.9 KiB/s" (this one is as fast as the test runs).
        progress.Set(100, "verify", 16 * 1024 * 1024);
        const QString strDrawn = QString::fromUtf8(bar.Text()).section('\r', -1).remove(QRegularExpression("\\S+ KiB/s$"));
        QVERIFY2(xq::TerminalWidth(strDrawn) + 13 < 80, qPrintable(strDrawn));
        progress.Done();
        const QByteArray text = bar.Text();
        QVERIFY2(QRegularExpression(summary.replace("70000", "16777216")).match(QString::fromUtf8(text)).hasMatch(),
                 text.constData());
        QCOMPARE(CliProgress::SummaryLine(2 * 1024 * 1024, 2.0), twoMiB);
        // Without a byte count (a plain bar) no summary line.
        progress.Set(50);
        progress.Done();
        QVERIFY(bar.Text().endsWith("]  50%\n"));
    }

    void noBarWithoutTerminalOrWhenQuiet()
    {
        MemStream bar, out;
        const int nFile = open("/dev/null", O_WRONLY);
        QVERIFY(nFile >= 0);
        CliProgress notTerminal(true, bar.pFile, nFile);
        notTerminal.Set(50);
        CliProgress quiet(false, bar.pFile, m_nTerminal);
        quiet.Set(50);
        CliProgress::PrintLine(out.pFile, "line");
        notTerminal.Done();
        quiet.Done();
        close(nFile);
        QVERIFY(bar.Text().isEmpty());
        QCOMPARE(out.Text(), QByteArray("line\n"));
    }
};

QTEST_GUILESS_MAIN(TestCliProgress)
#include "test_cliprogress.moc"
