// The language of the program: Chinese, the language its texts are written
// in, or English from the translation compiled into the resources.
#pragma once

#include <QString>
#include <QStringList>

class QCoreApplication;

// Takes "--lang zh|en" (or "--lang=...") out of the arguments; empty when absent.
QString TakeLanguageArgument(QStringList& args);
// Installs English for "en", or for an empty choice when the system locale
// is English; Chinese otherwise. False for a choice that is neither.
bool InstallTranslation(QCoreApplication& app, const QString& strLang);
// The window's choice also for Qt's own texts (message box buttons, file
// dialogs): the system's Qt translation (package qttranslations5-l10n) for
// Chinese. False when Chinese is chosen and that translation is missing.
bool InstallQtTranslation(QCoreApplication& app, const QString& strLang);
