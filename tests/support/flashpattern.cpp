#include "flashpattern.h"
#include "testfiles.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTest>

#include <algorithm>

const QByteArray& FlashPattern::Fill(const QString& strFlashFile, int nSize, uint32_t nSeed)
{
    m_strFile = strFlashFile;
    m_pattern = RandomBytes(nSize, nSeed);
    if (!QDir().mkpath(QFileInfo(strFlashFile).path()) || !WriteFile(strFlashFile, m_pattern))
        QTest::qFail(qPrintable(strFlashFile + " not written"), __FILE__, __LINE__);
    return m_pattern;
}

QString FlashPattern::ChangedOutside(const QVector<FlashRange>& written) const
{
    const QByteArray after = Slurp(m_strFile);
    if (after.size() != m_pattern.size())
        return QString("%1 holds %2 bytes, the pattern %3").arg(m_strFile).arg(after.size()).arg(m_pattern.size());
    for (int a = 0; a < after.size(); ++a) {
        if (after.at(a) == m_pattern.at(a))
            continue;
        const bool bInside = std::any_of(written.begin(), written.end(), [a](const FlashRange& r) {
            return a >= r.nStart && a < r.nStart + r.nLength;
        });
        if (!bInside)
            return QString("%1: byte 0x%2 outside the written ranges changed from %3 to %4")
                .arg(m_strFile)
                .arg(a, 0, 16)
                .arg(uint8_t(m_pattern.at(a)), 2, 16, QChar('0'))
                .arg(uint8_t(after.at(a)), 2, 16, QChar('0'));
    }
    return QString();
}

QVector<FlashRange> NamedLosses(const QString& strLog)
{
    QVector<FlashRange> ranges;
    static const QRegularExpression kRange("0x([0-9A-F]+) ~ 0x([0-9A-F]+)");
    for (const QString& strLine : strLog.split('\n')) {
        if (!strLine.contains(QString::fromUtf8("未能恢复")))
            continue;
        auto it = kRange.globalMatch(strLine);
        while (it.hasNext()) {
            const QRegularExpressionMatch m = it.next();
            const qint64 nFrom = m.captured(1).toLongLong(nullptr, 16);
            ranges.push_back({nFrom, m.captured(2).toLongLong(nullptr, 16) - nFrom});
        }
    }
    return ranges;
}

QVector<FlashPattern> FillGangFlash(const QString& strBenchDir, int nAdapters)
{
    QVector<FlashPattern> patterns(nAdapters);
    for (int k = 0; k < nAdapters; ++k)
        patterns[k].Fill(QString("%1/adapter-%2/flash.bin").arg(strBenchDir).arg(k + 1),
                         FlashPattern::kBenchFlashSize, 0x5EED + uint32_t(k));
    return patterns;
}

QByteArray RandomBytes(int n, uint32_t nSeed)
{
    QByteArray data(n, 0);
    char* pData = data.data();
    uint32_t x = nSeed * 2654435761u + 1;
    for (int i = 0; i < n; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        pData[i] = char(x >> 24);
    }
    return data;
}
