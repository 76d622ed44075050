#include "messagebox.h"

namespace msgbox {

namespace {
Handler& CurrentHandler()
{
    static Handler handler;
    return handler;
}

QMessageBox::StandardButton Show(QWidget* pParent, QMessageBox::Icon icon, const QString& strTitle,
                                 const QString& strText, QMessageBox::StandardButtons buttons)
{
    if (CurrentHandler())
        return CurrentHandler()(icon, strTitle, strText, buttons);
    QMessageBox box(icon, strTitle, strText, buttons, pParent);
    return QMessageBox::StandardButton(box.exec());
}
}  // namespace

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
                                     QMessageBox::StandardButtons buttons)
{
    return Show(pParent, QMessageBox::Question, strTitle, strText, buttons);
}

}  // namespace msgbox
