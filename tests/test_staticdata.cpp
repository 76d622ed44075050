// Static data: the record and its checksum, the workbook reader on files from
// several writers and on hostile ones, the layout, the static write and read
// operations on their own, and the tab and worker on the simulated bench.
#include "benchfixture.h"
#include "modalbox.h"
#include "testfiles.h"

#include <messagebox.h>
#include <staticdata.h>
#include <staticlayout.h>
#include <staticread.h>
#include <staticrecord.h>
#include <staticwrite.h>
#include <tabwidgetxlsx.h>
#include <workbookexport.h>
#include <workbookwriter.h>
#include <worker.h>
#include <xlsxdocument.h>

#include <quazip.h>
#include <quazipfile.h>

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QPushButton>
#include <QLineEdit>
#include <QRadioButton>
#include <QTableWidget>
#include <QXmlStreamReader>
#include <QtTest>

#include <algorithm>
#include <atomic>

#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace {
using Rows = QVector<QVector<QVariant>>;
const QVector<QVariant> kHead{"n", "name", "display", "type", "count", "format", "default", "ro", "desc"};

QString WriteBook(const QString& strPath, const QList<xlsx::SheetData>& sheets)
{
    QString strError;
    if (!xlsx::WriteWorkbook(strPath, sheets, strError))
        qWarning("%s", qPrintable(strError));
    return strPath;
}

// The flash keeps a record with each 32-bit word's bytes reversed, a last
// short word reversed in itself: a model of that order written here, apart
// from the program's own.
QByteArray WordsReversed(QByteArray bytes)
{
    for (int i = 0; i < bytes.size(); i += 4)
        std::reverse(bytes.begin() + i, bytes.begin() + std::min(i + 4, int(bytes.size())));
    return bytes;
}

// What an operation reports, kept for the test; bStop answers its stop check.
struct ObserverLog : OperationObserver {
    QStringList lines;
    QStringList warnings;
    QVector<int> progress;
    bool bStop = false;
    std::atomic<bool>* pChipStopInErase = nullptr;  // set once the erase reports progress
    void Log(const QString& strLine) override { lines << strLine; }
    void Progress(int nPercent) override
    {
        progress << nPercent;
        if (pChipStopInErase && nPercent > 30)
            *pChipStopInErase = true;
    }
    bool StopRequested() override { return bStop; }
    void Warning(const QString& strText) override { warnings << strText; }
};

// A record of four data bytes with its header and checksum, as the program
// hands it to the flash (in the host's order).
QByteArray FourByteRecord(uint32_t nTotal, const QByteArray& data = QByteArray::fromHex("01020304"))
{
    static_data_hdr header{kStaticMagic, 1, nTotal, uint32_t(data.size()), 0,
                           CalcCrc(reinterpret_cast<const uint8_t*>(data.constData()), int(data.size()))};
    return QByteArray(reinterpret_cast<const char*>(&header), sizeof header) + data;
}

// A zip with the given entries, for hand-built workbooks.
void WriteZip(const QString& strPath, const QList<QPair<QString, QByteArray>>& entries)
{
    QuaZip zip(strPath);
    QVERIFY(zip.open(QuaZip::mdCreate));
    for (const auto& e : entries) {
        QuaZipFile f(&zip);
        QVERIFY(f.open(QIODevice::WriteOnly, QuaZipNewInfo(e.first)));
        f.write(e.second);
        f.close();
    }
    zip.close();
}

const QByteArray kNs = "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
                       "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"";

QList<QPair<QString, QByteArray>> HandBook(const QByteArray& sheetXml, const QByteArray& shared = QByteArray(),
                                           const QByteArray& target = "worksheets/sheet1.xml")
{
    QList<QPair<QString, QByteArray>> e;
    e.append({"xl/workbook.xml", "<workbook " + kNs + "><sheets><sheet name=\"S\" sheetId=\"1\" r:id=\"rId1\"/>"
                                 "<sheet name=\"Chart\" sheetId=\"2\" r:id=\"rId2\"/></sheets></workbook>"});
    e.append({"xl/_rels/workbook.xml.rels",
              "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
              "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" Target=\"" +
                  target +
                  "\"/><Relationship Id=\"rId2\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/chartsheet\" Target=\"chartsheets/sheet1.xml\"/></Relationships>"});
    e.append({"xl/worksheets/sheet1.xml", "<worksheet " + kNs + ">" + sheetXml + "</worksheet>"});
    if (!shared.isNull())
        e.append({"xl/sharedStrings.xml", "<sst " + kNs + ">" + shared + "</sst>"});
    return e;
}
}  // namespace

class TestStaticData : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QStringList m_boxes;

    QString m_fileAnswer;
    QMessageBox::StandardButton m_answer = QMessageBox::Yes;  // to questions

    QString P(const QString& s) { return m_dir.filePath(s); }

    // Imports a workbook through the tab's import button.
    void Import(StaticData& tab, const QString& strPath)
    {
        m_fileAnswer = strPath;
        QVERIFY(QMetaObject::invokeMethod(&tab, "ImportXlsx"));
    }

    struct Run {
        QStringList logs;
        bool bFinished = false;
        bool bState = false;
        bool bStarted = false;
    };
    // Runs the tab's write or read to its end.
    Run Operate(StaticData& tab, bool bWrite)
    {
        Run run;
        QSignalSpy writes(&tab, &StaticData::startStaticWrite);
        QSignalSpy reads(&tab, &StaticData::startStaticRead);
        QSignalSpy finished(&tab, &StaticData::finish);
        auto c = connect(&tab, &StaticData::log, [&run](const QString& s) { run.logs << s; });
        bWrite ? tab.Write() : tab.Read();
        run.bStarted = !(bWrite ? writes : reads).isEmpty();
        if (finished.isEmpty())
            finished.wait(30000);
        disconnect(c);
        run.bFinished = !finished.isEmpty();
        run.bState = run.bFinished && finished.last()[1].toBool();
        return run;
    }

    // The record of the tab's layout as it lies in flash (words swapped).
    static QByteArray FlashRecord(StaticData& tab, bool bCurrent, uint32_t nTotal)
    {
        QByteArray record = tab.Xlsx()->GetStaticData(bCurrent);
        reinterpret_cast<static_data_hdr*>(record.data())->nTotalSize = nTotal;
        return WordsReversed(record);
    }

    // One data sheet with the given item rows (after the heading).
    QString Book(const QString& strName, const Rows& items, const Rows& config = Rows())
    {
        QList<xlsx::SheetData> sheets;
        if (!config.isEmpty())
            sheets.append({"xq_config", config});
        Rows rows{kHead};
        rows += items;
        sheets.append({"Sheet1", rows});
        return WriteBook(P(strName), sheets);
    }

    // Every box recorded and answered (questions with m_answer).
    void AnswerBoxes()
    {
        msgbox::SetHandler([this](QMessageBox::Icon icon, const QString& t, const QString& s, QMessageBox::StandardButtons) {
            m_boxes << t + "|" + s;
            return icon == QMessageBox::Question ? m_answer : QMessageBox::Ok;
        });
    }

private slots:
    void initTestCase()
    {
        QDir::setCurrent(m_dir.path());
        AnswerBoxes();
        msgbox::SetFileHandler([this](const QString&, const QString&) { return m_fileAnswer; });
    }
    void init()
    {
        m_boxes.clear();
        m_answer = QMessageBox::Yes;
    }

    // The next record's place: 4 bytes on, back to 0 when it would leave the first sector.
    void recordWriteOffsetWrapsAtTheSectorEnd()
    {
        QCOMPARE(RecordWriteOffset(-1, 4), 0);
        QCOMPARE(RecordWriteOffset(0, 4), 4);
        QCOMPARE(RecordWriteOffset(4, 4), 8);
        QCOMPARE(RecordWriteOffset(4068, 4), 4072);  // 4072 + 24 ends exactly at 4096
        QCOMPARE(RecordWriteOffset(4072, 4), 0);     // 4076 + 24 would not
    }

    void crcVectors()
    {
        QCOMPARE(CalcCrc(reinterpret_cast<const uint8_t*>("abc"), 3), 0x99377231u);
        QCOMPARE(CalcCrc(reinterpret_cast<const uint8_t*>("123456789"), 9), 0x0CBC12F7u);
        QCOMPARE(CalcCrc(nullptr, 0), 0xF5F5F5F5u);
        uint32_t table[256];
        InitCrcTable(kCrcPolynomial, table);
        QCOMPARE(table[1], kCrcPolynomial);
    }

    void recordOfTheExampleLayout()
    {
        StaticLayout layout;
        QCOMPARE(layout.LoadXlsx(Book("ex.xlsx", {{1, "ver", "版本", "uint16_t", 2, "十进制数", "1 2", QVariant(), QVariant()}},
                                      {{"START_ADDRESS", "1ff000"}, {"storage", "Security"}, {"otp", true}})),
                 0);
        QCOMPARE(layout.config.start_address, 0x1FF000u);
        QCOMPARE(int(layout.config.storage), 1);
        QCOMPARE(int(layout.config.otp), 1);
        QCOMPARE(layout.nUsedLength, 4);
        QCOMPARE(layout.nReadOnlyLength, 0);
        QCOMPARE(layout.sheets[0].items[0].defaults, QByteArray::fromHex("01000200"));
        QByteArray record = layout.GetStaticData(false);
        reinterpret_cast<static_data_hdr*>(record.data())->nTotalSize = 24;
        QCOMPARE(record.toHex(' '), QByteArray("58 51 01 00 18 00 00 00 04 00 00 00 00 00 00 00 ad 5f 2f f6 01 00 02 00"));
        SpiFlashCtrl::SwapWords(reinterpret_cast<uint8_t*>(record.data()), record.size());
        QCOMPARE(record.toHex(' '), QByteArray("00 01 51 58 00 00 00 18 00 00 00 04 00 00 00 00 f6 2f 5f ad 00 02 00 01"));
    }

    void stringsAndFormats()
    {
        StaticLayout layout;
        QCOMPARE(layout.LoadXlsx(Book("fmt.xlsx",
                                      {{1, "s1", "s", "string", 8, "字符串", "abc", QVariant(), QVariant()},
                                       {2, "s2", "s", "string", 8, "字符串", "abcdefghij", QVariant(), QVariant()},
                                       {3, "h", "h", "uint8_t", 3, "十六进制数", "0x1F 20", QVariant(), QVariant()},
                                       {4, "neg", "n", "uint16_t", 1, "十进制数", "-1", "只读", QVariant()},
                                       {5, "bad", "b", "int32_t", 4, "十进制数", "7", QVariant(), QVariant()},
                                       {6, "ro", "r", "uint8_t", 1, "十进制数", "1", "只读 ", QVariant()},
                                       {8, "f", "f", "double", 2, "浮点数", "1.5  -2e3", QVariant(), QVariant()},
                                       {9, "ovf", "o", "uint32_t", 2, "十进制正整数", "99999999999 x", QVariant(), QVariant()}})),
                 0);
        const auto& items = layout.sheets[0].items;
        QCOMPARE(items[0].defaults.left(8), QByteArray("abc\0\0\0\0\0", 8));
        QCOMPARE(items[1].defaults.left(8), QByteArray("abcdefgh"));
        QCOMPARE(items[2].defaults, QByteArray::fromHex("1f2000"));
        QCOMPARE(items[3].defaults, QByteArray::fromHex("ffff"));
        QCOMPARE(items[4].ByteSize(), 0);  // unknown type
        QCOMPARE(items[4].cells.strBytes, QString());
        QCOMPARE(int(items[5].bReadOnly), 0);  // "只读 " is not the mark
        QCOMPARE(layout.nUsedLength, 8 + 8 + 3 + 2 + 1 + 16 + 8);
        QCOMPARE(layout.nReadOnlyLength, 2);
        double d[2];
        memcpy(d, items[6].defaults.constData(), 16);
        QCOMPARE(d[0], 1.5);
        QCOMPARE(d[1], -2000.0);
        QCOMPARE(items[7].defaults, QByteArray::fromHex("ffffffff00000000"));
        // A count beyond its 16-bit field cannot be laid out: refused, naming its row.
        StaticLayout big;
        QCOMPARE(big.LoadXlsx(Book("big.xlsx", {{1, "s", "s", "uint8_t", 1, "十进制数", "1"},
                                                {2, "big", "g", "uint32_t", 70000, "十进制数", "1"}})),
                 xq::kErrWorkbookBadSheet);
        QCOMPARE(big.strError, QString("工作表 Sheet1 第 3 行: 个数 70000 不在 0..65535 之内"));
        const QByteArray record = layout.GetStaticData(false);
        QCOMPARE(record.size(), layout.nUsedLength + 20);

        // Rendering of one 16-bit element FF FF in every format.
        xlsx_item item = items[3];
        item.current = QByteArray::fromHex("ffff");
        QCOMPARE(StaticLayout::RenderValue(item, "十进制数"), QString("-1"));
        QCOMPARE(StaticLayout::RenderValue(item, "十进制正整数"), QString("65535"));
        QCOMPARE(StaticLayout::RenderValue(item, "十六进制数"), QString("0xffff"));
        QCOMPARE(StaticLayout::RenderValue(item, "是/否"), QString("1"));
        xlsx_item str = items[0];
        str.nCount = 4;
        str.current = QByteArray::fromHex("61620063");
        QCOMPARE(StaticLayout::RenderValue(str, "字符串"), QString("ab"));
        xlsx_item dbl = items[6];
        dbl.current = items[6].defaults;
        QCOMPARE(StaticLayout::RenderValue(dbl, "浮点数"), QString("1.5 -2000"));
    }

    // Value texts read exactly as C's strtoul on a 32-bit unsigned long and
    // as strtod: the expected values come from the C library itself.
    void numberTextsAsTheCLibrary()
    {
        const struct {
            const char* pText;
            int nBase;
            bool bBeyond32Bits;  // a 32-bit strtoul saturates where the host's does not
        } ints[] = {{"\t-5", 10, false},  {"\n+7", 10, false},      {"\v\f\r9", 10, false},  {"-\t5", 10, false},
                    {"+-3", 10, false},   {"--3", 10, false},       {"-0", 10, false},        {"12abc", 10, false},
                    {"abc", 10, false},   {"0x1F", 16, false},      {"-0x10", 16, false},     {"0x", 16, false},
                    {"0xg", 16, false},   {"1f", 16, false},        {"101", 2, false},        {"102", 2, false},
                    {"0b1", 2, false},    {"4294967295", 10, false}, {"-4294967295", 10, false},
                    {"4294967296", 10, true}, {"-4294967296", 10, true}, {"99999999999999999999999", 10, true},
                    {"-18446744073709551615", 10, true}, {"100000000", 16, true}};
        for (const auto& c : ints) {
            const ValueFormat fmt = c.nBase == 16 ? kFmtHex : c.nBase == 2 ? kFmtYesNo : kFmtUnsigned;
            const char* pFormats[] = {"是/否", "十进制正整数", "十进制数", "十六进制数"};
            xlsx_item item;
            item.nShift = 2;
            item.nCount = 1;
            item.defaultText = c.pText;
            StaticLayout::ParseValues(item, QString::fromUtf8(pFormats[fmt]));
            const uint32_t nExpected = c.bBeyond32Bits ? 0xFFFFFFFFu : uint32_t(strtoul(c.pText, nullptr, c.nBase));
            uint32_t nGot = 0;
            memcpy(&nGot, item.defaults.constData(), 4);
            QVERIFY2(nGot == nExpected, qPrintable(QString("%1 (base %2): %3, strtoul %4")
                                                       .arg(QString(c.pText).toHtmlEscaped())
                                                       .arg(c.nBase)
                                                       .arg(nGot, 0, 16)
                                                       .arg(nExpected, 0, 16)));
        }

        const char* doubles[] = {"1e", "1.5e+", "inf", "-Infinity", "nan", "0x1p3", "-0x1.8p-1", "1e999", "-1e999",
                                 "1e-400", ".5", "5.", "1,5", "abc", "\t2.25", "+.e1"};
        for (const char* pText : doubles) {
            xlsx_item item;
            item.nShift = 3;
            item.nCount = 1;
            item.defaultText = pText;
            StaticLayout::ParseValues(item, "浮点数");
            const double d = strtod(pText, nullptr);
            QVERIFY2(item.defaults == QByteArray(reinterpret_cast<const char*>(&d), 8), pText);
        }

        // The floating point format on a type narrower than a double: count
        // doubles are made and the item keeps its count << shift bytes of them.
        const double pair[2] = {1.1, 2.5};
        const QByteArray doubleBytes(reinterpret_cast<const char*>(pair), 16);
        xlsx_item words;
        words.nShift = 2;
        words.nCount = 2;
        words.defaultText = "1.1 2.5";
        StaticLayout::ParseValues(words, "浮点数");
        QCOMPARE(words.defaults, doubleBytes.left(8));
        xlsx_item bytes;
        bytes.nCount = 3;
        bytes.defaultText = "1.1 2.5 3";
        StaticLayout::ParseValues(bytes, "浮点数");
        QCOMPARE(bytes.defaults, doubleBytes.left(3));
    }

    void loadResults()
    {
        StaticLayout layout;
        QCOMPARE(layout.LoadXlsx(P("missing.xlsx")), xq::kErrWorkbookUnreadable);
        // Only xq_config: -1, but the location is read.
        QCOMPARE(layout.LoadXlsx(WriteBook(P("cfg.xlsx"), {{"xq_config", {{"start_address", "2000"}}}})), xq::kErrWorkbookUnreadable);
        QCOMPARE(layout.config.start_address, 0x2000u);
        // A sheet ending in column H stops the import; the sheet before stays.
        Rows good{kHead, {1, "a", "a", "uint8_t", 1, "十进制数", "5", QVariant(), "d"}};
        Rows eight{{"n", "name", "display", "type", "count", "format", "default", "ro"}};
        QCOMPARE(layout.LoadXlsx(WriteBook(P("h.xlsx"), {{"A", good}, {"B", eight}, {"C", good}})), xq::kErrWorkbookBadSheet);
        QCOMPARE(layout.sheets.size(), 1);
        // XQ_CONFIG is a data sheet; an empty B row ends a sheet.
        Rows gap{kHead, {1, "a", "a", "uint8_t", 1, "十进制数", "5"}, {2, QVariant(), "x"},
                 {3, "c", "c", "uint8_t", 1, "十进制数", "6", QVariant(), "i"}};
        QCOMPARE(layout.LoadXlsx(WriteBook(P("gap.xlsx"), {{"XQ_CONFIG", gap}})), xq::kOk);
        QCOMPARE(layout.sheets[0].strName, QString("XQ_CONFIG"));
        QCOMPARE(layout.sheets[0].items.size(), 1);
        // A config key missing from a later workbook keeps its earlier value.
        QCOMPARE(layout.config.start_address, 0x2000u);
    }

    void readerOnHandBuiltFiles()
    {
        // Shared strings with rich text and a phonetic run, inline strings,
        // booleans, a formula's cached value, an error, cells without "r",
        // no dimension, an absolute target and a chart sheet to skip.
        const QByteArray sheet =
            "<sheetData><row r=\"2\"><c r=\"B2\" t=\"s\"><v>0</v></c><c t=\"inlineStr\"><is><r><t>in</t></r><r><t>line</t></r></is></c>"
            "<c t=\"b\"><v>1</v></c><c><f>1+1</f><v>2</v></c><c t=\"e\"><v>#DIV/0!</v></c><c t=\"n\"><v>2.5</v></c></row>"
            "<row><c r=\"C3\" t=\"str\"><v>text</v></c></row></sheetData>";
        const QByteArray shared = "<si><r><t>ri</t></r><r><t xml:space=\"preserve\">ch </t></r><rPh><t>ignored</t></rPh></si>";
        WriteZip(P("hand.xlsx"), HandBook(sheet, shared, "/xl/worksheets/sheet1.xml"));
        xlsx::Document doc;
        QVERIFY2(doc.Open(P("hand.xlsx")), qPrintable(doc.ErrorString()));
        QCOMPARE(doc.SheetNames(), QStringList{"S"});
        const xlsx::Worksheet* pSheet = doc.Sheet("S");
        QVERIFY(pSheet);
        QCOMPARE(pSheet->Read(2, 2).toString(), QString("rich "));
        QCOMPARE(pSheet->Read(2, 3).toString(), QString("inline"));
        QCOMPARE(pSheet->Read(2, 4).type(), QVariant::Bool);
        QCOMPARE(pSheet->Read(2, 4).toString(), QString("true"));
        QCOMPARE(pSheet->Read(2, 5), QVariant(qlonglong(2)));
        QCOMPARE(pSheet->Read(2, 6).toString(), QString("#DIV/0!"));
        QCOMPARE(pSheet->Read(2, 7).toDouble(), 2.5);
        QCOMPARE(pSheet->Read(3, 3).toString(), QString("text"));
        const xlsx::CellRange r = pSheet->Dimension();
        QCOMPARE(QList<int>({r.nFirstRow, r.nFirstColumn, r.nLastRow, r.nLastColumn}), QList<int>({2, 2, 3, 7}));

        // The declared dimension is widened to the cells present.
        WriteZip(P("dim.xlsx"), HandBook("<dimension ref=\"A1:C2\"/><sheetData><row r=\"4\"><c r=\"I4\"><v>1</v></c></row></sheetData>"));
        QVERIFY(doc.Open(P("dim.xlsx")));
        QCOMPARE(doc.Sheet("S")->Dimension().nLastColumn, 9);
        QCOMPARE(doc.Sheet("S")->Dimension().nLastRow, 4);

        // Rows without "r" follow the row before them, the first one being row 1.
        WriteZip(P("norow.xlsx"), HandBook("<sheetData><row><c><v>1</v></c><c><v>2</v></c></row><row><c><v>3</v></c></row>"
                                           "<row r=\"5\"><c><v>4</v></c></row><row><c><v>5</v></c></row></sheetData>"));
        QVERIFY(doc.Open(P("norow.xlsx")));
        pSheet = doc.Sheet("S");
        QVERIFY(pSheet);
        const QList<QPair<QPair<int, int>, int>> cells{{{1, 1}, 1}, {{1, 2}, 2}, {{2, 1}, 3}, {{5, 1}, 4}, {{6, 1}, 5}};
        for (const auto& cell : cells)
            QCOMPARE(pSheet->Read(cell.first.first, cell.first.second), QVariant(qlonglong(cell.second)));
        QVERIFY(!pSheet->Read(3, 1).isValid());

        // A reference to row 0 is no reference: the cell takes its place in its row.
        WriteZip(P("row0.xlsx"), HandBook("<sheetData><row r=\"1\"><c r=\"A0\"><v>7</v></c></row></sheetData>"));
        QVERIFY(doc.Open(P("row0.xlsx")));
        QCOMPARE(doc.Sheet("S")->Read(1, 1), QVariant(qlonglong(7)));
    }

    // The <dimension> the writer puts in each sheet, read as XML: other
    // programs trust it instead of counting the cells.
    void writtenDimensionCoversTheCells()
    {
        const QList<xlsx::SheetData> sheets{
            {"Wide", {{1, 2}, {QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), 9}, {"x"}}},
            {"Empty", {}},
        };
        WriteBook(P("dimension.xlsx"), sheets);
        QuaZip zip(P("dimension.xlsx"));
        QVERIFY(zip.open(QuaZip::mdUnzip));
        const QStringList expected{"A1:I3", "A1"};
        for (int i = 0; i < expected.size(); ++i) {
            QVERIFY(zip.setCurrentFile(QString("xl/worksheets/sheet%1.xml").arg(i + 1)));
            QuaZipFile f(&zip);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QXmlStreamReader xml(f.readAll());
            QString strRef;
            while (!xml.atEnd())
                if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("dimension"))
                    strRef = xml.attributes().value("ref").toString();
            QVERIFY(!xml.hasError());
            QCOMPARE(strRef, expected[i]);
        }
    }

    void readerOnHostileFiles()
    {
        xlsx::Document doc;
        WriteZip(P("bad.xlsx"), HandBook("<sheetData><row><c><v>1</v></row></sheetData>"));
        QVERIFY(doc.Open(P("bad.xlsx")));
        QVERIFY(!doc.Sheet("S"));  // malformed XML
        QVERIFY(!doc.ErrorString().isEmpty());

        auto parts = HandBook("<sheetData/>");
        parts.removeAt(1);  // no relationships
        WriteZip(P("norels.xlsx"), parts);
        QVERIFY(!doc.Open(P("norels.xlsx")));

        const QByteArray bytes = Slurp(WriteBook(P("ok.xlsx"), {{"A", {kHead}}}));
        QVERIFY(WriteFile(P("cut.xlsx"), bytes.left(bytes.size() / 2)));
        QVERIFY(!doc.Open(P("cut.xlsx")));
        StaticLayout layout;
        QCOMPARE(layout.LoadXlsx(P("cut.xlsx")), xq::kErrWorkbookUnreadable);

        // A zip bomb: 80 MiB of zeros in one sheet entry stops at the cap.
        auto bomb = HandBook("<sheetData/>");
        bomb[2].second = "<worksheet " + kNs + "><sheetData/></worksheet>" + QByteArray(80 * 1024 * 1024, ' ');
        WriteZip(P("bomb.xlsx"), bomb);
        QVERIFY(doc.Open(P("bomb.xlsx")));
        QVERIFY(!doc.Sheet("S"));
        QVERIFY(doc.ErrorString().contains("太大"));

        // Entity expansion ("billion laughs") is refused.
        QByteArray laughs = "<?xml version=\"1.0\"?><!DOCTYPE sst [<!ENTITY a \"aaaaaaaaaa\">";
        for (const char* p : {"b a", "c b", "d c", "e d", "f e"}) {
            const QByteArray ref = "&" + QByteArray(1, p[2]) + ";";
            laughs += "<!ENTITY " + QByteArray(1, p[0]) + " \"" + ref.repeated(10) + "\">";
        }
        laughs += "]>";
        auto lol = HandBook("<sheetData/>");
        lol.append({"xl/sharedStrings.xml", laughs + "<sst " + kNs + "><si><t>&f;</t></si></sst>"});
        WriteZip(P("lol.xlsx"), lol);
        QVERIFY(doc.Open(P("lol.xlsx")));
        QVERIFY(!doc.Sheet("S"));
        QVERIFY(doc.ErrorString().contains("共享字符串"));
    }

    // A workbook whose texts are missing or over the size cap does not load
    // as a layout of empty cells: -3 with the reason.
    void sharedStringsMissingOrTooLarge()
    {
        const QByteArray sheet = "<dimension ref=\"A1:I2\"/><sheetData><row r=\"1\"><c r=\"I1\"><v>9</v></c></row>"
                                 "<row r=\"2\"><c r=\"B2\" t=\"s\"><v>0</v></c><c r=\"D2\" t=\"inlineStr\"><is><t>uint8_t</t></is></c>"
                                 "<c r=\"E2\"><v>1</v></c></row></sheetData>";
        const QByteArray shared = "<si><t>ver</t></si>";
        auto declared = [](QList<QPair<QString, QByteArray>> parts) {
            parts[1].second.replace("</Relationships>",
                                    "<Relationship Id=\"rId3\" Type=\"http://schemas.openxmlformats.org/officeDocument/"
                                    "2006/relationships/sharedStrings\" Target=\"sharedStrings.xml\"/></Relationships>");
            return parts;
        };
        StaticLayout layout;
        WriteZip(P("ss-ok.xlsx"), declared(HandBook(sheet, shared)));
        QCOMPARE(layout.LoadXlsx(P("ss-ok.xlsx")), xq::kOk);
        QCOMPARE(layout.sheets[0].items[0].strName, QString("ver"));

        WriteZip(P("ss-declared-missing.xlsx"), declared(HandBook(sheet)));
        QCOMPARE(layout.LoadXlsx(P("ss-declared-missing.xlsx")), xq::kErrWorkbookBadSheet);
        QVERIFY2(layout.strError.contains("共享字符串") && layout.strError.contains("缺少"),
                 qPrintable(layout.strError));

        WriteZip(P("ss-undeclared-missing.xlsx"), HandBook(sheet));
        QCOMPARE(layout.LoadXlsx(P("ss-undeclared-missing.xlsx")), xq::kErrWorkbookBadSheet);
        QVERIFY2(layout.strError.contains("B2"), qPrintable(layout.strError));

        auto big = HandBook(sheet, shared);
        big.last().second += QByteArray(80 * 1024 * 1024, ' ');
        WriteZip(P("ss-big.xlsx"), big);
        QCOMPARE(layout.LoadXlsx(P("ss-big.xlsx")), xq::kErrWorkbookBadSheet);
        QVERIFY2(layout.strError.contains("太大"), qPrintable(layout.strError));

        // The configuration sheet fails the same way instead of being skipped.
        auto config = HandBook("<sheetData><row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c></row></sheetData>");
        config[0].second.replace("name=\"S\"", "name=\"xq_config\"");
        WriteZip(P("ss-config.xlsx"), config);
        QCOMPARE(layout.LoadXlsx(P("ss-config.xlsx")), xq::kErrWorkbookBadSheet);

        // Through the tab: the critical box carries the reason.
        StaticData tab;
        Import(tab, P("ss-big.xlsx"));
        QCOMPARE(m_boxes.size(), 1);
        QVERIFY2(m_boxes[0].contains("-3") && m_boxes[0].contains("太大"), qPrintable(m_boxes[0]));
    }

    // The static write and read on their own, without the tab or a thread:
    // every line in order, the result, the report, the record handed on and
    // the flash afterwards.
    void staticOperationsReportEachStep_data()
    {
        QTest::addColumn<bool>("bWrite");
        QTest::addColumn<bool>("bRecordThere");   // a record at the area's start beforehand
        QTest::addColumn<int>("nStart");
        QTest::addColumn<int>("nLayoutLength");   // the read's layout
        QTest::addColumn<int>("nStop");           // 1: the operation's stop check, 2: the chip's stop flag once the erase began,
                                                  // 3: the search's first read fails once
        QTest::addColumn<int>("nResult");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<int>("nRecordAt");       // where the new record lies afterwards, -1: flash unchanged,
                                                  // -2: the area erased, no record
        const QString strSearch = "查找静态数据标识...";
        const QString strNone = "未找到静态数据标识!";
        const QStringList written{"擦除原有静态数据...", "擦除完成", "写入静态数据...", "写入完成"};
        const QString strOutside = "操作范围超出Flash容量: 0x3FF000 ~ 0x400000 (4096 字节), Flash容量 2097152 字节";
        const int kRefused = xq::kEndedAndReported;
        const QString strReadFailed =
            xq::ResultText(xq::kErrUsbWrite, "模拟测试台: 一次USB传输失败 (fail_once)");
        QTest::newRow("write, none there") << true << false << 0x1FF000 << 0 << 0 << xq::kOk
                                           << QStringList{strSearch, strNone, "准备写入默认静态数据..."} + written << 0;
        QTest::newRow("write, one there") << true << true << 0x1FF000 << 0 << 0 << xq::kOk
                                          << QStringList{strSearch, "找到静态数据标识"} + written << 4;
        QTest::newRow("write, stopped before the erase")
            << true << false << 0x1FF000 << 0 << 1 << xq::kErrStopped
            << QStringList{strSearch, strNone, "准备写入默认静态数据...", "擦除原有静态数据...",
                           "已中断\n" + xq::StopEnding(xq::kStopBeforeChange)}
            << -1;
        QTest::newRow("write, stopped once the erase began")
            << true << false << 0x1FF000 << 0 << 2 << xq::kErrStopped
            << QStringList{strSearch, strNone, "准备写入默认静态数据...", "擦除原有静态数据...", "擦除完成",
                           "写入静态数据...", "已中断\n静态数据区的数据不完整，请重新写入"}
            << -2;
        QTest::newRow("write, area past the flash")
            << true << false << 0x3FF000 << 0 << 0 << kRefused << QStringList{strOutside} << -1;
        QTest::newRow("write, the search's read fails once")
            << true << true << 0x1FF000 << 0 << 3 << xq::kErrUsbWrite << QStringList{strSearch, strReadFailed} << -1;
        QTest::newRow("read, found") << false << true << 0x1FF000 << 4 << 0 << xq::kOk
                                     << QStringList{strSearch, "找到静态数据标识 0", "刷新当前数据"} << -1;
        QTest::newRow("read, none there") << false << false << 0x1FF000 << 4 << 0 << kRefused
                                          << QStringList{strSearch, strNone} << -1;
        QTest::newRow("read, no layout") << false << true << 0x1FF000 << 0 << 0 << kRefused
                                         << QStringList{strSearch, "找到静态数据标识 0", "未导入配置，无法显示数据"} << -1;
        QTest::newRow("read, another layout")
            << false << true << 0x1FF000 << 8 << 0 << kRefused
            << QStringList{strSearch, "找到静态数据标识 0", "显示数据异常，请查看导入配置是否正确"} << -1;
        QTest::newRow("read, the search's read fails once")
            << false << true << 0x1FF000 << 4 << 3 << xq::kErrUsbWrite << QStringList{strSearch, strReadFailed} << -1;
        QTest::newRow("read, area past the flash")
            << false << false << 0x3FF000 << 4 << 0 << kRefused << QStringList{strSearch, strOutside} << -1;
    }
    void staticOperationsReportEachStep()
    {
        QFETCH(bool, bWrite);
        QFETCH(bool, bRecordThere);
        QFETCH(int, nStart);
        QFETCH(int, nLayoutLength);
        QFETCH(int, nStop);
        QFETCH(int, nResult);
        QFETCH(QStringList, lines);
        QFETCH(int, nRecordAt);
        const int nTotal = 4092;
        BenchFixture bench(nStop == 3 ? "[faults]\nfail_once=03\n" : "");
        QByteArray flash = bench.FillPattern();
        const QByteArray old = FourByteRecord(nTotal, QByteArray::fromHex("0A0B0C0D"));
        if (bRecordThere) {
            flash.replace(0x1FF000, old.size(), WordsReversed(old));
            bench.WriteFlash(flash);
        }
        QCOMPARE(bench.Open(9), xq::kOk);
        std::atomic<bool> bChipStop{false};
        bench.Ctrl().SetStopFlag(&bChipStop);
        ObserverLog observer;
        observer.bStop = nStop == 1;
        if (nStop == 2)
            observer.pChipStopInErase = &bChipStop;
        OperationReport report;
        int rc = 0;
        QByteArray handedOn;
        const QByteArray record = FourByteRecord(nTotal);
        if (bWrite) {
            StaticWriteRequest request;
            request.record = record;
            request.nStart = nStart;
            request.nTotal = nTotal;
            request.strWorkbook = "w.xlsx";
            rc = StaticWrite(bench.Ctrl(), observer).Run(request, report);
            QCOMPARE(report.strOperation, QString("static write"));
            QCOMPARE(report.strFile, QString("w.xlsx"));
        } else {
            StaticRead read(bench.Ctrl(), observer);
            read.onRecord = [&handedOn](const static_data_hdr* p) {
                handedOn = QByteArray(reinterpret_cast<const char*>(p), kStaticHeaderSize + int(p->nUsedLength));
            };
            StaticReadRequest request;
            request.nStart = nStart;
            request.nTotal = nTotal;
            request.nLayoutLength = nLayoutLength;
            rc = read.Run(request, report);
            QCOMPARE(report.strOperation, QString("static read"));
            // The record is handed on whenever it was read and there is a layout to show it in.
            QCOMPARE(handedOn, bRecordThere && nLayoutLength > 0 && nStop != 3 ? old : QByteArray());
        }
        QCOMPARE(rc, nResult);
        QCOMPARE(observer.lines, lines);
        QCOMPARE(report.nStart, int64_t(nStart));
        QCOMPARE(report.nSize, int64_t(nTotal));
        QCOMPARE(report.strMessage, nResult == xq::kErrStopped ? QString("已中断") : lines.last());
        QCOMPARE(report.eResult, rc == xq::kOk ? OperationReport::kResultOk
                                 : rc == xq::kEndedAndReported && !observer.warnings.isEmpty()
                                     ? OperationReport::kResultRefused
                                     : OperationReport::kResultFailed);
        // A refused area is warned about once, with the line logged.
        QCOMPARE(observer.warnings, observer.lines.last().startsWith("操作范围") ? QStringList{lines.last()} : QStringList());
        // Progress only goes forward, and reaches the end of every run that went through.
        QVERIFY(std::is_sorted(observer.progress.begin(), observer.progress.end()));
        const bool bThrough = rc == xq::kOk || (!bWrite && observer.warnings.isEmpty());
        QCOMPARE(!observer.progress.isEmpty() && observer.progress.last() == 100, bThrough);
        if (!bWrite && rc == xq::kOk)
            QCOMPARE(report.sha256, QCryptographicHash::hash(old, QCryptographicHash::Sha256).toHex());
        bench.Close();
        if (nRecordAt == -1) {
            // Unchanged, the record put there beforehand included.
            XQ_VERIFY_FLASH_KEPT(bench, {{0x1FF000, bRecordThere ? int(old.size()) : 0}});
            QCOMPARE(bench.Flash().mid(0x1FF000, old.size()), flash.mid(0x1FF000, old.size()));
        } else {
            XQ_VERIFY_FLASH_KEPT(bench, {{0x1FF000, 0x1000}});
            QByteArray area(nTotal, char(0xFF));
            if (nRecordAt >= 0)
                area.replace(nRecordAt, record.size(), WordsReversed(record));
            QCOMPARE(bench.Flash().mid(0x1FF000, nTotal), area);
        }
    }

    void recordOnTheBench()
    {
        BenchFixture bench;
        bench.FillPattern();
        StaticData tab;
        tab.SetFlashCtrl(&bench.Ctrl());
        QCOMPARE(bench.Open(9), xq::kOk);
        QCOMPARE(tab.findChild<QLineEdit*>("editTotal")->text(), QString("20"));
        // Nothing loaded: the size test refuses the write.
        QSignalSpy finished(&tab, &StaticData::finish);
        QSignalSpy logs(&tab, &StaticData::log);
        tab.Write();
        QCOMPARE(m_boxes, QStringList{"设置错误|\"总大小\"设置错误，请重新设置"});
        QCOMPARE(logs.last()[0].toString(), QString("写入参数错误"));
        QCOMPARE(finished.last()[1].toBool(), true);

        Import(tab, Book("bench.xlsx", {{1, "ver", "版本", "uint16_t", 2, "十进制数", "1 2"}}));
        QCOMPARE(QSettings("XqProgrammer.ini", QSettings::IniFormat).value("StaticData/xlsx").toString(), P("bench.xlsx"));
        QCOMPARE(tab.findChild<QLineEdit*>("editTotal")->text(), QString("24"));
        // Only acceptable input passes: a total beyond the box's 1 ~ 262143
        // and an empty start address are refused before the worker starts.
        tab.findChild<QLineEdit*>("editTotal")->setText("999999");
        tab.Write();
        tab.Read();
        QCOMPARE(m_boxes.mid(1), (QStringList{"设置错误|\"总大小\"设置错误，请重新设置", "设置错误|\"总大小\"设置错误，请重新设置"}));
        tab.findChild<QLineEdit*>("editTotal")->setText("4092");
        tab.findChild<QLineEdit*>("editStartAddr")->setText("");
        tab.Write();
        tab.Read();
        QCOMPARE(m_boxes.mid(3), (QStringList{"设置错误|\"起始地址\"设置错误，请重新设置", "设置错误|\"起始地址\"设置错误，请重新设置"}));
        QCOMPARE(finished.size(), 5);
        for (const auto& f : finished)
            QVERIFY(f[1].toBool());
        tab.findChild<QLineEdit*>("editStartAddr")->setText("1FF000");
        // Current values typed into the table.
        tab.Xlsx()->Tables()[0]->item(0, kColDevice)->setText("7 -3");
        finished.clear();
        logs.clear();
        tab.Write();
        QVERIFY(finished.wait(10000));
        QVERIFY(finished.last()[1].toBool());
        QStringList lines;
        for (const auto& l : logs)
            lines << l[0].toString();
        QCOMPARE(lines.mid(0, 3), (QStringList{"查找静态数据标识...", "未找到静态数据标识!", "准备写入当前静态数据..."}));
        finished.clear();
        logs.clear();
        tab.findChild<QRadioButton*>("radioDefault")->setChecked(true);
        tab.Write();  // found at 0: the next record goes to 4
        QVERIFY(finished.wait(10000));
        QVERIFY(!logs.contains(QVariantList{"准备写入默认静态数据..."}));
        bench.Close();
        const QByteArray area = bench.Flash().mid(0x1FF000, 4096);
        const QByteArray rec = area.mid(4, 24);
        QCOMPARE(rec.left(4), QByteArray::fromHex("00015158"));  // "XQ", version 1, words reversed
        QCOMPARE(rec.mid(20), QByteArray::fromHex("00020001"));
        QCOMPARE(area.left(4), QByteArray(4, char(0xFF)));
        XQ_VERIFY_FLASH_KEPT(bench, {{0x1FF000, 0x1000}});

        // Read back into the device values.
        QCOMPARE(bench.Open(9), xq::kOk);
        tab.Xlsx()->Tables()[0]->item(0, kColDevice)->setText(QString());
        finished.clear();
        logs.clear();
        tab.Read();
        QVERIFY(finished.wait(10000));
        QVERIFY(finished.last()[1].toBool());
        QVERIFY(logs.contains(QVariantList{"找到静态数据标识 4"}));
        QCOMPARE(tab.Xlsx()->Tables()[0]->item(0, kColDevice)->text(), QString("1 2"));

        // A layout of another length: the mismatch warning, values unchanged.
        Import(tab, Book("other.xlsx", {{1, "v", "v", "uint32_t", 2, "十进制数", "9 9"}}));
        finished.clear();
        tab.Read();
        QVERIFY(finished.wait(10000));
        QCOMPARE(m_boxes.last(), QString("告警|显示数据异常，\n请查看导入配置是否正确"));
        QVERIFY(!finished.last()[1].toBool());  // nothing was shown: the read failed

        // An area at an unaligned start erases the sectors it covers, and
        // only those: the record at 1FF000 stays.
        Import(tab, Book("bench.xlsx", {{1, "ver", "版本", "uint16_t", 2, "十进制数", "1 2"}}));
        tab.findChild<QRadioButton*>("radioDefault")->setChecked(true);
        tab.findChild<QLineEdit*>("editStartAddr")->setText("1FDFC0");
        tab.findChild<QLineEdit*>("editTotal")->setText("64");
        QVERIFY(Operate(tab, true).bState);
        bench.Close();
        XQ_VERIFY_FLASH_KEPT(bench, {{0x1FD000, 0x1000}, {0x1FF000, 0x1000}});
        QCOMPARE(bench.Flash().mid(0x1FF000, 4096), area);
    }

    void protectedFlashAndTimeouts()
    {
        BenchFixture bench("[flash]\nstatus1=9C\n");
        bench.FillPattern();
        StaticData tab;
        tab.SetFlashCtrl(&bench.Ctrl());
        QCOMPARE(bench.Open(9), xq::kOk);
        Import(tab, Book("p.xlsx", {{1, "ver", "版本", "uint8_t", 4, "十进制数", "1 2 3 4"}}));
        tab.findChild<QRadioButton*>("radioDefault")->setChecked(true);
        QSignalSpy finished(&tab, &StaticData::finish);
        tab.Write();
        QVERIFY(finished.wait(10000));
        QVERIFY(finished.last()[1].toBool());
        bench.Close();
        QCOMPARE(QSettings(bench.Dir() + "/bench.ini", QSettings::IniFormat).value("flash/status1").toString(), QString("9C"));
        QCOMPARE(bench.Flash().mid(0x1FF000 + 20, 4), QByteArray::fromHex("04030201"));
        XQ_VERIFY_FLASH_KEPT(bench, {{0x1FF000, 0x1000}});

        // A write that fails (the record does not stick) puts the protection
        // back as well; so does one on a flash protected by block-protect bits alone.
        for (const char* pStatus : {"9C", "1C"}) {
            BenchFixture dead(QString("[flash]\nstatus1=%1\n[faults]\ndead_sectors=1ff000\n").arg(pStatus));
            dead.FillPattern();
            tab.SetFlashCtrl(&dead.Ctrl());
            QCOMPARE(dead.Open(9), xq::kOk);
            finished.clear();
            tab.Write();
            QVERIFY(finished.wait(10000));
            QVERIFY(!finished.last()[1].toBool());
            dead.Close();
            QCOMPARE(QSettings(dead.Dir() + "/bench.ini", QSettings::IniFormat).value("flash/status1").toString(),
                     QString(pStatus));
            XQ_VERIFY_FLASH_KEPT(dead, {{0x1FF000, 0x1000}});
        }
        // On a board that holds WP# low, opening the top half sets SRP0 and
        // so locks the status register: the protection cannot be put back,
        // and the write says so instead of passing.
        BenchFixture wp("[flash]\nstatus1=1C\n[faults]\nwp_low=true\n");
        tab.SetFlashCtrl(&wp.Ctrl());
        QCOMPARE(wp.Open(9), xq::kOk);
        const Run locked = Operate(tab, true);
        QVERIFY(locked.bFinished && !locked.bState);
        QVERIFY2(locked.logs.contains("FLASH写保护恢复失败"), qPrintable(locked.logs.join('\n')));

        BenchFixture busy("[faults]\nstuck_busy=true\n");
        tab.SetFlashCtrl(&busy.Ctrl());
        QCOMPARE(busy.Open(9), xq::kOk);
        QSignalSpy logs(&tab, &StaticData::log);
        finished.clear();
        tab.Write();
        QVERIFY(finished.wait(30000));
        QVERIFY(!finished.last()[1].toBool());
        QCOMPARE(logs.last()[0].toString(), QString("发生超时 -258"));
    }

    // An area that starts inside a sector: all of it is erased, so the new
    // record never lands on the old one's unerased bytes; the rest of its
    // first and last sector is put back.
    void unalignedAreaErasesEverySectorItCovers()
    {
        BenchFixture bench;
        StaticData tab;
        tab.SetFlashCtrl(&bench.Ctrl());
        Import(tab, Book("u.xlsx", {{1, "ver", "版本", "uint8_t", 4, "十进制数", "1 2 3 4"}}));
        tab.findChild<QRadioButton*>("radioDefault")->setChecked(true);
        tab.findChild<QLineEdit*>("editStartAddr")->setText("1FE800");
        tab.findChild<QLineEdit*>("editTotal")->setText("4092");
        // An earlier record at area offset 0x900: in the sector after the start's.
        QByteArray flash = bench.FillPattern();
        const QByteArray old = FlashRecord(tab, false, 4092);
        flash.replace(0x1FE800 + 0x900, old.size(), old);
        bench.WriteFlash(flash);
        QCOMPARE(bench.Open(9), 0);
        const Run run = Operate(tab, true);
        QVERIFY2(run.bState, qPrintable(run.logs.join('\n')));
        QVERIFY(run.logs.contains("找到静态数据标识"));
        bench.Close();
        XQ_VERIFY_FLASH_KEPT(bench, {{0x1FE000, 0x2000}});
        QByteArray expected = flash.mid(0x1FE000, 0x2000);
        expected.fill(char(0xFF));  // both sectors, the record landing in the second
        expected.replace(0x800 + 0x904, old.size(), old);
        QCOMPARE(bench.Flash().mid(0x1FE000, 0x2000), expected);

        // A smallest area ending at a sector's end: the second record goes
        // 4 bytes further, into the next sector, whose first bytes are
        // erased as well.
        BenchFixture small;
        const QByteArray smallPattern = small.FillPattern();
        tab.SetFlashCtrl(&small.Ctrl());
        tab.findChild<QLineEdit*>("editStartAddr")->setText("1FEFE8");
        tab.findChild<QLineEdit*>("editTotal")->setText("24");
        QCOMPARE(small.Open(9), 0);
        for (int i = 0; i < 2; ++i) {
            const Run again = Operate(tab, true);
            QVERIFY2(again.bState, qPrintable(again.logs.join('\n')));
        }
        small.Close();
        XQ_VERIFY_FLASH_KEPT(small, {{0x1FE000, 0x2000}});
        QByteArray erased = smallPattern.mid(0x1FE000, 0x2000);
        erased.fill(char(0xFF));  // whole sectors: the first write the first, the second both
        const QByteArray record = FlashRecord(tab, false, 24);
        erased.replace(0xFEC, record.size(), record);
        QCOMPARE(small.Flash().mid(0x1FE000, 0x2000), erased);
    }

    // The erase may not run past the end of the flash, where it would go on
    // at address 0; an area named above the flash size wraps as a whole.
    void areaMustEndInsideTheFlash()
    {
        BenchFixture bench;
        StaticData tab;
        tab.SetFlashCtrl(&bench.Ctrl());
        Import(tab, Book("end.xlsx", {{1, "ver", "版本", "uint8_t", 4, "十进制数", "1 2 3 4"}}));
        tab.findChild<QRadioButton*>("radioDefault")->setChecked(true);
        const QByteArray pattern = bench.FillPattern();
        QCOMPARE(bench.Open(9), 0);
        tab.findChild<QLineEdit*>("editTotal")->setText("262143");  // erases 0x40000
        tab.findChild<QLineEdit*>("editStartAddr")->setText("1C1000");
        Run run = Operate(tab, true);
        QVERIFY(run.bFinished && !run.bState);
        const QString strRefusal = "操作范围超出Flash容量: 0x1C1000 ~ 0x201000 (262144 字节), Flash容量 2097152 字节";
        QCOMPARE(run.logs.last(), strRefusal);
        QCOMPARE(m_boxes.last(), "告警|" + strRefusal);
        bench.Close();
        XQ_VERIFY_FLASH_KEPT(bench, {});

        // An area named above the flash's size would land on its start
        // modulo the size: refused too, for a write and for a read.
        QCOMPARE(bench.Open(9), 0);
        tab.findChild<QLineEdit*>("editTotal")->setText("4092");
        tab.findChild<QLineEdit*>("editStartAddr")->setText("3FF000");
        for (bool bWrite : {true, false}) {
            run = Operate(tab, bWrite);
            QVERIFY(run.bStarted && !run.bState);
            QVERIFY2(run.logs.last().startsWith("操作范围超出Flash容量: 0x3FF000 ~ 0x400000"), qPrintable(run.logs.last()));
        }
        // Searched in whole sectors: an area inside the last sector that the
        // search would read past the end.
        tab.findChild<QLineEdit*>("editStartAddr")->setText("1FF800");
        tab.findChild<QLineEdit*>("editTotal")->setText("2000");
        QVERIFY(!Operate(tab, true).bState);
        bench.Close();
        XQ_VERIFY_FLASH_KEPT(bench, {});

        QCOMPARE(bench.Open(9), 0);
        tab.findChild<QLineEdit*>("editTotal")->setText("262143");
        tab.findChild<QLineEdit*>("editStartAddr")->setText("1C0000");  // ends exactly at the end
        run = Operate(tab, true);
        QVERIFY2(run.bState, qPrintable(run.logs.join('\n')));
        bench.Close();
        XQ_VERIFY_FLASH_KEPT(bench, {{0x1C0000, 0x40000}});  // whole sectors: through the flash end
        QByteArray expected(0x3FFFF, char(0xFF));
        expected += char(0xFF);
        const QByteArray record = FlashRecord(tab, false, 262143);
        expected.replace(0, record.size(), record);
        QCOMPARE(bench.Flash().mid(0x1C0000), expected);
    }

    // A read ends in success only when it showed a record in the loaded layout.
    void readsThatShowNothingFail()
    {
        BenchFixture bench;
        StaticData tab;
        tab.SetFlashCtrl(&bench.Ctrl());
        QCOMPARE(bench.Open(9), 0);
        auto* pTotal = tab.findChild<QLineEdit*>("editTotal");
        pTotal->setText("4092");
        Run run = Operate(tab, false);  // an erased area
        QVERIFY(run.bStarted && run.bFinished && !run.bState);
        QCOMPARE(run.logs.last(), QString("未找到静态数据标识!"));

        bench.Close();
        bench.FillPattern();
        QCOMPARE(bench.Open(9), 0);
        Import(tab, Book("r.xlsx", {{1, "ver", "版本", "uint8_t", 4, "十进制数", "1 2 3 4"}}));
        pTotal->setText("4092");
        QVERIFY(Operate(tab, true).bState);
        run = Operate(tab, false);
        QVERIFY(run.bState);
        QCOMPARE(run.logs.last(), QString("刷新当前数据"));
        // Searched with a length the record does not fit in: found, not copied.
        pTotal->setText("23");
        run = Operate(tab, false);
        QVERIFY(run.bStarted && !run.bState);
        QCOMPARE(run.logs.last(), QString("显示数据异常，请查看导入配置是否正确"));
        pTotal->setText("24");
        QVERIFY(Operate(tab, false).bState);

        StaticData empty;  // nothing loaded
        empty.SetFlashCtrl(&bench.Ctrl());
        empty.findChild<QLineEdit*>("editTotal")->setText("4092");
        run = Operate(empty, false);
        QVERIFY(run.bStarted && run.bFinished && !run.bState);
        QCOMPARE(run.logs.last(), QString("未导入配置，无法显示数据"));
        bench.Close();
        XQ_VERIFY_FLASH_KEPT(bench, {{0x1FF000, 0x1000}});
    }

    // A failed import changes nothing in the tab and is not loaded at the next start.
    void failedImportChangesNothingAndIsNotRemembered()
    {
        QFile::remove("XqProgrammer.ini");
        const QString strGood = Book("good.xlsx", {{1, "ver", "版本", "uint8_t", 4, "十进制数", "1 2 3 4", "只读"}},
                                     {{"start_address", "1fe000"}});
        Rows eight{{"n", "name", "display", "type", "count", "format", "default", "ro"}};
        const QString strBad = WriteBook(P("bad-h.xlsx"), {{"xq_config", {{"start_address", "3000"}}}, {"Sheet1", eight}});
        {
            StaticData tab;
            tab.LoadSettings();
            Import(tab, strGood);
            QCOMPARE(tab.findChild<QLineEdit*>("editStartAddr")->text(), QString("1FE000"));
            Import(tab, strBad);
            QVERIFY(m_boxes.last().startsWith("打开文件错误|文件:" + strBad + ", 错误码:-3"));
            QCOMPARE(tab.findChild<QLineEdit*>("editStartAddr")->text(), QString("1FE000"));
            QCOMPARE(tab.findChild<QLineEdit*>("editUsed")->text(), QString("4"));
            QVERIFY(!tab.findChild<QLineEdit*>("editTotal")->text().isEmpty());
            QCOMPARE(tab.Xlsx()->Layout().strWorkbook, strGood);
            QCOMPARE(tab.Xlsx()->Tables().size(), 1);
            tab.SaveSettings();  // as the window does when it closes
        }
        QCOMPARE(QSettings("XqProgrammer.ini", QSettings::IniFormat).value("StaticData/xlsx").toString(), strGood);
        StaticData next;
        next.LoadSettings();
        QCOMPARE(next.Xlsx()->Layout().strWorkbook, strGood);
        QCOMPARE(next.findChild<QLineEdit*>("editUsed")->text(), QString("4"));
    }

    // "保存Excel" and "导出模板": the shown location, the extension, the reason of a failure.
    void savedWorkbookCarriesWhatTheTabShows()
    {
        StaticData tab;
        Import(tab, Book("shown.xlsx",
                         {{1, "a", "甲", "uint8_t", 2, "十进制数", "1 2"}, {2, "b", "乙", "uint16_t", 1, "十六进制数", "0x10"}},
                         {{"start_address", "1ff000"}, {"storage", "normal"}}));
        tab.findChild<QLineEdit*>("editStartAddr")->setText("1FE800");
        tab.findChild<QComboBox*>("cmbStorage")->setCurrentIndex(1);
        tab.findChild<QCheckBox*>("chkLock")->setChecked(true);
        tab.Xlsx()->Tables()[0]->item(0, kColDevice)->setText("7 8");  // row 1 stays empty
        m_fileAnswer = P("saved-shown");
        QMetaObject::invokeMethod(&tab, "SaveExcel");
        QVERIFY2(m_boxes.isEmpty(), qPrintable(m_boxes.join('\n')));
        StaticLayout saved;
        QCOMPARE(saved.LoadXlsx(P("saved-shown.xlsx")), 0);
        QCOMPARE(saved.config.start_address, 0x1FE800u);
        QCOMPARE(int(saved.config.storage), 1);
        QCOMPARE(int(saved.config.otp), 1);
        QCOMPARE(saved.FindItem("a")->cells.strDefault, QString("7 8"));
        QCOMPARE(saved.FindItem("b")->cells.strDefault, QString("0x10"));  // an empty device value keeps the default

        m_fileAnswer = P("tmpl");
        QMetaObject::invokeMethod(&tab, "ExportTemplateFile");
        QVERIFY(QFileInfo(P("tmpl.xlsx")).isFile());
        m_fileAnswer = P("named.XLSX");  // an extension of its own stays
        QMetaObject::invokeMethod(&tab, "ExportTemplateFile");
        QVERIFY(QFileInfo(P("named.XLSX")).isFile() && !QFileInfo(P("named.XLSX.xlsx")).exists());

        // A character device is written in place, never replaced by a regular file.
        m_fileAnswer = P("saved-device.xlsx");
        QCOMPARE(::mknod(QFile::encodeName(m_fileAnswer).constData(), S_IFCHR | 0666, makedev(1, 3)), 0);
        QMetaObject::invokeMethod(&tab, "SaveExcel");
        QVERIFY2(m_boxes.isEmpty(), qPrintable(m_boxes.join('\n')));
        QVERIFY(QFileInfo(m_fileAnswer).exists() && !QFileInfo(m_fileAnswer).isFile());
        m_fileAnswer = P("no-such-dir/x.xlsx");
        QMetaObject::invokeMethod(&tab, "SaveExcel");
        QCOMPARE(m_boxes, QStringList{"保存失败|无法保存文件:" + m_fileAnswer + "\n原因: 文件夹不存在"});
    }

    // "当前值" with device values left empty asks first, naming the items.
    void emptyCurrentValuesAskBeforeWriting()
    {
        BenchFixture bench;
        StaticData tab;
        tab.SetFlashCtrl(&bench.Ctrl());
        Import(tab, Book("ask.xlsx", {{1, "fw", "固件版本", "uint8_t", 2, "十进制数", "1 2", "只读"},
                                      {2, "gain", "增益", "uint8_t", 2, "十进制数", "3 4"},
                                      {3, "none", "无字节", "int32_t", 1, "十进制数", "5"}}));
        bench.FillPattern();
        QCOMPARE(bench.Open(9), 0);
        tab.Xlsx()->Tables()[0]->item(1, kColDevice)->setText("9 9");
        // The real box: Enter gives 否, the safe answer, and nothing is written.
        msgbox::SetHandler(nullptr);
        Run run;
        {
            EnterOnNextBox enter;
            run = Operate(tab, true);
            QCOMPARE(enter.DefaultButton(), QMessageBox::No);
            QCOMPARE(enter.Text(), QString("以下项目没有设备数值，将写入0:\n固件版本\n确定写入当前值？"));
        }
        QVERIFY(!run.bStarted && run.bState);
        AnswerBoxes();
        m_answer = QMessageBox::No;
        run = Operate(tab, true);
        QVERIFY(!run.bStarted && run.bState);
        QCOMPARE(m_boxes, QStringList{"请确认|以下项目没有设备数值，将写入0:\n固件版本\n确定写入当前值？"});
        tab.findChild<QRadioButton*>("radioDefault")->setChecked(true);  // default values: no question
        m_boxes.clear();
        QVERIFY(Operate(tab, true).bState);
        QVERIFY(m_boxes.isEmpty());
        tab.findChild<QRadioButton*>("radioCurrent")->setChecked(true);
        m_answer = QMessageBox::Yes;
        run = Operate(tab, true);
        QVERIFY(run.bStarted && run.bState);
        QCOMPARE(m_boxes.size(), 1);
        bench.Close();
        QCOMPARE(bench.Flash().mid(0x1FF004 + 20, 4), QByteArray::fromHex("09090000"));
        XQ_VERIFY_FLASH_KEPT(bench, {{0x1FF000, 0x1000}});
    }

    // A workbook start address that does not read is shown as 0, but the
    // write asks before putting the record there, naming the cell's text.
    void unreadableWorkbookStartAsksBeforeWritingAtZero()
    {
        BenchFixture bench;
        StaticData tab;
        tab.SetFlashCtrl(&bench.Ctrl());
        Import(tab, Book("zero.xlsx", {{1, "gain", "增益", "uint8_t", 2, "十进制数", "3 4"}}, {{"start_address", "1ff00O"}}));
        QCOMPARE(tab.findChild<QLineEdit*>("editStartAddr")->text(), QString("0"));
        bench.FillPattern();
        QCOMPARE(bench.Open(9), 0);
        m_answer = QMessageBox::No;
        const Run run = Operate(tab, true);
        QVERIFY(!run.bStarted && run.bState);
        QVERIFY2(run.logs.contains("工作簿的起始地址\"1ff00O\"不是十六进制数，按 0 处理"), qPrintable(run.logs.join('\n')));
        QCOMPARE(m_boxes, QStringList{"请确认|工作簿的起始地址\"1ff00O\"不是十六进制数，按 0 处理\n确定写入到地址 0x000000？"});
        bench.Close();
        XQ_VERIFY_FLASH_KEPT(bench, {});
    }

    // The question names at most 12 items; from the 13th it adds their count.
    void emptyCurrentValuesListTwelveNames_data()
    {
        QTest::addColumn<int>("items");
        QTest::addColumn<QString>("tail");
        QTest::newRow("12 items: all named") << 12 << "";
        QTest::newRow("13 items: 12 named and the count") << 13 << " 等13项";
    }
    void emptyCurrentValuesListTwelveNames()
    {
        QFETCH(int, items);
        QFETCH(QString, tail);
        Rows rows;
        QStringList names;
        for (int i = 1; i <= items; ++i) {
            rows.append({i, QString("v%1").arg(i), QString("项%1").arg(i), "uint8_t", 1, "十进制数", "1"});
            names << QString("项%1").arg(i);
        }
        BenchFixture bench;
        StaticData tab;
        tab.SetFlashCtrl(&bench.Ctrl());
        Import(tab, Book(QString("names%1.xlsx").arg(items), rows));
        QCOMPARE(bench.Open(9), 0);
        m_answer = QMessageBox::No;
        QVERIFY(!Operate(tab, true).bStarted);
        QCOMPARE(m_boxes, QStringList{"请确认|以下项目没有设备数值，将写入0:\n" + names.mid(0, 12).join("、") + tail +
                                      "\n确定写入当前值？"});
    }

    // A device value that is not a number is marked in its cell; the write
    // still reads it as the workbook rules say.
    void nonNumericDeviceValueIsMarked()
    {
        StaticData tab;
        Import(tab, Book("mark.xlsx", {{1, "n", "n", "uint8_t", 3, "十进制数", "1"},
                                       {2, "h", "h", "uint8_t", 1, "十六进制数", "1"},
                                       {3, "s", "s", "string", 4, "字符串", "ab"}}));
        QTableWidget* pTable = tab.Xlsx()->Tables()[0];
        QTableWidgetItem* pCell = pTable->item(0, kColDevice);
        const QBrush plain = pCell->background();
        pCell->setText("7 x3 12abc");
        QVERIFY(pCell->background() != plain);
        QVERIFY2(pCell->toolTip().contains("\"x3\""), qPrintable(pCell->toolTip()));
        pTable->item(1, kColDevice)->setText("0x1F");
        QCOMPARE(pTable->item(1, kColDevice)->background(), plain);
        pTable->item(2, kColDevice)->setText("any text");  // a string is never a bad number
        QCOMPARE(pTable->item(2, kColDevice)->background(), plain);
        tab.Xlsx()->TakeTableValues();
        QCOMPARE(tab.Xlsx()->GetStaticData(true).mid(20, 3), QByteArray::fromHex("07000c"));
        pCell->setText("7 3 12");
        QCOMPARE(pCell->background(), plain);
        QVERIFY(pCell->toolTip().isEmpty());
    }

    // One rule for a value text, wherever it comes from: the rows say what
    // the cell and --set refuse; a workbook default that the rule refuses
    // is written as the workbook reads it, with a warning naming the item.
    void valueRuleIsOneForCellsSetAndDefaults_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("format");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("refusedPiece");  // empty: accepted
        QTest::newRow("hex") << "uint8_t" << "十六进制数" << 2 << "0x1F 20" << "";
        QTest::newRow("hex garbage") << "uint8_t" << "十六进制数" << 2 << "1F zz" << "zz";
        QTest::newRow("hex too big") << "uint8_t" << "十六进制数" << 1 << "100" << "100";
        QTest::newRow("hex bare prefix") << "uint16_t" << "十六进制数" << 1 << "0x" << "0x";
        QTest::newRow("unsigned top") << "uint16_t" << "十进制正整数" << 1 << "65535" << "";
        QTest::newRow("unsigned over") << "uint16_t" << "十进制正整数" << 1 << "65536" << "65536";
        QTest::newRow("unsigned minus") << "uint32_t" << "十进制正整数" << 1 << "-5" << "-5";
        QTest::newRow("unsigned 32 bits") << "uint32_t" << "十进制正整数" << 1 << "4294967295" << "";
        QTest::newRow("decimal negative") << "uint8_t" << "十进制数" << 2 << "-128 255" << "";
        QTest::newRow("decimal under") << "uint8_t" << "十进制数" << 1 << "-129" << "-129";
        QTest::newRow("decimal tail") << "uint32_t" << "十进制数" << 1 << "12abc" << "12abc";
        QTest::newRow("yes no") << "bool" << "是/否" << 2 << "0 1" << "";
        QTest::newRow("yes no binary") << "bool" << "是/否" << 1 << "10" << "10";
        QTest::newRow("float") << "double" << "浮点数" << 2 << "1.5 -2e3" << "";
        QTest::newRow("float half exponent") << "double" << "浮点数" << 1 << "1e" << "1e";
        QTest::newRow("too many") << "uint8_t" << "十进制数" << 2 << "1 2 3" << "3";
        QTest::newRow("string") << "string" << "字符串" << 4 << "any text" << "";
    }
    void valueRuleIsOneForCellsSetAndDefaults()
    {
        QFETCH(QString, type);
        QFETCH(QString, format);
        QFETCH(int, count);
        QFETCH(QString, text);
        QFETCH(QString, refusedPiece);
        const QString strBook = Book("rule.xlsx", {{1, "v", "value", type, count, format, text},
                                                   {2, "w", "other", "uint8_t", 1, "十进制数", "1"}});
        // The workbook default.
        StaticLayout layout;
        QCOMPARE(layout.LoadXlsx(strBook), 0);
        const xlsx_item& item = layout.sheets[0].items[0];
        const QString strRefusal = StaticLayout::ValueRefusal(item, text);
        QCOMPARE(strRefusal.isEmpty(), refusedPiece.isEmpty());
        if (!refusedPiece.isEmpty() && refusedPiece != "3")
            QVERIFY2(strRefusal.contains("\"" + refusedPiece + "\""), qPrintable(strRefusal));
        QCOMPARE(layout.warnings.size(), refusedPiece.isEmpty() ? 0 : 1);
        if (!refusedPiece.isEmpty())
            QVERIFY(layout.warnings[0].contains("v") && layout.warnings[0].contains(text));
        // A value typed into the cell is written as the same bytes as the default.
        StaticLayout typed;
        QCOMPARE(typed.LoadXlsx(strBook), 0);
        typed.TakeValue(typed.sheets[0].items[0], text);
        QCOMPARE(typed.GetStaticData(true).mid(20), layout.GetStaticData(false).mid(20));

        // The tab marks the cell and refuses to write it; --set refuses it too.
        StaticData tab;
        Import(tab, strBook);
        QTableWidgetItem* pCell = tab.Xlsx()->Tables()[0]->item(0, kColDevice);
        pCell->setText(text);
        tab.Xlsx()->Tables()[0]->item(1, kColDevice)->setText("1");
        QCOMPARE(pCell->toolTip().isEmpty(), refusedPiece.isEmpty());
        tab.findChild<QRadioButton*>("radioCurrent")->setChecked(true);
        tab.findChild<QLineEdit*>("editStartAddr")->setText("1FF000");
        if (refusedPiece.isEmpty())
            return;
        m_boxes.clear();
        const Run run = Operate(tab, true);
        QVERIFY(!run.bStarted);
        QCOMPARE(m_boxes.size(), 1);
        QVERIFY2(m_boxes[0].contains("v: "), qPrintable(m_boxes[0]));
    }

    // The device value column reaches the table's right edge at the first
    // show; the lock box appears without moving the buttons.
    void deviceColumnFillsTheTableAndTheLockBoxMovesNothing()
    {
        QFile::remove("XqProgrammer.ini");
        QSettings("XqProgrammer.ini", QSettings::IniFormat)
            .setValue("StaticData/xlsx", Book("wide.xlsx", {{1, "a", "a", "uint8_t", 1, "十进制数", "1"}}));
        StaticData tab;
        tab.LoadSettings();  // before the window shows, as at start-up
        tab.resize(1000, 500);
        tab.show();
        QVERIFY(QTest::qWaitForWindowExposed(&tab));
        QTableWidget* pTable = tab.Xlsx()->Tables()[0];
        QHeaderView* pHeader = pTable->horizontalHeader();
        QTRY_COMPARE(pHeader->sectionViewportPosition(kColDevice) + pHeader->sectionSize(kColDevice),
                     pTable->viewport()->width());
        auto* pImport = tab.findChild<QPushButton*>("pbImport");
        const QPoint at = pImport->mapTo(&tab, QPoint(0, 0));
        tab.findChild<QComboBox*>("cmbStorage")->setCurrentIndex(1);
        QVERIFY(tab.findChild<QCheckBox*>("chkLock")->isVisible());
        QCoreApplication::processEvents();
        QCOMPARE(pImport->mapTo(&tab, QPoint(0, 0)), at);
    }

    // Write then read gives back every record length and every item type:
    // the record's final 1-3 bytes come back as the write stored them.
    void recordRoundTripsEveryLengthAndType_data()
    {
        QTest::addColumn<Rows>("items");
        const QByteArray letters = "ABCDEFGHIJKLMNOP";
        for (int n = 1; n <= 9; ++n)
            QTest::newRow(qPrintable(QString("string of %1").arg(n)))
                << Rows{{1, "s", "s", "string", n, "字符串", QString(letters.left(n))}};
        QTest::newRow("bool") << Rows{{1, "b", "b", "bool", 1, "是/否", "1"}};
        QTest::newRow("uint8_t 5") << Rows{{1, "u8", "u8", "uint8_t", 1, "十进制数", "5"}};
        QTest::newRow("uint16_t") << Rows{{1, "u16", "u16", "uint16_t", 1, "十六进制数", "0x1234"}};
        QTest::newRow("uint32_t") << Rows{{1, "u32", "u32", "uint32_t", 1, "十进制正整数", "4000000000"}};
        QTest::newRow("double") << Rows{{1, "d", "d", "double", 1, "浮点数", "-2.5"}};
        QTest::newRow("name of 15") << Rows{{1, "name", "name", "string", 16, "字符串", "ABCDEFGHIJKLMNO"}};
        QTest::newRow("every type") << Rows{{1, "b", "b", "bool", 1, "是/否", "1"},
                                            {2, "u8", "u8", "uint8_t", 1, "十进制数", "-7"},
                                            {3, "u16", "u16", "uint16_t", 1, "十六进制数", "0xbeef"},
                                            {4, "u32", "u32", "uint32_t", 1, "十进制数", "123456789"},
                                            {5, "d", "d", "double", 1, "浮点数", "6.25"},
                                            {6, "s", "s", "string", 3, "字符串", "xyz"}};
    }
    void recordRoundTripsEveryLengthAndType()
    {
        QFETCH(Rows, items);
        BenchFixture bench;
        StaticData tab;
        tab.SetFlashCtrl(&bench.Ctrl());
        Import(tab, Book("trip.xlsx", items));
        tab.findChild<QRadioButton*>("radioDefault")->setChecked(true);
        tab.findChild<QLineEdit*>("editTotal")->setText("4092");
        bench.FillPattern();
        QCOMPARE(bench.Open(9), 0);
        for (int nWrite = 0; nWrite < 2; ++nWrite) {  // at area offsets 0 and 4
            const Run write = Operate(tab, true);
            QVERIFY2(write.bState, qPrintable(write.logs.join('\n')));
            const Run read = Operate(tab, false);
            QVERIFY2(read.bState, qPrintable(read.logs.join('\n')));
            for (xlsx_item& item : tab.Xlsx()->Layout().sheets[0].items) {
                QCOMPARE(item.current.toHex(' '), item.defaults.left(item.ByteSize()).toHex(' '));
                item.current.fill(0);
            }
        }
        // What the window shows as the device value, written back as the current value, stays the same.
        const QByteArray before = tab.Xlsx()->GetStaticData(false).mid(kStaticHeaderSize);
        tab.findChild<QRadioButton*>("radioCurrent")->setChecked(true);
        QVERIFY(Operate(tab, false).bState);
        QVERIFY(Operate(tab, true).bState);
        QCOMPARE(tab.Xlsx()->GetStaticData(true).mid(kStaticHeaderSize).toHex(' '), before.toHex(' '));
        bench.Close();
        XQ_VERIFY_FLASH_KEPT(bench, {{0x1FF000, 0x1000}});
    }

    void defaultWorkbookTemplateAndSaveRoundTrip()
    {
        const QString strDefault = QStringLiteral(XQ_SAMPLE_WORKBOOK);
        StaticLayout sample;
        QCOMPARE(sample.LoadXlsx(strDefault), xq::kOk);
        QCOMPARE(sample.config.start_address, 0x1FF000u);
        QVERIFY(sample.nUsedLength > 0);

        QString strError;
        QVERIFY(ExportTemplate(P("template.xlsx"), strError));
        StaticLayout tmpl;
        QCOMPARE(tmpl.LoadXlsx(P("template.xlsx")), xq::kOk);
        QCOMPARE(tmpl.sheets[0].items.size(), 6);
        QVERIFY(tmpl.nUsedLength > 0);

        // Device values become the defaults of the saved workbook.
        xlsx_item* pItem = sample.FindItem("trim");
        QVERIFY(pItem);
        sample.TakeValue(*pItem, "100 -100");
        QVERIFY(SaveLayoutWorkbook(sample, sample.config, P("saved.xlsx"), strError));
        StaticLayout saved;
        QCOMPARE(saved.LoadXlsx(P("saved.xlsx")), xq::kOk);
        QCOMPARE(saved.nUsedLength, sample.nUsedLength);
        QCOMPARE(saved.nReadOnlyLength, sample.nReadOnlyLength);
        QCOMPARE(saved.FindItem("trim")->defaults, QByteArray::fromHex("64009cff"));
        QCOMPARE(saved.FindItem("serial")->defaults, sample.FindItem("serial")->defaults);
        QCOMPARE(saved.config.start_address, sample.config.start_address);
    }
};

QTEST_MAIN(TestStaticData)
#include "test_staticdata.moc"
