// Fitting a top-level window into the free area of its screen, frame and
// title bar included.
#pragma once

#include <QRect>

class QWidget;

// The rectangle a window of (frame) geometry WANTED takes on a screen whose
// free area is AVAILABLE: as it is when it is inside, else shrunk to fit
// and centred.
QRect FitIntoScreen(const QRect& wanted, const QRect& available);

// Moves and shrinks pWindow so that its frame is inside the free area of
// the screen it is on; before a window manager has framed it, a title bar
// is reserved.
void FitWindowToScreen(QWidget* pWindow);

// A window manager frames a window some time after it is shown, without
// moving its client area: pWindow is fitted again once its frame is known
// (looked for during nMs after the call; a window never framed is left).
void FitWhenFramed(QWidget* pWindow, int nMs = 2000);
