#include "cliprogress.h"

#include <textrules.h>

#include <QCoreApplication>

#include <unistd.h>

#include <algorithm>

namespace {
// The bar being drawn, so that log lines can step around it; one terminal, one bar.
CliProgress* g_pActiveBar = nullptr;
constexpr int kWidth = 40;
// A bar followed by the phase, the bytes and the rate is shorter, so that
// the whole line fits an 80-column terminal even for a 16 MiB flash: a line
// that wraps is drawn again below itself at every step.
constexpr int kDetailedWidth = 20;
constexpr int kPhaseWidth = 7;  // the columns of the longest phase name
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

QString CliProgress::SummaryLine(int64_t nBytes, double dSeconds)
{
    const double dRate = dSeconds > 0 ? double(nBytes) / 1024.0 / dSeconds : 0.0;
    return QCoreApplication::translate("xqprog", "%1 字节，用时 %2 s (%3 KiB/s)")
        .arg(nBytes)
        .arg(dSeconds, 0, 'f', 2)
        .arg(dRate, 0, 'f', 1);
}

QString CliProgress::PhaseName(const std::string& strPhase)
{
    if (strPhase == "erase")
        return QCoreApplication::translate("xqprog", "擦除", "progress phase");
    if (strPhase == "program")
        return QCoreApplication::translate("xqprog", "编程", "progress phase");
    if (strPhase == "verify")
        return QCoreApplication::translate("xqprog", "校验", "progress phase");
    if (strPhase == "read")
        return QCoreApplication::translate("xqprog", "读取", "progress phase");
    return QString::fromStdString(strPhase);
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
    const int nWidth = m_nTotal > 0 ? kDetailedWidth : kWidth;
    const int nFilled = m_nLast * nWidth / 100;
    QString strLine = QString("\r[%1%2] %3%").arg(QString(nFilled, '#'), QString(nWidth - nFilled, ' ')).arg(m_nLast, 3);
    if (!m_strPhase.empty())
        strLine += " " + xq::PadToWidth(PhaseName(m_strPhase), kPhaseWidth);
    if (m_nTotal > 0) {
        const int64_t nDone = m_nTotal * m_nLast / 100;
        const double dSeconds = Seconds();
        strLine += " " + QCoreApplication::translate("xqprog", "%1/%2 字节 %3 KiB/s")
                             .arg(nDone)
                             .arg(m_nTotal)
                             .arg(dSeconds > 0 ? double(nDone) / 1024.0 / dSeconds : 0.0, 0, 'f', 1);
    }
    std::fputs(strLine.toUtf8().constData(), m_pStream);
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
        std::fprintf(m_pStream, "%s\n",
                     SummaryLine(m_nTotal, m_dSeconds >= 0 ? m_dSeconds : Seconds()).toUtf8().constData());
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
