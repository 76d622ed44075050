// The window on a small screen: started with the default place and size
// (550,170 and 820x640), it fits into the screen's free area, and the run
// log, the progress bar and the bench marker are on the screen. It runs on
// the offscreen platform's screen (800x600) at scale 1 and 1.25 (set before
// the application starts, by ctest), and lays the window out in the areas of
// a 1024x600 screen and of a 1920x1080 screen at scale 2.
#include "benchfixture.h"

#include <application.h>
#include <mainwindow.h>
#include <messagebox.h>
#include <resultpanel.h>

#include <QDockWidget>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QHeaderView>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSplitter>
#include <QTableView>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QToolBar>
#include <QtTest>

class TestFit : public QObject {
    Q_OBJECT

    QTemporaryDir m_cwd;

    // WIDGET is shown whole inside the window and the screen.
    static bool OnScreen(QWidget* pWidget, const QRect& screen, QString& strWhy)
    {
        const QRect rect(pWidget->mapToGlobal(QPoint(0, 0)), pWidget->size());
        strWhy = QString("%1 at %2,%3 %4x%5, screen %6,%7 %8x%9")
                     .arg(pWidget->objectName())
                     .arg(rect.x()).arg(rect.y()).arg(rect.width()).arg(rect.height())
                     .arg(screen.x()).arg(screen.y()).arg(screen.width()).arg(screen.height());
        const QRect window(pWidget->window()->mapToGlobal(QPoint(0, 0)), pWidget->window()->size());
        return pWidget->isVisible() && !rect.isEmpty() && screen.contains(rect) && window.contains(rect);
    }

private slots:
    void initTestCase()
    {
        Q_INIT_RESOURCE(resources);
        QDir::setCurrent(m_cwd.path());
    }

    void defaultPlaceFitsTheScreen()
    {
        QScreen* pScreen = QGuiApplication::primaryScreen();
        const QRect available = pScreen->availableGeometry();
        // The default place and size do not fit here: the test means something.
        QVERIFY2(!available.contains(QRect(550, 170, 820, 640)),
                 qPrintable(QString("%1x%2").arg(available.width()).arg(available.height())));
        BenchFixture bench;
        MainWindow w(bench.BackendPtr());
        static_cast<Application*>(qApp)->LoadStyleSheet(":/qss/style.qss");
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCoreApplication::processEvents();
        QVERIFY2(available.contains(w.frameGeometry()),
                 qPrintable(QString("window %1,%2 %3x%4").arg(w.frameGeometry().x()).arg(w.frameGeometry().y())
                               .arg(w.frameGeometry().width()).arg(w.frameGeometry().height())));
        QString strWhy;
        auto* pLog = w.findChild<QTextEdit*>("teLog");
        QVERIFY2(OnScreen(pLog, available, strWhy), qPrintable(strWhy));
        QVERIFY2(pLog->height() >= 3 * pLog->fontMetrics().lineSpacing(), qPrintable(strWhy));  // lines, not a sliver
        QVERIFY2(OnScreen(w.ProgressBar(), available, strWhy), qPrintable(strWhy));
        auto* pBench = w.findChild<QLabel*>("lblBench");
        QVERIFY2(OnScreen(pBench, available, strWhy), qPrintable(strWhy));
        QVERIFY2(pBench->width() >= pBench->sizeHint().width(), qPrintable(strWhy));  // not cut
        QVERIFY2(OnScreen(w.Results(), available, strWhy), qPrintable(strWhy));
        QVERIFY2(OnScreen(w.findChild<QToolBar*>("toolBar"), available, strWhy), qPrintable(strWhy));
        w.close();
        // The size the operator had is what is saved, not the default.
        QCOMPARE(QSettings("XqProgrammer.ini", QSettings::IniFormat).value("size").toSize(), w.size());
    }

    // The default place laid into other screens' free areas: the window
    // takes the size it is given (its minimum is small enough), and the log,
    // progress bar and bench marker are inside it. Where the window is as
    // tall as on a 1024x600 screen, the image tab's options show whole (no
    // scrolling) above a browser of at least 4 file rows.
    void otherScreens_data()
    {
        QTest::addColumn<QRect>("available");
        QTest::addColumn<bool>("optionsWhole");
        QTest::newRow("1024x600 with a 30 px panel") << QRect(0, 0, 1024, 570) << true;
        QTest::newRow("1920x1080 at scale 2") << QRect(0, 0, 960, 525) << false;
    }
    void otherScreens()
    {
        QFETCH(QRect, available);
        QFETCH(bool, optionsWhole);
        BenchFixture bench;
        MainWindow w(bench.BackendPtr());
        static_cast<Application*>(qApp)->LoadStyleSheet(":/qss/style.qss");
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const QRect fit = MainWindow::FitIntoScreen(QRect(550, 170, 820, 640), available);
        QVERIFY(available.contains(fit));
        QCOMPARE(fit.size(), QSize(820, available.height()));
        w.resize(fit.size());
        QCoreApplication::processEvents();
        QCOMPARE(w.size(), fit.size());
        const QRect window(w.mapToGlobal(QPoint(0, 0)), w.size());
        QString strWhy;
        for (QWidget* pWidget : {static_cast<QWidget*>(w.findChild<QTextEdit*>("teLog")),
                                 static_cast<QWidget*>(w.ProgressBar()),
                                 static_cast<QWidget*>(w.findChild<QLabel*>("lblBench"))})
            QVERIFY2(OnScreen(pWidget, window, strWhy), qPrintable(strWhy));
        if (!optionsWhole)
            return;
        auto* pOptions = w.findChild<QScrollArea*>("scrollOption");
        auto* pFiles = w.findChild<QTableView*>("tableView");
        QTRY_VERIFY(pFiles->viewport()->height() >= 4 * pFiles->verticalHeader()->defaultSectionSize());
        QTRY_VERIFY2(!pOptions->verticalScrollBar()->isVisible(),
                     qPrintable(QString("options %1 px high of %2").arg(pOptions->height()).arg(pOptions->widget()->height())));
        // The button hides the whole options and shows them whole again.
        auto* pToggle = w.findChild<QPushButton*>("pbSplitter");
        QCOMPARE(pToggle->text(), QString("∧"));
        auto* pSplitter = w.findChild<QSplitter*>("splitter");
        pToggle->click();
        QCOMPARE(pSplitter->sizes().value(0), 0);
        QCOMPARE(pToggle->text(), QString("∨"));
        pToggle->click();
        QTRY_COMPARE(pOptions->height(), pOptions->widget()->height());
        QCOMPARE(pToggle->text(), QString("∧"));
    }
};

int main(int argc, char* argv[])
{
    Application app(argc, argv);
    msgbox::SetHandler([](QMessageBox::Icon, const QString&, const QString&, QMessageBox::StandardButtons) {
        return QMessageBox::Ok;
    });
    TestFit test;
    return QTest::qExec(&test, argc, argv);
}
#include "test_fit.moc"
