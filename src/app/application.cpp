#include "application.h"

#include "stylesheet.h"

#include <QDebug>
#include <QFile>
#include <QIcon>

Application::Application(int& argc, char** argv) : QApplication(argc, argv)
{
    // The resources live in a static library: register them explicitly.
    Q_INIT_RESOURCE(resources);
    setApplicationVersion(kAppVersion);
    setOrganizationName(kOrganization);
    setApplicationName("xqprogrammer");
    setWindowIcon(QIcon(":/main/icon/xqprogrammer_48.png"));
}

int Application::LoadStyleSheet(const QString& strPath)
{
    QFile file(strPath);
    if (!file.open(QIODevice::ReadOnly)) {
        qDebug("Open failed");
        return -1;
    }
    setStyleSheet(ExpandStyleSheet(file.readAll()));
    file.close();
    return 0;
}
