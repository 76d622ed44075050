// The static data workbook's format, in one place: the configuration sheet
// and its keys, the nine columns of a data sheet, the element types with
// their sizes, the value formats and the read-only mark. The reader
// (StaticLayout), the writers (the export menu, the workbook shipped with the
// program) and the tab's table headings all take their names from here.
#pragma once

#include <QString>
#include <QVariant>
#include <QVector>

#include <cstdint>

struct xlsx_config;
namespace xlsx {
struct SheetData;
}

// Value formats of column F, by index.
enum ValueFormat { kFmtYesNo = 0, kFmtUnsigned, kFmtDecimal, kFmtHex, kFmtFloat, kFmtString, kFmtUnknown };

namespace workbook {

// The configuration sheet: a key in column A, its value in column B.
extern const char* const kConfigSheet;
extern const char* const kKeyStart;    // the record's flash address, hexadecimal
extern const char* const kKeyStorage;  // "normal" or "security"
extern const char* const kKeyOtp;      // TRUE or FALSE
extern const char* const kStorageNormal;
extern const char* const kStorageSecurity;

// The columns of a data sheet, A to I (1-based, as the reader counts them).
enum Column {
    kColIndex = 1, kColName, kColDisplayName, kColType, kColCount, kColFormat, kColDefault, kColReadOnly,
    kColDescription, kColumnCount = kColDescription
};
// A column's name as the workbook's heading row holds it.
QString ColumnName(Column nColumn);
// The same name as a heading of the window (translated).
QString ColumnHeading(Column nColumn);
// The heading row of a data sheet.
QVector<QVariant> HeadingRow();

// The read-only mark of column H.
QString ReadOnlyMark();

// A format's name in column F, and the format a name stands for.
QString FormatName(ValueFormat fmt);
ValueFormat FormatFromName(const QString& strName);
// Element size shift of a type name in column D; false when the name is not a type.
bool ShiftFromTypeName(const QString& strType, uint8_t& nShift);

// The configuration sheet for a record location (the default start when
// the location names none).
xlsx::SheetData ConfigSheet(const xlsx_config& config);

}  // namespace workbook
