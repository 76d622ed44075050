// A progress bar on standard error, drawn only when it is a terminal.
#pragma once

class CliProgress {
public:
    explicit CliProgress(bool bWanted);
    void Set(int nPercent);
    void Done();

private:
    bool m_bShown;
    int m_nLast = -1;
};
