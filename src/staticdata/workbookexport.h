// Workbooks written by the export menu: an empty template to start a new
// layout, and the loaded layout saved with each item's device value as its
// default, so values read from one chip can be written to the next.
#pragma once

#include <QString>

class StaticLayout;
struct xlsx_config;

bool ExportTemplate(const QString& strPath, QString& strError);
// The layout with the given location in its "xq_config" sheet.
bool SaveLayoutWorkbook(const StaticLayout& layout, const xlsx_config& config, const QString& strPath,
                        QString& strError);
