// BatchedPagePrograms: one run of page programs sent to the adapter in
// batches, with the wait between a program and its status poll learned on
// the way (the safety argument is in pagebatch.cpp).
#pragma once

#include "chiplink.h"
#include "flashpieces.h"

#include <cstddef>
#include <cstdint>
#include <vector>

class BatchedPagePrograms {
public:
    BatchedPagePrograms(ChipLink& link, const std::vector<PageWrite>& pages, const ProgressFn& progress);

    int Run();

private:
    // Whether the pages go one at a time from here on.
    bool OneByOne() const;
    int ProgramNextAlone();
    int ProgramNextBatch();
    void TakeBatch();
    // The batch's frames, the mode query last; returns how many.
    int BuildFrames(uint8_t* pMode);
    // Puts back the programs the flash did not take; returns how many of
    // the polls after a program found the flash busy.
    int RequeueNotTaken(bool bModeLost);
    int LearnWait(bool bModeLost, int nBusy);
    bool Probing() const;
    int SettleFlash(bool bModeLost);
    void ReportDone();

    ChipLink& m_link;
    const std::vector<PageWrite>& m_pages;
    const ProgressFn& m_progress;
    std::vector<size_t> m_pending;  // taken from the back, in address order
    size_t m_nTotal;
    uint32_t m_nIdleUs;
    uint32_t m_nLinkMode;  // 1, or 2 for an encrypted image
    bool m_bSettled = false;
    // Once settled, the last program of each batch waits m_nProbeUs less
    // (none when 0): a poll after it that finds the flash busy costs one more
    // poll before the next batch, never a program not taken.
    uint32_t m_nProbeUs = 0;
    uint32_t m_nProbeRestBatches = 0;  // batches without a probe left
    bool m_bProbeBusy = false;
    bool m_bNoLatch = false;
    bool m_bModeLostOnce = false;

    std::vector<uint8_t> m_commands;
    std::vector<uint8_t> m_statuses;
    std::vector<uint8_t> m_latches;  // the polls between write enable and program
    std::vector<SpiFrame> m_frames;
    std::vector<size_t> m_batch;
};
