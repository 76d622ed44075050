#include "serialstamp.h"

int RunWriteWithSerials(ImageWrite& write, const ImageWriteRequest& request, OperationReport& report,
                        SerialSource* pSource, const QString& strAdapter, const QString& strJob,
                        const std::function<void(const QString&)>& log)
{
    if (!pSource)
        return write.Run(request, report);
    bool bTaken = false;
    uint32_t nTaken = 0;
    write.takeSerial = [&](uint32_t& nSerial) {
        const SerialTakeInfo info{strAdapter, report.strUid, strJob, report.sha256};
        QString strError;
        if (!pSource->Take(info, nSerial, strError)) {
            if (log)
                log(strError);
            return false;
        }
        bTaken = true;
        nTaken = nSerial;
        return true;
    };
    const int rc = write.Run(request, report);
    if (bTaken) {
        // A stamp whose read-back failed may or may not be on the chip: it is
        // settled as not confirmed, with that reason, never as plainly stamped.
        const bool bStamped = report.bSerial && report.nSerial == nTaken && !report.bSerialUnconfirmed;
        const QString strReason = bStamped ? QString()
                                  : report.bSerialUnconfirmed ? ImageWrite::SerialUnconfirmedText(nTaken)
                                                              : report.strMessage;
        pSource->Settle(nTaken, bStamped, strReason, report.strUid);
    }
    return rc;
}
