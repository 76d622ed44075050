#include "filesysmodel.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>

FileSysModel::FileSysModel(QObject* pParent) : QFileSystemModel(pParent), mutexCheck(new QMutex)
{
    setFilter(QDir::AllDirs | QDir::Files | QDir::Drives | QDir::NoSymLinks | QDir::NoDotAndDotDot);
    connect(this, &QFileSystemModel::directoryLoaded, this, QOverload<QString>::of(&FileSysModel::setData));
}

FileSysModel::~FileSysModel()
{
    delete mutexCheck;
}

bool FileSysModel::IsCheckable(const QModelIndex& index) const
{
    return index.isValid() && index.column() == 0 && !isDir(index);
}

Qt::ItemFlags FileSysModel::flags(const QModelIndex& index) const
{
    if (IsCheckable(index))
        return Qt::ItemIsSelectable | Qt::ItemIsUserCheckable | Qt::ItemIsEnabled;
    return QFileSystemModel::flags(index);
}

QVariant FileSysModel::data(const QModelIndex& index, int role) const
{
    if (role == Qt::CheckStateRole && IsCheckable(index)) {
        QMutexLocker lock(mutexCheck);
        return mapFileCheck.value(fileName(index), Qt::Unchecked);
    }
    // The model keeps the size it saw when the file appeared: a read-back is
    // created empty and written afterwards. The size shown is the file's now.
    if (role == Qt::DisplayRole && index.isValid() && index.column() == 1 && !isDir(index)) {
        const QFileInfo info(filePath(index));
        if (info.exists())
            return QLocale::system().formattedDataSize(info.size());
    }
    return QFileSystemModel::data(index, role);
}

bool FileSysModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::CheckStateRole || !IsCheckable(index))
        return QFileSystemModel::setData(index, value, role);
    QMutexLocker lock(mutexCheck);
    const bool bCheck = value.toInt() == Qt::Checked;
    for (auto it = mapFileCheck.begin(); it != mapFileCheck.end(); ++it) {
        if (bCheck && it.value() == Qt::Checked)
            emit uncheck(idxChecked);
        it.value() = Qt::Unchecked;
    }
    if (bCheck) {
        const auto it = mapFileCheck.find(fileName(index));
        if (it != mapFileCheck.end()) {
            it.value() = Qt::Checked;
            strCheckedPath = filePath(index);
            idxChecked = index;
        }
    } else {
        strCheckedPath.clear();
    }
    emit dataChanged(index, index, {Qt::CheckStateRole});
    return true;
}

void FileSysModel::setData(QString path)
{
    // The folder loads again whenever a file appears in it (a read-back, a
    // job saved there): the checked image stays checked while it is there.
    const QString strKept = strCheckedPath;
    strCheckedPath.clear();
    mapFileCheck.clear();
    const QStringList files = QDir(path).entryList(QDir::Files | QDir::NoSymLinks | QDir::NoDotAndDotDot, QDir::Unsorted);
    for (const QString& strName : files)
        mapFileCheck.insert(strName, Qt::Unchecked);
    const QFileInfo kept(strKept);
    if (!strKept.isEmpty() && kept.absolutePath() == QFileInfo(path).absoluteFilePath() &&
        mapFileCheck.contains(kept.fileName())) {
        mapFileCheck[kept.fileName()] = Qt::Checked;
        strCheckedPath = strKept;
        idxChecked = index(strKept);
    }
}

QVariant FileSysModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal) {
        if (role == Qt::DisplayRole && section >= 0 && section <= 3) {
            static const char* const texts[] = {QT_TR_NOOP("名称"), QT_TR_NOOP("大小"), QT_TR_NOOP("类型"),
                                                QT_TR_NOOP("修改日期")};
            return tr(texts[section]);
        }
        if (role == Qt::TextAlignmentRole)
            return int(Qt::AlignCenter);
    }
    return QFileSystemModel::headerData(section, orientation, role);
}
