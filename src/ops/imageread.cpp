// The flash read into a file, with the chip's serial number when asked.
#include "imageops.h"
#include "session.h"

#include <deviceinfo.h>
#include <flashrules.h>
#include <outputfile.h>
#include <requestmarkers.h>
#include <results.h>
#include <spiflashctrl.h>

int ImageRead::Run(const ImageReadRequest& request, OperationReport& record)
{
    record.strOperation = "read";
    record.strFile = request.strSaveFile;
    record.nStart = request.nStart;
    const int rc = RunRead(request, record);
    // A read changes nothing on the chip; the stop's line says so (the file is not saved).
    if (rc == xq::kErrStopped)
        Log(xq::StopLines(xq::StopEnding(xq::kStopBeforeChange)));
    const bool bOk = rc == 0;
    if (record.eResult != OperationReport::kResultRefused)
        record.SetResult(bOk, rc, bOk || !record.strMessage.isEmpty() ? record.strMessage : xq::ResultText(rc, m_ctrl.AdapterErrorText()));
    return rc;
}

int ImageRead::RunRead(const ImageReadRequest& request, OperationReport& record)
{
    SpiFlashCtrl& ctrl = m_ctrl;
    const int32_t nStartAddr = request.nStart;
    Log(tr("开始读取Flash"));
    Progress(1);

    int32_t nLength = request.nLength;
    Session session(m_ctrl, m_observer);
    const FlashFound found = session.Identify(record);
    const int nInfo = found.nResult;
    if (nInfo != 0 && nInfo != xq::kErrFlashBusyAtStart) {
        // No flash answers behind the chip, or the adapter failed: reading
        // would save a file of zeros and call it a success.
        record.strMessage = NoFlashAnswerText();
        Log(record.strMessage);
        ReportError(nInfo);
        return nInfo;
    }
    if (nLength == xq::kWholeChip) {
        // Whole chip: from the start address to the end of the flash.
        if (!found.SizeKnown()) {
            record.strMessage = tr("Flash 信息读取失败，无法确定整片读取的长度");
            Log(record.strMessage);
            return xq::kErrBadArgument;
        }
        nLength = int32_t(qMax<int64_t>(int64_t(found.Size()) - nStartAddr, 0));
    }
    record.nSize = nLength;
    if (const int rc = session.CheckRange(nStartAddr, nLength, found.Size(), record); rc != xq::kOk)
        return rc;
    if (nLength <= 0 || nStartAddr < 0) {
        record.Refuse(xq::kErrBadArgument, tr("读取范围无效: 起始地址 0x%1, 长度 %2").arg(nStartAddr, 0, 16).arg(nLength));
        Log(record.strMessage);
        return xq::kErrBadArgument;
    }

    QByteArray data(nLength, '\0');
    int rc = ctrl.ReadFlashData(reinterpret_cast<uint8_t*>(data.data()), nLength, nStartAddr,
                                [&](int p) { Progress(95 * p / 100 + 1); });
    if (rc == 0) {
        Progress(96);
        Log(tr("完成读取Flash，准备存储成文件"));
        // A regular file is replaced only when complete (a failed save never
        // destroys an earlier file); a pipe or a device is written in place.
        QString strError;
        if (!xq::SaveOutput(request.strSaveFile, data, strError)) {
            Log(strError);
            rc = xq::kErrFileAccess;
        } else {
            Progress(100);
            Log(tr("文件存储成功"));
            record.SetData(data);
        }
    }
    if (rc == 0 && request.bSerial) {
        uint8_t serial[kSerialLength] = {};
        rc = ctrl.ReadSecurity(serial, kSerialLength, kSerialOffset);
        if (rc == 0) {
            record.bSerial = true;
            record.nSerial = (uint32_t(serial[12]) << 24) | (uint32_t(serial[13]) << 16) |
                             (uint32_t(serial[14]) << 8) | serial[15];
            m_observer.SerialShown(record.nSerial);
            Log(SeqLine(tr("当前序列号:"), record.nSerial));
        }
    }
    if (rc == 0)
        record.strMessage = tr("文件存储成功");
    ReportError(rc);
    return rc;
}
