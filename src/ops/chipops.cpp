#include "chipops.h"

#include <commontexts.h>
#include <deviceinfo.h>
#include <spiflashctrl.h>

int Reset::Run(OperationReport& report)
{
    const int nResult = m_ctrl.SoftReset(false);
    report.strOperation = "reset";
    report.SetResult(nResult == 0, nResult, nResult == 0 ? xq::ResetDoneText() : xq::ResetFailedText(nResult));
    m_observer.Log(report.strMessage);
    return nResult;
}

int Info::Run(OperationReport& report, const std::function<void(const QString&)>& show)
{
    uint32_t nId = 0;
    m_ctrl.ReadChipId(&nId);  // a failed read leaves 0: shown as no model
    FlashInfo info;
    const int rc = m_ctrl.ReadFlashInfo(&info);
    const bool bInfo = rc == 0;
    report.strChip = ChipModelName(nId, info.nTotalSize, bInfo);
    show(QString("MCU: %1\n").arg(report.strChip));
    if (bInfo) {
        DescribeFlash(info, report);
        show(FlashInfoText(info).replace("\n\n", "\n") + "\n");
        report.SetResult(true, rc, QString());
    } else {
        report.SetResult(false, rc, xq::FlashInfoFailedText());
        m_observer.Log(report.strMessage);
    }
    return rc;
}
