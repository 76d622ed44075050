// xq-usbfs-run: runs a command against an emulated FTDI adapter with a
// simulated bench behind it, then saves the bench and reports the USB
// traffic the command caused.
//
//   umockdev-wrapper xq-usbfs-run --bench DIR [--model FT2232H] [--bus 2 --ports 1]
//       [--channel A|B] [--realtime] [--vanish-after N] [--traffic FILE] -- CMD ARGS...
//
// The exit code is the command's (125 when the emulation cannot start).
#include "ftdiusbfs.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryFile>

#include <cstdio>

namespace {

constexpr int kExitSetupFailed = 125;

QString TrafficText(const usbfs::Traffic& t)
{
    const sim::BenchStats& b = t.bench;
    return QString("out_transfers=%1\nin_transfers=%2\nempty_in_transfers=%3\ncontrol_transfers=%4\n"
                   "bytes_out=%5\nbytes_in=%6\nspi_bytes=%7\nvirtual_ms=%8\nflash_busy_ms=%9\n")
        .arg(t.nOutTransfers)
        .arg(t.nInTransfers)
        .arg(t.nEmptyInTransfers)
        .arg(t.nControlTransfers)
        .arg(b.nBytesOut)
        .arg(b.nBytesIn)
        .arg(b.nSpiBytes)
        .arg(b.VirtualMs())
        .arg(b.nFlashBusyUs / 1000);
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription("Runs a command against an emulated FTDI adapter carrying a simulated bench.");
    parser.addHelpOption();
    parser.addOption({"bench", "Bench directory behind the adapter.", "DIR"});
    parser.addOption({"model", "Adapter model, as [adapter] model of bench.ini.", "MODEL", "FT2232H"});
    parser.addOption({"bus", "USB bus number.", "N", "2"});
    parser.addOption({"ports", "Port path, dot separated.", "PATH", "1"});
    parser.addOption({"channel", "Channel whose SPI pins reach the bench: A or B (default: the board's).", "CH"});
    parser.addOption({"realtime", "Wall time follows the bench's virtual clock."});
    parser.addOption({"vanish-after", "Unplug the adapter after N bulk transfers.", "N", "0"});
    parser.addOption({"traffic", "Write the USB traffic counters to FILE.", "FILE"});
    parser.addPositionalArgument("command", "The command to run, after --.");
    parser.process(app);

    if (!usbfs::UnderPreload()) {
        std::fprintf(stderr, "xq-usbfs-run: run it under umockdev-wrapper\n");
        return kExitSetupFailed;
    }
    const QStringList command = parser.positionalArguments();
    usbfs::DeviceSpec spec;
    spec.strModel = parser.value("model");
    bool bOk = false;
    spec.nBus = parser.value("bus").toInt(&bOk);
    spec.ports.clear();
    for (const QString& strPort : parser.value("ports").split('.')) {
        bool bPortOk = false;
        spec.ports.push_back(strPort.toInt(&bPortOk));
        bOk = bOk && bPortOk;
    }
    spec.strBenchDir = parser.value("bench");
    if (parser.isSet("channel"))
        spec.nBenchChannel = parser.value("channel").toUpper() == "B" ? 1 : 0;
    const int nVanishAfter = parser.value("vanish-after").toInt();
    if (!bOk || command.isEmpty()) {
        std::fprintf(stderr, "xq-usbfs-run: bad arguments (see --help)\n");
        return kExitSetupFailed;
    }

    usbfs::Emulator emulator;
    QString strError;
    if (!emulator.AddDevice(spec, strError)) {
        std::fprintf(stderr, "xq-usbfs-run: %s\n", qPrintable(strError));
        return kExitSetupFailed;
    }
    if (parser.isSet("realtime"))
        emulator.SetRealtime(0, true);
    usbfs::Faults faults;
    faults.nVanishAfterTransfers = nVanishAfter;
    emulator.SetFaults(0, faults);

    // The command's sleeps are counted (sleepcount.c) in a shared file: the
    // bench clock advances by them, and by nothing else of the wall.
    QTemporaryFile sleepFile;
    int64_t* pSlept = nullptr;
    if (sleepFile.open() && sleepFile.resize(sizeof(int64_t))) {
        uchar* p = sleepFile.map(0, sizeof(int64_t));
        pSlept = reinterpret_cast<int64_t*>(p);
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (pSlept) {
        *pSlept = 0;
        emulator.SetSleepCounter(0, pSlept);
        const QString strPreload = env.value("LD_PRELOAD");
        env.insert("LD_PRELOAD", strPreload.isEmpty() ? QString(XQ_SLEEPCOUNT_LIB)
                                                      : strPreload + ":" + XQ_SLEEPCOUNT_LIB);
        env.insert("XQ_USBFS_SLEEP_FILE", sleepFile.fileName());
    }

    QProcess child;
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    child.setInputChannelMode(QProcess::ForwardedInputChannel);
    child.start(command.first(), command.mid(1));
    if (!child.waitForStarted(-1)) {
        std::fprintf(stderr, "xq-usbfs-run: cannot start %s\n", qPrintable(command.first()));
        return kExitSetupFailed;
    }
    child.waitForFinished(-1);
    const int nExit = child.exitStatus() == QProcess::NormalExit ? child.exitCode() : kExitSetupFailed;

    if (!emulator.CloseBench(0, strError)) {
        std::fprintf(stderr, "xq-usbfs-run: %s\n", qPrintable(strError));
        return kExitSetupFailed;
    }
    if (parser.isSet("traffic")) {
        QFile file(parser.value("traffic"));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write((TrafficText(emulator.TrafficOf(0)) +
                        QString("slept_ms=%1\n").arg(pSlept ? *pSlept / 1000000 : 0))
                           .toUtf8()) < 0) {
            std::fprintf(stderr, "xq-usbfs-run: cannot write %s\n", qPrintable(file.fileName()));
            return kExitSetupFailed;
        }
    }
    return nExit;
}
