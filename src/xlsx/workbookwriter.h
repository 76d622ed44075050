// Writes simple workbooks (text, numbers, booleans) as .xlsx files.
#pragma once

#include <QList>
#include <QString>
#include <QVariant>
#include <QVector>

namespace xlsx {

struct SheetData {
    QString strName;
    QVector<QVector<QVariant>> rows;  // from row 1, column A; invalid values leave the cell empty
};

// Writes the sheets in order; false with a message when the file cannot be written.
bool WriteWorkbook(const QString& strPath, const QList<SheetData>& sheets, QString& strError);

}  // namespace xlsx
