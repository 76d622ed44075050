// Runs a checked job on one open adapter: the steps one after another
// through the very workers the tabs and xqprog use. The window and xqprog
// both call it, so a job runs the same way in either.
#pragma once

#include "jobfile.h"

#include <operationreport.h>

#include <QString>

#include <functional>

class SerialCounter;
class SerialSource;
class SpiFlashCtrl;

struct JobSink {
    std::function<void(const QString&)> log;
    std::function<void(int)> progress;
    // Each step's report as the step ends, carrying the job's name and the
    // job file's SHA-256.
    std::function<void(const OperationReport&)> report;
};

// Tags a report as one of the job's.
void TagJobReport(OperationReport& report, const JobPlan& plan);

// The image write (serial numbers taken from pSerials at the moment of
// stamping, when the job stamps them), then the static data write, then
// the verify that only reads the image back. Stops
// at the first step that fails; true when every step succeeded. The
// controller is open and stays so.
bool RunJobSteps(SpiFlashCtrl& ctrl, const JobPlan& plan, SerialSource* pSerials, const JobSink& sink);
