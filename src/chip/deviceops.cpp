#include "deviceops.h"

#include "chipdefs.h"

namespace flash = xq::flash;
namespace port = xq::port;
namespace reg = xq::reg;
using xq::LoadLe32;

uint32_t DeviceOps::ReadIdWord()
{
    m_link.SetMode(port::kModeMemory);
    uint8_t word[4] = {0, 0, 0, 0};
    m_link.MemRead(word, 4, reg::kChipId);
    m_link.WaitReady(flash::kStatusBusy);
    return LoadLe32(word);
}

int DeviceOps::ReadChipId()
{
    if (!m_link.IsOpen())
        return xq::kErrNotOpen;
    return int(ReadIdWord());
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
        return xq::kErrBadArgument;
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
        return xq::kErrBadArgument;
    const uint32_t nId = ReadIdWord();
    uint32_t nFirst;
    uint32_t nSecond;
    if (nId == kChipIdXq6030) {
        nFirst = reg::kXq6030First;
        nSecond = reg::kXq6030Second;
    } else if (nId == kChipIdXq6230) {
        nFirst = reg::kXq6230First;
        nSecond = reg::kXq6230Second;
    } else {
        return xq::kErrBadArgument;
    }
    const uint8_t zero[4] = {0, 0, 0, 0};
    int r = m_link.MemWrite(nFirst, zero, 4);
    if (r == 0)
        r = m_link.MemWrite(nSecond, zero, 4);
    return r;
}
