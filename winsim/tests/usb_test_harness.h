// What the PnP and USB tests share: the machine with a PnP manager and a USB
// bus built and torn down in their order (with no pool left at the end), and
// URBs sent to a PDO the way a client driver sends them.
#pragma once

#include <gtest/gtest.h>
#include <usbdlib.h>
#include <usbioctl.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "hw/usb_bus.h"
#include "machine/machine.h"
#include "pnp/pnp_manager.h"
#include "verifier/pool.h"

namespace winsim::test {

// A WDM function driver for the tests. Its FDOs record every PnP request
// (minor code and the status it arrived with), pass requests down as a
// function driver does, accept opens, and refuse what the test asks.
struct FunctionDriverLog {
    std::vector<std::string> events;  // "AddDevice", then "PnP 0xNN"
    std::vector<NTSTATUS> arrivedWith;
    NTSTATUS startStatus = STATUS_SUCCESS;
    NTSTATUS queryRemoveStatus = STATUS_SUCCESS;
    NTSTATUS queryStopStatus = STATUS_SUCCESS;
    // The record on its way back up, as the bus filled it.
    DEVICE_CAPABILITIES capabilities = {};
    std::function<void(UCHAR minor)> onPnp;
};
FunctionDriverLog& FunctionDriver();
std::string PnpEvent(UCHAR minor);

class UsbMachineTest : public ::testing::Test {
protected:
    void SetUp() override;
    // Unplugs, removes, unloads, and then finds nothing left in the pool
    // that was allocated after the machine came up.
    void TearDown() override;

    Machine& machine() { return *machine_; }
    pnp::PnpManager& pnp() { return machine_->Pnp(); }
    hw::UsbBus& bus() { return machine_->Usb(); }
    // Adapters live as long as the machine.
    hw::AdapterModel& AddAdapter(std::string serial, hw::DescriptorLayout layout = hw::DescriptorLayout::Adapter());
    // Plugs and lets the PnP manager finish with the new nodes.
    pnp::DeviceNode* PlugAndSettle(hw::AdapterModel& adapter);
    // Loads the test function driver (a fresh log) for the hardware id.
    PDRIVER_OBJECT InstallFunctionDriver(const char16_t* hardwareId, const char* serviceName = "qtrtest");
    // The interface's child node of a plugged adapter.
    pnp::DeviceNode* InterfaceNode(pnp::DeviceNode* device, UCHAR interfaceNumber);

private:
    std::unique_ptr<Machine> machine_;
    PoolMark mark_;
};

// One URB on its own IRP, sent to a PDO; completion is recorded, not waited
// for. An unfinished request is cancelled when it goes out of scope.
class UrbRequest {
public:
    explicit UrbRequest(PDEVICE_OBJECT pdo, ULONG ioControlCode = IOCTL_INTERNAL_USB_SUBMIT_URB);
    ~UrbRequest();
    UrbRequest(const UrbRequest&) = delete;
    UrbRequest& operator=(const UrbRequest&) = delete;

    URB& Urb() { return *urb_; }
    // Sends this URB instead of the request's own (a select-configuration
    // is longer than a URB).
    void UseUrb(PURB urb) { urb_ = urb; }
    // Argument1 for a request without a URB (port status, reset port).
    void SetArgument(PVOID argument) { argument_ = argument; }
    NTSTATUS Send();
    // Waits, the simulation's way, for the completion.
    NTSTATUS Wait();
    bool Cancel();

    bool Done() const { return done_; }
    NTSTATUS Status() const { return status_; }
    KIRQL CompletionIrql() const { return irql_; }
    Ticks CompletedAt() const { return completedAt_; }

    // Bulk or interrupt transfer on the pipe of buffer's size.
    void BuildTransfer(USBD_PIPE_HANDLE pipe, std::vector<UCHAR>& buffer, ULONG flags);

private:
    static NTSTATUS Completed(PDEVICE_OBJECT device, PIRP irp, PVOID context);

    PDEVICE_OBJECT pdo_;
    ULONG ioControlCode_;
    PVOID argument_ = nullptr;
    PIRP irp_;
    URB ownUrb_ = {};
    PURB urb_ = &ownUrb_;
    KEVENT event_;
    bool sent_ = false;
    bool done_ = false;
    NTSTATUS status_ = STATUS_PENDING;
    KIRQL irql_ = 0;
    Ticks completedAt_ = 0;
};

// Sends the URB and waits for it.
NTSTATUS SubmitUrb(PDEVICE_OBJECT pdo, URB& urb);
NTSTATUS SubmitUrb(PDEVICE_OBJECT pdo, PURB urb);

// The device's configuration descriptor as the function reads it.
std::vector<UCHAR> ReadConfiguration(PDEVICE_OBJECT pdo);

// A select-configuration of every interface the descriptor lists, built
// with the USBD library as a driver builds it.
class Configuration {
public:
    explicit Configuration(std::vector<UCHAR> descriptor);
    ~Configuration();
    PURB Urb() { return urb_; }
    PUSBD_INTERFACE_INFORMATION Interface(size_t index) { return list_[index].Interface; }
    // The handle of the endpoint's pipe after a successful select.
    USBD_PIPE_HANDLE Pipe(UCHAR endpointAddress);

private:
    std::vector<UCHAR> descriptor_;
    std::vector<USBD_INTERFACE_LIST_ENTRY> list_;
    PURB urb_ = nullptr;
};

}  // namespace winsim::test
