#include "tableviewwithkeys.h"

#include <QFileSystemModel>
#include <QKeyEvent>
#include <QSortFilterProxyModel>

void TableViewWithKeys::setRootIndex(const QModelIndex& index)
{
    if (!index.isValid())
        return;
    auto* pProxy = qobject_cast<QSortFilterProxyModel*>(model());
    const QModelIndex nameIndex = index.sibling(index.row(), 0);
    const QModelIndex source = pProxy ? pProxy->mapToSource(nameIndex) : nameIndex;
    auto* pFs = qobject_cast<QFileSystemModel*>(pProxy ? pProxy->sourceModel() : model());
    if (!pFs)
        return;
    if (pFs->isDir(source)) {
        const QModelIndex root = pFs->setRootPath(pFs->filePath(source));
        QTableView::setRootIndex(pProxy ? pProxy->mapFromSource(root) : root);
    } else {
        ToggleCheck(currentIndex());
    }
}

void TableViewWithKeys::ToggleCheck(const QModelIndex& index)
{
    const int nState = model()->data(index, Qt::CheckStateRole).toInt();
    model()->setData(index, nState == Qt::Checked ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
    emit clicked(index);
}

void TableViewWithKeys::uncheckedUpdate(QModelIndex index)
{
    if (!index.isValid())
        return;
    if (auto* pProxy = qobject_cast<QSortFilterProxyModel*>(model()))
        update(pProxy->mapFromSource(index));
}

void TableViewWithKeys::setDirUp()
{
    const QModelIndex root = rootIndex();
    if (root.isValid() && root.parent().isValid())
        setRootIndex(root.parent());
}

void TableViewWithKeys::keyPressEvent(QKeyEvent* pEvent)
{
    switch (pEvent->key()) {
    case Qt::Key_Space:
        if (currentIndex().isValid()) {
            ToggleCheck(currentIndex());
            return;
        }
        break;
    case Qt::Key_Backspace:
        setDirUp();
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        setRootIndex(currentIndex());
        break;
    default:
        break;
    }
    QTableView::keyPressEvent(pEvent);
}
