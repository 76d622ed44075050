// The application object: identity and the expanded style sheet.
#pragma once

#include <QApplication>

class Application : public QApplication {
    Q_OBJECT

public:
    Application(int& argc, char** argv);
    // Loads, expands and applies a style sheet; 0, or -1 when it cannot be opened.
    int LoadStyleSheet(const QString& strPath);
};

constexpr const char* kAppVersion = "3.0.0";
constexpr const char* kOrganization = "XQ Semiconductor";
// The settings file, opened by its bare name in the working directory.
constexpr const char* kSettingsFile = "XqProgrammer.ini";
