#include "xlsxdocument.h"

#include <quazip.h>
#include <quazipfile.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QXmlStreamReader>

#include <cmath>

namespace xlsx {

namespace {
const QString kMainNs = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
const QString kStrictNs = "http://purl.oclc.org/ooxml/spreadsheetml/main";
const QString kRelNs = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
const QString kStrictRelNs = "http://purl.oclc.org/ooxml/officeDocument/relationships";
const QString kPackageRelNs = "http://schemas.openxmlformats.org/package/2006/relationships";
constexpr int kEntityLimit = 1024;
constexpr int kMaxColumns = 16384;
constexpr int kMaxRows = 1048576;

bool IsMain(const QXmlStreamReader& xml, const char* pLocal)
{
    return xml.name() == QLatin1String(pLocal) && (xml.namespaceUri() == kMainNs || xml.namespaceUri() == kStrictNs);
}

QString RelId(const QXmlStreamAttributes& attrs)
{
    for (const QXmlStreamAttribute& a : attrs)
        if (a.name() == QLatin1String("id") && (a.namespaceUri() == kRelNs || a.namespaceUri() == kStrictRelNs))
            return a.value().toString();
    return QString();
}

quint64 Key(int nRow, int nColumn)
{
    return (quint64(nRow) << 20) | quint64(nColumn);
}

// Text of the <t> elements inside the current element (<si> or <is>),
// rich-text runs joined, phonetic runs (<rPh>) left out.
QString ReadRichText(QXmlStreamReader& xml)
{
    QString strText;
    int nDepth = 1;
    int nPhonetic = 0;
    while (nDepth > 0 && !xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            ++nDepth;
            if (IsMain(xml, "rPh"))
                ++nPhonetic;
            else if (IsMain(xml, "t") && nPhonetic == 0) {
                strText += xml.readElementText(QXmlStreamReader::IncludeChildElements);
                --nDepth;
            }
        } else if (xml.isEndElement()) {
            --nDepth;
            if (IsMain(xml, "rPh"))
                --nPhonetic;
        }
    }
    return strText;
}

QVariant NumberValue(const QString& strText)
{
    bool bOk = false;
    const double d = strText.trimmed().toDouble(&bOk);
    if (!bOk)
        return QVariant();
    if (std::isfinite(d) && d == std::floor(d) && std::fabs(d) < 9.007199254740992e15)
        return QVariant(qlonglong(d));
    return QVariant(d);
}
}  // namespace

bool ParseCellRef(const QString& strRef, int& nRow, int& nColumn)
{
    int i = 0;
    nColumn = 0;
    while (i < strRef.size() && strRef[i].isLetter()) {
        const QChar c = strRef[i].toUpper();
        if (c < 'A' || c > 'Z')
            return false;
        nColumn = nColumn * 26 + (c.unicode() - 'A' + 1);
        if (nColumn > kMaxColumns)
            return false;
        ++i;
    }
    bool bOk = false;
    nRow = strRef.mid(i).toInt(&bOk);
    return i > 0 && bOk && nRow >= 1 && nRow <= kMaxRows && strRef.mid(i).at(0).isDigit();
}

QVariant Worksheet::Read(int nRow, int nColumn) const
{
    return m_cells.value(Key(nRow, nColumn));
}

Document::Document() = default;
Document::~Document() = default;

bool Document::ReadEntry(const QString& strName, QByteArray& data)
{
    data.clear();
    if (!m_pZip->setCurrentFile(strName, QuaZip::csSensitive) &&
        !m_pZip->setCurrentFile(strName, QuaZip::csInsensitive)) {
        m_strError = QCoreApplication::translate("Xlsx", "缺少部件 %1").arg(strName);
        return false;
    }
    QuaZipFile file(m_pZip.get());
    if (!file.open(QIODevice::ReadOnly)) {
        m_strError = QCoreApplication::translate("Xlsx", "无法读取部件 %1").arg(strName);
        return false;
    }
    // Never trust the sizes the zip headers declare: read in chunks under caps.
    char chunk[65536];
    for (;;) {
        const qint64 n = file.read(chunk, sizeof chunk);
        if (n < 0) {
            m_strError = QCoreApplication::translate("Xlsx", "部件 %1 已损坏").arg(strName);
            return false;
        }
        if (n == 0)
            break;
        m_nBytesRead += n;
        if (data.size() + n > kMaxEntryBytes || m_nBytesRead > kMaxTotalBytes) {
            m_strError = QCoreApplication::translate("Xlsx", "部件 %1 太大").arg(strName);
            return false;
        }
        data.append(chunk, int(n));
    }
    file.close();
    if (file.getZipError() != UNZ_OK) {
        m_strError = QCoreApplication::translate("Xlsx", "部件 %1 已损坏 (校验和不符)").arg(strName);
        return false;
    }
    return true;
}

bool Document::Open(const QString& strPath)
{
    m_pZip = std::make_unique<QuaZip>(strPath);
    return OpenZip(strPath);
}

bool Document::OpenData(const QByteArray& data, const QString& strName)
{
    m_pZip.reset();
    m_buffer.close();
    m_buffer.setData(data);
    m_pZip = std::make_unique<QuaZip>(&m_buffer);
    return OpenZip(strName);
}

bool Document::OpenZip(const QString& strPath)
{
    m_sheetNames.clear();
    m_sheetParts.clear();
    m_sharedStrings.clear();
    m_strSharedStringsPart.clear();
    m_strSharedStringsError.clear();
    m_sheets.clear();
    m_nBytesRead = 0;
    if (!m_pZip->open(QuaZip::mdUnzip)) {
        m_strError = QCoreApplication::translate("Xlsx", "%1 不是可读取的 .xlsx 文件").arg(strPath);
        return false;
    }
    if (!ParseWorkbook())
        return false;
    // The sheet list stands without the strings; every sheet read then fails
    // with the reason, so the caller can name the sheet and the cause.
    if (!ParseSharedStrings())
        m_strSharedStringsError = m_strError;
    return true;
}

bool Document::ParseWorkbook()
{
    QByteArray rels;
    QByteArray book;
    if (!ReadEntry("xl/_rels/workbook.xml.rels", rels) || !ReadEntry("xl/workbook.xml", book))
        return false;

    struct Rel {
        QString strTarget;
        bool bWorksheet;
    };
    QHash<QString, Rel> relations;
    QXmlStreamReader relXml(rels);
    relXml.setEntityExpansionLimit(kEntityLimit);
    while (!relXml.atEnd()) {
        relXml.readNext();
        if (relXml.isStartElement() && relXml.name() == QLatin1String("Relationship") &&
            relXml.namespaceUri() == kPackageRelNs) {
            const QXmlStreamAttributes a = relXml.attributes();
            QString strTarget = a.value("Target").toString();
            strTarget = strTarget.startsWith('/') ? strTarget.mid(1) : QDir::cleanPath("xl/" + strTarget);
            const QString strType = a.value("Type").toString();
            if (strType.endsWith("/sharedStrings"))
                m_strSharedStringsPart = strTarget;
            relations.insert(a.value("Id").toString(), {strTarget, strType.endsWith("/worksheet")});
        }
    }
    if (relXml.hasError()) {
        m_strError = QCoreApplication::translate("Xlsx", "工作簿的关系部件格式错误: %1").arg(relXml.errorString());
        return false;
    }

    QXmlStreamReader xml(book);
    xml.setEntityExpansionLimit(kEntityLimit);
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && IsMain(xml, "sheet")) {
            const QString strName = xml.attributes().value("name").toString();
            const auto it = relations.find(RelId(xml.attributes()));
            // A chart sheet (or a sheet without its part) is skipped as if absent.
            if (it == relations.end() || !it->bWorksheet || strName.isEmpty() || m_sheetParts.contains(strName))
                continue;
            m_sheetNames.append(strName);
            m_sheetParts.insert(strName, it->strTarget);
        }
    }
    if (xml.hasError()) {
        m_strError = QCoreApplication::translate("Xlsx", "工作簿格式错误: %1").arg(xml.errorString());
        return false;
    }
    return true;
}

bool Document::ParseSharedStrings()
{
    // A workbook with inline strings only (openpyxl) has no such part; one
    // that names the part in its relationships, or holds it under the usual
    // name, must have it whole: empty text in its place would be a lie.
    const bool bDeclared = !m_strSharedStringsPart.isEmpty();
    const QString strPart = bDeclared ? m_strSharedStringsPart : QString("xl/sharedStrings.xml");
    if (!bDeclared && !m_pZip->setCurrentFile(strPart, QuaZip::csInsensitive))
        return true;
    QByteArray data;
    if (!ReadEntry(strPart, data)) {
        m_strError = QCoreApplication::translate("Xlsx", "共享字符串: %1").arg(m_strError);
        return false;
    }
    QXmlStreamReader xml(data);
    xml.setEntityExpansionLimit(kEntityLimit);
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && IsMain(xml, "si")) {
            m_sharedStrings.append(ReadRichText(xml));
            if (m_sharedStrings.size() > kMaxCells) {
                m_strError = QCoreApplication::translate("Xlsx", "共享字符串太多");
                return false;
            }
        }
    }
    if (xml.hasError()) {
        m_strError = QCoreApplication::translate("Xlsx", "共享字符串格式错误: %1").arg(xml.errorString());
        return false;
    }
    return true;
}

const Worksheet* Document::Sheet(const QString& strName)
{
    if (!m_pZip || !m_sheetParts.contains(strName))
        return nullptr;
    if (!m_strSharedStringsError.isEmpty()) {
        m_strError = m_strSharedStringsError;
        return nullptr;
    }
    auto it = m_sheets.find(strName);
    if (it != m_sheets.end())
        return it->get();
    QByteArray data;
    auto pSheet = std::make_shared<Worksheet>();
    if (!ReadEntry(m_sheetParts.value(strName), data) || !ParseSheet(data, *pSheet))
        return nullptr;
    m_sheets.insert(strName, pSheet);
    return pSheet.get();
}

namespace {

// The <dimension ref="A1:I20"> of a sheet; false when absent or a single cell.
bool ReadDimension(const QXmlStreamReader& xml, CellRange& declared)
{
    const QStringList parts = xml.attributes().value("ref").toString().split(':');
    int r1, c1, r2, c2;
    if (parts.size() != 2 || !ParseCellRef(parts[0], r1, c1) || !ParseCellRef(parts[1], r2, c2) ||
        (r1 == r2 && c1 == c2))
        return false;
    declared = {qMin(r1, r2), qMin(c1, c2), qMax(r1, r2), qMax(c1, c2)};
    return true;
}

// What a <c> element holds before its type is applied.
struct RawCell {
    QString strType;
    QString strValue;
    bool bHasValue = false;
    QString strInline;
    bool bInline = false;
};

// Reads the children of the current <c> element up to its end.
void ReadCellContent(QXmlStreamReader& xml, RawCell& cell)
{
    int nDepth = 1;
    while (nDepth > 0 && !xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            if (IsMain(xml, "v")) {
                cell.strValue = xml.readElementText();
                cell.bHasValue = true;
            } else if (IsMain(xml, "is")) {
                cell.strInline = ReadRichText(xml);
                cell.bInline = true;
            } else {
                ++nDepth;
            }
        } else if (xml.isEndElement()) {
            --nDepth;
        }
    }
}

void Widen(CellRange& box, int nRow, int nColumn)
{
    if (box.nFirstRow == 0) {
        box = {nRow, nColumn, nRow, nColumn};
        return;
    }
    box.nFirstRow = qMin(box.nFirstRow, nRow);
    box.nFirstColumn = qMin(box.nFirstColumn, nColumn);
    box.nLastRow = qMax(box.nLastRow, nRow);
    box.nLastColumn = qMax(box.nLastColumn, nColumn);
}

// The cell's value by its type; false for a shared string the workbook
// does not hold.
bool CellValue(const RawCell& cell, const QStringList& sharedStrings, QVariant& value)
{
    if (cell.strType == "inlineStr") {
        if (cell.bInline)
            value = cell.strInline;
        return true;
    }
    if (!cell.bHasValue)
        return true;
    if (cell.strType == "s") {
        bool bOk = false;
        const int n = cell.strValue.toInt(&bOk);
        if (!bOk || n < 0 || n >= sharedStrings.size())
            return false;
        value = sharedStrings[n];
    } else if (cell.strType == "b") {
        value = cell.strValue.trimmed() == "1" || cell.strValue.trimmed().toLower() == "true";
    } else if (cell.strType == "str" || cell.strType == "e" || cell.strType == "d") {
        value = cell.strValue;
    } else {
        value = NumberValue(cell.strValue);
    }
    return true;
}

}  // namespace

bool Document::ParseSheet(const QByteArray& data, Worksheet& sheet)
{
    QXmlStreamReader xml(data);
    xml.setEntityExpansionLimit(kEntityLimit);
    CellRange declared;
    bool bDeclared = false;
    int nRow = 0;
    int nColumn = 0;
    int nCells = 0;
    CellRange box;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        if (IsMain(xml, "dimension")) {
            bDeclared = ReadDimension(xml, declared) || bDeclared;
        } else if (IsMain(xml, "row")) {
            bool bOk = false;
            const int r = xml.attributes().value("r").toInt(&bOk);
            nRow = (bOk && r >= 1 && r <= kMaxRows) ? r : nRow + 1;
            nColumn = 0;
        } else if (IsMain(xml, "c")) {
            if (++nCells > kMaxCells) {
                m_strError = QCoreApplication::translate("Xlsx", "单元格太多");
                return false;
            }
            const QXmlStreamAttributes a = xml.attributes();
            int r = 0, c = 0;
            if (a.hasAttribute("r") && ParseCellRef(a.value("r").toString(), r, c)) {
                nRow = r;
                nColumn = c;
            } else {
                nRow = qMax(nRow, 1);
                ++nColumn;
            }
            if (nColumn > kMaxColumns)
                continue;
            RawCell cell;
            cell.strType = a.value("t").toString();
            ReadCellContent(xml, cell);
            QVariant value;
            if (!CellValue(cell, m_sharedStrings, value)) {
                m_strError = QCoreApplication::translate("Xlsx", "单元格 %1 引用的共享字符串 %2 在工作簿中不存在")
                                 .arg(a.value("r").toString(), cell.strValue);
                return false;
            }
            if (value.isValid()) {
                sheet.m_cells.insert(Key(nRow, nColumn), value);
                Widen(box, nRow, nColumn);
            }
        }
    }
    if (xml.hasError()) {
        m_strError = QCoreApplication::translate("Xlsx", "工作表格式错误: %1").arg(xml.errorString());
        return false;
    }
    // The declared dimension, widened to the cells present; the cells' own
    // box where the dimension is missing or names a single cell.
    if (!bDeclared || box.nFirstRow == 0) {
        sheet.m_range = bDeclared ? declared : box;
    } else {
        sheet.m_range = {qMin(declared.nFirstRow, box.nFirstRow), qMin(declared.nFirstColumn, box.nFirstColumn),
                         qMax(declared.nLastRow, box.nLastRow), qMax(declared.nLastColumn, box.nLastColumn)};
    }
    return true;
}

}  // namespace xlsx
