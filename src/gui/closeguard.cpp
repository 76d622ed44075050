// Closing the window while an operation runs (closeguard.h).
#include "closeguard.h"

#include "messagebox.h"
#include "quitsignals.h"

#include <QTimer>
#include <QWidget>

CloseGuard::CloseGuard(QWidget* pWindow, std::function<bool()> busy, std::atomic<bool>& bStop,
                       std::function<void(const QString&)> log)
    : QObject(pWindow), m_pWindow(pWindow), m_busy(std::move(busy)), m_bStop(bStop), m_log(std::move(log))
{
}

bool CloseGuard::AskStopAndQuit()
{
    return msgbox::Question(m_pWindow, tr("请确认"),
                            tr("操作正在进行中。\n等待: 操作结束后再关闭窗口。\n"
                               "停止并退出: 当前Flash命令完成后停止操作并退出，芯片上的数据可能不完整。"),
                            QMessageBox::Abort | QMessageBox::Cancel,
                            {{QMessageBox::Abort, tr("停止并退出")}, {QMessageBox::Cancel, tr("等待")}},
                            QMessageBox::Cancel) ==
           QMessageBox::Abort;
}

bool CloseGuard::MayClose()
{
    if (!m_busy())
        return true;
    if (m_bStop || m_bAsking) {
        // Already stopping (or the question is open): close once it has ended.
        if (!m_bAsking)
            m_bQuitWhenDone = true;
        return false;
    }
    // Asked again after 等待: the operator may now choose to stop.
    m_bAsking = true;
    const bool bStop = AskStopAndQuit();
    m_bAsking = false;
    // The operation ended while the question was open (its box closed
    // itself, or the answer came late): the window closes as asked.
    if (!m_busy())
        return true;
    // The window closes only once the worker has finished, after either
    // answer: the close comes back from OperationEnded.
    m_bQuitWhenDone = true;
    if (bStop) {
        m_bStop = true;
        m_log(tr("正在停止: 当前Flash命令完成后停止操作并退出"));
    }
    return false;
}

void CloseGuard::OperationEnded()
{
    // The close question is moot once the operation has ended: its box
    // closes, and MayClose lets the window close.
    if (m_bAsking)
        msgbox::CloseQuestion();
    if (m_bQuitWhenDone)
        QTimer::singleShot(0, m_pWindow, [this] { m_pWindow->close(); });
}

void CloseGuard::QuitOnSignals()
{
    connect(new QuitSignals(this), &QuitSignals::received, this, &CloseGuard::QuitBySignal);
}

// A running operation stops after its current flash command and says what
// the chip was left with; the window then closes as usual (result line,
// settings saved).
void CloseGuard::QuitBySignal()
{
    if (m_busy()) {
        m_bQuitWhenDone = true;
        if (!m_bStop) {
            m_bStop = true;
            m_log(tr("收到终止信号: 当前Flash命令完成后停止操作并退出"));
        }
        return;
    }
    m_pWindow->close();
}
