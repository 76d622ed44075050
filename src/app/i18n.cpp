#include "i18n.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

QString TakeLanguageArgument(QStringList& args)
{
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == "--lang" && i + 1 < args.size()) {
            const QString strLang = args[i + 1];
            args.erase(args.begin() + i, args.begin() + i + 2);
            return strLang;
        }
        if (args[i].startsWith("--lang=")) {
            const QString strLang = args[i].mid(7);
            args.removeAt(i);
            return strLang;
        }
    }
    return QString();
}

// Qt's own texts (message box buttons, file dialogs) in the program's language.
// They come with the system's Qt translations; without them Qt stays English.
static void LoadQtTexts(QCoreApplication& app, const QString& strLocale)
{
    auto* pTranslator = new QTranslator(&app);
    if (pTranslator->load("qtbase_" + strLocale, QLibraryInfo::location(QLibraryInfo::TranslationsPath)))
        app.installTranslator(pTranslator);
    else
        delete pTranslator;
}

static bool LoadEnglish(QCoreApplication& app)
{
    Q_INIT_RESOURCE(translations);
    auto* pTranslator = new QTranslator(&app);
    if (!pTranslator->load(":/i18n/xqprogrammer_en.qm"))
        return false;
    return app.installTranslator(pTranslator);
}

bool InstallTranslation(QCoreApplication& app, const QString& strLang)
{
    if (strLang == "en")
        return LoadEnglish(app);
    if (!strLang.isEmpty() && strLang != "zh")
        return false;
    if (strLang.isEmpty() && QLocale::system().language() == QLocale::English) {
        LoadEnglish(app);
        return true;
    }
    LoadQtTexts(app, "zh_CN");
    return true;
}
