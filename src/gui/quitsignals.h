// SIGTERM, SIGINT and SIGHUP as a Qt signal on the GUI thread: the handler
// only writes a byte to a socket pair, the event loop reads it.
#pragma once

#include <QObject>

class QuitSignals : public QObject {
    Q_OBJECT

public:
    // Installs the handlers; received() follows each signal.
    explicit QuitSignals(QObject* pParent = nullptr);

signals:
    void received();
};
