#include "cliprogress.h"

#include <unistd.h>

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

void CliProgress::Set(int nPercent)
{
    if (!m_bShown || nPercent <= m_nLast || nPercent < 0 || nPercent > 100)
        return;
    m_nLast = nPercent;
    g_pActiveBar = this;
    Draw();
}

void CliProgress::Draw()
{
    const int nFilled = m_nLast * kWidth / 100;
    std::fprintf(m_pStream, "\r[%.*s%*s] %3d%%", nFilled, "########################################",
                 kWidth - nFilled, "", m_nLast);
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
    std::fflush(m_pStream);
    m_bDrawn = false;
    m_nLast = -1;
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
