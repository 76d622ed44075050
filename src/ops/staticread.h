// The static read: finds the record in its flash area and hands it over,
// when it has the used length of the layout it is to be shown in.
#pragma once

#include "staticoperation.h"
#include "stepend.h"

#include <operationreport.h>
#include <staticrecord.h>
#include <staticrequest.h>

#include <functional>

class StaticRead : public StaticOperation {
    Q_DECLARE_TR_FUNCTIONS(StaticRead)

public:
    using StaticOperation::StaticOperation;

    // Called when the area holds no record, before that is logged.
    std::function<void()> onNotFound;
    // Receives the record found (header and data, valid during the call)
    // before its length is checked against the layout's.
    std::function<void(const static_data_hdr*)> onRecord;

    // Runs the read and fills report with what it did. 0 when a record of
    // the layout's length was found (report holds its bytes);
    // kEndedAndReported when the area was refused, no record was found
    // or it does not fit the layout (the line logged and in report), else
    // the failure's code (logged).
    int Run(const StaticReadRequest& request, OperationReport& report);
};
