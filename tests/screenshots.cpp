// xq-screenshots OUTDIR zh|en: pictures of the window for the README, taken
// headless on a simulated bench in a temporary directory: the image tab after
// a write, the static data tab with the template workbook, the device
// information dialog, and the window locked to a production job. scripts/screenshots.sh runs it for both languages.
#include "benchfixture.h"
#include "testfiles.h"

#include <application.h>
#include <baseop.h>
#include <filesysmodel.h>
#include <i18n.h>
#include <jobfile.h>
#include <mainwindow.h>
#include <messagebox.h>
#include <spiconfig.h>
#include <staticdata.h>
#include <tabwidgetinf.h>
#include <workbookexport.h>

#include <QAction>
#include <QDir>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

namespace {

bool WaitFor(const std::function<bool()>& done, int nMs = 20000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > nMs)
            return false;
        QTest::qWait(20);
    }
    return true;
}

bool Save(QWidget* pWidget, const QString& strPath)
{
    QTest::qWait(200);
    const bool bOk = pWidget->grab().save(strPath);
    std::fprintf(stderr, "%s %s\n", bOk ? "wrote" : "could not write", qPrintable(strPath));
    return bOk;
}

bool WriteImage(MainWindow& w, const QString& strDir, const QString& strFile)
{
    auto* pBase = w.findChild<BaseOp*>();
    w.findChild<QTabWidget*>("tabWidget")->setCurrentWidget(pBase);
    pBase->ShowDirectory(strDir);
    if (!WaitFor([&] { return pBase->FileModel()->mapFileCheck.contains(strFile); }))
        return false;
    pBase->FileModel()->setData(pBase->FileModel()->index(QDir(strDir).filePath(strFile)), Qt::Checked,
                                Qt::CheckStateRole);
    bool bFinished = false;
    QObject::connect(pBase, &TabWidgetInf::finish, [&bFinished](int, bool) { bFinished = true; });
    w.findChild<QAction*>("action_write")->trigger();
    return WaitFor([&] { return bFinished; }, 60000);
}

}  // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    Application app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: xq-screenshots OUTDIR zh|en\n");
        return 2;
    }
    const QString strOut = QDir(args[1]).absolutePath();
    const QString strLang = args[2];
    if (!InstallTranslation(app, strLang) || !InstallQtTranslation(app, strLang))
        return 2;
    Q_INIT_RESOURCE(resources);
    QDir().mkpath(strOut);

    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    const QString strFirmware = dir.filePath("firmware");
    QDir().mkpath(strFirmware);
    for (const auto& [strName, nSize] : {std::pair<QString, int>{"xq6230_app_v2.4.1.bin", 0x48000},
                                         {"xq6230_app_v2.3.0.bin", 0x46000},
                                         {"xq6230_boot.bin", 0x8000}}) {
        if (!WriteFile(QDir(strFirmware).filePath(strName), RandomBytes(nSize, uint32_t(nSize))))
            return 1;
    }
    const QString strWorkbook = dir.filePath("static_orbe.xlsx");
    QString strError;
    if (!ExportTemplate(strWorkbook, strError)) {
        std::fprintf(stderr, "%s\n", qPrintable(strError));
        return 1;
    }
    msgbox::SetHandler([](QMessageBox::Icon, const QString&, const QString&, QMessageBox::StandardButtons) {
        return QMessageBox::Yes;
    });
    msgbox::SetFileHandler([&strWorkbook](const QString&, const QString&) { return strWorkbook; });

    BenchFixture bench;
    MainWindow w(bench.BackendPtr());
    app.LoadStyleSheet(":/qss/style.qss");
    w.show();
    w.resize(900, 660);
    w.Config()->Ctrl()->SetMsClock([&bench] { return bench.Stats().VirtualMs(); });

    bool bOk = WriteImage(w, strFirmware, "xq6230_app_v2.4.1.bin");
    bOk = Save(&w, QDir(strOut).filePath("window-" + strLang + ".png")) && bOk;

    auto* pStatic = w.findChild<StaticData*>();
    w.findChild<QTabWidget*>("tabWidget")->setCurrentWidget(pStatic);
    QMetaObject::invokeMethod(pStatic, "ImportXlsx");
    bOk = Save(&w, QDir(strOut).filePath("static-" + strLang + ".png")) && bOk;

    SpiConfig* pConfig = w.Config();
    pConfig->show();
    if (auto* pRefresh = pConfig->findChild<QPushButton*>("pbRefreshInfo"))
        pRefresh->click();
    bOk = Save(pConfig, QDir(strOut).filePath("info-" + strLang + ".png")) && bOk;
    pConfig->hide();

    // The window locked to a production job, after running it once.
    JobSpec spec;
    spec.strName = "xq6230-app-2.4.1";
    spec.strDescription = "Line 3";
    spec.strImage = "firmware/xq6230_app_v2.4.1.bin";
    spec.strStart = "0";
    spec.strErase = "smart";
    const QString strJob = dir.filePath("xq6230-app-2.4.1.xqjob");
    if (!JobRules::Complete(strJob, spec, strError) || !JobRules::Write(strJob, spec, strError)) {
        std::fprintf(stderr, "%s\n", qPrintable(strError));
        return 1;
    }
    w.findChild<QTabWidget*>("tabWidget")->setCurrentWidget(w.findChild<BaseOp*>());
    bOk = w.OpenJob(strJob) && bOk;
    w.findChild<QAction*>("action_write")->trigger();
    bOk = WaitFor([&w] { return !w.Busy(); }, 60000) && bOk;
    bOk = Save(&w, QDir(strOut).filePath("job-" + strLang + ".png")) && bOk;
    return bOk ? 0 : 1;
}
