// Where a static data record goes and the write request of a layout's
// record: the rules xqprog's static write and read and a job's static step
// share.
#pragma once

#include <staticrequest.h>

#include <QString>

#include <cstdint>

class StaticLayout;

// The record's area: strStart (hexadecimal) when given, else the workbook's
// start, else the default; strTotal (decimal or 0x hexadecimal) when given,
// else the layout's used length with the header. Empty when accepted, else
// the refusal.
QString StaticArea(const StaticLayout& layout, const QString& strStart, const QString& strTotal, int32_t& nStart,
                   int32_t& nTotal);
// The write request of the layout's record, its default or current values,
// for the area; empty when accepted, else the refusal.
QString StaticWriteOf(const StaticLayout& layout, bool bCurrent, int32_t nStart, int32_t nTotal,
                      StaticWriteRequest& request);
