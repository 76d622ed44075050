// xqprogrammer: the programming tool's window.
//
//   xqprogrammer                 real adapters only (never a simulated chip by surprise)
//   xqprogrammer --simulate[=DIR] the simulated bench (DIR: its directory)
//   xqprogrammer --hardware      the same as no option, kept for scripts that pass it
//   --lang zh|en                 the language (default: English for an English locale, else Chinese)
#include "application.h"
#include "i18n.h"
#include "mainwindow.h"

#include <simbench.h>

#include <QIcon>

#include <cstdio>
#include <cstring>

namespace {

const char* const kUsage =
    "Usage: xqprogrammer [--simulate[=DIR]] [--hardware] [--lang zh|en]\n"
    "The programming tool's window for XQ6130, XQ6230 and XQ6030 chips.\n\n"
    "  --simulate[=DIR]  use the simulated bench (DIR: its directory)\n"
    "  --hardware        real adapters only (the default)\n"
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
        qWarning("%s", QCoreApplication::translate("xqprogrammer", "Qt 自带的中文文本缺失 (软件包 qttranslations5-l10n): 对话框仍为英文").toUtf8().constData());
    // The resources live in a static library: register them explicitly.
    Q_INIT_RESOURCE(resources);
    app.setWindowIcon(QIcon(":/main/icon/xqprogrammer_48.png"));

    bool bSimulate = false;
    QString strBenchDir;
    // Qt has taken its own options (-platform, -style, ...) out of the
    // arguments: anything else left unknown is refused, so that a mistyped
    // --simulate never starts on real hardware without a word.
    for (const QString& strArg : args) {
        if (strArg == "--simulate") {
            bSimulate = true;
        } else if (strArg.startsWith("--simulate=")) {
            bSimulate = true;
            strBenchDir = strArg.mid(int(strlen("--simulate=")));
        } else if (strArg != "--hardware") {
            std::fprintf(stderr, "xqprogrammer: %s\n%s",
                         QCoreApplication::translate("xqprogrammer", "未知的选项 %1").arg(strArg).toUtf8().constData(),
                         kUsage);
            return 2;
        }
    }
    // Without --simulate the window gets no backend: real adapters only.
    MainWindow window(bSimulate ? sim::MakeSimulatedBench(strBenchDir) : nullptr);
    window.QuitOnSignals();
    app.LoadStyleSheet(":/qss/style.qss");
    window.show();
    return app.exec();
}
