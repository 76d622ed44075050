// The firmware browser's file system model: one check mark at most, on a
// plain file of the directory loaded last; the checked file is the image.
#pragma once

#include <QFileSystemModel>
#include <QMap>
#include <QMutex>

class FileSysModel : public QFileSystemModel {
    Q_OBJECT

public:
    explicit FileSysModel(QObject* pParent = nullptr);
    ~FileSysModel() override;

    QString strCheckedPath;
    QMap<QString, int> mapFileCheck;
    QMutex* mutexCheck;
    QModelIndex idxChecked;

    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

signals:
    void uncheck(QModelIndex);

public slots:
    void setData(QString path);

private:
    bool IsCheckable(const QModelIndex& index) const;
};
