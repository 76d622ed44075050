// The browser's table view: Enter or a double click opens a directory or
// toggles a file's check mark, Space toggles it, Backspace goes up.
#pragma once

#include <QTableView>

class TableViewWithKeys : public QTableView {
    Q_OBJECT

public:
    using QTableView::QTableView;

public slots:
    void setRootIndex(const QModelIndex& index) override;
    void uncheckedUpdate(QModelIndex index);
    void setDirUp();

protected:
    void keyPressEvent(QKeyEvent* pEvent) override;

private:
    void ToggleCheck(const QModelIndex& index);
};
