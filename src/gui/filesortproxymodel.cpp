#include "filesortproxymodel.h"

#include <QDateTime>
#include <QFileSystemModel>
#include <QRegularExpression>

QVariant FileSortProxyModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    return sourceModel() ? sourceModel()->headerData(section, orientation, role) : QVariant();
}

bool FileSortProxyModel::filterAcceptsRow(int nSourceRow, const QModelIndex& sourceParent) const
{
    auto* pFs = qobject_cast<QFileSystemModel*>(sourceModel());
    if (!pFs)
        return QSortFilterProxyModel::filterAcceptsRow(nSourceRow, sourceParent);
    const QModelIndex index = pFs->index(nSourceRow, 0, sourceParent);
    if (pFs->isDir(index))
        return true;
    static const QRegularExpression binName("\\.bin$", QRegularExpression::CaseInsensitiveOption);
    return binName.match(pFs->fileName(index)).hasMatch();
}

bool FileSortProxyModel::lessThan(const QModelIndex& left, const QModelIndex& right) const
{
    auto* pFs = qobject_cast<QFileSystemModel*>(sourceModel());
    if (!pFs || (left.column() != 0 && left.column() != 3))
        return QSortFilterProxyModel::lessThan(left, right);
    const bool bAscending = sortOrder() == Qt::AscendingOrder;
    const bool bLeftDir = pFs->isDir(left.sibling(left.row(), 0));
    const bool bRightDir = pFs->isDir(right.sibling(right.row(), 0));
    if (bLeftDir != bRightDir)
        return bLeftDir ? bAscending : !bAscending;  // directories above files in both orders
    if (left.column() == 0)
        return QSortFilterProxyModel::lessThan(left, right);

    QDateTime leftTime = QDateTime::fromString(pFs->data(left).toString(), "yyyy/M/d h:m");
    QDateTime rightTime = QDateTime::fromString(pFs->data(right).toString(), "yyyy/M/d h:m");
    if (!leftTime.isValid() || !rightTime.isValid()) {
        // The displayed date follows the locale; compare the real times then.
        leftTime = pFs->lastModified(left);
        rightTime = pFs->lastModified(right);
        if (!leftTime.isValid() || !rightTime.isValid())
            return QSortFilterProxyModel::lessThan(left, right);
    }
    const bool bEarlier = leftTime < rightTime;
    return bAscending ? !bEarlier : bEarlier;  // newest first in both orders
}
