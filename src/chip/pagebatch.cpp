#include "pagebatch.h"

#include <algorithm>
#include <cstring>

// How it works: the page programs go to the adapter in batches, each program
// as write enable, a status poll, the program and write disable, then a wait
// on the adapter's side and a second status poll; the batch ends with a mode
// query. A batch costs one USB exchange instead of one per page. The wait is
// learned: it starts from what the link learned for single programs, doubles
// while the polls after it find the flash still busy, and grows a little
// after a batch whose polls did not all find it done. It shrinks only by
// probes: the last program of a batch, which no program follows in that
// batch, waits a step less; a probe whose poll finds the flash done makes
// that the wait and doubles the step, one that finds it busy halves the
// step (after the step of 1 µs failed, the probes rest for a while). A
// probe too short thus costs one more poll, never a batch of programs sent
// again.
//
// What keeps the bytes right: a flash that is busy ignores every command but
// the status read, the write enable too. The poll between a write enable and
// its program tells whether the program is taken: it is when that poll finds
// the flash done with the latch set (the latch can only have been set by that
// write enable, since a finished program clears it, and nothing reaches the
// flash between the poll and the program); found busy, the write enable was
// ignored, the latch stays clear until the program and the program is ignored
// too. Every program not taken is sent again in a later batch; the write
// disable after each program clears the latch whatever happened. A port found
// in mode 0 at the end of a batch (reset behind the link's back) took the
// batch's frames as its own (a page program reads as a write to the chip's
// memory there), not as flash commands: it is switched back to the batch's
// mode, the batch is sent again and the rest goes page by page, each program
// after a poll that asks the mode first, so that a port that resets again
// takes at most one frame. The verify afterwards reads every byte written.

namespace flash = xq::flash;

namespace {

constexpr size_t kBatch = 64;
constexpr size_t kFramesPerPage = 5;
constexpr size_t kLearningBatch = 4;
constexpr uint32_t kSlowStartUs = 50;
constexpr uint32_t kGrowUs = 10;
constexpr uint32_t kMaxProbeUs = 64;
constexpr uint32_t kProbeRestBatches = 16;
constexpr uint32_t kMaxIdleUs = 5000;  // above any page program time a datasheet gives

const uint8_t kWriteEnableCmd = flash::kWriteEnable;
const uint8_t kWriteDisableCmd = flash::kWriteDisable;
const uint8_t kReadStatusCmd = flash::kReadStatus;
const uint8_t kModeQueryCmd[5] = {xq::port::kModeQuery, 0, 0, 0, 0};

}  // namespace

BatchedPagePrograms::BatchedPagePrograms(ChipLink& link, const std::vector<PageWrite>& pages,
                                         const ProgressFn& progress)
    : m_link(link),
      m_pages(pages),
      m_progress(progress),
      m_pending(pages.size()),
      m_nTotal(pages.size()),
      m_nIdleUs(link.ProgramIdleUs()),
      m_nLinkMode(link.CurrentMode()),
      m_commands(kBatch * (4 + flash::kPageSize)),
      m_statuses(kBatch),
      m_latches(kBatch),
      m_frames(kFramesPerPage * kBatch + 1)
{
    for (size_t i = 0; i < m_pending.size(); ++i)
        m_pending[i] = pages.size() - 1 - i;
}

int BatchedPagePrograms::Run()
{
    while (!m_pending.empty()) {
        if (m_link.StopRequested())
            return xq::kErrStopped;
        const int r = OneByOne() ? ProgramNextAlone() : ProgramNextBatch();
        if (r != 0)
            return r;
        ReportDone();
    }
    return 0;
}

bool BatchedPagePrograms::OneByOne() const
{
    // The adapter cannot wait, or the flash does not show its latch (the
    // first program of a batch follows a flash known to be done, so its
    // poll must find the latch set), or the port reset once under a batch.
    return m_nIdleUs >= kMaxIdleUs || m_bNoLatch || m_bModeLostOnce;
}

int BatchedPagePrograms::ProgramNextAlone()
{
    const PageWrite& page = m_pages[m_pending.back()];
    const int r = m_link.SendCmdWE(flash::kPageProgram, page.nAddress, 3, page.pData, page.nLength);
    if (r != 0)
        return r;
    m_pending.pop_back();
    return 0;
}

int BatchedPagePrograms::ProgramNextBatch()
{
    TakeBatch();
    uint8_t nMode = 0;
    const int nFrames = BuildFrames(&nMode);
    const int r = m_link.Transfer(m_frames.data(), nFrames);
    if (r != 0)
        return r;
    const bool bModeLost = m_link.TakeModeQueryAnswer(nMode) == int(xq::port::kModeMemory);
    const int nBusy = RequeueNotTaken(bModeLost);
    const int rMode = LearnWait(bModeLost, nBusy);
    if (rMode != 0)
        return rMode;
    return SettleFlash(bModeLost);
}

void BatchedPagePrograms::TakeBatch()
{
    m_batch.clear();
    const size_t nWant = m_bSettled ? kBatch : kLearningBatch;
    while (m_batch.size() < nWant && !m_pending.empty()) {
        m_batch.push_back(m_pending.back());
        m_pending.pop_back();
    }
}

int BatchedPagePrograms::BuildFrames(uint8_t* pMode)
{
    for (size_t i = 0; i < m_batch.size(); ++i) {
        const PageWrite& page = m_pages[m_batch[i]];
        uint8_t* pCmd = m_commands.data() + i * (4 + flash::kPageSize);
        pCmd[0] = flash::kPageProgram;
        pCmd[1] = uint8_t(page.nAddress >> 16);
        pCmd[2] = uint8_t(page.nAddress >> 8);
        pCmd[3] = uint8_t(page.nAddress);
        std::memcpy(pCmd + 4, page.pData, size_t(page.nLength));
        SpiFrame* f = m_frames.data() + kFramesPerPage * i;
        f[0] = SpiFrame{&kWriteEnableCmd, 1, nullptr, 0, 0};
        f[1] = SpiFrame{&kReadStatusCmd, 1, &m_latches[i], 1, 0};
        f[2] = SpiFrame{pCmd, 4 + page.nLength, nullptr, 0, 0};
        f[3] = SpiFrame{&kWriteDisableCmd, 1, nullptr, 0, 0};
        f[4] = SpiFrame{&kReadStatusCmd, 1, &m_statuses[i], 1, m_nIdleUs};
    }
    if (Probing())
        m_frames[kFramesPerPage * m_batch.size() - 1].nIdleBeforeUs = m_nIdleUs - m_nProbeUs;
    const size_t nFrames = kFramesPerPage * m_batch.size();
    m_frames[nFrames] = SpiFrame{kModeQueryCmd, 5, pMode, 1, 0};
    return int(nFrames + 1);
}

int BatchedPagePrograms::RequeueNotTaken(bool bModeLost)
{
    const size_t nBefore = m_pending.size();
    int nBusy = 0;
    m_bNoLatch = !bModeLost && (m_latches[0] & flash::kStatusBusyOrWel) != flash::kStatusWel;
    for (size_t i = 0; i < m_batch.size(); ++i) {
        if (bModeLost || (m_latches[i] & flash::kStatusBusyOrWel) != flash::kStatusWel)
            m_pending.push_back(m_batch[i]);
        const bool bBusy = (m_statuses[i] & flash::kStatusBusy) != 0;
        if (i + 1 == m_batch.size() && Probing())
            m_bProbeBusy = bBusy;
        else
            nBusy += bBusy ? 1 : 0;
    }
    std::reverse(m_pending.begin() + long(nBefore), m_pending.end());  // next, in address order
    return nBusy;
}

int BatchedPagePrograms::LearnWait(bool bModeLost, int nBusy)
{
    if (bModeLost) {
        m_bModeLostOnce = true;
        if (m_link.SetMode(m_nLinkMode) != 0)
            return xq::kErrModeChange;
    } else if (nBusy > 0) {
        m_nIdleUs = std::min(kMaxIdleUs, m_bSettled ? m_nIdleUs + kGrowUs : 2 * m_nIdleUs + kSlowStartUs);
        m_nProbeUs = m_bSettled ? 1 : 0;
        m_nProbeRestBatches = 0;
    } else if (!m_bSettled) {
        m_bSettled = true;
        m_nProbeUs = 1;
    } else if (m_nProbeRestBatches > 0) {
        if (--m_nProbeRestBatches == 0)
            m_nProbeUs = 1;
    } else if (Probing() && !m_bProbeBusy) {
        m_nIdleUs -= m_nProbeUs;
        m_nProbeUs = std::min(kMaxProbeUs, 2 * m_nProbeUs);
    } else if (Probing()) {
        m_nProbeUs /= 2;
        if (m_nProbeUs == 0)
            m_nProbeRestBatches = kProbeRestBatches;
    }
    return 0;
}

bool BatchedPagePrograms::Probing() const
{
    return m_nProbeUs > 0 && m_nIdleUs > m_nProbeUs && m_batch.size() > 1;
}

int BatchedPagePrograms::SettleFlash(bool bModeLost)
{
    // The next batch starts on a flash known to be done.
    if (!bModeLost && !(m_statuses[m_batch.size() - 1] & flash::kStatusBusy))
        return 0;
    const bool bBusy = m_link.WaitReady(flash::kStatusBusy, m_link.BusyLimitMs(flash::kPageProgram));
    if (m_link.PollError() != 0 && m_link.PollError() != xq::kErrNotOpen)  // a poll not sent proves nothing
        return m_link.PollError();
    return bBusy ? xq::kErrFlashBusyTimeout : 0;
}

void BatchedPagePrograms::ReportDone()
{
    flashpieces::Report(m_progress, int64_t(m_nTotal - m_pending.size()) * 100 / int64_t(m_nTotal));
}
