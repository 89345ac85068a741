// The driver on a simulated PC: 84prusb installed and matched to the
// adapter's interface 0, adapters plugged into the USB bus, and at the end
// of every test nothing left in the pool that the test allocated.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "core/adapter_extension.h"
#include "hw/firmware/application_firmware.h"
#include "machine/machine.h"
#include "verifier/pool.h"

namespace driver_test {

struct PluggedAdapter {
    winsim::hw::AdapterModel* model = nullptr;
    winsim::pnp::DeviceNode* device = nullptr;   // the composite device
    winsim::pnp::DeviceNode* control = nullptr;  // its interface 0, the driver's
    winsim::hw::ApplicationFirmware* firmware = nullptr;  // what the adapter runs
};

class AdapterTest : public ::testing::Test {
protected:
    AdapterTest() = default;
    // A fixture whose machine keeps another clock (stress_clock.h).
    explicit AdapterTest(winsim::ClockMode clock) : clock_(clock) {}

    void SetUp() override;
    void TearDown() override;

    winsim::Machine& machine() { return *machine_; }
    winsim::pnp::PnpManager& pnp() { return machine_->Pnp(); }

    // Plugs a new adapter running the application firmware (or what
    // `firmware` installs on it) and lets PnP finish with it.
    PluggedAdapter Plug(const std::string& serial,
                        winsim::hw::DescriptorLayout layout = winsim::hw::DescriptorLayout::Adapter(),
                        const std::function<void(winsim::hw::AdapterModel&)>& firmware = nullptr);
    void Unplug(const PluggedAdapter& adapter);

    // The driver's device object on the adapter, null without one.
    static PDEVICE_OBJECT Fdo(const PluggedAdapter& adapter);
    static AdapterExtension* Extension(const PluggedAdapter& adapter);

    // IRP_MJ_CREATE through the I/O manager: path is \DosDevices\QTR84PRn
    // with an optional \PIPEn after it.
    static NTSTATUS Open(const std::u16string& path, PFILE_OBJECT* file);
    // Cleanup and the last reference (close).
    static void Close(PFILE_OBJECT file);

    PDRIVER_OBJECT driver_ = nullptr;

private:
    winsim::ClockMode clock_ = winsim::ClockMode::Virtual;
    std::unique_ptr<winsim::Machine> machine_;
    winsim::PoolMark mark_;
};

// \DosDevices\QTR84PR<slot>
std::u16string DosName(ULONG slot);

// One synchronous read or write on an open file; returns the status,
// *moved the bytes.
NTSTATUS PipeTransfer(PFILE_OBJECT file, UCHAR major, std::vector<UCHAR>& buffer, ULONG_PTR* moved);

}  // namespace driver_test
