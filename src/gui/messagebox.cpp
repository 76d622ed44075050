#include "messagebox.h"

#include <QAbstractButton>
#include <QFileDialog>
#include <QList>
#include <QPair>
#include <QPointer>

namespace msgbox {

namespace {
Handler& CurrentHandler()
{
    static Handler handler;
    return handler;
}

// The question box being shown, for CloseQuestion.
QPointer<QMessageBox>& OpenQuestion()
{
    static QPointer<QMessageBox> pBox;
    return pBox;
}

QList<QPair<const void*, Watcher>>& Watchers()
{
    static QList<QPair<const void*, Watcher>> watchers;
    return watchers;
}

Shown& Last()
{
    static Shown shown;
    return shown;
}

QMessageBox::StandardButton Show(QWidget* pParent, QMessageBox::Icon icon, const QString& strTitle,
                                 const QString& strText, QMessageBox::StandardButtons buttons,
                                 const QMap<QMessageBox::StandardButton, QString>& buttonTexts = {},
                                 QMessageBox::StandardButton defaultButton = QMessageBox::NoButton)
{
    Last() = Shown{icon, strTitle, strText, buttons, defaultButton};
    const Shown shown = Last();
    for (const auto& [pOwner, watcher] : QList<QPair<const void*, Watcher>>(Watchers()))
        watcher(shown);
    if (CurrentHandler())
        return CurrentHandler()(icon, strTitle, strText, buttons);
    QMessageBox box(icon, strTitle, strText, buttons, pParent);
    for (auto it = buttonTexts.cbegin(); it != buttonTexts.cend(); ++it) {
        if (QAbstractButton* pButton = box.button(it.key()))
            pButton->setText(it.value());
    }
    if (defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(defaultButton);
    QPointer<QMessageBox> pEarlier = OpenQuestion();
    if (icon == QMessageBox::Question)
        OpenQuestion() = &box;
    const auto answer = QMessageBox::StandardButton(box.exec());
    OpenQuestion() = pEarlier;
    return answer;
}
}  // namespace

void CloseQuestion()
{
    if (QMessageBox* pBox = OpenQuestion())
        pBox->done(QMessageBox::Cancel);
}

void Watch(const void* pOwner, Watcher watcher)
{
    Unwatch(pOwner);
    Watchers().append({pOwner, std::move(watcher)});
}

void Unwatch(const void* pOwner)
{
    QList<QPair<const void*, Watcher>>& watchers = Watchers();
    for (int i = watchers.size() - 1; i >= 0; --i)
        if (watchers[i].first == pOwner)
            watchers.removeAt(i);
}

const Shown& LastShown()
{
    return Last();
}

void SetHandler(Handler handler)
{
    CurrentHandler() = std::move(handler);
}

QMessageBox::StandardButton Warning(QWidget* pParent, const QString& strTitle, const QString& strText)
{
    return Show(pParent, QMessageBox::Warning, strTitle, strText, QMessageBox::Ok);
}

QMessageBox::StandardButton Critical(QWidget* pParent, const QString& strTitle, const QString& strText)
{
    return Show(pParent, QMessageBox::Critical, strTitle, strText, QMessageBox::Ok);
}

QMessageBox::StandardButton Question(QWidget* pParent, const QString& strTitle, const QString& strText,
                                     QMessageBox::StandardButtons buttons,
                                     const QMap<QMessageBox::StandardButton, QString>& buttonTexts,
                                     QMessageBox::StandardButton defaultButton)
{
    return Show(pParent, QMessageBox::Question, strTitle, strText, buttons, buttonTexts, defaultButton);
}

namespace {
FileHandler& CurrentFileHandler()
{
    static FileHandler handler;
    return handler;
}
}  // namespace

void SetFileHandler(FileHandler handler)
{
    CurrentFileHandler() = std::move(handler);
}

QString SaveFileName(QWidget* pParent, const QString& strCaption, const QString& strDir, const QString& strFilter)
{
    if (CurrentFileHandler())
        return CurrentFileHandler()(strCaption, strDir);
    return QFileDialog::getSaveFileName(pParent, strCaption, strDir, strFilter);
}

QString OpenFileName(QWidget* pParent, const QString& strCaption, const QString& strDir, const QString& strFilter)
{
    if (CurrentFileHandler())
        return CurrentFileHandler()(strCaption, strDir);
    return QFileDialog::getOpenFileName(pParent, strCaption, strDir, strFilter);
}

QString ExistingDirectory(QWidget* pParent, const QString& strCaption, const QString& strDir)
{
    if (CurrentFileHandler())
        return CurrentFileHandler()(strCaption, strDir);
    return QFileDialog::getExistingDirectory(pParent, strCaption, strDir,
                                             QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
}

}  // namespace msgbox
