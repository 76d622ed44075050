#include "baseworker.h"

#include <operationkind.h>
#include <results.h>
#include <serialstamp.h>
#include <spiflashctrl.h>

BaseWorker::BaseWorker(QObject* pParent) : QObject(pParent)
{
    qRegisterMetaType<ImageWriteRequest>();
    qRegisterMetaType<ImageReadRequest>();
    qRegisterMetaType<ImageVerifyRequest>();
    qRegisterMetaType<OperationReport>();
}

bool BaseWorker::StopRequested()
{
    return pSpiCtrl && pSpiCtrl->StopRequested();
}

void BaseWorker::OnWrite(const ImageWriteRequest& request)
{
    ImageWrite operation(*pSpiCtrl, *this);
    operation.takeSerial = takeSerial;
    OperationReport record;
    const int rc = RunWriteWithSerials(operation, request, record, pSerials, strSerialAdapter, QString(),
                                       [this](const QString& strLine) { Log(strLine); });
    emit report(record);
    emit finish(OptOf(OperationKind::kWrite), rc == 0);
}

void BaseWorker::OnRead(const ImageReadRequest& request)
{
    OperationReport record;
    const int rc = ImageRead(*pSpiCtrl, *this).Run(request, record);
    emit report(record);
    emit finish(OptOf(OperationKind::kRead), rc == 0);
}

void BaseWorker::OnVerify(const ImageVerifyRequest& request)
{
    OperationReport record;
    const int rc = ImageVerify(*pSpiCtrl, *this).Run(request, record);
    emit report(record);
    emit finish(OptOf(OperationKind::kVerify), rc == 0);
}
