// The window on a real X server with a window manager, where the frame is
// drawn by the manager some time after the window is shown: a 1024x600
// Xvfb with openbox. The program starts both itself on a free display and
// skips (with the reason) only where they are not installed.
#include "benchfixture.h"

#include <application.h>
#include <mainwindow.h>
#include <resultpanel.h>

#include <QApplication>
#include <QScreen>
#include <QStatusBar>
#include <QHeaderView>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <fcntl.h>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>
#include <sys/wait.h>
#include <unistd.h>

namespace {
pid_t g_xvfb = -1;
pid_t g_wm = -1;
std::string g_strSkip;  // why the test cannot run here (empty: it can)

bool OnPath(const char* pName)
{
    const std::string strCmd = std::string("command -v ") + pName + " >/dev/null 2>&1";
    return std::system(strCmd.c_str()) == 0;
}

pid_t Spawn(const std::vector<std::string>& args)
{
    const pid_t pid = fork();
    if (pid != 0)
        return pid;
    const int nNull = ::open("/dev/null", O_WRONLY);
    if (nNull >= 0) {
        dup2(nNull, 1);
        dup2(nNull, 2);
    }
    std::vector<char*> argv;
    for (const std::string& s : args)
        argv.push_back(const_cast<char*>(s.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
}

// Starts Xvfb on a display it picks itself and openbox on it; the display
// name, or empty with g_strSkip set.
std::string StartServer()
{
    for (const char* pTool : {"Xvfb", "openbox"})
        if (!OnPath(pTool)) {
            g_strSkip = std::string(pTool) + " is not installed (packages xvfb and openbox)";
            return {};
        }
    int fds[2];
    if (pipe(fds) != 0) {
        g_strSkip = "no pipe for Xvfb's display number";
        return {};
    }
    // XQ_WMFIT_SCREEN (WIDTHxHEIGHT) chooses another screen than 1024x600.
    const char* pScreen = std::getenv("XQ_WMFIT_SCREEN");
    const std::string strScreen = std::string(pScreen && *pScreen ? pScreen : "1024x600") + "x24";
    g_xvfb = Spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", strScreen, "-nolisten", "tcp"});
    ::close(fds[1]);
    std::string strNumber;
    char c = 0;
    while (::read(fds[0], &c, 1) == 1 && c != '\n')
        strNumber += c;
    ::close(fds[0]);
    if (strNumber.empty()) {
        g_strSkip = "Xvfb did not start";
        return {};
    }
    const std::string strDisplay = ":" + strNumber;
    setenv("DISPLAY", strDisplay.c_str(), 1);
    g_wm = Spawn({"openbox", "--sm-disable"});
    return strDisplay;
}

void StopServer()
{
    for (pid_t pid : {g_wm, g_xvfb}) {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
    }
}
}  // namespace

class TestWmFit : public QObject {
    Q_OBJECT

    QTemporaryDir m_cwd;

private slots:
    void initTestCase()
    {
        if (!g_strSkip.empty())
            QSKIP(g_strSkip.c_str());
        Q_INIT_RESOURCE(resources);
        QDir::setCurrent(m_cwd.path());
    }

    // The default place and size (550,170, 820x640) framed: the window is
    // inside the free area (centred across it where it did not fit), its
    // status bar on the screen, and the image browser shows several rows.
    void framedWindowFitsAndIsCentred()
    {
        const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
        BenchFixture bench;
        MainWindow w(bench.BackendPtr());
        static_cast<Application*>(qApp)->LoadStyleSheet(":/qss/style.qss");
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        // The manager's frame: borders and a title bar around the client area.
        QTRY_VERIFY_WITH_TIMEOUT(w.frameGeometry().top() < w.geometry().top(), 5000);
        QRect frame;
        QTRY_VERIFY_WITH_TIMEOUT(available.contains(frame = w.frameGeometry()), 3000);
        const QString strWhere = QString("frame %1,%2 %3x%4 in %5x%6")
                                     .arg(frame.x()).arg(frame.y()).arg(frame.width()).arg(frame.height())
                                     .arg(available.width()).arg(available.height());
        QVERIFY2(available.contains(frame), qPrintable(strWhere));
        if (available.height() < 640 + 40)  // the default did not fit: centred
            QVERIFY2(qAbs((frame.left() - available.left()) - (available.right() - frame.right())) <= 2,
                     qPrintable(strWhere));
        const QRect status(w.statusBar()->mapToGlobal(QPoint(0, 0)), w.statusBar()->size());
        QVERIFY2(available.contains(status), qPrintable(strWhere));
        // Several file rows below the header, not one.
        auto* pFiles = w.findChild<QTableView*>("tableView");
        QVERIFY(pFiles);
        const auto rows = [pFiles] { return pFiles->viewport()->height() / pFiles->verticalHeader()->defaultSectionSize(); };
        QTRY_VERIFY_WITH_TIMEOUT(rows() >= 4, 2000);
        const int nRows = rows();
        QVERIFY2(nRows >= 4, qPrintable(QString("%1 rows: viewport %2 px").arg(nRows).arg(pFiles->viewport()->height())));
    }

    // The static data tab on a small screen: the values-to-write choice (and
    // on a 768 px screen the import and export buttons) on the screen, uncut.
    void staticTabShowsItsControls()
    {
        const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
        BenchFixture bench;
        MainWindow w(bench.BackendPtr());
        static_cast<Application*>(qApp)->LoadStyleSheet(":/qss/style.qss");
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        auto* pTabs = w.findChild<QTabWidget*>("tabWidget");
        pTabs->setCurrentWidget(w.findChild<QWidget*>("tabStatic"));
        QTRY_VERIFY_WITH_TIMEOUT(available.contains(w.frameGeometry()), 3000);
        // The import and export buttons from 768 px up; below, they scroll.
        QStringList names = {"radioDefault", "radioCurrent"};
        if (available.height() >= 768)
            names << "pbImport" << "pbExport";
        for (const QString& strName : names) {
            const QByteArray name = strName.toUtf8();
            const char* pName = name.constData();
            auto* pWidget = w.findChild<QWidget*>(pName);
            QTRY_VERIFY_WITH_TIMEOUT(pWidget && pWidget->visibleRegion().boundingRect() == pWidget->rect(), 2000);
            QVERIFY2(pWidget, pName);
            const QRect rect(pWidget->mapToGlobal(QPoint(0, 0)), pWidget->size());
            const QString strWhy = QString("%1 at %2,%3 %4x%5, shown %6x%7")
                                       .arg(pName).arg(rect.x()).arg(rect.y()).arg(rect.width()).arg(rect.height())
                                       .arg(pWidget->visibleRegion().boundingRect().width())
                                       .arg(pWidget->visibleRegion().boundingRect().height());
            QVERIFY2(pWidget->isVisible() && available.contains(rect), qPrintable(strWhy));
            QVERIFY2(pWidget->visibleRegion().boundingRect() == pWidget->rect(), qPrintable(strWhy));
        }
    }
};

int main(int argc, char** argv)
{
    StartServer();
    int nResult = 0;
    {
        if (g_strSkip.empty())
            setenv("QT_QPA_PLATFORM", "xcb", 1);
        else
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
        Application app(argc, argv);
        TestWmFit test;
        nResult = QTest::qExec(&test, argc, argv);
    }
    StopServer();
    return nResult;
}

#include "test_wmfit.moc"
