// Every message box of the program goes through here, so that headless tests
// can answer them instead of blocking on a modal dialog.
#pragma once

#include <QMap>
#include <QMessageBox>

#include <functional>

namespace msgbox {

using Handler = std::function<QMessageBox::StandardButton(QMessageBox::Icon icon, const QString& strTitle,
                                                          const QString& strText, QMessageBox::StandardButtons buttons)>;

// Replaces the modal box (null restores it).
void SetHandler(Handler handler);

// What a box asked, told to the watchers just before it shows (and kept as
// the last one shown): a window says why an operation did not start before
// the operator reads the box.
struct Shown {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString strTitle, strText;
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;  // the answer Enter gives
};
using Watcher = std::function<void(const Shown& shown)>;
// Watches every box while pOwner lives (until Unwatch).
void Watch(const void* pOwner, Watcher watcher);
void Unwatch(const void* pOwner);
const Shown& LastShown();

QMessageBox::StandardButton Warning(QWidget* pParent, const QString& strTitle, const QString& strText);
QMessageBox::StandardButton Critical(QWidget* pParent, const QString& strTitle, const QString& strText);
QMessageBox::StandardButton Question(QWidget* pParent, const QString& strTitle, const QString& strText,
                                     QMessageBox::StandardButtons buttons = QMessageBox::Yes | QMessageBox::No,
                                     const QMap<QMessageBox::StandardButton, QString>& buttonTexts = {},
                                     QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);

// Closes the question box that is open (its answer then is Cancel); nothing
// when none is, or when the test handler answers instead.
void CloseQuestion();

// File dialogs, answered the same way in tests (an empty answer is a cancel).
using FileHandler = std::function<QString(const QString& strCaption, const QString& strDir)>;
void SetFileHandler(FileHandler handler);
QString SaveFileName(QWidget* pParent, const QString& strCaption, const QString& strDir, const QString& strFilter);
QString OpenFileName(QWidget* pParent, const QString& strCaption, const QString& strDir, const QString& strFilter);
QString ExistingDirectory(QWidget* pParent, const QString& strCaption, const QString& strDir);

}  // namespace msgbox
