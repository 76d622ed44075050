// The main window, its operation protocol, the interface dialog and the
// style-sheet loader, headless on the simulated bench.
#include "benchfixture.h"
#include "testfiles.h"
#include "recordingtransport.h"
#include "tmpfsmount.h"

#include <application.h>
#include <baseop.h>
#include <filesysmodel.h>
#include <i18n.h>
#include <mainwindow.h>
#include <runlogfile.h>
#include <messagebox.h>
#include <spiconfig.h>
#include <staticdata.h>
#include <stylesheet.h>
#include <tabwidgetinf.h>
#include <tracefile.h>

#include <QAction>
#include <QComboBox>
#include <QCryptographicHash>
#include <QDockWidget>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QStatusBar>
#include <QSysInfo>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextFrame>
#include <QToolBar>
#include <QtTest>

namespace {
struct BoxRecord {
    QString strTitle, strText;
};

// A tab whose operations stay busy until the test finishes them.
class PendingTab : public TabWidgetInf {
public:
    int nWrites = 0;
    void SetFlashCtrl(SpiFlashCtrl*) override {}
    void Write() override { ++nWrites; }
    void Read() override {}
    void LoadSettings() override {}
    void SaveSettings() override {}
    void winStateChanged(Qt::WindowStates) override {}
};
}  // namespace

class TestApp : public QObject {
    Q_OBJECT

    QTemporaryDir m_cwd;
    QList<BoxRecord> m_boxes;
    QMessageBox::StandardButton m_answer = QMessageBox::Ok;

    QString LogText(MainWindow& w) { return w.findChild<QTextEdit*>("teLog")->toPlainText(); }
    QAction* Action(MainWindow& w, const char* pName) { return w.findChild<QAction*>(pName); }

private slots:
    void initTestCase()
    {
        Q_INIT_RESOURCE(resources);
        QDir::setCurrent(m_cwd.path());
        msgbox::SetHandler([this](QMessageBox::Icon, const QString& t, const QString& s, QMessageBox::StandardButtons) {
            m_boxes.append({t, s});
            return m_answer;
        });
    }
    void init()
    {
        m_boxes.clear();
        m_answer = QMessageBox::Ok;
        QFile::remove("XqProgrammer.ini");
    }

    void styleSheetExpansion_data()
    {
        QTest::addColumn<QByteArray>("raw");
        QTest::addColumn<QString>("expanded");
        QTest::newRow("plain") << QByteArray("$a = #111;\nQWidget { color: $a; }") << "\nQWidget { color:  #111; }";
        QTest::newRow("later definition wins") << QByteArray("$a = 1;$a = 2;x{w:$a;}") << "x{w: 2;}";
        QTest::newRow("no blank before =") << QByteArray("$abc= red;x{c:$abc;}") << "x{c: redc;}";
        QTest::newRow("definition in a comment") << QByteArray("/* $a = 1; */$b = 2;x{$a $b;}") << "x{$a  2;}";
        QTest::newRow("zero byte ends the text") << QByteArray("$a = 1;x{$a;}\0$a = 9;", 21) << "x{ 1;}";
        QTest::newRow("stray */ before the first /*") << QByteArray("a */ b /* c */ d") << "a */ b  d";
        QTest::newRow("*/ without /*") << QByteArray("x */ y") << "x */ y";
        QTest::newRow("value holds its own name") << QByteArray("$a = [$a];x{$a $a;}") << "x{ [$a]  [$a];}";
        QTest::newRow("rule ends definitions") << QByteArray("$a = 1;\nQ { c: $a; } $b = 2;") << "\nQ { c:  1; } $b = 2;";
    }
    void styleSheetExpansion()
    {
        QFETCH(QByteArray, raw);
        QFETCH(QString, expanded);
        QCOMPARE(ExpandStyleSheet(raw), expanded);
    }

    void nestedVariablesCannotExplode()
    {
        // Each value uses the next variable ten times: 10^9 characters unbounded.
        QByteArray raw;
        const QByteArray names = "abcdefghi";
        for (int i = 0; i < names.size(); ++i) {
            const QByteArray next = i + 1 < names.size() ? "$" + names.mid(i + 1, 1) + "_" : QByteArray("x");
            raw += "$" + names.mid(i, 1) + "_ = " + next.repeated(10) + ";";
        }
        raw += "q{$a_}";
        QElapsedTimer timer;
        timer.start();
        const QString strText = ExpandStyleSheet(raw);
        QVERIFY(strText.size() <= 2 * kMaxStyleSheetChars + raw.size());
        QVERIFY(timer.elapsed() < 20000);
    }

    void shippedStyleSheetUsesEveryVariable()
    {
        const QByteArray sheet = Slurp(":/qss/style.qss");
        QVERIFY(!sheet.isEmpty());
        const QString strExpanded = ExpandStyleSheet(sheet);
        QVERIFY(!strExpanded.contains('$'));
        QVERIFY(strExpanded.contains("QProgressBar::chunk {\n    background-color:  #05B8CC;"));
        // Every image the sheet names is compiled in (a missing one draws nothing, silently).
        QRegularExpression urlPattern("url\\(([^)]+)\\)");
        int nUrls = 0;
        for (auto it = urlPattern.globalMatch(strExpanded); it.hasNext(); ++nUrls) {
            const QString strPath = it.next().captured(1);
            QVERIFY2(QFile::exists(strPath), qPrintable(strPath));
            QVERIFY2(!QImage(strPath).isNull(), qPrintable(strPath));
        }
        QVERIFY(nUrls >= 3);
        QVERIFY(strExpanded.contains("QComboBox::down-arrow"));
        auto* pApp = static_cast<Application*>(qApp);
        QCOMPARE(pApp->LoadStyleSheet("/nonexistent/style.qss"), xq::kErrStyleSheetOpen);
    }

    void windowLayout()
    {
        MainWindow w;
        QCOMPARE(w.windowTitle(), QString("XQ烧写工具 V3.0.0"));
        auto* pTabs = w.findChild<QTabWidget*>("tabWidget");
        QCOMPARE(pTabs->count(), 2);
        QCOMPARE(pTabs->tabText(0), QString(" 镜像操作"));
        QCOMPARE(pTabs->tabText(1), QString("静态数据"));
        QCOMPARE(w.findChild<QDockWidget*>("dockWidget")->windowTitle(), QString(" 运行日志"));
        auto* pToolBar = w.findChild<QToolBar*>("toolBar");
        QStringList texts;
        for (QAction* a : pToolBar->actions())
            texts << (a->isSeparator() ? "|" : a->text());
        QCOMPARE(texts, (QStringList{"配置", "|", "读取", "烧写", "校验", "查空", "复位", "|", "打开任务", "关闭任务",
                                     "保存为任务", "|", "日志"}));
        QStringList menu;
        for (QAction* a : w.findChild<QTextEdit*>("teLog")->actions())
            menu << a->text();
        QCOMPARE(menu, (QStringList{"全选", "拷贝", "全删"}));
        QCOMPARE(w.ProgressBar()->size(), QSize(250, 10));
    }

    void logAndProgress()
    {
        MainWindow w;
        w.findChild<QTextEdit*>("teLog")->clear();  // the no-adapter hint of the start
        QVERIFY(QMetaObject::invokeMethod(&w, "SetLog", Q_ARG(QString, QString())));
        QVERIFY(LogText(w).isEmpty());
        QVERIFY(QMetaObject::invokeMethod(&w, "SetLog", Q_ARG(QString, "复位成功!")));
        QVERIFY(QRegularExpression("^\\[\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3}\\]: 复位成功!$")
                    .match(LogText(w))
                    .hasMatch());
        QCOMPARE(w.statusBar()->currentMessage(), QString("复位成功!"));
        // A file name that looks like markup is logged as typed, on a line of its own.
        QVERIFY(QMetaObject::invokeMethod(&w, "SetLog", Q_ARG(QString, "镜像: x<b>y.bin  &amp;")));
        const QStringList lines = LogText(w).split('\n');
        QCOMPARE(lines.size(), 2);
        QVERIFY2(lines[1].endsWith("]: 镜像: x<b>y.bin  &amp;"), qPrintable(lines[1]));
        for (int v : {55, 101, -1})
            QVERIFY(QMetaObject::invokeMethod(&w, "SetProgress", Q_ARG(int, v)));
        QCOMPARE(w.ProgressBar()->value(), 55);
        QCOMPARE(w.findChild<QLabel*>("labelProgressPercent")->text(), QString("55%"));
        QVERIFY(QMetaObject::invokeMethod(&w, "SetProgress", Q_ARG(int, 100)));
        QCOMPARE(w.ProgressBar()->value(), 100);
        QVERIFY(QMetaObject::invokeMethod(&w, "SetProgress", Q_ARG(int, 0)));
        QCOMPARE(w.ProgressBar()->value(), 0);
    }

    void settingsDefaultsAndRoundTrip()
    {
        {
            MainWindow w;
            w.show();
            QCOMPARE(w.size(), QSize(820, 640));
            QVERIFY(w.findChild<QDockWidget*>("dockWidget")->isVisible());
            QVERIFY(Action(w, "action_log")->isChecked());
            w.resize(900, 700);
            w.findChild<QDockWidget*>("dockWidget")->close();
            QVERIFY(!Action(w, "action_log")->isChecked());  // the dock unchecks the action
            w.close();
        }
        QSettings ini("XqProgrammer.ini", QSettings::IniFormat);
        QCOMPARE(ini.value("size").toSize(), QSize(900, 700));
        QCOMPARE(ini.value("dockwidget_show").toBool(), false);
        QCOMPARE(ini.value("log_check").toBool(), false);
        MainWindow w2;
        w2.show();
        QCOMPARE(w2.size(), QSize(900, 700));
        QVERIFY(!w2.findChild<QDockWidget*>("dockWidget")->isVisible());
        Action(w2, "action_log")->trigger();  // checking it shows the dock again
        QVERIFY(w2.findChild<QDockWidget*>("dockWidget")->isVisible());
    }

    void resizeRule()
    {
        MainWindow w;
        w.show();
        QCoreApplication::processEvents();
        QCOMPARE(w.ProgressBar()->width(), 246);  // showing at 820 pixels: 30 %
        QSignalSpy spy(&w, &MainWindow::winStateChange);
        w.resize(w.width() + 19, w.height());
        QCoreApplication::processEvents();
        QCOMPARE(spy.count(), 0);
        QCOMPARE(w.ProgressBar()->width(), 246);
        w.resize(1000, w.height() + 30);
        QCoreApplication::processEvents();
        QCOMPARE(spy.count(), 1);
        QCOMPARE(w.ProgressBar()->width(), 300);
    }

    void writeWithoutInterfaceWarns()
    {
        auto pEmpty = std::make_shared<RecordingBackend>();
        MainWindow w(pEmpty);
        QAction* pWrite = Action(w, "action_write");
        pWrite->trigger();
        QCOMPARE(m_boxes.size(), 1);
        QCOMPARE(m_boxes[0].strTitle, QString("告警"));
        QCOMPARE(m_boxes[0].strText, QString("接口未打开\n请确认后重试"));
        QVERIFY(!pWrite->isChecked());
        for (const char* p : {"action_config", "action_read", "action_write", "action_reset"})
            QVERIFY(Action(w, p)->isEnabled());
    }

    void busyStateAndFinish()
    {
        BenchFixture bench;
        MainWindow w(bench.BackendPtr());
        auto* pTab = new PendingTab;
        auto* pTabs = w.findChild<QTabWidget*>("tabWidget");
        pTabs->addTab(pTab, "pending");
        pTabs->setCurrentWidget(pTab);
        QAction* pWrite = Action(w, "action_write");
        pWrite->trigger();
        QCOMPARE(pTab->nWrites, 1);
        QVERIFY(pWrite->isChecked());
        for (const char* p : {"action_config", "action_read", "action_write", "action_reset"})
            QVERIFY(!Action(w, p)->isEnabled());
        QVERIFY(Action(w, "action_log")->isEnabled());
        QVERIFY(w.Config()->Ctrl()->IsOpen());
        QVERIFY(QMetaObject::invokeMethod(&w, "SpiFinish", Q_ARG(int, xq::kOptWrite), Q_ARG(bool, false)));
        QVERIFY(!pWrite->isChecked());
        QVERIFY(Action(w, "action_write")->isEnabled());
        QVERIFY(w.ProgressBar()->styleSheet().contains("#FF6E6E"));
        QVERIFY(!w.Config()->Ctrl()->IsOpen());
        pWrite->trigger();
        QVERIFY(w.ProgressBar()->styleSheet().contains("#05B8CC"));
        Action(w, "action_read")->setChecked(true);
        QVERIFY(QMetaObject::invokeMethod(&w, "SpiFinish", Q_ARG(int, 7), Q_ARG(bool, true)));
        QVERIFY(Action(w, "action_read")->isChecked());  // an unknown code unchecks nothing
        QVERIFY(Action(w, "action_config")->isEnabled());
        QVERIFY(!w.Config()->Ctrl()->IsOpen());
    }

    void resetOnTheBenchAndRateChanges()
    {
        BenchFixture bench;
        MainWindow w(bench.BackendPtr());
        QAction* pReset = Action(w, "action_reset");
        auto spiNsPerByte = [&] {
            const auto before = bench.Stats();
            pReset->trigger();
            const auto& after = bench.Stats();
            return double(after.nSpiNs - before.nSpiNs) / double(after.nSpiBytes - before.nSpiBytes);
        };
        const double dAt6MHz = spiNsPerByte();
        QVERIFY(LogText(w).endsWith("复位成功!"));
        QVERIFY(!pReset->isChecked());
        QVERIFY(!w.Config()->Ctrl()->IsOpen());
        w.Config()->findChild<QComboBox*>("cmbRateSel")->setCurrentIndex(9);
        const double dAt30MHz = spiNsPerByte();
        QVERIFY2(qAbs(dAt6MHz - 8000.0 / 6) < 1 && qAbs(dAt30MHz - 8000.0 / 30) < 1,
                 qPrintable(QString("%1 %2").arg(dAt6MHz).arg(dAt30MHz)));
        QVERIFY(w.ProgressBar()->styleSheet().contains("#05B8CC"));
    }

    void resetFailureIsLogged()
    {
        BenchFixture bench("[faults]\nno_flash=true\n");
        MainWindow w(bench.BackendPtr());
        Action(w, "action_reset")->trigger();
        QVERIFY(LogText(w).endsWith("复位失败: -1"));
        QVERIFY(w.ProgressBar()->styleSheet().contains("#FF6E6E"));
    }

    // Checks the image in the window's image tab.
    void CheckImage(MainWindow& w, const QString& strImage)
    {
        auto* pTab = w.findChild<BaseOp*>("tabBaseOp");
        pTab->ShowDirectory(QFileInfo(strImage).absolutePath());
        FileSysModel* pModel = pTab->FileModel();
        QTRY_VERIFY(pModel->mapFileCheck.contains(QFileInfo(strImage).fileName()));
        QVERIFY(pModel->setData(pModel->index(strImage), Qt::Checked, Qt::CheckStateRole));
    }

    // Starts a 1 MiB image write on the window's image tab; the bench runs
    // in real time, so the write lasts long enough to be interrupted.
    void StartLongWrite(MainWindow& w, const QString& strImage)
    {
        QVERIFY(WriteFile(strImage, RandomBytes(1024 * 1024, 16)));
        CheckImage(w, strImage);
        Action(w, "action_write")->trigger();
        QVERIFY(w.Busy());
        QTRY_VERIFY_WITH_TIMEOUT(LogText(w).contains("正在烧写镜像..."), 30000);
    }

    void closeWhileWritingWaitsOrStops()
    {
        BenchFixture bench("[timing]\nrealtime=true\n");
        bench.FillPattern();
        QTemporaryDir files;
        auto pWindow = std::make_unique<MainWindow>(bench.BackendPtr());
        pWindow->show();
        StartLongWrite(*pWindow, files.filePath("fw.bin"));

        m_answer = QMessageBox::Cancel;  // wait
        QVERIFY(!pWindow->close());
        QCOMPARE(m_boxes.size(), 1);
        QVERIFY(m_boxes[0].strText.contains("操作正在进行中"));
        QVERIFY(pWindow->isVisible() && pWindow->Busy());

        m_answer = QMessageBox::Abort;  // stop after the current flash command, then quit
        QVERIFY(!pWindow->close());
        QVERIFY(pWindow->Busy());
        QVERIFY(!pWindow->close());  // a third close while stopping asks nothing and changes nothing
        QCOMPARE(m_boxes.size(), 2);
        QTRY_VERIFY_WITH_TIMEOUT(!pWindow->isVisible(), 30000);
        QVERIFY(!pWindow->Busy());
        const QString strLog = LogText(*pWindow);
        QVERIFY2(strLog.contains("已中断") && strLog.contains("芯片上的数据不完整，请重新烧写"), qPrintable(strLog));
        QVERIFY(!strLog.contains("校验成功"));
        pWindow.reset();
        // The bench saved what the chip holds and let go of its lock.
        QVERIFY(!QFile::exists(bench.Dir() + "/bench.lock"));
        const QByteArray flash = bench.Flash();
        const QByteArray image = RandomBytes(1024 * 1024, 16);
        QCOMPARE(flash.left(256), image.left(256));
        QCOMPARE(flash.mid(1024 * 1024 - 256, 256), QByteArray(256, char(0xFF)));
        XQ_VERIFY_FLASH_KEPT(bench, {{0, 1024 * 1024}});
    }

    void windowDestroyedWhileWritingJoinsFirst()
    {
        BenchFixture bench("[timing]\nrealtime=true\n");
        QTemporaryDir files;
        auto pWindow = std::make_unique<MainWindow>(bench.BackendPtr());
        StartLongWrite(*pWindow, files.filePath("fw.bin"));
        // No close question (the session ends, say): the worker is stopped
        // and joined before the controller goes, and the file log says so.
        pWindow.reset();
        QVERIFY(!QFile::exists(bench.Dir() + "/bench.lock"));
        QVERIFY(TodayLog().contains("程序退出时操作仍在进行"));
    }

    QString TodayLog()
    {
        return QString::fromUtf8(Slurp(RunLogFile::Directory() + "/" + QDate::currentDate().toString("yyyy-MM-dd") + ".log"));
    }

    void refusedOperationIsNotRunAndFailedSaveFails()
    {
        {
            BenchFixture bench;
            MainWindow w(bench.BackendPtr());
            const int nBefore = TodayLog().count("结果: 未执行");
            Action(w, "action_write")->trigger();  // no image checked: the tab refuses
            QVERIFY(!w.Busy());
            QCOMPARE(TodayLog().count("结果: 未执行"), nBefore + 1);
        }
        // Each line of a text of several lines carries the stamp.
        QVERIFY(RunLogFile().Append("[2026-01-02 03:04:05.006]: 接口未打开\n请确认后重试"));
        QVERIFY(TodayLog().endsWith("[2026-01-02 03:04:05.006]: 接口未打开\n[2026-01-02 03:04:05.006]: 请确认后重试\n"));
        TmpfsMount full(3 * 1024);
        if (!full.Mounted())
            QSKIP(qPrintable(full.Why()));
        const QString strTrace = m_cwd.filePath("trace-unsaved.csv");
        QSettings("XqProgrammer.ini", QSettings::IniFormat).setValue("trace_file", strTrace);
        MainWindow w(sim::MakeSimulatedBench(full.Path()));
        QSettings("XqProgrammer.ini", QSettings::IniFormat).remove("trace_file");
        Action(w, "action_reset")->trigger();  // the chip resets, the bench cannot keep it
        // The traceability row tells the same: the close failed the operation.
        QCOMPARE(QString(Slurp(strTrace).split('\n').value(1)).section(',', 3, 5),
                 QString("reset,failed,%1").arg(xq::kErrAdapterClose));
        QVERIFY(LogText(w).contains("复位成功!"));
        QVERIFY2(LogText(w).contains("接口关闭失败") && LogText(w).contains(full.Path() + "/flash.bin") &&
                     LogText(w).contains("No space left on device"),
                 qPrintable(LogText(w)));
        QVERIFY(w.ProgressBar()->styleSheet().contains("#FF6E6E"));
        QVERIFY(TodayLog().endsWith("结果: 失败\n"));
        // The operation's lines carry the interface in the file.
        QVERIFY(TodayLog().contains("]: [FT2232-LOC-1] 复位成功!\n"));
    }

    void startWithoutAdapterSaysWhatToCheck()
    {
        // Without --simulate the real adapters are the only ones: none
        // plugged in means an empty list and a hint, never the bench.
        auto pEmpty = std::make_shared<RecordingBackend>();
        MainWindow w(pEmpty);
        QVERIFY(!w.Config()->InterfacesFound());
        QCOMPARE(w.Config()->findChild<QComboBox*>("cmbInfSel")->count(), 0);
        const QString strLog = LogText(w);
        QVERIFY(strLog.contains("未找到USB适配器"));
        for (const char* pHint : {"USB线缆", "udev", "plugdev"})
            QVERIFY2(strLog.contains(pHint), pHint);
        QVERIFY(!w.findChild<QLabel*>("lblBench"));
        QVERIFY(!w.windowTitle().contains("模拟"));
    }

    // trace_file in the settings: one CSV row per chip operation, whatever
    // its result, under the column names written once; a row that cannot be
    // written fails the operation.
    void traceFileRowPerOperation()
    {
        const QString strTrace = m_cwd.filePath("trace.csv");
        {
            QSettings ini("XqProgrammer.ini", QSettings::IniFormat);
            ini.setValue("trace_file", strTrace);
            ini.setValue("BaseOp/chk_seq", true);
            ini.setValue("BaseOp/seq_id", "00000009");
        }
        BenchFixture bench;
        QTemporaryDir files;
        const QByteArray image = RandomBytes(0x1800, 61);
        QVERIFY(WriteFile(files.filePath("fw.bin"), image));
        {
            MainWindow w(bench.BackendPtr());
            auto write = [&](const QString& strStart) {
                w.findChild<BaseOp*>("tabBaseOp")->findChild<QLineEdit*>("editStartAddr")->setText(strStart);
                CheckImage(w, files.filePath("fw.bin"));
                Action(w, "action_write")->trigger();
                QTRY_VERIFY_WITH_TIMEOUT(!w.Busy(), 30000);
            };
            write("2000");
            Action(w, "action_reset")->trigger();
            write("1FF000");  // runs past the end of the flash: refused
            bench.SetIni("[faults]\ndead_sectors=2000\n");
            write("2000");  // fails its verify
        }
        const QList<QByteArray> lines = Slurp(strTrace).split('\n');
        QCOMPARE(lines.size(), 6);  // the column names, four rows and the last line feed
        // Start 0 and size 0 are values, not "none" (-1).
        OperationReport atZero;
        atZero.strOperation = "read";
        atZero.nStart = 0;
        atZero.nSize = 0;
        QCOMPARE(QString(TraceFile::Row(atZero, QDateTime::currentDateTime(), "pc")).section(',', 10),
                 QString("0x000000,0,,\n"));  // no job
        QCOMPARE(lines[0] + '\n', TraceFile::Header());
        const QString strUid = "58514245" "4E434830" "31323334" "35363738";
        const QString strSha = QCryptographicHash::hash(image, QCryptographicHash::Sha256).toHex();
        const QString strTime = QString(lines[1]).section(',', 0, 0);
        QVERIFY2(QDateTime::fromString(strTime, Qt::ISODateWithMs).isValid(), qPrintable(strTime));
        const QString strChip = "EF4015," + strUid;
        QCOMPARE(QString(lines[1]).section(',', 1),
                 QSysInfo::machineHostName() + ",FT2232-LOC-1,write,ok,0," + strChip + ",9," + strSha + ",0x002000,6144,,");
        QCOMPARE(QString(lines[2]).section(',', 2, 5), QString("FT2232-LOC-1,reset,ok,0"));
        QCOMPARE(QString(lines[3]).section(',', 3),
                 QString("write,refused,%1,%2,,%3,0x1FF000,6144,,").arg(xq::kErrBadArgument).arg(strChip, strSha));
        QCOMPARE(QString(lines[4]).section(',', 3),
                 QString("write,failed,%1,%2,,%3,0x002000,6144,,").arg(xq::kErrRepairFailed).arg(strChip, strSha));

        QSettings("XqProgrammer.ini", QSettings::IniFormat).setValue("trace_file", files.path());  // a directory
        bench.SetIni("[faults]\n");
        MainWindow w(bench.BackendPtr());
        Action(w, "action_reset")->trigger();
        QVERIFY(LogText(w).contains("追溯记录写入失败: " + files.path()));
        QVERIFY(w.ProgressBar()->styleSheet().contains("#FF6E6E"));
    }

    // 校验 and 查空 beside 烧写: the checked image against the flash at the
    // start address, and the range the chosen erase would erase; neither
    // changes the chip, and both stand idle on a tab that cannot verify.
    void verifyAndBlankFromTheToolbar()
    {
        BenchFixture bench;
        QByteArray flash = bench.FillPattern();
        flash.replace(0x1F0000, 0x10000, QByteArray(0x10000, char(0xFF)));
        bench.WriteFlash(flash);
        QTemporaryDir files;
        QByteArray image = flash.mid(0x3000, 0x2000);
        QVERIFY(WriteFile(files.filePath("same.bin"), image));
        image[0x100] = char(~image[0x100]);
        QVERIFY(WriteFile(files.filePath("differs.bin"), image));
        MainWindow w(bench.BackendPtr());
        auto* pTab = w.findChild<BaseOp*>("tabBaseOp");
        auto* pStart = pTab->findChild<QLineEdit*>("editStartAddr");
        pStart->setText("3000");
        QAction* pVerify = Action(w, "action_verify");
        QAction* pBlank = Action(w, "action_blank");
        auto run = [&](QAction* pAction, const QString& strLast, bool bOk) {
            pAction->trigger();
            QTRY_VERIFY_WITH_TIMEOUT(!w.Busy(), 30000);
            QVERIFY(!pAction->isChecked());
            QVERIFY2(LogText(w).endsWith(strLast), qPrintable(LogText(w).right(200)));
            QVERIFY(w.ProgressBar()->styleSheet().contains(bOk ? "#05B8CC" : "#FF6E6E"));
        };
        pVerify->trigger();  // no image checked
        QCOMPARE(m_boxes.size(), 1);
        QCOMPARE(m_boxes[0].strText, QString("请选择一个文件进行校验"));
        QVERIFY(!w.Busy() && pVerify->isEnabled());
        CheckImage(w, files.filePath("same.bin"));
        run(pVerify, "校验成功: 芯片与镜像一致 (0x3000 ~ 0x5000, 8192 字节)", true);
        CheckImage(w, files.filePath("differs.bin"));
        run(pVerify, "校验失败: 首个不同的地址 0x3100, 共 1 字节不同", false);

        auto* pErase = pTab->findChild<QComboBox*>("cmbDownOptions");
        pErase->setCurrentIndex(kEraseBySize);
        pTab->findChild<QLineEdit*>("editEraseBytes")->setText("65536");
        pStart->setText("1F0000");
        run(pBlank, "查空成功: 0x1F0000 ~ 0x200000, 65536 字节 全部为空白", true);
        pStart->setText("1EFFFF");
        QVERIFY(flash[0x1EFFFF] != char(0xFF));
        run(pBlank, "查空失败: 首个非空白地址 0x1EFFFF, 共 1 字节不是空白", false);
        pErase->setCurrentIndex(kEraseWhole);  // the whole chip, whatever the start address
        pBlank->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(!w.Busy(), 30000);
        QVERIFY(LogText(w).contains(QRegularExpression("查空失败: 首个非空白地址 0x[0-9A-F]+, 共 \\d+ 字节不是空白$")));
        QVERIFY(bench.ChangedOutside({{0x1F0000, 0x10000}}).isEmpty());

        w.findChild<QTabWidget*>("tabWidget")->setCurrentWidget(w.findChild<StaticData*>());
        QVERIFY(!pVerify->isEnabled() && !pBlank->isEnabled());
        QVERIFY(Action(w, "action_write")->isEnabled());
    }

    void benchIsMarkedInTheStatusBar()
    {
        BenchFixture bench;
        MainWindow w(bench.BackendPtr());
        QVERIFY(!LogText(w).contains("未找到USB适配器"));
        auto* pLabel = w.statusBar()->findChild<QLabel*>("lblBench");
        QVERIFY(pLabel);
        QCOMPARE(pLabel->text(), QString("模拟测试台：不会烧写真实芯片"));
        QVERIFY(w.windowTitle().endsWith(" [模拟]"));
        QVERIFY(LogText(w).contains(bench.Dir()));
        // A status message must not push the marker away.
        QMetaObject::invokeMethod(&w, "SetLog", Q_ARG(QString, "复位成功!"));
        w.show();
        QVERIFY(pLabel->isVisible());
    }

    void dialogWithoutAdapters()
    {
        auto pEmpty = std::make_shared<RecordingBackend>();
        SpiConfig dlg(pEmpty);
        QVERIFY(!dlg.InterfacesFound());
        QCOMPARE(dlg.findChild<QComboBox*>("cmbInfSel")->count(), 0);
        QCOMPARE(dlg.RateIndex(), 5);
        QVERIFY(QMetaObject::invokeMethod(&dlg, "InfChanged", Q_ARG(int, 0)));
        QVERIFY(pEmpty->opens.empty());
        dlg.findChild<QPushButton*>("pbRefreshInfo")->click();
        QCOMPARE(m_boxes.size(), 1);
        QCOMPARE(m_boxes[0].strTitle, QString("错误"));
        QCOMPARE(m_boxes[0].strText, QString("接口打开失败\n请确认后重试"));
        // A refresh that finds an adapter opens it at 6 MHz, but the flag stays.
        mpsse::AdapterEntry e;
        e.nProduct = 0x6010;
        e.nLocation = 33;
        pEmpty->entries.push_back(e);
        dlg.findChild<QPushButton*>("pbRefresh")->click();
        QCOMPARE(dlg.InterfaceName(), QByteArray("FT2232-LOC-33"));
        QVERIFY(dlg.Ctrl()->IsOpen());
        const size_t nOpens = pEmpty->opens.size();
        QVERIFY(QMetaObject::invokeMethod(&dlg, "InfChanged", Q_ARG(int, 0)));
        QCOMPARE(pEmpty->opens.size(), nOpens);
    }

    void dialogShowsModelAndFlash_data()
    {
        QTest::addColumn<QString>("ini");
        QTest::addColumn<QString>("model");
        QTest::addColumn<QString>("sizeLine");
        QTest::newRow("XQ6230 2M") << "[chip]\nmodel=XQ6230\n" << "XQ6230" << "页大小\t : 256 Bytes\t总大小\t : 2  MBytes";
        QTest::newRow("XQ6030 1M") << "[chip]\nmodel=XQ6030\n[flash]\njedec=EF4014\n" << "XQ6030"
                                   << "页大小\t : 256 Bytes\t总大小\t : 1  MBytes";
        QTest::newRow("XQ6130 512K") << "[chip]\nmodel=XQ6130\n[flash]\njedec=EF4013\n" << "XQ6130"
                                     << "页大小\t : 256 Bytes\t总大小\t : 512 KBytes";
    }
    void dialogShowsModelAndFlash()
    {
        QFETCH(QString, ini);
        QFETCH(QString, model);
        QFETCH(QString, sizeLine);
        BenchFixture bench(ini + "[flash]\nuid=0A1B2C3D00000001DEADBEEF12345678\n");
        SpiConfig dlg(bench.BackendPtr());
        QVERIFY(dlg.InterfacesFound());
        // The serial number beside the name; the name is what opens the adapter.
        auto* pInf = dlg.findChild<QComboBox*>("cmbInfSel");
        QCOMPARE(pInf->currentText(), QString("FT2232-LOC-1  [XQ000001]"));
        QCOMPARE(dlg.InterfaceName(), QByteArray("FT2232-LOC-1"));
        QCOMPARE(pInf->itemData(0, Qt::ToolTipRole).toString(),
                 QString("序列号: XQ000001\n描述: Dual RS232-HS\n位置: bench-1"));
        dlg.findChild<QPushButton*>("pbRefreshInfo")->click();
        QCOMPARE(dlg.findChild<QLabel*>("lblMcu")->text(), model);
        // The lines are shown as a table: each label beside its value, in a row per line.
        QTextDocument shown;
        shown.setHtml(dlg.findChild<QLabel*>("lblFlashInfo")->text());
        auto squash = [](QString strText) {
            return strText.remove(QRegularExpression("[\\s:\\x{00A0}]"));
        };
        QCOMPARE(squash(shown.toPlainText()),
                 squash("厂商ID : EF 设备ID : 14" + sizeLine + "序列号 : 0A1B2C3D-00000001-DEADBEEF-12345678"));
        QCOMPARE(shown.rootFrame()->childFrames().size(), 1);  // one table
        QVERIFY(!dlg.Ctrl()->IsOpen());
    }

    void flashInfoFormatting()
    {
        FlashInfo info;
        info.nManufacturerId = 0x0A;
        info.nDeviceId = 0xB;
        info.nPageSize = 256;
        info.nTotalSize = 1048575;
        info.uniqueId[0] = 0xabc;
        const QStringList lines = SpiConfig::FlashInfoText(info).split("\n\n");
        QCOMPARE(lines[0], QString("厂商ID   : 0A\t\t设备ID   : 0B"));
        QCOMPARE(lines[1], QString("页大小\t : 256 Bytes\t总大小\t : 1023 KBytes"));
        QCOMPARE(lines[2], QString("序列号\t : 00000ABC-00000000-00000000-00000000"));
        QCOMPARE(SpiConfig::ModelName(0xABCD0001, 524288, true), QString("XQ6130"));
        QCOMPARE(SpiConfig::ModelName(0xABCD0001, 2097152, true), QString("XQ6030"));
        QCOMPARE(SpiConfig::ModelName(0xABCD0001, 0, false), QString("XQ6030"));
        QCOMPARE(SpiConfig::ModelName(0x12345678, 0, true), QString("未知"));
    }

    // Last: it installs Qt's own Chinese texts into the application for good.
    void qtOwnTextsFollowTheLanguage()
    {
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QString("Cancel"));
        QVERIFY(InstallQtTranslation(*qApp, "en"));
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QString("Cancel"));
        QVERIFY(InstallQtTranslation(*qApp, "zh"));
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QString("取消"));
        QCOMPARE(QCoreApplication::translate("QFileDialog", "File &name:"), QString("文件名称(&N)："));
    }

    // Last as well: English for good. The longer English texts must fit where the Chinese ones do.
    void englishTextsFit()
    {
        QVERIFY(InstallTranslation(*qApp, "en"));
        MainWindow w;
        w.resize(820, 640);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        auto* pPanel = w.findChild<StaticData*>()->findChild<QWidget*>("widgetCtrl");
        w.findChild<QTabWidget*>("tabWidget")->setCurrentWidget(w.findChild<StaticData*>());
        QCoreApplication::processEvents();
        for (QLabel* pLabel : pPanel->findChildren<QLabel*>())
            QVERIFY2(pLabel->width() >= pLabel->sizeHint().width(), qPrintable(pLabel->text()));
        QVERIFY(pPanel->findChild<QLabel*>("lblStartAddr")->text().remove('&').startsWith("Start address"));
        QCOMPARE(Action(w, "action_verify")->text(), QString("Verify"));
        QCOMPARE(Action(w, "action_blank")->text(), QString("Blank check"));

        BenchFixture bench;
        SpiConfig dlg(bench.BackendPtr());
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QVERIFY(dlg.findChild<QComboBox*>("cmbInfSel")->itemData(0, Qt::ToolTipRole).toString().startsWith(
            "Serial number: XQ000001\nDescription: "));
        const QSize sizeBefore = dlg.size();
        dlg.findChild<QPushButton*>("pbRefreshInfo")->click();
        QCoreApplication::processEvents();
        QVERIFY(dlg.findChild<QLabel*>("lblFlashInfo")->text().contains("Unique ID"));
        QCOMPARE(dlg.size(), sizeBefore);  // room was there from the start
    }
};

// The test runs under the program's own application object, so that its
// style-sheet loader can be exercised.
int main(int argc, char* argv[])
{
    Application app(argc, argv);
    TestApp test;
    return QTest::qExec(&test, argc, argv);
}
#include "test_app.moc"
