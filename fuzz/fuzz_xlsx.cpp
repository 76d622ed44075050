// libFuzzer target: the workbook reader and the layout import on arbitrary files.
#include <staticlayout.h>
#include <xlsxdocument.h>

#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    static QTemporaryDir dir;
    const QString strPath = dir.filePath("input.xlsx");
    QFile file(strPath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 0;
    file.write(reinterpret_cast<const char*>(pData), qint64(nSize));
    file.close();

    xlsx::Document doc;
    if (doc.Open(strPath)) {
        for (const QString& strName : doc.SheetNames()) {
            if (const xlsx::Worksheet* pSheet = doc.Sheet(strName)) {
                const xlsx::CellRange r = pSheet->Dimension();
                for (int row = r.nFirstRow; row <= r.nLastRow && row < r.nFirstRow + 50; ++row)
                    for (int col = r.nFirstColumn; col <= r.nLastColumn && col < r.nFirstColumn + 20; ++col)
                        pSheet->Read(row, col).toString();
            }
        }
    }
    StaticLayout layout;
    if (layout.LoadXlsx(strPath) == 0)
        layout.GetStaticData(true);
    return 0;
}
