// A small read-only .xlsx reader: sheet names in workbook order, a worksheet
// by name, its used range and single cells as QVariant. It reads workbooks
// from Excel, LibreOffice, openpyxl and libxlsxwriter, and survives hostile
// files: every zip entry is read in chunks under a cap (per entry and for the
// whole file), XML entity expansion and the number of cells are limited, and
// malformed XML or a missing part gives an error, never a crash or a hang.
#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QHash>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>

class QuaZip;

namespace xlsx {

struct CellRange {
    int nFirstRow = 0;  // 1-based; 0 for an empty sheet
    int nFirstColumn = 0;
    int nLastRow = 0;
    int nLastColumn = 0;
};

class Worksheet {
public:
    const CellRange& Dimension() const { return m_range; }
    // The cell's value: QString, bool, qlonglong or double; invalid when empty.
    QVariant Read(int nRow, int nColumn) const;

private:
    friend class Document;
    CellRange m_range;
    QHash<quint64, QVariant> m_cells;
};

class Document {
public:
    Document();
    ~Document();

    // Opens a workbook; false with a message when it cannot be read.
    bool Open(const QString& strPath);
    // Opens a workbook held in memory (the bytes of a file already read and
    // hashed); strName names it in the messages.
    bool OpenData(const QByteArray& data, const QString& strName);
    QString ErrorString() const { return m_strError; }
    QStringList SheetNames() const { return m_sheetNames; }
    // The worksheet, read on first use; null when it is missing or malformed,
    // or when the workbook's shared strings are missing or too large.
    const Worksheet* Sheet(const QString& strName);

    static constexpr qint64 kMaxEntryBytes = 64 * 1024 * 1024;
    static constexpr qint64 kMaxTotalBytes = 256 * 1024 * 1024;
    static constexpr int kMaxCells = 2000000;

private:
    bool ReadEntry(const QString& strName, QByteArray& data);
    bool OpenZip(const QString& strName);
    bool ParseWorkbook();
    bool ParseSharedStrings();
    bool ParseSheet(const QByteArray& xml, Worksheet& sheet);

    QBuffer m_buffer;  // the bytes of OpenData; outlives the zip reading it
    std::unique_ptr<QuaZip> m_pZip;
    QString m_strError;
    QStringList m_sheetNames;
    QMap<QString, QString> m_sheetParts;  // sheet name -> zip entry
    QStringList m_sharedStrings;
    QString m_strSharedStringsPart;   // as the workbook's relationships name it; empty: not named
    QString m_strSharedStringsError;  // why the shared strings could not be read; empty: they could
    QHash<QString, std::shared_ptr<Worksheet>> m_sheets;
    qint64 m_nBytesRead = 0;
};

// "B12" -> row 12, column 2; false when it is not a cell reference.
bool ParseCellRef(const QString& strRef, int& nRow, int& nColumn);

}  // namespace xlsx
