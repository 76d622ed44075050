#include "screenfit.h"

#include <QGuiApplication>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <QWidget>

#include <memory>

QRect FitIntoScreen(const QRect& wanted, const QRect& available)
{
    if (available.contains(wanted))
        return wanted;
    QRect fit(QPoint(0, 0), wanted.size().boundedTo(available.size()));
    fit.moveCenter(available.center());
    return fit;
}

void FitWindowToScreen(QWidget* pWindow)
{
    const QRect client = pWindow->geometry();
    QScreen* pScreen = QGuiApplication::screenAt(client.center());
    if (!pScreen)
        pScreen = QGuiApplication::primaryScreen();
    if (!pScreen)
        return;
    const QRect framed = pWindow->frameGeometry();
    QMargins frame(client.left() - framed.left(), client.top() - framed.top(), framed.right() - client.right(),
                   framed.bottom() - client.bottom());
    if (frame.isNull())
        frame.setTop(pWindow->style()->pixelMetric(QStyle::PM_TitleBarHeight));
    const QRect fit = FitIntoScreen(client + frame, pScreen->availableGeometry()) - frame;
    if (fit != client)
        pWindow->setGeometry(fit);
}

void FitWhenFramed(QWidget* pWindow, int nMs)
{
    auto* pTimer = new QTimer(pWindow);
    auto pLeft = std::make_shared<int>(nMs / 50);
    // Only the start-up size is fitted again: once the window was resized
    // (by the operator or the program), its size is left as it is.
    const QSize startSize = pWindow->size();
    QObject::connect(pTimer, &QTimer::timeout, pWindow, [pWindow, pTimer, pLeft, startSize] {
        const bool bResized = pWindow->size() != startSize;
        const bool bFramed = pWindow->frameGeometry() != pWindow->geometry();
        if (bFramed && !bResized)
            FitWindowToScreen(pWindow);
        if (bFramed || bResized || --*pLeft <= 0) {
            pTimer->stop();
            pTimer->deleteLater();
        }
    });
    pTimer->start(50);
}
