// A machine with the driver package installed (84prusb with the stand-in
// port driver) and adapters running the application firmware, opened from
// user mode by their COM names.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <memory>
#include <string>

#include "core/adapter_extension.h"
#include "hw/firmware/application_firmware.h"
#include "hw/serial/serial_port.h"
#include "machine/machine.h"
#include "verifier/pool.h"

namespace winsim::test {

class ComPortTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    Machine& machine() { return *machine_; }
    // Plugs the adapter (created on first use) and lets the machine settle.
    hw::AdapterModel& Plug(const std::string& serial);
    void Unplug(hw::AdapterModel& adapter);
    hw::ApplicationFirmware& Firmware(hw::AdapterModel& adapter);
    // The driver's extension on the plugged adapter, or null.
    AdapterExtension* Extension(hw::AdapterModel& adapter);

    // CreateFileA("\\.\COMn"), read and write, exclusive, overlapped.
    static HANDLE OpenCom(ULONG comNumber);
    // The DCB after SetCommState with these line settings.
    static bool SetLine(HANDLE port, DWORD baud, BYTE byteSize, BYTE parity, BYTE stopBits, bool rtsCts);
    // OpenCom, then SetLine with 8 data bits, no parity, one stop bit;
    // INVALID_HANDLE_VALUE (nothing left open) when either fails.
    static HANDLE OpenWithLine(ULONG comNumber, DWORD baud, bool rtsCts);
    // One overlapped read or write waited for; false when it failed.
    static bool Transfer(HANDLE port, bool write, void* buffer, DWORD length, DWORD* done);

private:
    std::unique_ptr<Machine> machine_;
    PoolMark mark_;
    std::map<std::string, hw::AdapterModel*> adapters_;
    std::map<hw::AdapterModel*, hw::ApplicationFirmware*> firmware_;
};

// An overlapped read or write left to run while the test goes on; the
// event goes with it.
class OverlappedTransfer {
public:
    OverlappedTransfer(HANDLE port, bool write, void* buffer, DWORD length);
    ~OverlappedTransfer();
    OverlappedTransfer(const OverlappedTransfer&) = delete;
    OverlappedTransfer& operator=(const OverlappedTransfer&) = delete;

    // ERROR_IO_PENDING while it runs, ERROR_SUCCESS when it ended at once,
    // else the error it was refused with.
    DWORD StartError() const { return startError_; }
    // GetOverlappedResult, waiting or not: ERROR_SUCCESS or its error
    // (ERROR_IO_INCOMPLETE while it still runs).
    DWORD Finish(bool wait, DWORD* done);

private:
    HANDLE port_;
    OVERLAPPED overlapped_ = {};
    DWORD startError_;
};

// The instance key of port interface `port` (1..4) of the adapter.
std::u16string PortInstanceKey(const std::string& serial, int port);

}  // namespace winsim::test
