#include "tabwidgetxlsx.h"

#include <messagebox.h>
#include <textrules.h>

#include <QHeaderView>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QVBoxLayout>

TabWidgetXlsx::TabWidgetXlsx(QWidget* pParent) : QTabWidget(pParent)
{
    CalcCrc(nullptr, 0);  // builds the CRC table before the first record
    connect(this, &QTabWidget::currentChanged, this, &TabWidgetXlsx::resizeColumn);
}

void TabWidgetXlsx::ClearXlsx()
{
    m_layout.ClearXlsx();
    RemovePages();
}

void TabWidgetXlsx::RemovePages()
{
    for (QTableWidget* pTable : m_tables)
        pTable->clear();
    m_tables.clear();
    for (int i = count() - 1; i >= 0; --i) {
        QWidget* pPage = widget(i);
        removeTab(i);
        delete pPage;
    }
}

int TabWidgetXlsx::LoadXlsx(const QString& strPath)
{
    // Read aside first: a workbook that fails changes nothing shown; only
    // its reason is kept (Layout().strError).
    StaticLayout loaded;
    const int nResult = loaded.LoadXlsx(strPath);
    if (nResult != 0) {
        m_layout.strError = loaded.strError;
        return nResult;
    }
    m_layout = loaded;
    BuildTables();
    resizeColumn();
    return nResult;
}

void TabWidgetXlsx::BuildTables()
{
    const QSignalBlocker block(this);
    RemovePages();
    for (const xlsx_sheet& sheet : m_layout.sheets) {
        auto* pPage = new QWidget;
        pPage->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        auto* pLayout = new QVBoxLayout(pPage);
        pLayout->setSpacing(0);
        pLayout->setContentsMargins(0, 0, 0, 0);
        auto* pTable = new QTableWidget(pPage);
        pTable->setObjectName(sheet.strName);
        pTable->setColumnCount(kColCount);
        pTable->setHorizontalHeaderLabels({workbook::ColumnHeading(workbook::kColDisplayName), workbook::ColumnHeading(workbook::kColType),
                                           tr("字节总长"), workbook::ColumnHeading(workbook::kColDefault),
                                           workbook::ColumnHeading(workbook::kColReadOnly), tr("设备数值")});
        pTable->setRowCount(sheet.items.size());
        pTable->setAlternatingRowColors(true);
        // The device values fill the rest of the view from the first show on.
        pTable->horizontalHeader()->setStretchLastSection(true);
        for (int r = 0; r < sheet.items.size(); ++r) {
            const LayoutCells& c = sheet.items[r].cells;
            auto* pName = new QTableWidgetItem(c.strDisplayName);
            if (!c.strToolTip.isEmpty())
                pName->setToolTip(c.strToolTip);
            pTable->setItem(r, kColName, pName);
            pTable->setItem(r, kColType, new QTableWidgetItem(c.strType));
            pTable->setItem(r, kColBytes, new QTableWidgetItem(c.strBytes));
            pTable->setItem(r, kColDefault, new QTableWidgetItem(c.strDefault));
            pTable->setItem(r, kColReadOnly, new QTableWidgetItem(c.strReadOnly));
            auto* pDevice = new QTableWidgetItem;
            pDevice->setData(Qt::UserRole, c.format);
            pTable->setItem(r, kColDevice, pDevice);
        }
        connect(pTable, &QTableWidget::itemChanged, this, &TabWidgetXlsx::CheckDeviceCell);
        pLayout->addWidget(pTable);
        addTab(pPage, QString("%1(%2)").arg(sheet.strName).arg(sheet.nBytes));
        m_tables.append(pTable);
    }
}

void TabWidgetXlsx::ShowDeviceValues()
{
    m_layout.ShowDeviceValues();
    for (int t = 0; t < m_tables.size() && t < m_layout.sheets.size(); ++t) {
        QTableWidget* pTable = m_tables[t];
        const xlsx_sheet& sheet = m_layout.sheets[t];
        for (int r = 0; r < pTable->rowCount() && r < sheet.items.size(); ++r) {
            const xlsx_item& item = sheet.items[r];
            if (item.nCount == 0 || item.current.isEmpty() || item.currentText.isNull())
                continue;
            pTable->item(r, kColDevice)->setText(QString::fromUtf8(xq::CutAtNul(item.currentText)));
        }
    }
}

void TabWidgetXlsx::TakeTableValues()
{
    for (int t = 0; t < m_tables.size() && t < m_layout.sheets.size(); ++t) {
        QTableWidget* pTable = m_tables[t];
        xlsx_sheet& sheet = m_layout.sheets[t];
        for (int r = 0; r < pTable->rowCount() && r < sheet.items.size(); ++r)
            m_layout.TakeValue(sheet.items[r], pTable->item(r, kColDevice)->text());
    }
}

void TabWidgetXlsx::SetStaticData(const static_data_hdr* pFlashData)
{
    if (m_layout.SetStaticData(pFlashData) == xq::kErrRecordLengthMismatch) {
        msgbox::Warning(this, tr("告警"), tr("显示数据异常，\n请查看导入配置是否正确"));
        return;
    }
    ShowDeviceValues();
}

void TabWidgetXlsx::resizeColumn(int nTabIdx)
{
    Q_UNUSED(nTabIdx);
    const int i = currentIndex();
    if (m_tables.isEmpty() || i < 0 || i >= m_tables.size())
        return;
    // The device value column is the last one and stretches over the rest;
    // the others take what their heading and cells need (the English
    // headings are wider), within bounds, so that it keeps room for its own.
    QTableWidget* pTable = m_tables[i];
    QHeaderView* pHeader = pTable->horizontalHeader();
    int nUsed = 0;
    for (int nCol = kColName; nCol < kColDevice; ++nCol) {
        pTable->resizeColumnToContents(nCol);
        pHeader->resizeSection(nCol, qBound(48, pHeader->sectionSize(nCol) + 8, 140));
        nUsed += pHeader->sectionSize(nCol);
    }
    // In a narrow table the name and default columns give way first.
    const QString strDevice = pTable->horizontalHeaderItem(kColDevice) ? pTable->horizontalHeaderItem(kColDevice)->text() : QString();
    int nExcess = nUsed + pHeader->fontMetrics().horizontalAdvance(strDevice) + 24 - pTable->viewport()->width();
    for (int nCol : {kColName, kColDefault}) {
        const int nGive = qMin(nExcess, pHeader->sectionSize(nCol) - 48);
        if (nGive > 0) {
            pHeader->resizeSection(nCol, pHeader->sectionSize(nCol) - nGive);
            nExcess -= nGive;
        }
    }
}

void TabWidgetXlsx::resizeEvent(QResizeEvent* pEvent)
{
    QTabWidget::resizeEvent(pEvent);
    resizeColumn();
}

const xlsx_item* TabWidgetXlsx::ItemAt(const QTableWidget* pTable, int nRow) const
{
    const int t = m_tables.indexOf(const_cast<QTableWidget*>(pTable));
    if (t < 0 || t >= m_layout.sheets.size() || nRow < 0 || nRow >= m_layout.sheets[t].items.size())
        return nullptr;
    return &m_layout.sheets[t].items[nRow];
}

void TabWidgetXlsx::CheckDeviceCell(QTableWidgetItem* pCell)
{
    if (!pCell || pCell->column() != kColDevice)
        return;
    const xlsx_item* pItem = ItemAt(pCell->tableWidget(), pCell->row());
    const QString strRefusal = pItem ? StaticLayout::ValueRefusal(*pItem, pCell->text()) : QString();
    const QSignalBlocker block(pCell->tableWidget());
    if (strRefusal.isEmpty()) {
        pCell->setData(Qt::BackgroundRole, QVariant());
        pCell->setData(Qt::ForegroundRole, QVariant());
        pCell->setToolTip(QString());
        return;
    }
    pCell->setBackground(QColor(0xFF, 0xD6, 0xD6));
    pCell->setForeground(QColor(0xA0, 0x00, 0x00));
    pCell->setToolTip(tr("%1: 请改正后再写入当前值").arg(strRefusal));
}

QStringList TabWidgetXlsx::RefusedDeviceValues() const
{
    QStringList lines;
    for (int t = 0; t < m_tables.size() && t < m_layout.sheets.size(); ++t) {
        const QTableWidget* pTable = m_tables[t];
        const xlsx_sheet& sheet = m_layout.sheets[t];
        for (int r = 0; r < pTable->rowCount() && r < sheet.items.size(); ++r) {
            const QString strRefusal = StaticLayout::ValueRefusal(sheet.items[r], pTable->item(r, kColDevice)->text());
            if (!strRefusal.isEmpty())
                lines << QString("%1: %2").arg(sheet.items[r].strName, strRefusal);
        }
    }
    return lines;
}

QStringList TabWidgetXlsx::ItemsWithoutDeviceValue() const
{
    QStringList names;
    for (int t = 0; t < m_tables.size() && t < m_layout.sheets.size(); ++t) {
        const QTableWidget* pTable = m_tables[t];
        const xlsx_sheet& sheet = m_layout.sheets[t];
        for (int r = 0; r < pTable->rowCount() && r < sheet.items.size(); ++r) {
            const xlsx_item& item = sheet.items[r];
            if (item.ByteSize() > 0 && pTable->item(r, kColDevice)->text().trimmed().isEmpty())
                names << (item.cells.strDisplayName.isEmpty() ? item.strName : item.cells.strDisplayName);
        }
    }
    return names;
}
