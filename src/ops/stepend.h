// kEndedAndReported: what a step of an operation returns when it has ended
// the operation itself, its line already logged and the report filled in (a
// range refused, a blank check that found data, a record not found). It is
// not a result: the chip and the files never give it, and the callers only
// check for it so that the ending is not reported a second time. Its value
// stays clear of every result code, so that it is never taken for one.
#pragma once

namespace xq {

enum StepEnd : int { kEndedAndReported = 2003 };

}  // namespace xq
