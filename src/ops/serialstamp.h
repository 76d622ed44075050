// The one place a write is tied to a serial source: the number is taken at
// the moment the chip is stamped and settled with the source right after
// the write (stamped, or not stamped with the write's reason).
#pragma once

#include "imageops.h"

#include <serialsource.h>

#include <functional>

// Runs write with numbers from pSource (null: the request's own number);
// log gets the reason a number could not be taken. Returns the result code.
int RunWriteWithSerials(ImageWrite& write, const ImageWriteRequest& request, OperationReport& report,
                        SerialSource* pSource, const QString& strAdapter, const QString& strJob,
                        const std::function<void(const QString&)>& log);
