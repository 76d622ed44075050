#include "staticlayout.h"

#include <results.h>
#include <textrules.h>
#include <xlsxdocument.h>

#include <QCoreApplication>
#include <QFileInfo>

#include <cctype>
#include <cerrno>
#include <clocale>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kConfigRows = 4;

QString CellText(const xlsx::Worksheet& sheet, int nRow, int nColumn)
{
    const QVariant v = sheet.Read(nRow, nColumn);
    if (v.type() == QVariant::Bool)
        return v.toBool() ? "true" : "false";
    return v.toString();
}

// The "C" locale for number texts: Qt sets the process locale from the
// environment, and a decimal comma must not change what a workbook means.
locale_t CLocale()
{
    static const locale_t c = newlocale(LC_ALL_MASK, "C", locale_t(0));
    return c;
}

// strtoul as on a 32-bit unsigned long: leading white space, an optional
// sign, a "0x" prefix in base 16; a leading minus wraps modulo 2^32, a
// magnitude beyond 32 bits gives 0xFFFFFFFF, text that is not a number 0.
uint32_t ParseUnsigned(const QByteArray& piece, int nBase)
{
    const char* pText = piece.constData();
    errno = 0;
    char* pEnd = nullptr;
    const unsigned long long n = strtoull_l(pText, &pEnd, nBase, CLocale());
    if (pEnd == pText)
        return 0;
    const char* p = pText;
    while (isspace_l(static_cast<unsigned char>(*p), CLocale()))
        ++p;
    const bool bNegative = *p == '-';
    // strtoull negates the magnitude it read; undo that to judge its range.
    const unsigned long long nMagnitude = bNegative ? 0ull - n : n;
    if (errno == ERANGE || nMagnitude > 0xFFFFFFFFull)
        return 0xFFFFFFFFu;
    return bNegative ? uint32_t(0u - uint32_t(nMagnitude)) : uint32_t(nMagnitude);
}

// strtod: "1e" reads as 1, inf, nan and hex floats are numbers, an overflow
// gives infinity, text that is not a number 0.
double ParseDouble(const QByteArray& piece)
{
    char* pEnd = nullptr;
    const double d = strtod_l(piece.constData(), &pEnd, CLocale());
    return pEnd == piece.constData() ? 0.0 : d;
}

// The value texts of an item: separated by spaces, up to the first zero byte.
QList<QByteArray> Pieces(const QByteArray& text)
{
    QList<QByteArray> out;
    for (const QByteArray& piece : xq::CutAtNul(text).split(' '))
        if (!piece.isEmpty())
            out.append(piece);
    return out;
}

// The floating point format makes count doubles whatever the item's type;
// the item keeps the first count << shift bytes of them.
QByteArray ParseDoubles(const QByteArray& text, const xlsx_item& item)
{
    QByteArray doubles(int(item.nCount) * int(sizeof(double)), 0);
    const QList<QByteArray> pieces = Pieces(text);
    for (int i = 0; i < item.nCount && i < pieces.size(); ++i) {
        const double d = ParseDouble(pieces[i]);
        std::memcpy(doubles.data() + i * int(sizeof d), &d, sizeof d);
    }
    doubles.truncate(item.ByteSize());
    return doubles;
}

QByteArray ParseNumbers(const QByteArray& text, const xlsx_item& item, ValueFormat fmt)
{
    if (fmt == kFmtFloat)
        return ParseDoubles(text, item);
    const int nElement = 1 << item.nShift;
    QByteArray bytes(item.ByteSize(), 0);
    const QList<QByteArray> pieces = Pieces(text);
    static const int bases[] = {2, 10, 10, 16};
    for (int i = 0; i < item.nCount && i < pieces.size(); ++i) {
        char* pOut = bytes.data() + (i << item.nShift);
        const uint32_t v = ParseUnsigned(pieces[i], bases[fmt]);
        for (int b = 0; b < qMin(nElement, 4); ++b)
            pOut[b] = char(v >> (8 * b));
    }
    return bytes;
}

QByteArray PaddedText(const QByteArray& text, int nMinimum)
{
    QByteArray out = text;
    if (out.size() < nMinimum)
        out.append(QByteArray(nMinimum - out.size(), '\0'));
    return out;
}

}  // namespace

void StaticLayout::ClearXlsx()
{
    warnings.clear();
    nUsedLength = 0;
    nReadOnlyLength = 0;
    sheets.clear();
}

int StaticLayout::LoadXlsx(const QString& strPath)
{
    strError.clear();
    if (!QFileInfo(strPath).isFile()) {
        strError = QCoreApplication::translate("StaticLayout", "%1: 文件不存在").arg(strPath);
        return xq::kErrWorkbookUnreadable;
    }
    xlsx::Document doc;
    if (!doc.Open(strPath)) {
        strError = doc.ErrorString();
        return xq::kErrWorkbookUnreadable;
    }
    return LoadDocument(doc, strPath);
}

int StaticLayout::LoadXlsxData(const QByteArray& data, const QString& strPath)
{
    strError.clear();
    xlsx::Document doc;
    if (!doc.OpenData(data, strPath)) {
        strError = doc.ErrorString();
        return xq::kErrWorkbookUnreadable;
    }
    return LoadDocument(doc, strPath);
}

int StaticLayout::LoadDocument(xlsx::Document& doc, const QString& strPath)
{
    const QStringList names = doc.SheetNames();
    if (!names.isEmpty()) {
        ClearXlsx();
        strWorkbook = strPath;
    }
    int nResult = xq::kErrWorkbookUnreadable;
    for (const QString& strName : names) {
        const xlsx::Worksheet* pSheet = doc.Sheet(strName);
        if (!pSheet) {
            // A sheet that cannot be read (malformed, or its texts missing)
            // must not load as a sheet of empty cells.
            strError = QCoreApplication::translate("StaticLayout", "工作表 %1: %2").arg(strName, doc.ErrorString());
            nResult = xq::kErrWorkbookBadSheet;
            break;
        }
        if (strName == workbook::kConfigSheet) {
            ParseConfigSheet(pSheet);
            continue;
        }
        if (pSheet->Dimension().nLastColumn != workbook::kColumnCount) {
            strError = QCoreApplication::translate("StaticLayout", "工作表 %1 不是到 I 列为止").arg(strName);
            nResult = xq::kErrWorkbookBadSheet;
            break;
        }
        xlsx_sheet sheet;
        sheet.strName = strName;
        if (ParseDataSheet(*pSheet, sheet) < 0) {
            nResult = xq::kErrWorkbookBadSheet;
            break;
        }
        nUsedLength += sheet.nBytes;
        sheets.append(sheet);
        nResult = 0;
    }
    return nResult;
}

void StaticLayout::ParseConfigSheet(const xlsx::Worksheet* pSheet)
{
    if (!pSheet || pSheet->Dimension().nLastColumn > 2)
        return;
    const int nRows = qMin(kConfigRows, pSheet->Dimension().nLastRow);
    for (int r = 1; r <= nRows; ++r) {
        const QString strKey = CellText(*pSheet, r, 1).toLower();
        const QString strValue = CellText(*pSheet, r, 2);
        if (strKey == workbook::kKeyStart) {
            bool bOk = false;
            const uint nAddress = strValue.trimmed().toUInt(&bOk, 16);
            config.start_address = bOk ? nAddress : 0;
            config.bStartUnreadable = !bOk;
            config.strStartText = strValue;
        } else if (strKey == workbook::kKeyStorage) {
            if (strValue.compare(workbook::kStorageNormal, Qt::CaseInsensitive) == 0)
                config.storage = 0;
            else if (strValue.compare(workbook::kStorageSecurity, Qt::CaseInsensitive) == 0)
                config.storage = 1;
        } else if (strKey == workbook::kKeyOtp) {
            config.otp = strValue.compare("TRUE", Qt::CaseInsensitive) == 0 ? 1 : 0;
        }
    }
}

int StaticLayout::ParseDataSheet(const xlsx::Worksheet& sheet, xlsx_sheet& out)
{
    const int nLastRow = sheet.Dimension().nLastRow;
    for (int r = 2; r <= nLastRow; ++r) {
        const QString strName = CellText(sheet, r, 2);
        if (strName.isEmpty())
            break;
        xlsx_item item;
        item.strName = strName;
        LayoutCells& cells = item.cells;
        cells.strDisplayName = CellText(sheet, r, 3);
        cells.strDescription = CellText(sheet, r, 9);
        cells.strToolTip = cells.strDescription;
        cells.strType = CellText(sheet, r, 4);
        uint8_t nShift = 0;
        int nBytes = 0;
        if (ShiftFromTypeName(cells.strType, nShift)) {
            const QVariant count = sheet.Read(r, 5);
            bool bOk = false;
            const qlonglong nCount = count.toLongLong(&bOk);
            if (bOk && nCount >= 0 && nCount <= 0xFFFF) {
                item.nShift = nShift;
                item.nCount = uint16_t(nCount);
                nBytes = item.ByteSize();
            } else if (bOk) {
                // A count that does not fit its 16-bit field cannot be laid
                // out: the workbook is refused, naming the row.
                strError = QCoreApplication::translate("StaticLayout", "工作表 %1 第 %2 行: 个数 %3 不在 0..65535 之内").arg(out.strName).arg(r).arg(nCount);
                return -1;
            }
        }
        out.nBytes += nBytes;
        if (nBytes > 0)
            cells.strBytes = QString::number(nBytes);
        cells.strReadOnly = CellText(sheet, r, 8);
        if (cells.strReadOnly == workbook::ReadOnlyMark()) {
            item.bReadOnly = 1;
            nReadOnlyLength += nBytes;
        }
        cells.strDefault = CellText(sheet, r, 7);
        if (!cells.strDefault.isEmpty())
            item.defaultText = cells.strDefault.toUtf8();
        cells.format = sheet.Read(r, 6);
        const QString strRefusal = ValueRefusal(item, cells.strDefault);
        if (!strRefusal.isEmpty())
            warnings << QCoreApplication::translate("StaticLayout", "%1 的默认值 \"%2\" 按表格规则写入: %3")
                            .arg(strName, cells.strDefault, strRefusal);
        ParseValues(item, cells.format.toString());
        out.items.append(item);
    }
    return out.items.size();
}

void StaticLayout::ParseValues(xlsx_item& item, const QString& strFormat)
{
    if ((item.currentText.isNull() && item.defaultText.isNull()) || item.nCount == 0)
        return;
    const ValueFormat fmt = FormatFromName(strFormat);
    if (fmt == kFmtUnknown)
        return;
    if (fmt == kFmtString) {
        if (!item.currentText.isNull())
            item.current = PaddedText(item.currentText, item.nCount);
        if (!item.defaultText.isNull())
            item.defaults = PaddedText(item.defaultText, item.nCount);
        return;
    }
    if (!item.currentText.isNull())
        item.current = ParseNumbers(item.currentText, item, fmt);
    if (!item.defaultText.isNull() && item.defaults.isEmpty())
        item.defaults = ParseNumbers(item.defaultText, item, fmt);
}

QString StaticLayout::RenderValue(const xlsx_item& item, const QString& strFormat)
{
    const ValueFormat fmt = FormatFromName(strFormat);
    const int nElement = 1 << item.nShift;
    if (fmt == kFmtString) {
        return QString::fromUtf8(xq::CutAtNul(item.current.left(item.nCount)));
    }
    QStringList parts;
    for (int i = 0; i < item.nCount && (i + 1) * nElement <= item.current.size(); ++i) {
        const uint8_t* p = reinterpret_cast<const uint8_t*>(item.current.constData()) + (i << item.nShift);
        uint64_t raw = 0;
        for (int b = 0; b < qMin(nElement, 8); ++b)
            raw |= uint64_t(p[b]) << (8 * b);
        const uint32_t low = uint32_t(raw);
        switch (fmt) {
        case kFmtYesNo: parts << (raw != 0 ? "1" : "0"); break;
        case kFmtUnsigned: parts << QString::number(low); break;
        case kFmtDecimal:
            if (nElement == 1)
                parts << QString::number(int8_t(low));
            else if (nElement == 2)
                parts << QString::number(int16_t(low));
            else if (nElement == 4)
                parts << QString::number(int32_t(low));
            break;
        case kFmtHex: parts << "0x" + QString::number(low, 16); break;
        case kFmtFloat: {
            double d;
            std::memcpy(&d, &raw, sizeof d);
            parts << QString::number(d, 'g', 6);
            break;
        }
        default: break;
        }
    }
    return parts.join(' ');
}

void StaticLayout::ShowDeviceValues()
{
    for (xlsx_sheet& sheet : sheets) {
        for (xlsx_item& item : sheet.items) {
            const QString strFormat = item.cells.format.toString();
            if (item.nCount == 0 || item.current.isEmpty() || FormatFromName(strFormat) == kFmtUnknown)
                continue;
            item.currentText = RenderValue(item, strFormat).toUtf8();
        }
    }
}

void StaticLayout::TakeValue(xlsx_item& item, const QString& strText)
{
    QByteArray text = strText.toUtf8();
    if (FormatFromName(item.cells.format.toString()) == kFmtString)
        text = CutText(item, text);
    item.currentText = PaddedText(text, item.ByteSize());
    item.current.clear();
    ParseValues(item, item.cells.format.toString());
}

xlsx_item* StaticLayout::FindItem(const QString& strName)
{
    for (xlsx_sheet& sheet : sheets)
        for (xlsx_item& item : sheet.items)
            if (item.strName == strName)
                return &item;
    return nullptr;
}

QByteArray StaticLayout::GetStaticData(bool bCurrent) const
{
    if (nUsedLength <= 0)
        return QByteArray();
    QByteArray record(nUsedLength + kStaticHeaderSize, 0);
    auto* pHdr = reinterpret_cast<static_data_hdr*>(record.data());
    pHdr->nMagic = kStaticMagic;
    pHdr->nVersion = 1;
    pHdr->nUsedLength = uint32_t(nUsedLength);
    char* pData = record.data() + kStaticHeaderSize;
    int nPosition = 0;
    for (const xlsx_sheet& sheet : sheets) {
        for (const xlsx_item& item : sheet.items) {
            const int nSize = item.ByteSize();
            const QByteArray& source = (bCurrent && !item.current.isEmpty()) ? item.current : item.defaults;
            if (!source.isEmpty() && nPosition + nSize <= nUsedLength)
                std::memcpy(pData + nPosition, source.constData(), size_t(qMin(nSize, source.size())));
            nPosition += nSize;
        }
    }
    pHdr->nChecksum = CalcCrc(reinterpret_cast<const uint8_t*>(pData), nUsedLength);
    return record;
}

int StaticLayout::SetStaticData(const static_data_hdr* pFlashData)
{
    if (nUsedLength <= 0 || !pFlashData)
        return xq::kErrRecordNoLayout;
    if (pFlashData->nUsedLength != uint32_t(nUsedLength))
        return xq::kErrRecordLengthMismatch;
    const char* pData = reinterpret_cast<const char*>(pFlashData) + kStaticHeaderSize;
    int nAt = 0;
    for (xlsx_sheet& sheet : sheets) {
        for (xlsx_item& item : sheet.items) {
            const int nSize = item.ByteSize();
            if (nAt + nSize > nUsedLength)
                return xq::kOk;
            item.current = QByteArray(pData + nAt, nSize);
            nAt += nSize;
        }
    }
    return xq::kOk;
}

namespace {

// Whether one piece reads whole as a number of the format that fits an
// element of nElement bytes (at most the 32 bits the parse stores).
bool PieceFits(const QByteArray& piece, ValueFormat fmt, int nElement)
{
    const char* pText = piece.constData();
    const char* pEnd = pText + piece.size();
    char* pStop = nullptr;
    errno = 0;
    if (fmt == kFmtYesNo)
        return piece == "0" || piece == "1";
    if (fmt == kFmtFloat) {
        strtod_l(pText, &pStop, CLocale());
        return pStop == pEnd;
    }
    const int nBits = 8 * qMin(nElement, 4);
    const unsigned long long nMax = (1ull << nBits) - 1;
    if (fmt == kFmtDecimal) {
        const long long n = strtoll_l(pText, &pStop, 10, CLocale());
        const long long nMin = -(1ll << (nBits - 1));
        return pStop == pEnd && errno != ERANGE && n >= nMin && (n < 0 || static_cast<unsigned long long>(n) <= nMax);
    }
    // Unsigned and hexadecimal: digits only (a hexadecimal one may start
    // with 0x); strtoul would take a sign and wrap a minus around.
    if (!isdigit_l(static_cast<unsigned char>(pText[0]), CLocale()))
        return false;
    const unsigned long long n = strtoull_l(pText, &pStop, fmt == kFmtHex ? 16 : 10, CLocale());
    return pStop == pEnd && errno != ERANGE && n <= nMax;
}

}  // namespace

QString StaticLayout::ValueRefusal(const xlsx_item& item, const QString& strText)
{
    const QString strFormat = item.cells.format.toString();
    const ValueFormat fmt = FormatFromName(strFormat);
    if (fmt == kFmtString || fmt == kFmtUnknown || item.nCount == 0)
        return QString();
    const QList<QByteArray> pieces = Pieces(strText.toUtf8());
    for (const QByteArray& piece : pieces) {
        if (!PieceFits(piece, fmt, 1 << item.nShift))
            return QCoreApplication::translate("StaticLayout", "\"%1\"不是%2类型%3格式的有效数值")
                .arg(QString::fromUtf8(piece), item.cells.strType, strFormat);
    }
    if (pieces.size() > item.nCount)
        return QCoreApplication::translate("StaticLayout", "给出%1个数值，最多%2个").arg(pieces.size()).arg(item.nCount);
    return QString();
}

QByteArray StaticLayout::CutText(const xlsx_item& item, const QByteArray& text)
{
    const int nBytes = item.ByteSize();
    if (text.size() <= nBytes)
        return text;
    int n = nBytes;
    while (n > 0 && (uchar(text[n]) & 0xC0) == 0x80)  // a continuation byte: back to its lead byte
        --n;
    return text.left(n);
}
