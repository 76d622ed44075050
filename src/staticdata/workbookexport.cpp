#include "workbookexport.h"

#include "staticlayout.h"
#include "workbookformat.h"

#include <textrules.h>
#include <workbookwriter.h>

using namespace workbook;

bool ExportTemplate(const QString& strPath, QString& strError)
{
    xlsx::SheetData data;
    data.strName = "Sheet1";
    data.rows = {HeadingRow(),
                 {1, "enable", "使能", "bool", 1, FormatName(kFmtYesNo), "1", QVariant(), "是/否: 0 或 1"},
                 {2, "count", "计数", "uint8_t", 1, FormatName(kFmtUnsigned), "200", QVariant(), FormatName(kFmtUnsigned)},
                 {3, "offset", "偏移", "uint16_t", 2, FormatName(kFmtDecimal), "-5 12", QVariant(), "十进制数，空格分隔多个值"},
                 {4, "version", "版本号", "uint32_t", 1, FormatName(kFmtHex), "0x00010002", ReadOnlyMark(), "十六进制数; 只读项"},
                 {5, "gain", "增益", "double", 1, FormatName(kFmtFloat), "1.0025", QVariant(), FormatName(kFmtFloat)},
                 {6, "name", ColumnName(kColName), "string", 16, FormatName(kFmtString), "XQ-0001", QVariant(), "字符串，最长为数量字节"}};
    return xlsx::WriteWorkbook(strPath, {ConfigSheet(xlsx_config()), data}, strError);
}

bool SaveLayoutWorkbook(const StaticLayout& layout, const xlsx_config& config, const QString& strPath,
                        QString& strError)
{
    QList<xlsx::SheetData> sheets{ConfigSheet(config)};
    for (const xlsx_sheet& sheet : layout.sheets) {
        xlsx::SheetData data;
        data.strName = sheet.strName;
        data.rows.append(HeadingRow());
        int nIndex = 1;
        for (const xlsx_item& item : sheet.items) {
            const LayoutCells& c = item.cells;
            // The device value, where the item has one, becomes the default;
            // an empty device cell keeps the workbook's default.
            QString strValue = QString::fromUtf8(xq::CutAtNul(item.currentText));
            if (strValue.isEmpty())
                strValue = c.strDefault;
            data.rows.append({nIndex++, item.strName, c.strDisplayName, c.strType, int(item.nCount), c.format,
                              strValue.isEmpty() ? QVariant() : QVariant(strValue),
                              c.strReadOnly.isEmpty() ? QVariant() : QVariant(c.strReadOnly),
                              c.strDescription.isEmpty() ? QVariant() : QVariant(c.strDescription)});
        }
        sheets.append(data);
    }
    return xlsx::WriteWorkbook(strPath, sheets, strError);
}
