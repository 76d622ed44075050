// FTDI adapters emulated at the kernel's usbfs interface, so that libusb,
// libftdi1 and everything above them run unchanged against them.
//
// umockdev provides the sandbox: sysfs entries for the root hub, any hubs
// on the way and the adapter (descriptors, bus and device numbers, speed,
// one interface per channel bound to the kernel's ftdi_sio driver), a
// device node under /dev/bus/usb, and an ioctl handler on that node. The
// handler plays the usbfs ioctls libusb uses (capabilities, driver query,
// detach, claim, control transfers, URB submit, reap and discard) and puts
// the simulated bench's MPSSE engine and flash behind the bulk endpoints.
//
// What the host sees is what an FTDI chip sends (FTDI AN_232B-04, data
// throughput and latency): every bulk IN packet (512 bytes at high speed, 64
// at full speed) starts with the two modem status bytes; a packet goes out
// when 510 (62) data bytes are waiting, after SEND_IMMEDIATE, or when the
// latency timer runs out, and then carries whatever is there, possibly
// nothing but the status bytes.
//
// The program under test must run with umockdev's preload library
// (umockdev-wrapper); child processes inherit the sandbox.
#pragma once

#include <adaptermodel.h>
#include <benchstats.h>

#include <QString>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace usbfs {

struct DeviceSpec {
    QString strModel = "FT2232H";  // an adapter model of the bench ([adapter] model names)
    int nBus = 2;
    std::vector<int> ports{1};  // port path from the root hub; more than one means hubs
    // Bench directory of the chip on the SPI pins of channel nBenchChannel
    // (0 = A; -1: the channel the model's board wires the chip to):
    // bench.ini, flash.bin, security.bin. Empty: nothing is wired.
    QString strBenchDir;
    int nBenchChannel = -1;
    // The serial number string descriptor; empty: the bench's [adapter]
    // serial, or the first simulated adapter's default (XQ000001).
    QString strSerial;
    // False: the device descriptor names no serial number string (an adapter
    // with a blank EEPROM), and string 3 is not there.
    bool bSerialString = true;
};

// One control request as the device received it.
struct ControlRequest {
    uint8_t nRequestType = 0;
    uint8_t nRequest = 0;
    uint16_t nValue = 0;
    uint16_t nIndex = 0;
    uint16_t nLength = 0;
    int64_t nBulkBefore = 0;  // bulk transfers the device saw before this request
};

// FTDI vendor requests (libftdi1's SIO_* values).
namespace sio {
constexpr uint8_t kReset = 0x00;        // wValue 0 reset, 1 purge RX, 2 purge TX
constexpr uint8_t kSetBaudRate = 0x03;
constexpr uint8_t kSetLatency = 0x09;
constexpr uint8_t kGetLatency = 0x0A;
constexpr uint8_t kSetBitMode = 0x0B;   // wValue: mode << 8 | pin mask
constexpr uint8_t kBitModeReset = 0x00;
constexpr uint8_t kBitModeMpsse = 0x02;
}  // namespace sio

// Counters of one device's bulk traffic, beside the bench's own figures.
struct Traffic {
    int64_t nOutTransfers = 0;
    int64_t nInTransfers = 0;
    int64_t nEmptyInTransfers = 0;  // IN transfers that carried only status bytes
    int64_t nControlTransfers = 0;
    sim::BenchStats bench;
};

struct Faults {
    int nVanishAfterTransfers = 0;  // the device is unplugged after N bulk transfers (0: never)
    bool bMute = false;             // the engine's replies never reach the host
};

// Whether this process runs with umockdev's preload library (umockdev-wrapper).
bool UnderPreload();

// Why an emulated-USB test cannot run in this process; null when it can.
inline const char* Unavailable()
{
#ifdef XQ_SANITIZED
    return "skipped in the sanitizer build: umockdev's preload library cannot load ahead of the ASan runtime";
#else
    return UnderPreload() ? nullptr : "needs umockdev's preload library: run it through umockdev-wrapper";
#endif
}

class Emulator {
public:
    Emulator();
    ~Emulator();
    Emulator(const Emulator&) = delete;
    Emulator& operator=(const Emulator&) = delete;

    // Adds an adapter (and the hubs on its path); false with a message when
    // its bench cannot be opened. Returns the device's index in nIndex.
    bool AddDevice(const DeviceSpec& spec, QString& strError, int* pnIndex = nullptr);
    // The device node, e.g. /dev/bus/usb/002/003, and its file in the sandbox.
    std::string DevNode(int nIndex) const;
    std::string DevNodeFile(int nIndex) const;

    void SetFaults(int nIndex, const Faults& faults);
    void SetRealtime(int nIndex, bool bRealtime);
    // The nanoseconds the client has slept so far (sleepcount.c adds to it):
    // the host clock advances by them between transfers. Null: the client
    // never sleeps. Must outlive the device's traffic.
    void SetSleepCounter(int nIndex, const int64_t* pSleptNs);
    std::vector<ControlRequest> ControlLog(int nIndex) const;
    Traffic TrafficOf(int nIndex) const;
    // Whether channel nChannel (0 = A) still has the kernel's serial driver, and is claimed.
    bool DriverBound(int nIndex, int nChannel) const;
    bool Claimed(int nIndex, int nChannel) const;
    // Ioctl requests nobody here emulates (the kernel would have answered them).
    std::vector<unsigned long> UnknownIoctls(int nIndex) const;
    // Saves and releases the bench behind the device (flash.bin and the rest).
    bool CloseBench(int nIndex, QString& strError);

    class Device;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

}  // namespace usbfs
