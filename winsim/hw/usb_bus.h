// The USB bus: a root hub whose ports take emulated adapters, and for each
// adapter the PDOs a hub and a composite parent give it (the device itself,
// and one per interface, &MI_xx). The PDOs answer PnP and power requests as
// a bus driver does and pass the function's URBs to the device. Transfers
// run on the bus thread with full-speed timing: 1 ms frames, at most one
// packet of wMaxPacketSize per transfer step, and frames only while some
// transfer can make progress, so a read the device never answers costs no
// virtual time. Completions arrive at DISPATCH_LEVEL.
//
// One bus per machine; create and destroy it on a simulation thread, after
// and before the PnP manager. Its PDOs belong to the hub driver, which the
// machine loads first (service "usbhub", entry HubDriverEntry) and unloads
// last, after the bus is gone.
#pragma once

#include <km_io.h>
#include <usb.h>

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "hw/adapter_model.h"
#include "pnp/pnp_manager.h"
#include "sched/scheduler.h"

namespace winsim::hw {

class UsbBus {
public:
    UsbBus(pnp::PnpManager& pnp, PDRIVER_OBJECT hubDriver);
    // Unplugs every adapter still plugged, waits for the PnP manager to remove
    // them and stops the bus thread.
    ~UsbBus();

    static NTSTATUS HubDriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath);
    UsbBus(const UsbBus&) = delete;
    UsbBus& operator=(const UsbBus&) = delete;

    // The adapter's device node ("USB\VID_2B84&PID_0841", instance id = its
    // serial number) with a child node per interface; null when the hub
    // driver is missing or its PDO cannot be made.
    pnp::DeviceNode* Plug(AdapterModel& adapter);
    // Every pending request completes with STATUS_DEVICE_NOT_CONNECTED, new
    // ones fail so at once, and the PnP manager learns the device is gone.
    void Unplug(AdapterModel& adapter);

    // The PDO of the plugged adapter's interface, or null.
    PDEVICE_OBJECT FunctionPdo(const AdapterModel& adapter, UCHAR interfaceNumber) const;
    // Transfers queued on the endpoint of the plugged adapter.
    size_t PendingTransfers(const AdapterModel& adapter, UCHAR endpoint) const;
    // All its transfers and unanswered requests.
    size_t InFlight(const AdapterModel& adapter) const;
    // The suspended adapter signals resume: its pending wait-wake requests
    // complete with success. False when it is not plugged, not suspended or
    // no wait-wake was armed.
    bool RemoteWakeup(AdapterModel& adapter);
    // A frame is due: some transfer can make progress.
    bool Busy() const;

    // Tells the bus thread that a transfer may be able to progress.
    void Wake();

    // Hears, on the bus thread, every bulk or interrupt transfer that a
    // frame ends with data: its adapter, endpoint and the bytes moved.
    using TransferObserver =
        std::function<void(const AdapterModel& adapter, UCHAR endpoint, const std::vector<UCHAR>& bytes)>;
    void SetTransferObserver(TransferObserver observer);

private:
    struct Plugged;
    struct Pipe;
    struct Transfer;
    struct PdoContext;
    struct Finished;
    struct Delivery;
    struct IdleWork;

    static NTSTATUS DispatchPnp(PDEVICE_OBJECT pdo, PIRP irp);
    static NTSTATUS DispatchPower(PDEVICE_OBJECT pdo, PIRP irp);
    static NTSTATUS DispatchInternalControl(PDEVICE_OBJECT pdo, PIRP irp);
    static NTSTATUS DispatchSystemControl(PDEVICE_OBJECT pdo, PIRP irp);
    static VOID CancelTransfer(PDEVICE_OBJECT pdo, PIRP irp);
    static VOID CancelParked(PDEVICE_OBJECT pdo, PIRP irp);
    static VOID CancelWaitWake(PDEVICE_OBJECT pdo, PIRP irp);
    static VOID CancelIdle(PDEVICE_OBJECT pdo, PIRP irp);
    static VOID RunIdleCallback(PDEVICE_OBJECT pdo, PVOID context);

    // PDOs (usb_pdo.cpp).
    PDEVICE_OBJECT CreatePdo(Plugged* device, bool parent, UCHAR interfaceNumber);
    NTSTATUS HandlePnp(PdoContext* context, PIRP irp);
    NTSTATUS HandlePower(PdoContext* context, PIRP irp);
    NTSTATUS HandleWaitWake(PdoContext* context, PIRP irp);
    NTSTATUS HandleInternalControl(PdoContext* context, PIRP irp);
    void FinishPendingWaitWake(PdoContext* context, NTSTATUS status);
    void DeletePdoIfGone(PdoContext* context);

    // Idle notification and suspend (usb_idle.cpp).
    NTSTATUS HandleIdleNotification(PdoContext* context, PIRP irp);
    void FinishPendingIdle(PdoContext* context, NTSTATUS status);
    void NoteDevicePower(PdoContext* context, DEVICE_POWER_STATE state);

    // URBs (usb_urb.cpp).
    NTSTATUS SubmitUrb(Plugged* device, PIRP irp, PURB urb);
    NTSTATUS GetDescriptor(Plugged* device, PIRP irp, PURB urb);
    NTSTATUS SelectConfiguration(Plugged* device, PIRP irp, PURB urb);
    NTSTATUS QueueTransfer(Plugged* device, PIRP irp, PURB urb);
    NTSTATUS AbortPipe(Plugged* device, PIRP irp, PURB urb);
    NTSTATUS ResetPipe(Plugged* device, PIRP irp, PURB urb);
    NTSTATUS Park(Plugged* device, PIRP irp);
    Pipe* PipeFromHandleLocked(Plugged* device, USBD_PIPE_HANDLE handle);

    // Transfers (usb_transfers.cpp).
    void Run();
    // The first frame starting at or after `from` in which a transfer can
    // progress, or -1.
    LONGLONG NextFrameLocked(Ticks from) const;
    bool CanProgressLocked(const Plugged& device, const Pipe& pipe) const;
    void RunFrame(LONGLONG frame);
    // Busy while a frame runs, until its last report.
    void SetFrameRunning(bool running);
    // Lets virtual time reach due; submissions in between wake the thread.
    void WaitUntil(Ticks due);
    bool MoveInterruptPacketsLocked(Plugged& device, LONGLONG frame, std::vector<Delivery>& deliveries,
                                    std::vector<Finished>& finished);
    bool MoveBulkPacketLocked(Plugged& device, std::vector<Delivery>& deliveries, std::vector<Finished>& finished);
    bool MovePacketLocked(Plugged& device, Pipe& pipe, std::vector<Delivery>& deliveries,
                          std::vector<Finished>& finished);
    bool DetachLocked(Transfer* transfer);
    void TakeTransfersLocked(Pipe& pipe, USBD_STATUS status, std::vector<Finished>& finished);
    static void CompleteTransfers(const std::vector<Finished>& finished);

    pnp::PnpManager& pnp_;
    PDRIVER_OBJECT const hubDriver_;

    mutable std::mutex lock_;
    std::vector<std::unique_ptr<Plugged>> plugged_;
    std::map<const AdapterModel*, Plugged*> current_;
    ULONG nextDeviceId_ = 1;
    ULONG nextPdoNumber_ = 1;
    LONGLONG lastFrame_ = -1;
    bool frameRunning_ = false;
    bool stopping_ = false;
    TransferObserver observer_;

    KEVENT wake_;
    // Set by the first Wake since the thread last looked at the transfers:
    // the ones after it need not set the event again.
    std::atomic<bool> wakeRequested_{false};
    Thread thread_;
};

}  // namespace winsim::hw
