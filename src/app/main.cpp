// xqprogrammer: the programming tool's window.
//
//   xqprogrammer                 real adapters; the simulated bench when none is plugged in
//   xqprogrammer --simulate[=DIR] the simulated bench (DIR: its directory)
//   xqprogrammer --hardware      real adapters only
//   --lang zh|en                 the language (default: English for an English locale, else Chinese)
#include "application.h"
#include "i18n.h"
#include "mainwindow.h"

#include <simbench.h>
#include <spiftdi.h>

#include <QIcon>
#include <QMetaObject>

#include <cstdio>
#include <cstring>

namespace {

const char* const kUsage =
    "Usage: xqprogrammer [--simulate[=DIR]] [--hardware] [--lang zh|en]\n"
    "The programming tool's window for XQ6130, XQ6230 and XQ6030 chips.\n\n"
    "  --simulate[=DIR]  use the simulated bench (DIR: its directory)\n"
    "  --hardware        real adapters only\n"
    "  --lang zh|en      the language (default: English for an English locale, else Chinese)\n"
    "  -h, --help        show this help\n"
    "  -V, --version     show the version\n"
    "Standard Qt options (-platform, -style, ...) are accepted too.\n";

// Answers --help and --version before a window (and a display) is needed;
// true when the program should end.
bool AnswerInfoOption(int argc, char* argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return true;
        }
        if (std::strcmp(argv[i], "--version") == 0 || std::strcmp(argv[i], "-V") == 0) {
            std::printf("xqprogrammer %s\n", kAppVersion);
            return true;
        }
    }
    return false;
}

// Whether any supported adapter answers on USB.
bool AdapterPlugged()
{
    SpiFtdi probe;
    QList<QByteArray> names;
    return probe.Enumerate(names) > 0;
}

}  // namespace

int main(int argc, char* argv[])
{
    if (AnswerInfoOption(argc, argv))
        return 0;
    Application app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const QString strLang = TakeLanguageArgument(args);
    if (!InstallTranslation(app, strLang))
        qWarning("unknown language %s: use zh or en", qPrintable(strLang));
    else if (!InstallQtTranslation(app, strLang))
        qWarning("Qt's Chinese texts are missing (package qttranslations5-l10n): dialogs stay English");
    // The resources live in a static library: register them explicitly.
    Q_INIT_RESOURCE(resources);
    app.setWindowIcon(QIcon(":/main/icon/xqprogrammer_48.png"));

    QString strBenchNote;
    bool bSimulate = false;
    bool bHardware = false;
    QString strBenchDir;
    for (const QString& strArg : args) {
        if (strArg == "--simulate") {
            bSimulate = true;
        } else if (strArg.startsWith("--simulate=")) {
            bSimulate = true;
            strBenchDir = strArg.mid(int(strlen("--simulate=")));
        } else if (strArg == "--hardware") {
            bHardware = true;
        }
    }
    if (!bSimulate && !bHardware && !AdapterPlugged()) {
        bSimulate = true;
        strBenchNote = QCoreApplication::translate("main", "未检测到USB适配器，使用模拟测试台");
    }
    if (bSimulate) {
        const auto pBench = sim::UseSimulatedBench(strBenchDir);
        if (strBenchNote.isEmpty())
            strBenchNote = QCoreApplication::translate("main", "使用模拟测试台");
        strBenchNote += ": " + pBench->Dir();
    }

    MainWindow window;
    if (bSimulate)
        window.setWindowTitle(window.windowTitle() + QCoreApplication::translate("main", " [模拟]"));
    app.LoadStyleSheet(":/qss/style.qss");
    window.show();
    if (!strBenchNote.isEmpty())
        QMetaObject::invokeMethod(&window, "SetLog", Qt::QueuedConnection, Q_ARG(QString, strBenchNote));
    return app.exec();
}
