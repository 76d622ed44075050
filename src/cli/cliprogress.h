// A progress bar on standard error, drawn only when it is a terminal.
//
// Log lines go to standard output, which is usually the same terminal: a line
// printed while the bar is drawn would land behind the bar's text. Every line
// is therefore printed through PrintLine, which erases the bar, prints the
// line and draws the bar again below it.
#pragma once

#include <cstdio>

class CliProgress {
public:
    // bWanted: the caller wants a bar at all (not quiet, one adapter).
    // pBarStream and bTerminal exist for tests; by default the bar goes to
    // standard error when that is a terminal.
    explicit CliProgress(bool bWanted, std::FILE* pBarStream = stderr, int nTerminalFd = 2);
    ~CliProgress();
    CliProgress(const CliProgress&) = delete;
    CliProgress& operator=(const CliProgress&) = delete;

    // Moves the bar to nPercent; it never moves backwards within one operation.
    void Set(int nPercent);
    // Ends the bar's line; the next Set starts a new bar.
    void Done();

    // Prints one line (without its newline) on pOut and flushes it, keeping the
    // bar that is drawn, if any, intact below it.
    static void PrintLine(std::FILE* pOut, const char* pLine);

private:
    void Draw();
    void Erase();

    std::FILE* m_pStream;
    bool m_bShown;
    bool m_bDrawn = false;
    int m_nLast = -1;
};
