// Closing the window while an operation runs: the question (等待, or
// 停止并退出 after the current flash command), the close that follows once
// the operation has ended, and SIGTERM, SIGINT and SIGHUP ending the window
// the same way. A chip is never left by a close mid-command.
#pragma once

#include <QCoreApplication>
#include <QObject>

#include <atomic>
#include <functional>

class QWidget;

class CloseGuard : public QObject {
    Q_OBJECT

public:
    // pWindow is the window to close; busy tells whether an operation runs,
    // bStop is the running operation's stop flag, log shows a line.
    CloseGuard(QWidget* pWindow, std::function<bool()> busy, std::atomic<bool>& bStop,
               std::function<void(const QString&)> log);

    // The window's closeEvent: true when it may close now; false when the
    // event is to be ignored (the window closes itself once the operation
    // has ended, as the operator chose).
    bool MayClose();
    // The running operation has ended: an open question closes itself and
    // a close asked for meanwhile happens.
    void OperationEnded();
    // SIGTERM, SIGINT and SIGHUP end the window as a close does, stopping a
    // running operation after its current flash command first.
    void QuitOnSignals();

private:
    bool AskStopAndQuit();
    void QuitBySignal();

    QWidget* m_pWindow;
    std::function<bool()> m_busy;
    std::atomic<bool>& m_bStop;
    std::function<void(const QString&)> m_log;
    bool m_bQuitWhenDone = false;  // the operator asked to close: the window closes when the operation ends
    bool m_bAsking = false;        // the close question is open
};
