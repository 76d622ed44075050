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
        const bool bStamped = report.bSerial && report.nSerial == nTaken;
        pSource->Settle(nTaken, bStamped, bStamped ? QString() : report.strMessage, report.strUid);
    }
    return rc;
}
