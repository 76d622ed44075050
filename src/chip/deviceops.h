// DeviceOps: operations on the chip itself rather than its flash: the
// identification word, the soft reset that brings the link back to a known
// mode, the flash mode entry and the clearing of the chip's registers
// before an image write.
#pragma once

#include "chiplink.h"

#include <cstdint>

#include "chipmodels.h"

class DeviceOps {
public:
    // SoftReset tries to get the link into mode 1 this many times before it
    // sends the mode-set frame blind.
    static constexpr int kResetRetries = 10;

    explicit DeviceOps(ChipLink& link) : m_link(link) {}

    // Reads the identification word into *pId (0 when the read failed):
    // kOk, kErrNotOpen (link closed, *pId untouched), kErrBadArgument (null
    // pId) or the memory read's own failure code.
    int ReadChipId(uint32_t* pId);
    int SoftReset(bool bEnableQuad);
    void EnterFlashMode();
    int ClearChipRegisters();

private:
    int ReadIdWord(uint32_t* pId);

    ChipLink& m_link;
};
