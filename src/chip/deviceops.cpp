#include "deviceops.h"

#include "chipdefs.h"

namespace flash = xq::flash;
namespace port = xq::port;
namespace reg = xq::reg;
using xq::LoadLe32;

int DeviceOps::ReadIdWord(uint32_t* pId)
{
    m_link.SetMode(port::kModeMemory);
    uint8_t word[4] = {0, 0, 0, 0};
    const int r = m_link.MemRead(word, 4, reg::kChipId);
    // Back to mode 1 whatever the read gave.
    m_link.WaitReady(flash::kStatusBusy);
    *pId = r == 0 ? LoadLe32(word) : 0;
    return r;
}

int DeviceOps::ReadChipId(uint32_t* pId)
{
    if (!pId)
        return xq::kErrBadArgument;
    if (!m_link.IsOpen())
        return xq::kErrNotOpen;
    return ReadIdWord(pId);
}

int DeviceOps::SoftReset(bool bEnableQuad)
{
    if (!m_link.IsOpen())
        return xq::kErrNotOpen;
    m_link.SendLinkReset();
    if (m_link.SetMode(port::kModeFlash) < 0)
        return xq::kErrModeChange;
    for (int nRetry = 1; m_link.ReadMode() != int(port::kModeFlash); ++nRetry) {
        m_link.SendLinkReset();
        m_link.SetMode(port::kModeFlash);
        if (nRetry == kResetRetries) {
            m_link.ReadMode();
            m_link.SendModeSet(port::kModeFlash);
            m_link.SendModeSet(port::kModeFlash);
            break;
        }
    }
    if (m_link.WaitReady(flash::kStatusBusy))
        return xq::kErrFlashBusyAtStart;
    uint8_t jedec[4] = {0, 0, 0, 0};
    if (m_link.SendCmdRead(jedec, 3, flash::kJedecId, 0, 0) != 0 || LoadLe32(jedec) == 0)
        return xq::kErrNoFlashAnswer;
    if (bEnableQuad) {
        m_link.WaitReady(flash::kStatusBusy);
        uint8_t nStatus2 = 0;
        m_link.SendCmdRead(&nStatus2, 1, flash::kReadStatus2, 0, 0);
        if (!(nStatus2 & flash::kStatus2QuadEnable)) {
            const uint8_t nValue = nStatus2 | flash::kStatus2QuadEnable;
            m_link.SendCmdWE(flash::kWriteStatus2, 0, 0, &nValue, 1);
        }
    }
    m_link.SetMode(port::kModeMemory);
    m_link.SendControl();
    m_link.SendLinkReset();
    return xq::kOk;
}

void DeviceOps::EnterFlashMode()
{
    m_link.SendControl();
    m_link.SendModeSet(port::kModeFlash);
}

int DeviceOps::ClearChipRegisters()
{
    if (!m_link.IsOpen())
        return xq::kErrClosedClearingRegisters;
    uint32_t nId = 0;
    ReadIdWord(&nId);  // a failed read gives 0, which no model has
    const ChipModelRow* pModel = FindChipModel(nId);
    if (!pModel)
        return xq::kErrUnknownChip;
    const uint8_t zero[4] = {0, 0, 0, 0};
    int r = m_link.MemWrite(pModel->clearRegisters[0], zero, 4);
    if (r == 0)
        r = m_link.MemWrite(pModel->clearRegisters[1], zero, 4);
    return r;
}
