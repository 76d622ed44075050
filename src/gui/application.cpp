#include "application.h"

#include "stylesheet.h"

#include <results.h>

#include <QDebug>
#include <QFile>

Application::Application(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationVersion(kAppVersion);
    setOrganizationName(kOrganization);
    setApplicationName("xqprogrammer");
}

int Application::LoadStyleSheet(const QString& strPath)
{
    QFile file(strPath);
    if (!file.open(QIODevice::ReadOnly)) {
        qDebug("Open failed");
        return xq::kErrStyleSheetOpen;
    }
    setStyleSheet(ExpandStyleSheet(file.readAll()));
    file.close();
    return 0;
}
