// The lines the window, xqprog and the operations all say: one home each,
// so that the two front ends never drift apart in their words.
#pragma once

#include <QString>

#include <cstdint>

namespace xq {

// "成功" or "失败": how a step or an operation ended, inside a log line.
QString SucceededWord(bool bOk);
// "未执行": an operation refused before it ran.
QString NotRunWord();
// An image about to be written.
QString PrepareWriteLine(const QString& strImage);
// The serial number the counter gives next.
QString NextSerialLine(uint64_t nNext);
// The result panel's large verdict, the same words as a short mark
// ("PASS", "FAIL" and "Not run" in English).
QString VerdictWord(bool bPassed);
QString VerdictNotRunWord();
// A trace row that could not be written, with the reason.
QString TraceRowLostLine(const QString& strError);
// The adapter did not open.
QString InterfaceNotOpenText();
// The adapter did not close cleanly (a simulated bench that could not save its chip).
QString InterfaceCloseFailedLine(const QString& strWhy);
QString ResetDoneText();
QString ResetFailedText(int nResult);
// The flash did not identify itself.
QString FlashInfoFailedText();
QString EraseDoneText();
// The tooltip of a start address box.
QString StartAddressHint();

}  // namespace xq
