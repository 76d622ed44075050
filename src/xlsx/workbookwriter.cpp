#include "workbookwriter.h"

#include <outputfile.h>

#include <quazip.h>
#include <quazipfile.h>

#include <QBuffer>
#include <QCoreApplication>
#include <QHash>
#include <QXmlStreamWriter>

// Implementation note: a workbook is a zip of a few XML parts (Office Open
// XML, SpreadsheetML). The same zip library that reads workbooks (QuaZip)
// writes them, with text in a shared strings part, as spreadsheet programs
// do. The zip is built in memory and then replaces the file in one step, so
// a failed write never leaves half a workbook over an existing one.

namespace xlsx {

namespace {

const char* const kMainNs = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
const char* const kRelNs = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
const char* const kPackageRelNs = "http://schemas.openxmlformats.org/package/2006/relationships";
const char* const kContentTypesNs = "http://schemas.openxmlformats.org/package/2006/content-types";
const char* const kTypeWorksheet = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet";
const char* const kTypeStyles = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles";
const char* const kTypeSharedStrings =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings";
const char* const kTypeOfficeDocument =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument";
const char* const kMimeWorkbook = "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml";
const char* const kMimeWorksheet = "application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml";
const char* const kMimeStyles = "application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml";
const char* const kMimeSharedStrings =
    "application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml";

// The rules spreadsheet programs apply to sheet names.
bool ValidSheetName(const QString& strName)
{
    if (strName.isEmpty() || strName.size() > 31 || strName.startsWith('\'') || strName.endsWith('\''))
        return false;
    for (QChar c : strName)
        if (QString("[]:*?/\\").contains(c))
            return false;
    return true;
}

// "A", "B", ... "Z", "AA", ...: the column letters of a 0-based column.
QString ColumnName(int nColumn)
{
    QString strName;
    for (int n = nColumn + 1; n > 0; n = (n - 1) / 26)
        strName.prepend(QChar('A' + (n - 1) % 26));
    return strName;
}

QString CellName(int nRow, int nColumn)
{
    return ColumnName(nColumn) + QString::number(nRow + 1);
}

// Every distinct text of the workbook once, in order of first use.
class SharedStrings {
public:
    int Index(const QString& strText)
    {
        auto it = m_index.constFind(strText);
        if (it != m_index.constEnd())
            return it.value();
        m_texts.append(strText);
        m_index.insert(strText, m_texts.size() - 1);
        return m_texts.size() - 1;
    }
    const QStringList& Texts() const { return m_texts; }
    int Uses() const { return m_nUses; }
    void Use() { ++m_nUses; }

private:
    QHash<QString, int> m_index;
    QStringList m_texts;
    int m_nUses = 0;
};

QXmlStreamWriter& Start(QXmlStreamWriter& xml, const char* pRoot, const char* pNs)
{
    xml.writeStartDocument("1.0", true);
    xml.writeStartElement(pRoot);
    xml.writeDefaultNamespace(pNs);
    return xml;
}

QByteArray SheetXml(const SheetData& sheet, SharedStrings& strings)
{
    QByteArray data;
    QXmlStreamWriter xml(&data);
    Start(xml, "worksheet", kMainNs);
    int nColumns = 0;
    for (const QVector<QVariant>& row : sheet.rows)
        nColumns = qMax(nColumns, row.size());
    xml.writeEmptyElement("dimension");
    xml.writeAttribute("ref", sheet.rows.isEmpty() || nColumns == 0
                                  ? QString("A1")
                                  : "A1:" + CellName(sheet.rows.size() - 1, nColumns - 1));
    xml.writeStartElement("sheetData");
    for (int r = 0; r < sheet.rows.size(); ++r) {
        xml.writeStartElement("row");
        xml.writeAttribute("r", QString::number(r + 1));
        for (int c = 0; c < sheet.rows[r].size(); ++c) {
            const QVariant& v = sheet.rows[r][c];
            if (!v.isValid())
                continue;
            xml.writeStartElement("c");
            xml.writeAttribute("r", CellName(r, c));
            switch (v.type()) {
            case QVariant::Bool:
                xml.writeAttribute("t", "b");
                xml.writeTextElement("v", v.toBool() ? "1" : "0");
                break;
            case QVariant::Int:
            case QVariant::UInt:
            case QVariant::LongLong:
            case QVariant::ULongLong:
            case QVariant::Double:
                // 17 significant digits: the double read back is the double written.
                xml.writeTextElement("v", QString::number(v.toDouble(), 'g', 17));
                break;
            default:
                xml.writeAttribute("t", "s");
                xml.writeTextElement("v", QString::number(strings.Index(v.toString())));
                strings.Use();
                break;
            }
            xml.writeEndElement();
        }
        xml.writeEndElement();
    }
    xml.writeEndDocument();
    return data;
}

QByteArray SharedStringsXml(const SharedStrings& strings)
{
    QByteArray data;
    QXmlStreamWriter xml(&data);
    Start(xml, "sst", kMainNs);
    xml.writeAttribute("count", QString::number(strings.Uses()));
    xml.writeAttribute("uniqueCount", QString::number(strings.Texts().size()));
    for (const QString& strText : strings.Texts()) {
        xml.writeStartElement("si");
        xml.writeStartElement("t");
        xml.writeAttribute("xml:space", "preserve");
        xml.writeCharacters(strText);
        xml.writeEndElement();
        xml.writeEndElement();
    }
    xml.writeEndDocument();
    return data;
}

QByteArray WorkbookXml(const QList<SheetData>& sheets)
{
    QByteArray data;
    QXmlStreamWriter xml(&data);
    Start(xml, "workbook", kMainNs);
    xml.writeNamespace(kRelNs, "r");
    xml.writeStartElement("sheets");
    for (int i = 0; i < sheets.size(); ++i) {
        xml.writeEmptyElement("sheet");
        xml.writeAttribute("name", sheets[i].strName);
        xml.writeAttribute("sheetId", QString::number(i + 1));
        xml.writeAttribute(kRelNs, "id", QString("rId%1").arg(i + 1));
    }
    xml.writeEndDocument();
    return data;
}

struct Relationship {
    QString strType;
    QString strTarget;
};

QByteArray RelationshipsXml(const QList<Relationship>& rels)
{
    QByteArray data;
    QXmlStreamWriter xml(&data);
    Start(xml, "Relationships", kPackageRelNs);
    for (int i = 0; i < rels.size(); ++i) {
        xml.writeEmptyElement("Relationship");
        xml.writeAttribute("Id", QString("rId%1").arg(i + 1));
        xml.writeAttribute("Type", rels[i].strType);
        xml.writeAttribute("Target", rels[i].strTarget);
    }
    xml.writeEndDocument();
    return data;
}

QByteArray ContentTypesXml(int nSheets)
{
    QByteArray data;
    QXmlStreamWriter xml(&data);
    Start(xml, "Types", kContentTypesNs);
    xml.writeEmptyElement("Default");
    xml.writeAttribute("Extension", "rels");
    xml.writeAttribute("ContentType", "application/vnd.openxmlformats-package.relationships+xml");
    xml.writeEmptyElement("Default");
    xml.writeAttribute("Extension", "xml");
    xml.writeAttribute("ContentType", "application/xml");
    auto part = [&xml](const QString& strName, const char* pType) {
        xml.writeEmptyElement("Override");
        xml.writeAttribute("PartName", strName);
        xml.writeAttribute("ContentType", pType);
    };
    part("/xl/workbook.xml", kMimeWorkbook);
    for (int i = 1; i <= nSheets; ++i)
        part(QString("/xl/worksheets/sheet%1.xml").arg(i), kMimeWorksheet);
    part("/xl/styles.xml", kMimeStyles);
    part("/xl/sharedStrings.xml", kMimeSharedStrings);
    xml.writeEndDocument();
    return data;
}

// The one cell format every spreadsheet program expects to find.
QByteArray StylesXml()
{
    return QByteArray(R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
                      R"(<styleSheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">)"
                      R"(<fonts count="1"><font><sz val="11"/><name val="Calibri"/></font></fonts>)"
                      R"(<fills count="2"><fill><patternFill patternType="none"/></fill>)"
                      R"(<fill><patternFill patternType="gray125"/></fill></fills>)"
                      R"(<borders count="1"><border><left/><right/><top/><bottom/><diagonal/></border></borders>)"
                      R"(<cellStyleXfs count="1"><xf numFmtId="0" fontId="0" fillId="0" borderId="0"/></cellStyleXfs>)"
                      R"(<cellXfs count="1"><xf numFmtId="0" fontId="0" fillId="0" borderId="0" xfId="0"/></cellXfs>)"
                      R"(<cellStyles count="1"><cellStyle name="Normal" xfId="0" builtinId="0"/></cellStyles>)"
                      R"(</styleSheet>)");
}

bool AddEntry(QuaZip& zip, const QString& strName, const QByteArray& data)
{
    QuaZipFile entry(&zip);
    if (!entry.open(QIODevice::WriteOnly, QuaZipNewInfo(strName)))
        return false;
    const bool bWritten = entry.write(data) == data.size();
    entry.close();
    return bWritten && entry.getZipError() == 0;
}

bool ZipParts(QBuffer& buffer, const QList<SheetData>& sheets)
{
    SharedStrings strings;
    QList<QByteArray> sheetParts;
    for (const SheetData& sheet : sheets)
        sheetParts.append(SheetXml(sheet, strings));
    QList<Relationship> bookRels;
    for (int i = 1; i <= sheets.size(); ++i)
        bookRels.append(Relationship{kTypeWorksheet, QString("worksheets/sheet%1.xml").arg(i)});
    bookRels.append(Relationship{kTypeStyles, "styles.xml"});
    bookRels.append(Relationship{kTypeSharedStrings, "sharedStrings.xml"});

    QuaZip zip(&buffer);
    if (!zip.open(QuaZip::mdCreate))
        return false;
    bool bOk = AddEntry(zip, "[Content_Types].xml", ContentTypesXml(sheets.size())) &&
               AddEntry(zip, "_rels/.rels", RelationshipsXml({{kTypeOfficeDocument, "xl/workbook.xml"}})) &&
               AddEntry(zip, "xl/workbook.xml", WorkbookXml(sheets)) &&
               AddEntry(zip, "xl/_rels/workbook.xml.rels", RelationshipsXml(bookRels)) &&
               AddEntry(zip, "xl/styles.xml", StylesXml()) &&
               AddEntry(zip, "xl/sharedStrings.xml", SharedStringsXml(strings));
    for (int i = 0; bOk && i < sheetParts.size(); ++i)
        bOk = AddEntry(zip, QString("xl/worksheets/sheet%1.xml").arg(i + 1), sheetParts[i]);
    zip.close();
    return bOk && zip.getZipError() == 0;
}

}  // namespace

bool WriteWorkbook(const QString& strPath, const QList<SheetData>& sheets, QString& strError)
{
    QStringList names;
    for (const SheetData& sheet : sheets) {
        if (!ValidSheetName(sheet.strName) || names.contains(sheet.strName, Qt::CaseInsensitive)) {
            strError = QCoreApplication::translate("Xlsx", "%1: 工作表名称无效").arg(sheet.strName);
            return false;
        }
        names.append(sheet.strName);
    }
    if (sheets.isEmpty()) {
        strError = QCoreApplication::translate("Xlsx", "工作簿至少需要一个工作表");
        return false;
    }
    QBuffer buffer;
    if (!ZipParts(buffer, sheets)) {
        strError = QCoreApplication::translate("Xlsx", "%1: 无法生成工作簿").arg(strPath);
        return false;
    }
    return xq::SaveOutput(strPath, buffer.data(), strError);
}

}  // namespace xlsx
