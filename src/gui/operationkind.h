// The operations whose end the tabs and their workers report: the nOpt of
// finish(int nOpt, bool bState) is one of these, as the int the window's
// protocol fixes (0 read, 1 write, 2 reset; 3 a verify or blank check). A
// kind is not a result: results travel in the operations' reports.
#pragma once

enum class OperationKind : int {
    kRead = 0,
    kWrite = 1,
    kReset = 2,
    kVerify = 3  // a verify against an image, or a blank check
};

// The nOpt that finish carries for a kind.
constexpr int OptOf(OperationKind eKind)
{
    return static_cast<int>(eKind);
}

// The kind of a finish's nOpt; false for a code that names none (the window
// then unchecks no action).
constexpr bool KindOf(int nOpt, OperationKind& eKind)
{
    if (nOpt < OptOf(OperationKind::kRead) || nOpt > OptOf(OperationKind::kVerify))
        return false;
    eKind = static_cast<OperationKind>(nOpt);
    return true;
}
