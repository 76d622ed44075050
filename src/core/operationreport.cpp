#include "operationreport.h"

#include <QCryptographicHash>
#include <QJsonValue>

void OperationReport::SetResult(bool bOk, int nResultCode, const QString& strLine)
{
    eResult = bOk ? kResultOk : kResultFailed;
    nCode = nResultCode;
    strMessage = strLine;
}

void OperationReport::Refuse(int nResultCode, const QString& strLine)
{
    eResult = kResultRefused;
    nCode = nResultCode;
    strMessage = strLine;
}

void OperationReport::SetData(const QByteArray& data)
{
    sha256 = QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex();
}

QString OperationReport::ResultName() const
{
    switch (eResult) {
    case kResultOk: return "ok";
    case kResultRefused: return "refused";
    case kResultFailed: break;
    }
    return "failed";
}

namespace {

QJsonValue Text(const QString& strText)
{
    return strText.isEmpty() ? QJsonValue() : QJsonValue(strText);
}

QJsonValue Number(int64_t nValue)
{
    return nValue < 0 ? QJsonValue() : QJsonValue(double(nValue));
}

}  // namespace

QJsonObject OperationReport::ToJson() const
{
    QJsonObject json{
        {"interface", strInterface}, {"operation", strOperation}, {"result", ResultName()},
        {"code", nCode},             {"message", strMessage},     {"seconds", qRound(dSeconds * 1000) / 1000.0},
    };
    const bool bWrite = strOperation == "write" || strOperation == "erase" || strOperation == "static write";
    const bool bRead = strOperation == "read" || strOperation == "static read";
    const bool bCompare = strOperation == "verify" || strOperation == "blank";
    if (bWrite) {
        json["image"] = Text(strOperation == "static write" ? strFile : strImage);
        json["serial"] = bSerial ? QJsonValue(double(nSerial)) : QJsonValue();
        if (bSerialUnconfirmed)
            json["serial_confirmed"] = false;
    }
    if (bRead) {
        json["file"] = Text(strFile);
        if (strOperation == "read")
            json["serial"] = bSerial ? QJsonValue(double(nSerial)) : QJsonValue();
    }
    if (bCompare) {
        if (strOperation == "verify")
            json["image"] = Text(strImage);
        json["first_difference"] = Number(nFirstDifference);
        json["differences"] = Number(nDifferences);
    }
    if (bWrite || bRead || bCompare) {
        json["sha256"] = Text(QString::fromLatin1(sha256));
        json["start"] = Number(nStart);
        json["size"] = Number(nSize);
    }
    if (strOperation == "info") {
        json["chip"] = Text(strChip);
        json["flash_size"] = Number(nFlashSize == 0 ? -1 : int64_t(nFlashSize));
    }
    if (strOperation != "reset") {
        json["jedec"] = Text(strJedec);
        json["uid"] = Text(strUid);
    }
    if (!strJob.isEmpty()) {
        json["job"] = strJob;
        json["job_sha256"] = QString::fromLatin1(jobSha256);
    }
    return json;
}

QString AddressText(int64_t nAddress)
{
    return QString::asprintf("0x%06llX", static_cast<unsigned long long>(nAddress));
}

QString JedecText(uint8_t nManufacturer, uint8_t nMemoryType, uint8_t nCapacity)
{
    return QString::asprintf("%02X%02X%02X", nManufacturer, nMemoryType, nCapacity);
}

QString UniqueIdText(const uint32_t uniqueId[4])
{
    return QString::asprintf("%08X%08X%08X%08X", uniqueId[0], uniqueId[1], uniqueId[2], uniqueId[3]);
}
