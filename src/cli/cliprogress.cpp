#include "cliprogress.h"

#include <cstdio>
#include <unistd.h>

CliProgress::CliProgress(bool bWanted) : m_bShown(bWanted && isatty(STDERR_FILENO)) {}

void CliProgress::Set(int nPercent)
{
    if (!m_bShown || nPercent == m_nLast || nPercent < 0 || nPercent > 100)
        return;
    m_nLast = nPercent;
    constexpr int kWidth = 40;
    const int nFilled = nPercent * kWidth / 100;
    std::fprintf(stderr, "\r[%.*s%*s] %3d%%", nFilled, "########################################", kWidth - nFilled, "",
                 nPercent);
    std::fflush(stderr);
}

void CliProgress::Done()
{
    if (m_bShown && m_nLast >= 0)
        std::fputc('\n', stderr);
}
