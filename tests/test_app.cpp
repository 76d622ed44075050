// The main window, its operation protocol, the interface dialog and the
// style-sheet loader, headless on the simulated bench.
#include "benchfixture.h"
#include "testfiles.h"
#include "recordingtransport.h"
#include "tmpfsmount.h"

#include <application.h>
#include <baseop.h>
#include <filesysmodel.h>
#include <commontexts.h>
#include <i18n.h>
#include <mainwindow.h>
#include <resultpanel.h>
#include <runlogfile.h>
#include <messagebox.h>
#include <spiconfig.h>
#include <staticdata.h>
#include <stylesheet.h>
#include <tabwidgetinf.h>
#include <tracefile.h>
#include <workbookexport.h>

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QComboBox>
#include <QCryptographicHash>
#include <QDockWidget>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QCheckBox>
#include <QHeaderView>
#include <QTableView>
#include <QToolButton>
#include <QScreen>
#include <QTabWidget>
#include <QSplitter>
#include <QStatusBar>
#include <QSysInfo>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextFrame>
#include <QToolBar>
#include <QtTest>

#include <csignal>

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

    // The window opened with the saved size where the screen has room for
    // it, else shrunk into the screen (the test screen is 800x600).
    static void CheckOpenedAs(MainWindow& w, const QSize& saved)
    {
        const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
        QVERIFY(available.contains(w.frameGeometry()));
        QCOMPARE(w.width(), qMin(saved.width(), available.width() - (w.frameGeometry().width() - w.width())));
        if (saved.height() < available.height() - 40)
            QCOMPARE(w.height(), saved.height());
        else
            QVERIFY(w.height() < saved.height());
    }
    QString LogText(MainWindow& w) { return w.findChild<QTextEdit*>("teLog")->toPlainText(); }
    QAction* Action(MainWindow& w, const char* pName) { return w.findChild<QAction*>(pName); }

    // Boxes are recorded and answered with m_answer.
    void AnswerBoxes()
    {
        msgbox::SetHandler([this](QMessageBox::Icon, const QString& t, const QString& s, QMessageBox::StandardButtons) {
            m_boxes.append({t, s});
            return m_answer;
        });
    }

private slots:
    void initTestCase()
    {
        Q_INIT_RESOURCE(resources);
        QDir::setCurrent(m_cwd.path());
        AnswerBoxes();
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

    // The saved or default place moved and shrunk into the screen's free area.
    void fitIntoScreen_data()
    {
        QTest::addColumn<QRect>("wanted");
        QTest::addColumn<QRect>("available");
        QTest::addColumn<QRect>("fit");
        QTest::newRow("default on 1024x600") << QRect(550, 170, 820, 640) << QRect(0, 0, 1024, 570) << QRect(102, 0, 820, 570);
        QTest::newRow("fits already") << QRect(550, 170, 820, 640) << QRect(0, 0, 1920, 1050) << QRect(550, 170, 820, 640);
        QTest::newRow("touches every edge") << QRect(0, 30, 1280, 690) << QRect(0, 30, 1280, 690) << QRect(0, 30, 1280, 690);
        QTest::newRow("left of the screen") << QRect(-900, 100, 820, 640) << QRect(0, 0, 1920, 1050) << QRect(550, 205, 820, 640);
        QTest::newRow("bigger than the screen") << QRect(10, 10, 3000, 2000) << QRect(0, 30, 1280, 690) << QRect(0, 30, 1280, 690);
        QTest::newRow("second screen gone") << QRect(2500, 300, 820, 640) << QRect(0, 0, 1920, 1050) << QRect(550, 205, 820, 640);
        QTest::newRow("panel on the left") << QRect(0, 0, 820, 640) << QRect(48, 0, 976, 600) << QRect(126, 0, 820, 600);
    }
    void fitIntoScreen()
    {
        QFETCH(QRect, wanted);
        QFETCH(QRect, available);
        QFETCH(QRect, fit);
        QCOMPARE(MainWindow::FitIntoScreen(wanted, available), fit);
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
        // Light text on the bench marker and the verdicts: a contrast of 4.5:1 at least.
        auto luminance = [](const QColor& c) {
            auto f = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
            return 0.2126 * f(c.redF()) + 0.7152 * f(c.greenF()) + 0.0722 * f(c.blueF());
        };
        for (const char* pRule : {"QLabel#lblBench", "QLabel#lblVerdict[state=\"passed\"]", "QLabel#lblVerdict[state=\"failed\"]"}) {
            const int nAt = strExpanded.indexOf(QString(pRule) + " {");
            QVERIFY2(nAt >= 0, pRule);
            const QString strRule = strExpanded.mid(nAt, strExpanded.indexOf('}', nAt) - nAt);
            const QRegularExpression fore("[^-]color:\\s*(#[0-9A-Fa-f]{6})"), back("background-color:\\s*(#[0-9A-Fa-f]{6})");
            const double a = luminance(QColor(fore.match(strRule).captured(1)));
            const double b = luminance(QColor(back.match(strRule).captured(1)));
            QVERIFY2(QColor(fore.match(strRule).captured(1)).isValid() && QColor(back.match(strRule).captured(1)).isValid(), pRule);
            QVERIFY2((qMax(a, b) + 0.05) / (qMin(a, b) + 0.05) >= 4.5, pRule);
        }
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
        QCOMPARE(texts, (QStringList{"配置", "|", "读取", "烧写", "复位", "|", "日志", "|", "校验", "查空", "停止", "|",
                                     "打开任务", "关闭任务", "保存为任务"}));
        const QList<QPair<const char*, QString>> tips{{"action_config", "配置"},     {"action_write", "烧写Flash"},
                                                      {"action_read", "读取Flash"},  {"action_log", "查看/关闭日志"},
                                                      {"action_reset", "芯片软复位"}};
        for (const auto& [pName, strTip] : tips)
            QCOMPARE(Action(w, pName)->toolTip(), strTip);
        // The operations have a key, named in their status tips, and every button takes the keyboard focus.
        for (QAction* a : pToolBar->actions()) {
            if (a->isSeparator())
                continue;
            QCOMPARE(pToolBar->widgetForAction(a)->focusPolicy(), Qt::TabFocus);
            if (a->text().contains("任务"))
                continue;
            QVERIFY2(!a->shortcut().isEmpty(), qPrintable(a->text()));
            if (a->objectName() != "action_stop")
                QVERIFY2(a->statusTip().endsWith("(" + a->shortcut().toString(QKeySequence::NativeText) + ")"),
                         qPrintable(a->statusTip()));
        }
        QCOMPARE(Action(w, "action_stop")->shortcut(), QKeySequence(Qt::Key_Escape));
        QVERIFY(!Action(w, "action_stop")->isEnabled());
        // The option labels have a key and focus their field.
        auto* pBase = w.findChild<BaseOp*>("tabBaseOp");
        auto* pStart = pBase->findChild<QLabel*>("labelStartAddr");
        QCOMPARE(pStart->buddy(), pBase->findChild<QWidget*>("editStartAddr"));
        QCOMPARE(pBase->findChild<QLabel*>("labelDownOptions")->buddy(), pBase->findChild<QWidget*>("cmbDownOptions"));
        // The texts as written: the keys are in the status tips.
        const QList<QPair<const char*, QString>> labels{{"labelStartAddr", "起始地址:"}, {"labelDownOptions", "烧写选项:"}};
        for (const auto& [pName, strText] : labels)
            QCOMPARE(pBase->findChild<QLabel*>(pName)->text(), strText);
        const QList<QPair<const char*, QString>> buttons{
            {"radioReadByte", "读取字节数:"}, {"radioReadAll", "整片读取"}, {"chkSeqId", "写入序列号:"}, {"chkProtect", "写保护"}};
        for (const auto& [pName, strText] : buttons) {
            QCOMPARE(pBase->findChild<QAbstractButton*>(pName)->text(), strText);
            QVERIFY2(pBase->findChild<QAbstractButton*>(pName)->statusTip().startsWith("Alt+"), pName);
        }
        auto* pStatic = w.findChild<StaticData*>("tabStatic");
        const QList<QPair<const char*, QString>> staticLabels{
            {"lblstorage", "存储:"}, {"lblStartAddr", "起始地址:0x"}, {"lblTotalSize", "总大小(Byte):"}};
        for (const auto& [pName, strText] : staticLabels) {
            QCOMPARE(pStatic->findChild<QLabel*>(pName)->text(), strText);
            QVERIFY2(pStatic->findChild<QLabel*>(pName)->buddy(), pName);
        }
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
            CheckOpenedAs(w, QSize(820, 640));
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
        CheckOpenedAs(w2, QSize(900, 700));
        QVERIFY(!w2.findChild<QDockWidget*>("dockWidget")->isVisible());
        Action(w2, "action_log")->trigger();  // checking it shows the dock again
        QVERIFY(w2.findChild<QDockWidget*>("dockWidget")->isVisible());
    }

    void resizeRule()
    {
        MainWindow w;
        w.show();
        QCoreApplication::processEvents();
        w.resize(700, w.height());
        QCoreApplication::processEvents();
        QCOMPARE(w.ProgressBar()->width(), 210);  // 30 % of the width
        QSignalSpy spy(&w, &MainWindow::winStateChange);
        w.resize(w.width() + 19, w.height());
        QCoreApplication::processEvents();
        QCOMPARE(spy.count(), 0);
        QCOMPARE(w.ProgressBar()->width(), 210);
        w.resize(1000, w.height() + 30);
        QCoreApplication::processEvents();
        QCOMPARE(spy.count(), 1);
        QCOMPARE(w.ProgressBar()->width(), 300);
    }

    void writeWithoutInterfaceWarns()
    {
        auto pEmpty = std::make_shared<RecordingBackend>();
        const int nLogged = TodayLog().count("接口未打开");
        MainWindow w(pEmpty);
        QAction* pWrite = Action(w, "action_write");
        pWrite->trigger();
        QCOMPARE(m_boxes.size(), 1);
        QCOMPARE(m_boxes[0].strTitle, QString("告警"));
        QCOMPARE(m_boxes[0].strText, QString("接口未打开\n请确认后重试"));
        QVERIFY(!pWrite->isChecked());
        // The refusal is in the log pane and the run log too, for reset as well.
        Action(w, "action_reset")->trigger();
        QCOMPARE(m_boxes.size(), 2);
        QCOMPARE(LogText(w).count("接口未打开"), 2);
        QCOMPARE(TodayLog().count("接口未打开"), nLogged + 2);
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
        QVERIFY(QMetaObject::invokeMethod(&w, "SpiFinish", Q_ARG(int, OptOf(OperationKind::kWrite)), Q_ARG(bool, false)));
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

    // 停止 ends a write after its current flash command and keeps the window
    // open; the log and the result panel say what the chip was left with.
    void stopKeepsTheWindowOpen()
    {
        BenchFixture bench("[timing]\nrealtime=true\n");
        QTemporaryDir files;
        MainWindow w(bench.BackendPtr());
        w.show();
        QAction* pStop = Action(w, "action_stop");
        QVERIFY(!pStop->isEnabled());
        StartLongWrite(w, files.filePath("fw.bin"));
        QVERIFY(pStop->isEnabled());
        QCOMPARE(w.Results()->Verdict(), QString("进行中"));
        pStop->trigger();
        QVERIFY(!pStop->isEnabled());  // once is enough
        QTRY_VERIFY_WITH_TIMEOUT(!w.Busy(), 30000);
        QVERIFY(w.isVisible());
        QVERIFY(m_boxes.isEmpty());
        QVERIFY(!pStop->isEnabled());
        for (const char* p : {"action_config", "action_read", "action_write", "action_reset"})
            QVERIFY(Action(w, p)->isEnabled());
        const QString strLog = LogText(w);
        QVERIFY2(strLog.contains("正在停止") && strLog.contains("已中断"), qPrintable(strLog));
        QVERIFY(!strLog.contains("校验成功"));
        // The panel names the stop and the worker's word on the chip.
        const QString strLast = strLog.section("]: ", -1);
        QVERIFY2(strLast.contains("芯片"), qPrintable(strLast));
        QCOMPARE(w.Results()->Verdict(), QString("失败"));
        QCOMPARE(w.Results()->Reason(), "已中断: " + strLast);
        QCOMPARE(w.Results()->Failed(), 1);
        QVERIFY(!w.Config()->Ctrl()->IsOpen());
        // The next operation runs in full.
        Action(w, "action_reset")->trigger();
        QCOMPARE(w.Results()->Verdict(), QString("成功"));
    }

    // After each operation: the verdict, its reason from the operation's
    // report (no trace file needed), the time, and the counters.
    void resultPanelAfterEachOperation()
    {
        BenchFixture bench;
        QTemporaryDir files;
        QVERIFY(WriteFile(files.filePath("fw.bin"), RandomBytes(0x1800, 62)));
        MainWindow w(bench.BackendPtr());
        ResultPanel* pPanel = w.Results();
        QCOMPARE(pPanel->Verdict(), QString("就绪"));
        Action(w, "action_reset")->trigger();
        QCOMPARE(pPanel->Verdict(), QString("成功"));
        QCOMPARE(pPanel->Reason(), QString("复位成功!"));
        QVERIFY(QRegularExpression("^用时 \\d+\\.\\d 秒$").match(pPanel->findChild<QLabel*>("lblElapsed")->text()).hasMatch());

        auto write = [&] {
            CheckImage(w, files.filePath("fw.bin"));
            w.findChild<BaseOp*>("tabBaseOp")->findChild<QLineEdit*>("editStartAddr")->setText("2000");
            Action(w, "action_write")->trigger();
            QTRY_VERIFY_WITH_TIMEOUT(!w.Busy(), 30000);
        };
        write();
        QCOMPARE(pPanel->Verdict(), QString("成功"));
        QCOMPARE(pPanel->Reason(), QString("校验成功"));
        bench.SetIni("[faults]\ndead_sectors=2000\n");
        write();
        QCOMPARE(pPanel->Verdict(), QString("失败"));
        QCOMPARE(pPanel->Reason(), QString("校验失败: 修复失败，请更换芯片"));
        QVERIFY(pPanel->findChild<QLabel*>("lblVerdict")->property("state") == "failed");
        QCOMPARE(pPanel->findChild<QLabel*>("lblCounters")->text(), QString("通过 2   失败 1"));

        // Refused before the chip: nothing ran, nothing counted.
        w.findChild<BaseOp*>("tabBaseOp")->findChild<QLineEdit*>("editStartAddr")->setText("1FF000");
        Action(w, "action_write")->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(!w.Busy(), 30000);
        QCOMPARE(pPanel->Verdict(), QString("失败"));  // the worker refused the range
        QVERIFY2(pPanel->Reason().startsWith("操作范围超出Flash容量"), qPrintable(pPanel->Reason()));
        w.findChild<BaseOp*>("tabBaseOp")->FileModel()->setData(
            w.findChild<BaseOp*>("tabBaseOp")->FileModel()->index(files.filePath("fw.bin")), Qt::Unchecked,
            Qt::CheckStateRole);
        Action(w, "action_write")->trigger();  // no file: the tab refuses
        QCOMPARE(pPanel->Verdict(), QString("未执行"));
        QCOMPARE(pPanel->Passed() + pPanel->Failed(), 4);

        pPanel->SetJobName("XQ6230-A");
        QVERIFY(pPanel->findChild<QLabel*>("lblJob")->isVisibleTo(pPanel));
        QCOMPARE(pPanel->JobName(), QString("XQ6230-A"));
        // 清零 asks first, 否 by default: only 是 clears.
        m_answer = QMessageBox::No;
        pPanel->findChild<QPushButton*>("pbResetCounters")->click();
        QCOMPARE(msgbox::LastShown().defaultButton, QMessageBox::No);
        QCOMPARE(pPanel->Passed() + pPanel->Failed(), 4);
        m_answer = QMessageBox::Yes;
        pPanel->findChild<QPushButton*>("pbResetCounters")->click();
        QCOMPARE(pPanel->findChild<QLabel*>("lblCounters")->text(), QString("通过 0   失败 0"));
        pPanel->SetJobName(QString());
        QVERIFY(!pPanel->findChild<QLabel*>("lblJob")->isVisibleTo(pPanel));
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
        QCOMPARE(msgbox::LastShown().defaultButton, QMessageBox::Cancel);  // Enter waits, never stops
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

    // Either answer to the close question closes the window once the write
    // has ended; a question still open when it ends closes itself.
    void closeQuestionFollowsTheOperation_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("answerAfterTheEnd");
        QTest::addColumn<bool>("realBox");
        QTest::newRow("等待 closes the window when the write ends") << int(QMessageBox::Cancel) << false << false;
        QTest::newRow("停止并退出 after the write ended just closes") << int(QMessageBox::Abort) << true << false;
        QTest::newRow("等待 after the write ended just closes") << int(QMessageBox::Cancel) << true << false;
        QTest::newRow("the open box closes itself") << int(QMessageBox::NoButton) << false << true;
    }
    void closeQuestionFollowsTheOperation()
    {
        QFETCH(int, answer);
        QFETCH(bool, answerAfterTheEnd);
        QFETCH(bool, realBox);
        BenchFixture bench("[timing]\nrealtime=true\n");
        bench.FillPattern();
        QTemporaryDir files;
        auto pWindow = std::make_unique<MainWindow>(bench.BackendPtr());
        MainWindow* pW = pWindow.get();
        pWindow->show();
        StartLongWrite(*pWindow, files.filePath("fw.bin"));
        m_answer = QMessageBox::StandardButton(answer);
        if (answerAfterTheEnd) {
            // The operator answers only after the write has ended.
            msgbox::SetHandler([this, pW](QMessageBox::Icon, const QString& t, const QString& s, QMessageBox::StandardButtons) {
                m_boxes.append({t, s});
                QElapsedTimer timer;
                timer.start();
                while (pW->Busy() && timer.elapsed() < 60000)
                    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
                return m_answer;
            });
        } else if (realBox) {
            msgbox::SetHandler(nullptr);
            // Were the box never to close, this ends it rather than hang the test.
            QTimer::singleShot(90000, [] {
                if (QWidget* pModal = QApplication::activeModalWidget())
                    pModal->close();
            });
        }
        const bool bClosed = pWindow->close();
        AnswerBoxes();
        QCOMPARE(bClosed, answerAfterTheEnd || realBox);
        QTRY_VERIFY_WITH_TIMEOUT(!pWindow->isVisible(), 60000);
        QVERIFY(!pWindow->Busy());
        const QString strLog = LogText(*pWindow);
        QVERIFY2(strLog.contains("校验成功") && !strLog.contains("正在停止") && !strLog.contains("已中断"),
                 qPrintable(strLog));
        pWindow.reset();
        XQ_VERIFY_FLASH_KEPT(bench, {{0, 1024 * 1024}});
    }

    // SIGTERM mid-write: the write stops after its current flash command,
    // the log says what the chip was left with, the run log has the result
    // line and the window closes (saving its settings).
    void terminationSignalStopsThenQuits()
    {
        BenchFixture bench("[timing]\nrealtime=true\n");
        QTemporaryDir files;
        auto pWindow = std::make_unique<MainWindow>(bench.BackendPtr());
        pWindow->QuitOnSignals();
        pWindow->show();
        StartLongWrite(*pWindow, files.filePath("fw.bin"));
        ::raise(SIGTERM);
        QTRY_VERIFY_WITH_TIMEOUT(!pWindow->isVisible(), 30000);
        const QString strLog = LogText(*pWindow);
        QVERIFY2(strLog.contains("已中断") && strLog.contains("芯片上的数据不完整"), qPrintable(strLog));
        QVERIFY(TodayLog().endsWith("结果: 失败\n"));
        QVERIFY(QSettings("XqProgrammer.ini", QSettings::IniFormat).contains("size"));
        QVERIFY(m_boxes.isEmpty());
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

    // Every attempt ends on the panel: a refusal says 未执行 and why (the
    // earlier 成功 never stays), the run log has its result line, and while
    // the refusal box is open the panel does not claim to be running.
    void refusedAttemptEndsOnThePanel_data()
    {
        QTest::addColumn<bool>("adapter");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("reason");
        QTest::newRow("adapter not opened") << false << "0" << "接口未打开";
        QTest::newRow("start address refused by the tab") << true << "" << "";
    }
    void refusedAttemptEndsOnThePanel()
    {
        QFETCH(bool, adapter);
        QFETCH(QString, start);
        QFETCH(QString, reason);
        BenchFixture bench;
        MainWindow w(adapter ? std::shared_ptr<mpsse::Backend>(bench.BackendPtr())
                             : std::shared_ptr<mpsse::Backend>(std::make_shared<RecordingBackend>()));
        w.findChild<BaseOp*>("tabBaseOp")->findChild<QLineEdit*>("editStartAddr")->setText(start);
        w.Results()->ShowResult(true, "校验成功", 1.0);
        QString strAtBox;
        bool bStopAtBox = true;
        msgbox::SetHandler([&](QMessageBox::Icon, const QString& t, const QString& s, QMessageBox::StandardButtons) {
            m_boxes.append({t, s});
            strAtBox = w.Results()->Verdict();
            bStopAtBox = Action(w, "action_stop")->isEnabled();
            return QMessageBox::Ok;
        });
        const int nBefore = TodayLog().count("结果: 未执行");
        Action(w, "action_write")->trigger();
        AnswerBoxes();
        QCOMPARE(m_boxes.size(), 1);
        QCOMPARE(strAtBox, QString("未执行"));
        QVERIFY(!bStopAtBox);
        QVERIFY(!w.Busy());
        QCOMPARE(w.Results()->Verdict(), QString("未执行"));
        const QString strReason = reason.isEmpty() ? m_boxes[0].strText : reason;
        QVERIFY2(w.Results()->Reason().startsWith(strReason), qPrintable(w.Results()->Reason()));
        QCOMPARE(TodayLog().count("结果: 未执行"), nBefore + 1);
        QCOMPARE(w.Results()->Passed(), 1);  // a refusal is not counted
    }

    // The next serial number is in the settings file the moment a number is
    // taken: a window that dies without closing offers the next one again.
    void serialSurvivesAWindowThatNeverCloses_data()
    {
        QTest::addColumn<bool>("hex");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("next");
        QTest::newRow("decimal") << false << "00000100" << "00000101";
        QTest::newRow("hexadecimal") << true << "0x000000FF" << "0x00000100";
    }
    void serialSurvivesAWindowThatNeverCloses()
    {
        QFETCH(bool, hex);
        QFETCH(QString, shown);
        QFETCH(QString, next);
        BenchFixture bench;
        QTemporaryDir files;
        QVERIFY(WriteFile(files.filePath("fw.bin"), RandomBytes(0x1800, 7)));
        {
            auto pWindow = std::make_unique<MainWindow>(bench.BackendPtr());
            auto* pTab = pWindow->findChild<BaseOp*>("tabBaseOp");
            pTab->findChild<QCheckBox*>("chkSeqId")->setChecked(true);
            pTab->findChild<QPushButton*>("pbTransform")->setChecked(hex);
            pTab->findChild<QLineEdit*>("editSeq")->setText(shown);
            CheckImage(*pWindow, files.filePath("fw.bin"));
            Action(*pWindow, "action_write")->trigger();
            QTRY_VERIFY_WITH_TIMEOUT(!pWindow->Busy(), 30000);
            QCOMPARE(pWindow->Results()->Verdict(), QString("成功"));
            QCOMPARE(pWindow->Results()->Serial(), QString("序列号 %1").arg(hex ? "00000255" : "00000100"));
            // Read before any close: the window is destroyed as a kill would end it.
            QCOMPARE(QSettings("XqProgrammer.ini", QSettings::IniFormat).value("BaseOp/seq_id").toString(), next);
        }
        MainWindow again(bench.BackendPtr());
        QCOMPARE(again.findChild<BaseOp*>("tabBaseOp")->findChild<QLineEdit*>("editSeq")->text(), next);
    }

    // Every write that stamps a number takes one, an erase alone too: where
    // the next one could not be kept, or the box holds none, it is refused
    // before the chip is touched.
    void serialRefusedWhereItCannotBeKept_data()
    {
        QTest::addColumn<bool>("image");
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("reason");
        QTest::newRow("image, settings not writable") << true << "00000007" << "序列号无法保存到";
        QTest::newRow("erase only, settings not writable") << false << "00000007" << "序列号无法保存到";
        QTest::newRow("image, box empty") << true << "" << "序列号框中没有可写入的序列号";
        QTest::newRow("erase only, box empty") << false << "" << "序列号框中没有可写入的序列号";
    }
    void serialRefusedWhereItCannotBeKept()
    {
        QFETCH(bool, image);
        QFETCH(QString, box);
        QFETCH(QString, reason);
        BenchFixture bench;
        QTemporaryDir files;
        QVERIFY(WriteFile(files.filePath("fw.bin"), RandomBytes(0x100, 9)));
        MainWindow w(bench.BackendPtr());
        w.findChild<QCheckBox*>("chkSeqId")->setChecked(true);
        w.findChild<QLineEdit*>("editSeq")->setText(box);
        if (image)
            CheckImage(w, files.filePath("fw.bin"));
        else
            w.findChild<QComboBox*>("cmbDownOptions")->setCurrentIndex(kEraseWhole);
        const int64_t nSpiBytes = bench.Stats().nSpiBytes;
        m_answer = QMessageBox::Yes;  // the erase alone: yes
        const bool bUnwritable = !box.isEmpty();
        QVERIFY(!bUnwritable || QDir().mkdir("XqProgrammer.ini"));  // no settings file can be written
        Action(w, "action_write")->trigger();
        QDir().rmdir("XqProgrammer.ini");
        QVERIFY(!w.Busy());
        QCOMPARE(w.Results()->Verdict(), QString("未执行"));
        QVERIFY2(w.Results()->Reason().startsWith(reason), qPrintable(w.Results()->Reason()));
        QCOMPARE(bench.Stats().nSpiBytes, nSpiBytes);  // the chip untouched
    }

    // A file appearing beside the checked image reloads the folder: the
    // image stays checked; a checked file that is gone is no longer checked.
    void checkedImageSurvivesTheFolderReloading()
    {
        QTemporaryDir files;
        QVERIFY(WriteFile(files.filePath("fw.bin"), RandomBytes(0x100, 3)));
        MainWindow w;
        CheckImage(w, files.filePath("fw.bin"));
        FileSysModel* pModel = w.findChild<BaseOp*>("tabBaseOp")->FileModel();
        QVERIFY(WriteFile(files.filePath("readback.bin"), RandomBytes(100, 4)));
        pModel->setData(files.path());
        QCOMPARE(pModel->strCheckedPath, files.filePath("fw.bin"));
        QCOMPARE(pModel->mapFileCheck.value("fw.bin"), Qt::Checked);
        QCOMPARE(pModel->mapFileCheck.value("readback.bin"), Qt::Unchecked);
        QVERIFY(QFile::remove(files.filePath("fw.bin")));
        pModel->setData(files.path());
        QVERIFY(pModel->strCheckedPath.isEmpty());

        // A file seen while empty and written afterwards shows its real size.
        const QString strLate = files.filePath("late.bin");
        QVERIFY(WriteFile(strLate, QByteArray()));
        const auto sizeText = [&] { return pModel->index(strLate).sibling(pModel->index(strLate).row(), 1).data().toString(); };
        QTRY_COMPARE(sizeText(), QLocale::system().formattedDataSize(0));
        QVERIFY(WriteFile(strLate, RandomBytes(100, 5)));
        QCOMPARE(sizeText(), QLocale::system().formattedDataSize(100));
    }

    void startWithoutAdapterSaysWhatToCheck()
    {
        // Without --simulate the real adapters are the only ones: none
        // plugged in means an empty list and a hint, never the bench.
        auto pEmpty = std::make_shared<RecordingBackend>();
        const int nLogged = TodayLog().count("接口未打开");
        MainWindow w(pEmpty);
        QVERIFY(!w.Config()->InterfacesFound());
        QCOMPARE(w.Config()->findChild<QComboBox*>("cmbInfSel")->count(), 0);
        const QString strLog = LogText(w);
        QVERIFY(strLog.contains("未找到USB适配器"));
        for (const char* pHint : {"USB线缆", "udev", "plugdev"})
            QVERIFY2(strLog.contains(pHint), pHint);
        QVERIFY(!w.findChild<QLabel*>("lblBench"));
        QVERIFY(!w.windowTitle().contains("模拟"));
        QCOMPARE(TodayLog().count("接口未打开"), nLogged);  // nothing was asked of an adapter
    }

    // [timing] batch_programs in the settings turns batched page programs on
    // for the window's adapter, real or simulated; they are off without it.
    void batchProgramsFromSettings()
    {
        for (const bool bBatch : {false, true}) {
            QSettings("XqProgrammer.ini", QSettings::IniFormat).setValue("timing/batch_programs", bBatch);
            auto pEmpty = std::make_shared<RecordingBackend>();
            MainWindow w(pEmpty);
            QCOMPARE(w.Config()->Ctrl()->BatchPrograms(), bBatch);
        }
        QSettings("XqProgrammer.ini", QSettings::IniFormat).remove("timing");
        auto pEmpty = std::make_shared<RecordingBackend>();
        MainWindow w(pEmpty);
        QVERIFY(!w.Config()->Ctrl()->BatchPrograms());
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
        QCOMPARE(w.Results()->Reason(), QString("校验失败: 首个不同的地址 0x3100, 共 1 字节不同"));
        OperationReport repair;
        repair.SetResult(false, xq::kErrRepairFailed, "校验失败");
        repair.nFirstDifference = 0x2100;
        QCOMPARE(ResultPanel::ReasonLine(repair), QString("校验失败: 首个不同的地址 0x2100, 修复失败，请更换芯片"));

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

    void benchIsMarkedAboveTheTabs()
    {
        BenchFixture bench;
        MainWindow w(bench.BackendPtr());
        QVERIFY(!LogText(w).contains("未找到USB适配器"));
        // On the result panel, where the operator looks: the status bar keeps its room for the log lines.
        auto* pLabel = w.Results()->findChild<QLabel*>("lblBench");
        QVERIFY(pLabel);
        QCOMPARE(pLabel->text(), QString("模拟测试台：不会烧写真实芯片"));
        QVERIFY(w.windowTitle().endsWith(" [模拟]"));
        QVERIFY(LogText(w).contains(bench.Dir()));
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
        // The three lines, joined by an empty line, as plain text.
        auto* pInfo = dlg.findChild<QLabel*>("lblFlashInfo");
        QCOMPARE(pInfo->textFormat(), Qt::PlainText);
        QCOMPARE(pInfo->text(), "厂商ID   : EF\t\t设备ID   : 14\n\n" + sizeLine + "\n\n序列号\t : 0A1B2C3D-00000001-DEADBEEF-12345678");
        QVERIFY(!dlg.Ctrl()->IsOpen());
        // A refresh drops what the previous adapter said.
        dlg.findChild<QPushButton*>("pbRefresh")->click();
        QVERIFY(dlg.findChild<QLabel*>("lblMcu")->text().isEmpty());
        QVERIFY(dlg.findChild<QLabel*>("lblFlashInfo")->text().isEmpty());
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
        static_cast<Application*>(qApp)->LoadStyleSheet(":/qss/style.qss");
        BenchFixture bench;
        MainWindow w(bench.BackendPtr());
        w.show();  // the default size, as far as the 800x600 test screen has room
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(w.findChild<QAction*>("action_stop")->text(), QString("Stop"));
        QCOMPARE(w.Results()->Verdict(), QString("Ready"));
        // The panel's verdicts are short marks, unlike the same words inside a log line.
        QCOMPARE(xq::VerdictWord(true), QString("PASS"));
        QCOMPARE(xq::VerdictWord(false), QString("FAIL"));
        QCOMPARE(xq::SucceededWord(true), QString("succeeded"));
        // Every toolbar button shows its whole label ("Co…re" was cut).
        for (QToolButton* pButton : w.findChild<QToolBar*>()->findChildren<QToolButton*>())
            if (pButton->isVisible() && !pButton->text().isEmpty())
                QVERIFY2(pButton->width() >= pButton->sizeHint().width(), qPrintable(pButton->text()));
        // The image tab's options: every text whole, the serial number too.
        auto* pBase = w.findChild<BaseOp*>("tabBaseOp");
        QCoreApplication::processEvents();
        QVERIFY(pBase->findChild<QSplitter*>("splitter")->sizes().value(0) > 0);  // the options pane open
        auto* pOptions = pBase->findChild<QWidget*>("widgetOption");
        for (QWidget* pWidget : pOptions->findChildren<QWidget*>()) {
            if (pWidget->isVisible() && (qobject_cast<QLabel*>(pWidget) || qobject_cast<QAbstractButton*>(pWidget)))
                QVERIFY2(pWidget->width() >= pWidget->sizeHint().width(), qPrintable(pWidget->objectName()));
        }
        auto* pSeq = pBase->findChild<QLineEdit*>("editSeq");
        QVERIFY2(pSeq->fontMetrics().horizontalAdvance(pSeq->text()) + 16 <= pSeq->width(), qPrintable(pSeq->text()));
        // The status bar: each result line whole, left of the progress label.
        QLabel* pProgressLabel = nullptr;
        for (QLabel* pLabel : w.statusBar()->findChildren<QLabel*>())
            if (pLabel->text() == "Progress:")
                pProgressLabel = pLabel;
        QVERIFY(pProgressLabel);
        const int nMessageRoom = pProgressLabel->mapTo(w.statusBar(), QPoint(0, 0)).x() - 8;
        QStringList lines = {QCoreApplication::translate("Result", "校验失败"),
                             QCoreApplication::translate("ImageOperation", "校验失败，请重新烧写"),
                             QCoreApplication::translate("ImageOperation", "文件存储成功")};
        for (int nPoint = xq::kStopBeforeChange; nPoint <= xq::kStopBeforeEraseCheck; ++nPoint)
            lines << xq::StopEnding(nPoint);
        lines << xq::StopEndingNotVerified(0x100000, 0x100000);  // the longest range
        for (const QString& strLine : lines)
            QVERIFY2(w.statusBar()->fontMetrics().horizontalAdvance(strLine) <= nMessageRoom,
                     qPrintable(QString("%1: %2 px").arg(strLine).arg(nMessageRoom)));
        auto* pPanel = w.findChild<StaticData*>()->findChild<QWidget*>("widgetCtrl");
        w.findChild<QTabWidget*>("tabWidget")->setCurrentWidget(w.findChild<StaticData*>());
        QCoreApplication::processEvents();
        for (QLabel* pLabel : pPanel->findChildren<QLabel*>())
            QVERIFY2(pLabel->width() >= pLabel->sizeHint().width(), qPrintable(pLabel->text()));
        QVERIFY(pPanel->findChild<QLabel*>("lblStartAddr")->text().remove('&').startsWith("Start address"));
        // The table's headings whole, the device values' too.
        QTemporaryDir books;
        const QString strBook = books.filePath("layout.xlsx");
        QString strError;
        QVERIFY2(ExportTemplate(strBook, strError), qPrintable(strError));
        msgbox::SetFileHandler([&strBook](const QString&, const QString&) { return strBook; });
        QVERIFY(QMetaObject::invokeMethod(w.findChild<StaticData*>(), "ImportXlsx"));
        msgbox::SetFileHandler(nullptr);
        QCoreApplication::processEvents();
        auto* pTable = w.findChild<StaticData*>()->findChild<QTableView*>();
        QVERIFY(pTable && pTable->isVisible());
        QHeaderView* pHeader = pTable->horizontalHeader();
        QVERIFY(pHeader->count() >= 6);
        for (int i = 0; i < pHeader->count(); ++i) {
            const QString strHeading = pHeader->model()->headerData(i, Qt::Horizontal).toString();
            QVERIFY2(pHeader->sectionSize(i) >= pHeader->fontMetrics().horizontalAdvance(strHeading) + 12, qPrintable(strHeading));
            QVERIFY2(pHeader->sectionViewportPosition(i) + pHeader->sectionSize(i) <= pTable->viewport()->width(),
                     qPrintable(strHeading));
        }
        QCOMPARE(Action(w, "action_verify")->text(), QString("Verify"));
        QCOMPARE(Action(w, "action_blank")->text(), QString("Blank check"));

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
