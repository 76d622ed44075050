// How a run of a production job starts and ends, one way for the window and
// xqprog: the job read and checked whole (its image and workbook against
// the SHA-256 the job names, its ranges on every flash of the family), the
// source of its serial numbers made ready before any adapter opens, its
// steps run on each open adapter, and the next free number, said only when
// no run was stopped.
#pragma once

#include "jobfile.h"
#include "jobrun.h"
#include "serialcounter.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <cstdint>

class SerialSource;
class SpiFlashCtrl;

class JobStart {
public:
    // Reads and checks the job at strPath; false with the reason. With
    // pOpened (the job file's SHA-256 when it was opened and shown), the file
    // must still hold those bytes.
    bool Load(const QString& strPath, QString& strError, const QByteArray* pOpened = nullptr);
    const JobPlan& Plan() const { return m_plan; }
    // Makes the serial numbers of nChips chips ready, when the job stamps
    // them: pGiven (a line database's counter given for the run) stands in
    // for the job's counter file; without it the counter file is locked and
    // checked for nChips numbers (created at the job's first number when
    // missing). False with the reason; nothing is taken yet.
    bool PrepareSerials(SerialSource* pGiven, int nChips, QString& strError);
    // Where the run's serial numbers come from; null when it stamps none.
    SerialSource* Serials() const { return m_pSerials; }
    // Runs the job's steps on an open adapter (RunJobSteps); true when every
    // step succeeded. Several adapters may run it at once.
    bool Run(SpiFlashCtrl& ctrl, const JobSink& sink);
    // Whether a step of a run ended stopped on request.
    bool Stopped() const { return m_bStopped; }
    // The next free number to say once the runs are done; -1 when the job
    // stamps none, the source does not know, or a run was stopped (its lines
    // say what the stop left and stay the last).
    int64_t NextSerial() const;

private:
    JobPlan m_plan;
    SerialCounter m_counter;
    SerialSource* m_pSerials = nullptr;
    std::atomic<bool> m_bStopped{false};
};
