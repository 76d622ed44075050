// The static data layout read from a workbook: the flash location of the
// "xq_config" sheet and, for every other sheet, a list of typed items with
// default and current value bytes. It builds the record to write and takes
// a record read from flash back into the items. QtCore only: the static
// data tab shows it in tables, the command-line programmer uses it directly.
#pragma once

#include "staticrecord.h"
#include "workbookformat.h"

#include <results.h>

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

namespace xlsx {
class Document;
class Worksheet;
}

struct xlsx_config {
    uint8_t storage = 0;              // 0 normal, 1 security
    uint8_t otp = 0;
    uint32_t start_address = 0xFFFFFFFF;  // 0xFFFFFFFF: not given
    // The start address cell's text when it does not read as hexadecimal
    // (start_address is then 0, as the tab shows it): nothing may be
    // written there unasked.
    bool bStartUnreadable = false;
    QString strStartText;
};
Q_DECLARE_METATYPE(xlsx_config)

// One row of a data sheet, as the table shows it.
struct LayoutCells {
    QString strDisplayName;  // column C
    QString strType;         // column D
    QString strBytes;        // byte size, empty for 0
    QString strDefault;      // column G
    QString strReadOnly;     // column H
    QString strDescription;  // column I
    QString strToolTip;      // the description, or why the row holds no bytes
    QVariant format;         // column F, kept as the device value cell's user data
};

struct xlsx_item {
    uint8_t bReadOnly = 0;
    uint8_t nShift = 0;
    uint16_t nCount = 0;
    QByteArray current;      // current value bytes (empty: none)
    QByteArray defaults;     // default value bytes (empty: none)
    QByteArray currentText;  // UTF-8; isNull: none
    QByteArray defaultText;  // UTF-8; isNull: none
    QString strName;         // column B
    LayoutCells cells;

    int ByteSize() const { return int(nCount) << nShift; }
};

struct xlsx_sheet {
    QString strName;
    QVector<xlsx_item> items;
    int nBytes = 0;
};

using workbook::FormatFromName;
using workbook::ShiftFromTypeName;

class StaticLayout {
public:
    // kOk imported; kErrWorkbookUnreadable no such file, no sheets, or no
    // data sheet accepted; kErrWorkbookBadSheet a sheet that cannot be read,
    // or a data sheet whose used range does not end in column I.
    int LoadXlsx(const QString& strPath);
    // The same from a workbook's bytes read already (and hashed): what is
    // loaded is exactly those bytes, whatever the file holds by now.
    // strPath names the workbook.
    int LoadXlsxData(const QByteArray& data, const QString& strPath);
    void ClearXlsx();

    // A newly built record (used length + 20 bytes, total size 0), or empty.
    QByteArray GetStaticData(bool bCurrent) const;
    // Loads a record read from flash into the current bytes: kOk done,
    // kErrRecordLengthMismatch its used length differs from the layout's
    // (nothing changed), kErrRecordNoLayout nothing loaded. ShowDeviceValues then turns them into texts.
    int SetStaticData(const static_data_hdr* pFlashData);
    // Turns every item's current bytes into its current text.
    void ShowDeviceValues();
    // Takes a typed text as an item's current value and parses it.
    void TakeValue(xlsx_item& item, const QString& strText);
    // The item with the column B name, or null.
    xlsx_item* FindItem(const QString& strName);

    static void ParseValues(xlsx_item& item, const QString& strFormat);
    static QString RenderValue(const xlsx_item& item, const QString& strFormat);
    // The one rule for a value text an operator gives an item (the tab's
    // device value cell, xqprog's --set) and for the workbook's defaults:
    // why the text cannot be written as it stands, or empty when it can.
    // A numeric item needs every space-separated piece to read whole as a
    // number of its format ("是/否": 0 or 1; "十进制正整数" and "十六进制数":
    // no sign) inside its element's range, and at most as many pieces as it
    // holds. Texts and unknown formats are never refused (a text is cut, see
    // CutText). What an operator types is refused with this reason; a
    // workbook default is written as the workbook reads it, with a warning.
    static QString ValueRefusal(const xlsx_item& item, const QString& strText);
    // A text value as the item stores it: cut to its byte size at a whole
    // UTF-8 character (a cut character would not read back).
    static QByteArray CutText(const xlsx_item& item, const QByteArray& text);

    // The warnings of the last import: defaults that do not read whole,
    // naming the item and its text.
    QStringList warnings;

    QVector<xlsx_sheet> sheets;  // every accepted data sheet, in tab order (also those without items)
    xlsx_config config;
    QString strWorkbook;
    int nUsedLength = 0;
    int nReadOnlyLength = 0;
    QString strError;  // why the last import failed, for messages

    void ParseConfigSheet(const xlsx::Worksheet* pSheet);
    // Reads the items of a data sheet; returns their number.
    int LoadDocument(xlsx::Document& doc, const QString& strPath);
    int ParseDataSheet(const xlsx::Worksheet& sheet, xlsx_sheet& out);
};
