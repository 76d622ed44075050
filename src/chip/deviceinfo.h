// How the chip model and the flash identification are shown to the user
// (the interface dialog and the command-line "info").
#pragma once

#include "spiflashctrl.h"

#include <operationreport.h>

#include <QString>

// The model name for an identification word; a flash below 1 MiB (read
// successfully) makes 0xABCD0001 an XQ6130.
QString ChipModelName(uint32_t nChipId, uint32_t nTotalSize, bool bFlashInfoRead);
// The three flash information lines, joined with blank lines.
QString FlashInfoText(const FlashInfo& info);
// Puts the flash's identification (JEDEC id, unique id, size) into a report.
void DescribeFlash(const FlashInfo& info, OperationReport& report);
