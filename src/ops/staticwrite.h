// The static write: puts the record into its flash area, 4 bytes on from the
// record found there (back at the area's start when it would leave the first
// sector), with the protection lifted for the write and put back, and reads
// it back. Steps: identify, check the area, find the old record, erase
// exactly the area, program, read back, restore the protection.
#pragma once

#include "staticoperation.h"
#include "stepend.h"

#include <operationreport.h>
#include <staticrequest.h>

class StaticWrite : public StaticOperation {
    Q_DECLARE_TR_FUNCTIONS(StaticWrite)

public:
    using StaticOperation::StaticOperation;

    // Runs the write and fills report with what it did. 0 when the record
    // is written and read back; kEndedAndReported when the area was
    // refused (the line logged, warned and in report), else the failure's
    // code (logged).
    int Run(const StaticWriteRequest& request, OperationReport& report);

    // The area rules on a flash of nFlashSize bytes, with the new record
    // nWriteOffset bytes into the area: the area as the search reads it
    // (whole sectors) and the sectors the write erases lie inside the
    // flash. Empty when they do, else the refusal.
    static QString AreaRefusal(const StaticWriteRequest& request, uint32_t nFlashSize, int32_t nWriteOffset = 0);
    // The span a write erases: whole sectors from the start rounded down
    // through the record's end (AreaEnd is past its last byte).
    static int64_t AreaStart(const StaticWriteRequest& request);
    static int64_t AreaEnd(const StaticWriteRequest& request, int32_t nWriteOffset);
    // On a write-protected flash the write opens only the upper half of a
    // flash of nFlashSize bytes (and puts the protection back after): an area
    // reaching below it cannot be written. Empty when it lies in that half.
    static QString ProtectedAreaRefusal(const StaticWriteRequest& request, uint32_t nFlashSize);

private:
    // The phases of Run: where the record goes, whether the area fits,
    // then erase, program and read back.
    int RunWrite(const StaticWriteRequest& request, uint32_t nFlashSize, OperationReport& record);
    // Where the new record goes (after the last one, or at the area's start);
    // a failed search returns its result and nothing is erased.
    int FindWriteOffset(const StaticWriteRequest& request, int32_t& nWriteOffset);
    int WriteRecord(const StaticWriteRequest& request, int32_t nEraseStart, int32_t nEraseLength, int32_t nWriteOffset);
    // Lifts the protection for the write: the status byte to put back, or a
    // negative value when there is none.
    int OpenProtection(int& rc);
    // Puts the status byte back and reads it back; false (and says so) when it does not hold.
    bool RestoreProtection(int nStatus);

    bool m_bAreaChanged = false;  // the write has begun to erase the area
};
