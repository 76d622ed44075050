#include "workbookformat.h"

#include "staticlayout.h"

#include <staticrequest.h>
#include <workbookwriter.h>

#include <QCoreApplication>

namespace workbook {

const char* const kConfigSheet = "xq_config";
const char* const kKeyStart = "start_address";
const char* const kKeyStorage = "storage";
const char* const kKeyOtp = "otp";
const char* const kStorageNormal = "normal";
const char* const kStorageSecurity = "security";

namespace {

// Column names A to I; the window shows some of them as its table headings.
const char* const kColumnNames[kColumnCount] = {
    QT_TRANSLATE_NOOP("Workbook", "序号"),     QT_TRANSLATE_NOOP("Workbook", "名称"),
    QT_TRANSLATE_NOOP("Workbook", "数据名称"), QT_TRANSLATE_NOOP("Workbook", "数据类型"),
    QT_TRANSLATE_NOOP("Workbook", "数量"),     QT_TRANSLATE_NOOP("Workbook", "数值格式"),
    QT_TRANSLATE_NOOP("Workbook", "默认值"),   QT_TRANSLATE_NOOP("Workbook", "只读"),
    QT_TRANSLATE_NOOP("Workbook", "描述")};

const char* const kFormatNames[] = {"是/否", "十进制正整数", "十进制数", "十六进制数", "浮点数", "字符串"};

const struct {
    const char* pName;
    uint8_t nShift;
} kTypes[] = {{"bool", 0}, {"uint8_t", 0}, {"uint16_t", 1}, {"uint32_t", 2}, {"double", 3}, {"string", 0}};

}  // namespace

QString ColumnName(Column nColumn)
{
    return QString::fromUtf8(kColumnNames[nColumn - 1]);
}

QString ColumnHeading(Column nColumn)
{
    return QCoreApplication::translate("Workbook", kColumnNames[nColumn - 1]);
}

QVector<QVariant> HeadingRow()
{
    QVector<QVariant> row;
    for (int c = kColIndex; c <= kColumnCount; ++c)
        row.append(ColumnName(Column(c)));
    return row;
}

QString ReadOnlyMark()
{
    return ColumnName(kColReadOnly);
}

QString FormatName(ValueFormat fmt)
{
    return fmt >= kFmtYesNo && fmt < kFmtUnknown ? QString::fromUtf8(kFormatNames[fmt]) : QString();
}

ValueFormat FormatFromName(const QString& strName)
{
    for (int i = kFmtYesNo; i < kFmtUnknown; ++i)
        if (strName == QString::fromUtf8(kFormatNames[i]))
            return ValueFormat(i);
    return kFmtUnknown;
}

bool ShiftFromTypeName(const QString& strType, uint8_t& nShift)
{
    for (const auto& t : kTypes) {
        if (strType == QLatin1String(t.pName)) {
            nShift = t.nShift;
            return true;
        }
    }
    return false;
}

xlsx::SheetData ConfigSheet(const xlsx_config& config)
{
    xlsx::SheetData sheet;
    sheet.strName = kConfigSheet;
    const uint32_t nStart = config.start_address == 0xFFFFFFFF ? uint32_t(kStaticDefaultStart) : config.start_address;
    sheet.rows = {{kKeyStart, QString::number(nStart, 16)},
                  {kKeyStorage, config.storage ? kStorageSecurity : kStorageNormal},
                  {kKeyOtp, config.otp != 0}};
    return sheet;
}

}  // namespace workbook
