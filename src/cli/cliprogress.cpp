#include "cliprogress.h"

#include <unistd.h>

#include <algorithm>

namespace {
// The bar being drawn, so that log lines can step around it; one terminal, one bar.
CliProgress* g_pActiveBar = nullptr;
constexpr int kWidth = 40;
}  // namespace

CliProgress::CliProgress(bool bWanted, std::FILE* pBarStream, int nTerminalFd)
    : m_pStream(pBarStream), m_bShown(bWanted && isatty(nTerminalFd))
{
}

CliProgress::~CliProgress()
{
    if (g_pActiveBar == this)
        g_pActiveBar = nullptr;
}

double CliProgress::Seconds() const
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
}

std::string CliProgress::SummaryLine(int64_t nBytes, double dSeconds)
{
    char line[96];
    const double dRate = dSeconds > 0 ? double(nBytes) / 1024.0 / dSeconds : 0.0;
    std::snprintf(line, sizeof line, "%lld bytes in %.2f s (%.1f KiB/s)", static_cast<long long>(nBytes), dSeconds,
                  dRate);
    return line;
}

void CliProgress::Set(int nPercent, const char* pPhase, int64_t nTotal)
{
    if (!m_bShown || nPercent < 0 || nPercent > 100)
        return;
    if (m_nLast < 0)
        m_start = std::chrono::steady_clock::now();
    const bool bPhase = pPhase && m_strPhase != pPhase;
    if (pPhase)
        m_strPhase = pPhase;
    if (nTotal > 0)
        m_nTotal = nTotal;
    if (nPercent <= m_nLast && !bPhase)
        return;
    m_nLast = std::max(m_nLast, nPercent);
    if (m_nLast == 100 && m_dSeconds < 0)
        m_dSeconds = Seconds();  // the work is done: the closing steps are not its time
    g_pActiveBar = this;
    Draw();
}

void CliProgress::Draw()
{
    const int nFilled = m_nLast * kWidth / 100;
    std::fprintf(m_pStream, "\r[%.*s%*s] %3d%%", nFilled, "########################################",
                 kWidth - nFilled, "", m_nLast);
    if (!m_strPhase.empty())
        std::fprintf(m_pStream, " %-7s", m_strPhase.c_str());
    if (m_nTotal > 0) {
        const int64_t nDone = m_nTotal * m_nLast / 100;
        const double dSeconds = Seconds();
        std::fprintf(m_pStream, " %lld/%lld bytes %.1f KiB/s", static_cast<long long>(nDone),
                     static_cast<long long>(m_nTotal), dSeconds > 0 ? double(nDone) / 1024.0 / dSeconds : 0.0);
    }
    std::fflush(m_pStream);
    m_bDrawn = true;
}

void CliProgress::Erase()
{
    // Carriage return, then erase to the end of the line (ECMA-48 EL).
    std::fputs("\r\033[K", m_pStream);
    std::fflush(m_pStream);
    m_bDrawn = false;
}

void CliProgress::Done()
{
    if (m_bShown && m_bDrawn)
        std::fputc('\n', m_pStream);
    if (m_bShown && m_nTotal > 0 && m_nLast >= 0)
        std::fprintf(m_pStream, "%s\n", SummaryLine(m_nTotal, m_dSeconds >= 0 ? m_dSeconds : Seconds()).c_str());
    std::fflush(m_pStream);
    m_bDrawn = false;
    m_nLast = -1;
    m_nTotal = -1;
    m_dSeconds = -1;
    m_strPhase.clear();
    if (g_pActiveBar == this)
        g_pActiveBar = nullptr;
}

void CliProgress::PrintLine(std::FILE* pOut, const char* pLine)
{
    CliProgress* pBar = g_pActiveBar;
    const bool bRedraw = pBar && pBar->m_bDrawn;
    if (bRedraw)
        pBar->Erase();
    std::fputs(pLine, pOut);
    std::fputc('\n', pOut);
    std::fflush(pOut);
    if (bRedraw)
        pBar->Draw();
}
