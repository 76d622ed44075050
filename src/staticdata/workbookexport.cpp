#include "workbookexport.h"

#include "staticlayout.h"

#include <textrules.h>
#include <workbookwriter.h>

namespace {

const QVector<QVariant> kHeading{"序号", "名称", "数据名称", "数据类型", "数量", "数值格式", "默认值", "只读", "描述"};

xlsx::SheetData ConfigSheet(const xlsx_config& config)
{
    xlsx::SheetData sheet;
    sheet.strName = "xq_config";
    const uint32_t nStart = config.start_address == 0xFFFFFFFF ? 0x1FF000 : config.start_address;
    sheet.rows = {{"start_address", QString::number(nStart, 16)},
                  {"storage", config.storage ? "security" : "normal"},
                  {"otp", config.otp != 0}};
    return sheet;
}

}  // namespace

bool ExportTemplate(const QString& strPath, QString& strError)
{
    xlsx::SheetData data;
    data.strName = "Sheet1";
    data.rows = {kHeading,
                 {1, "enable", "使能", "bool", 1, "是/否", "1", QVariant(), "是/否: 0 或 1"},
                 {2, "count", "计数", "uint8_t", 1, "十进制正整数", "200", QVariant(), "十进制正整数"},
                 {3, "offset", "偏移", "uint16_t", 2, "十进制数", "-5 12", QVariant(), "十进制数，空格分隔多个值"},
                 {4, "version", "版本号", "uint32_t", 1, "十六进制数", "0x00010002", "只读", "十六进制数; 只读项"},
                 {5, "gain", "增益", "double", 1, "浮点数", "1.0025", QVariant(), "浮点数"},
                 {6, "name", "名称", "string", 16, "字符串", "XQ-0001", QVariant(), "字符串，最长为数量字节"}};
    return xlsx::WriteWorkbook(strPath, {ConfigSheet(xlsx_config()), data}, strError);
}

bool SaveLayoutWorkbook(const StaticLayout& layout, const xlsx_config& config, const QString& strPath,
                        QString& strError)
{
    QList<xlsx::SheetData> sheets{ConfigSheet(config)};
    for (const xlsx_sheet& sheet : layout.sheets) {
        xlsx::SheetData data;
        data.strName = sheet.strName;
        data.rows.append(kHeading);
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
