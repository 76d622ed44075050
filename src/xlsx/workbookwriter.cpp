#include "workbookwriter.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryFile>

// Implementation note: libxlsxwriter and QuaZip both carry a minizip, with
// the same exported symbol names (zipOpen3...). In one process the dynamic
// linker binds both to one of them and the other crashes, so workbooks are
// written by a small helper program (xq-xlsx-writer) that links only
// libxlsxwriter. The sheets travel to it as JSON.

namespace xlsx {

namespace {

QJsonValue CellJson(const QVariant& v)
{
    switch (v.type()) {
    case QVariant::Invalid: return QJsonValue();
    case QVariant::Bool: return QJsonObject{{"b", v.toBool()}};
    case QVariant::Int:
    case QVariant::UInt:
    case QVariant::LongLong:
    case QVariant::Double: return QJsonObject{{"n", v.toDouble()}};
    default: return QJsonObject{{"s", v.toString()}};
    }
}

QString WriterProgram()
{
    const QString strEnv = qEnvironmentVariable("XQ_XLSX_WRITER");
    if (!strEnv.isEmpty())
        return strEnv;
    const QString strBeside = QCoreApplication::applicationDirPath() + "/xq-xlsx-writer";
    if (QFileInfo(strBeside).isExecutable())
        return strBeside;
    for (const char* pPath : {XQ_XLSX_WRITER_BUILD_PATH, XQ_XLSX_WRITER_INSTALL_PATH})
        if (QFileInfo(QString::fromUtf8(pPath)).isExecutable())
            return QString::fromUtf8(pPath);
    return "xq-xlsx-writer";
}

}  // namespace

QByteArray SheetsToJson(const QList<SheetData>& sheets)
{
    QJsonArray jsonSheets;
    for (const SheetData& sheet : sheets) {
        QJsonArray rows;
        for (const QVector<QVariant>& row : sheet.rows) {
            QJsonArray cells;
            for (const QVariant& v : row)
                cells.append(CellJson(v));
            rows.append(cells);
        }
        jsonSheets.append(QJsonObject{{"name", sheet.strName}, {"rows", rows}});
    }
    return QJsonDocument(jsonSheets).toJson(QJsonDocument::Compact);
}

bool WriteWorkbook(const QString& strPath, const QList<SheetData>& sheets, QString& strError)
{
    QTemporaryFile spec;
    if (!spec.open() || spec.write(SheetsToJson(sheets)) < 0 || !spec.flush()) {
        strError = "cannot prepare the workbook";
        return false;
    }
    QProcess writer;
    writer.start(WriterProgram(), {spec.fileName(), strPath});
    if (!writer.waitForFinished(60000)) {
        strError = QString("xq-xlsx-writer: %1").arg(writer.errorString());
        writer.kill();
        return false;
    }
    if (writer.exitStatus() != QProcess::NormalExit || writer.exitCode() != 0) {
        strError = QString::fromUtf8(writer.readAllStandardError()).trimmed();
        if (strError.isEmpty())
            strError = QString("%1: cannot be written").arg(strPath);
        return false;
    }
    return true;
}

}  // namespace xlsx
