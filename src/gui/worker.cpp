#include "worker.h"

#include <operationkind.h>
#include <results.h>
#include <spiflashctrl.h>
#include <staticread.h>
#include <staticwrite.h>

#include <QThread>

Worker::Worker(QObject* pParent) : QObject(pParent)
{
    qRegisterMetaType<StaticWriteRequest>();
    qRegisterMetaType<StaticReadRequest>();
    qRegisterMetaType<OperationReport>();
}

void Worker::OnWrite(const StaticWriteRequest& request)
{
    StaticWrite write(*pSpiCtrl, *this);
    OperationReport record;
    const int rc = write.Run(request, record);
    emit report(record);
    emit finish(OptOf(OperationKind::kWrite), rc == xq::kOk);
}

void Worker::OnRead(const StaticReadRequest& request)
{
    StaticRead read(*pSpiCtrl, *this);
    const int nPauseMs = nNotFoundPauseMs;
    if (nPauseMs > 0)
        read.onNotFound = [nPauseMs] { QThread::msleep(ulong(nPauseMs)); };
    read.onRecord = [this](const static_data_hdr* pFound) { emit send(pFound); };
    OperationReport record;
    const int rc = read.Run(request, record);
    emit report(record);
    emit finish(OptOf(OperationKind::kRead), rc == xq::kOk);
}

void Worker::Log(const QString& strLine)
{
    // One log signal per line, so each line gets its own time stamp.
    for (const QString& strPart : strLine.split('\n'))
        emit log(strPart);
}

void Worker::Progress(int nPercent)
{
    emit progress(nPercent);
}

bool Worker::StopRequested()
{
    return pSpiCtrl && pSpiCtrl->StopRequested();
}

void Worker::Warning(const QString& strText)
{
    emit warning(strText);
}
