// Serial number takes per second against the line database: PROCESSES
// processes (default 8) at once, each taking TAKES numbers (default 250)
// of one counter and settling each, on a PostgreSQL cluster started here
// on 127.0.0.1 (or on URL). Prints the rate and the time a take adds to a chip.
// Usage: linedbbench [--url URL] [--processes N] [--takes N]
#include <linedb.h>
#include <pgcluster.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

int Child(const QString& strUrl, int nTakes)
{
    LineDb db;
    QString strError;
    if (!db.Open(strUrl, strError) || !db.UseCounter("bench", 1, strError)) {
        std::fprintf(stderr, "%s\n", qPrintable(strError));
        return 1;
    }
    for (int n = 0; n < nTakes; ++n) {
        uint32_t nSerial = 0;
        if (!db.Take(SerialTakeInfo{"bench", "00", "bench", "00"}, nSerial, strError)) {
            std::fprintf(stderr, "%s\n", qPrintable(strError));
            return 1;
        }
        db.Settle(nSerial, true, QString(), "00");
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    auto value = [&args](const QString& strName, const QString& strDefault) {
        const int n = args.indexOf(strName);
        return n >= 0 && n + 1 < args.size() ? args[n + 1] : strDefault;
    };
    const int nTakes = value("--takes", "250").toInt();
    if (args.contains("--child"))
        return Child(value("--url", QString()), nTakes);
    const int nProcesses = value("--processes", "8").toInt();
    std::unique_ptr<PgCluster> pCluster;
    QString strUrl = value("--url", QString());
    if (strUrl.isEmpty()) {
        pCluster = std::make_unique<PgCluster>(true);
        const QString strWhy = pCluster->Start();
        if (!strWhy.isEmpty()) {
            std::fprintf(stderr, "%s\n", qPrintable(strWhy));
            return 1;
        }
        strUrl = pCluster->Url();
    }
    LineDb db;
    QString strError;
    if (!db.Open(strUrl, strError, true) ||
        !db.InitCounter("bench", 1, uint32_t(nProcesses * nTakes + 1000000), strError)) {
        std::fprintf(stderr, "%s\n", qPrintable(strError));
        return 1;
    }
    QElapsedTimer timer;
    timer.start();
    std::vector<std::unique_ptr<QProcess>> children;
    for (int n = 0; n < nProcesses; ++n) {
        children.push_back(std::make_unique<QProcess>());
        children.back()->setProcessChannelMode(QProcess::ForwardedChannels);
        children.back()->start(app.applicationFilePath(),
                               {"--child", "--url", strUrl, "--takes", QString::number(nTakes)});
    }
    bool bOk = true;
    for (auto& pChild : children)
        bOk = pChild->waitForFinished(600000) && pChild->exitCode() == 0 && bOk;
    const double dSeconds = timer.nsecsElapsed() / 1e9;
    const int nAll = nProcesses * nTakes;
    std::printf("%d processes x %d takes (with settlement) on %s: %.2f s, %.0f takes/s, %.2f ms per take in each process\n",
                nProcesses, nTakes, qPrintable(strUrl), dSeconds, nAll / dSeconds, 1000.0 * dSeconds / nTakes);
    return bOk ? 0 : 1;
}
