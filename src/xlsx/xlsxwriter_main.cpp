// xq-xlsx-writer SHEETS.json OUTPUT.xlsx: writes the sheets described in the
// JSON file (a list of {name, rows: [[cell...]...]}, a cell being null,
// {"s": text}, {"n": number} or {"b": bool}) with libxlsxwriter.
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <xlsxwriter.h>

#include <cstdio>

int main(int argc, char* argv[])
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: xq-xlsx-writer SHEETS.json OUTPUT.xlsx\n");
        return 2;
    }
    QFile spec(QString::fromLocal8Bit(argv[1]));
    if (!spec.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "%s: cannot be read\n", argv[1]);
        return 2;
    }
    const QJsonArray sheets = QJsonDocument::fromJson(spec.readAll()).array();
    lxw_workbook* pBook = workbook_new(argv[2]);
    if (!pBook) {
        std::fprintf(stderr, "%s: cannot be created\n", argv[2]);
        return 1;
    }
    for (const QJsonValue& sheetValue : sheets) {
        const QJsonObject sheet = sheetValue.toObject();
        const QByteArray name = sheet.value("name").toString().toUtf8();
        lxw_worksheet* pSheet = workbook_add_worksheet(pBook, name.constData());
        if (!pSheet) {
            std::fprintf(stderr, "%s: bad sheet name\n", name.constData());
            workbook_close(pBook);
            return 1;
        }
        const QJsonArray rows = sheet.value("rows").toArray();
        for (int r = 0; r < rows.size(); ++r) {
            const QJsonArray cells = rows[r].toArray();
            for (int c = 0; c < cells.size(); ++c) {
                const QJsonObject cell = cells[c].toObject();
                if (cell.contains("b"))
                    worksheet_write_boolean(pSheet, lxw_row_t(r), lxw_col_t(c), cell.value("b").toBool(), nullptr);
                else if (cell.contains("n"))
                    worksheet_write_number(pSheet, lxw_row_t(r), lxw_col_t(c), cell.value("n").toDouble(), nullptr);
                else if (cell.contains("s"))
                    worksheet_write_string(pSheet, lxw_row_t(r), lxw_col_t(c),
                                           cell.value("s").toString().toUtf8().constData(), nullptr);
            }
        }
    }
    const lxw_error err = workbook_close(pBook);
    if (err != LXW_NO_ERROR) {
        std::fprintf(stderr, "%s: %s\n", argv[2], lxw_strerror(err));
        return 1;
    }
    return 0;
}
