// DeviceOps: operations on the chip itself rather than its flash: the
// identification word, the soft reset that brings the link back to a known
// mode, the flash mode entry and the clearing of the chip's registers
// before an image write.
#pragma once

#include "chiplink.h"

#include <cstdint>

// Chip identification words.
constexpr uint32_t kChipIdXq6230 = 0x58516230;
constexpr uint32_t kChipIdXq6030 = 0xABCD0001;  // XQ6130 when the flash is below 1 MiB

class DeviceOps {
public:
    // SoftReset tries to get the link into mode 1 this many times before it
    // sends the mode-set frame blind.
    static constexpr int kResetRetries = 10;

    explicit DeviceOps(ChipLink& link) : m_link(link) {}

    // The identification word (an int of the raw word), or kErrNotOpen.
    int ReadChipId();
    int SoftReset(bool bEnableQuad);
    void EnterFlashMode();
    int ClearChipRegisters();

private:
    uint32_t ReadIdWord();

    ChipLink& m_link;
};
