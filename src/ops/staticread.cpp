#include "staticread.h"
#include "session.h"

#include <deviceinfo.h>
#include <requestmarkers.h>
#include <results.h>
#include <spiflashctrl.h>

#include <vector>

int StaticRead::Run(const StaticReadRequest& request, OperationReport& record)
{
    record.strOperation = "static read";
    record.nStart = request.nStart;
    record.nSize = request.nTotal;
    m_observer.Log(SearchingLine());
    m_observer.Progress(10);
    Session session(m_ctrl, m_observer);
    const FlashFound found = session.Identify(record);
    if (const int rc = session.CheckRange(request.nStart, SearchedLength(request.nTotal), found.Size(), record);
        rc != xq::kOk)
        return rc;
    const int nCapacity = qMax(request.nTotal, 0) + kStaticHeaderSize;
    std::vector<uint8_t> buffer(size_t(nCapacity), 0);
    int32_t nOffset = 0;
    const int rc = m_ctrl.SearchHeader(request.nStart, request.nTotal, &nOffset, buffer.data(), nCapacity);
    const auto* pFound = reinterpret_cast<const static_data_hdr*>(buffer.data());
    int nResult = xq::kEndedAndReported;
    if (rc != 0) {
        record.SetResult(false, rc, xq::ResultText(rc, m_ctrl.AdapterErrorText()));
        m_observer.Log(record.strMessage);
        nResult = rc;
    } else if (nOffset == xq::kNotFound) {
        m_observer.Progress(40);
        if (onNotFound)
            onNotFound();
        record.SetResult(false, rc, NotFoundLine());
        m_observer.Log(record.strMessage);
        m_observer.Progress(80);
    } else {
        m_observer.Log(tr("找到静态数据标识 %1").arg(nOffset));
        m_observer.Progress(40);
        if (request.nLayoutLength <= 0) {
            // Nothing to show the values in: the read has not delivered them.
            record.SetResult(false, rc, tr("未导入配置，无法显示数据"));
            m_observer.Log(record.strMessage);
        } else {
            if (onRecord)
                onRecord(pFound);
            // A record too long to be copied leaves the buffer zero, so its
            // used length differs from the layout's as well.
            if (pFound->nUsedLength != uint32_t(request.nLayoutLength)) {
                record.SetResult(false, rc, tr("显示数据异常，请查看导入配置是否正确"));
                m_observer.Log(record.strMessage);
            } else {
                const int nRecord = kStaticHeaderSize + request.nLayoutLength;
                if (nRecord <= nCapacity)
                    record.SetData(QByteArray(reinterpret_cast<const char*>(buffer.data()), nRecord));
                record.SetResult(true, rc, tr("刷新当前数据"));
                m_observer.Log(record.strMessage);
                nResult = xq::kOk;
            }
        }
        m_observer.Progress(80);
    }
    m_observer.Progress(100);
    return nResult;
}
