// Workbooks written by the export menu: an empty template to start a new
// layout, and the loaded layout saved with each item's device value as its
// default, so values read from one chip can be written to the next.
#pragma once

#include <QString>

class StaticLayout;

bool ExportTemplate(const QString& strPath, QString& strError);
bool SaveLayoutWorkbook(const StaticLayout& layout, const QString& strPath, QString& strError);
