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
    if (strLang == "zh")
        return true;
    if (strLang == "en")
        return LoadEnglish(app);
    if (!strLang.isEmpty())
        return false;
    if (QLocale::system().language() == QLocale::English)
        LoadEnglish(app);
    return true;
}

bool InstallQtTranslation(QCoreApplication& app, const QString& strLang)
{
    const bool bChinese = strLang == "zh" || (strLang.isEmpty() && QLocale::system().language() != QLocale::English);
    if (!bChinese)
        return true;  // Qt's own texts are English already
    auto* pTranslator = new QTranslator(&app);
    if (pTranslator->load("qtbase_zh_CN", QLibraryInfo::location(QLibraryInfo::TranslationsPath)))
        return app.installTranslator(pTranslator);
    delete pTranslator;
    return false;
}
