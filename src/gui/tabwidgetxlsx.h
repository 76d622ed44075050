// The static data layout as tabs of tables: one tab per data sheet, one row
// per item, with the device values in the last column.
#pragma once

#include "staticlayout.h"

#include <QTabWidget>

class QTableWidget;
class QTableWidgetItem;

class TabWidgetXlsx : public QTabWidget {
    Q_OBJECT

public:
    explicit TabWidgetXlsx(QWidget* pParent = nullptr);

    int LoadXlsx(const QString& strPath);
    void ClearXlsx();
    void ShowDeviceValues();
    void TakeTableValues();
    QByteArray GetStaticData(bool bCurrent) const { return m_layout.GetStaticData(bCurrent); }

    // Display names of the items with bytes whose device value cell is empty.
    QStringList ItemsWithoutDeviceValue() const;
    // The device value cells that cannot be written as they stand, one line
    // each naming the item, its text and why (StaticLayout::ValueRefusal).
    QStringList RefusedDeviceValues() const;

    StaticLayout& Layout() { return m_layout; }
    const QList<QTableWidget*>& Tables() const { return m_tables; }

public slots:
    void SetStaticData(const static_data_hdr* pFlashData);
    void resizeColumn(int nTabIdx = 0);

protected:
    // The columns follow the table's width.
    void resizeEvent(QResizeEvent* pEvent) override;

private slots:
    // Marks a device value cell whose text is not a number of its format.
    void CheckDeviceCell(QTableWidgetItem* pCell);

private:
    void BuildTables();
    // The layout's item of a table's row, or null.
    const xlsx_item* ItemAt(const QTableWidget* pTable, int nRow) const;
    void RemovePages();  // every tab page and table, the last first

    StaticLayout m_layout;
    QList<QTableWidget*> m_tables;
};

// Columns of a data table.
enum XlsxColumn { kColName = 0, kColType, kColBytes, kColDefault, kColReadOnly, kColDevice, kColCount };
