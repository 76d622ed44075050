// A progress bar on standard error, drawn only when it is a terminal.
//
// Log lines go to standard output, which is usually the same terminal: a line
// printed while the bar is drawn would land behind the bar's text. Every line
// is therefore printed through PrintLine, which erases the bar, prints the
// line and draws the bar again below it.
#pragma once

#include <QString>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

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
    // With pPhase ("erase", "program", "verify", "read") and nTotal, the
    // operation's byte count, the bar also shows the phase (in the run's
    // language), the bytes done and the rate.
    void Set(int nPercent, const char* pPhase = nullptr, int64_t nTotal = -1);
    // Ends the bar's line; the next Set starts a new bar. After a bar that
    // knew its byte count, one line "N bytes in T s (R KiB/s)" (in Chinese
    // "N 字节，用时 T s (R KiB/s)").
    void Done();
    // That line, for nBytes in dSeconds.
    static QString SummaryLine(int64_t nBytes, double dSeconds);
    // The name of a phase in the run's language; an unknown one as it is.
    static QString PhaseName(const std::string& strPhase);

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
    std::string m_strPhase;
    int64_t m_nTotal = -1;
    double m_dSeconds = -1;  // when the bar reached 100 %
    std::chrono::steady_clock::time_point m_start;
    double Seconds() const;
};
