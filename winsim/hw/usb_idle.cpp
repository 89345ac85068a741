// Selective suspend as the hub offers it: a function driver's idle
// notification is held pending; the hub calls its callback from a work item
// at PASSIVE_LEVEL (the driver powers the device down in it) and completes
// the request when the device is back in D0, when it is cancelled, or when
// the device goes away. While the callback runs the request cannot be
// cancelled; a cancel that came meanwhile finishes it afterwards.
#include <km_ex.h>
#include <usbioctl.h>

#include "hw/usb_bus.h"
#include "hw/usb_bus_internals.h"

namespace winsim::hw {

struct UsbBus::IdleWork {
    PdoContext* context;
    PIO_WORKITEM item;
};

NTSTATUS UsbBus::HandleIdleNotification(PdoContext* context, PIRP irp)
{
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    NTSTATUS refusal = context->device->model->RefusesIdleNotification() ? STATUS_NOT_SUPPORTED : STATUS_SUCCESS;
    if (NT_SUCCESS(refusal) && (stack->Parameters.DeviceIoControl.Type3InputBuffer == nullptr ||
                                stack->Parameters.DeviceIoControl.InputBufferLength < sizeof(USB_IDLE_CALLBACK_INFO))) {
        refusal = STATUS_INVALID_PARAMETER;
    }
    PIO_WORKITEM work = nullptr;
    if (NT_SUCCESS(refusal)) {
        work = IoAllocateWorkItem(stack->DeviceObject);
        if (work == nullptr) refusal = STATUS_INSUFFICIENT_RESOURCES;
    }
    bool cancelled = false;
    if (NT_SUCCESS(refusal)) {
        std::lock_guard lk(lock_);
        if (!context->device->connected) refusal = STATUS_DEVICE_NOT_CONNECTED;
        else if (context->idle != nullptr) refusal = STATUS_DEVICE_BUSY;
        if (NT_SUCCESS(refusal)) {
            IoMarkIrpPending(irp);
            context->idle = irp;
            IoSetCancelRoutine(irp, CancelIdle);
            if (irp->Cancel && IoSetCancelRoutine(irp, nullptr) != nullptr) {
                context->idle = nullptr;
                cancelled = true;
            }
        }
    }
    if (!NT_SUCCESS(refusal) || cancelled) {
        if (work != nullptr) IoFreeWorkItem(work);
        irp->IoStatus.Status = cancelled ? STATUS_CANCELLED : refusal;
        irp->IoStatus.Information = 0;
        IoCompleteRequest(irp, IO_NO_INCREMENT);
        return cancelled ? STATUS_PENDING : refusal;
    }
    IoQueueWorkItem(work, RunIdleCallback, DelayedWorkQueue, new IdleWork{context, work});
    return STATUS_PENDING;
}

VOID UsbBus::RunIdleCallback(PDEVICE_OBJECT pdo, PVOID argument)
{
    UNREFERENCED_PARAMETER(pdo);
    auto* work = static_cast<IdleWork*>(argument);
    PdoContext* context = work->context;
    IoFreeWorkItem(work->item);
    delete work;
    UsbBus* bus = context->bus;
    PIRP irp;
    USB_IDLE_CALLBACK_INFO info = {};
    {
        std::lock_guard lk(bus->lock_);
        irp = context->idle;
        // Cancelled before the callback: the cancel routine finishes it.
        if (irp != nullptr && IoSetCancelRoutine(irp, nullptr) == nullptr) irp = nullptr;
        if (irp != nullptr) {
            info = *static_cast<PUSB_IDLE_CALLBACK_INFO>(
                IoGetCurrentIrpStackLocation(irp)->Parameters.DeviceIoControl.Type3InputBuffer);
        }
    }
    if (irp == nullptr) return;
    context->device->model->NoteIdleCallback();
    info.IdleCallback(info.IdleContext);

    NTSTATUS finish = STATUS_PENDING;
    {
        std::lock_guard lk(bus->lock_);
        if (context->idle != irp) return;  // finished by a wake while the callback ran
        if (!context->device->connected) finish = STATUS_NO_SUCH_DEVICE;
        else if (irp->Cancel) finish = STATUS_CANCELLED;
        if (finish == STATUS_PENDING) {
            IoSetCancelRoutine(irp, CancelIdle);
            // Cancelled between the test and the routine being set.
            if (irp->Cancel && IoSetCancelRoutine(irp, nullptr) != nullptr) finish = STATUS_CANCELLED;
        }
        if (finish != STATUS_PENDING) context->idle = nullptr;
    }
    if (finish == STATUS_PENDING) return;
    irp->IoStatus.Status = finish;
    irp->IoStatus.Information = 0;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
}

VOID UsbBus::CancelIdle(PDEVICE_OBJECT pdo, PIRP irp)
{
    IoReleaseCancelSpinLock(irp->CancelIrql);
    auto* context = static_cast<PdoContext*>(pdo->DeviceExtension);
    {
        std::lock_guard lk(context->bus->lock_);
        // Cancelled before its work item ran: the item finds nothing to do.
        if (context->idle == irp) context->idle = nullptr;
    }
    irp->IoStatus.Status = STATUS_CANCELLED;
    irp->IoStatus.Information = 0;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
}

void UsbBus::FinishPendingIdle(PdoContext* context, NTSTATUS status)
{
    PIRP irp;
    {
        std::lock_guard lk(lock_);
        irp = context->idle;
        // Its cancel routine, or the callback that runs now, finishes it.
        if (irp == nullptr || IoSetCancelRoutine(irp, nullptr) == nullptr) return;
        context->idle = nullptr;
    }
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = 0;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
}

void UsbBus::NoteDevicePower(PdoContext* context, DEVICE_POWER_STATE state)
{
    const bool resumed = context->device->model->SetDevicePower(state);
    // Back in D0: the idle notification has served its purpose.
    if (resumed) FinishPendingIdle(context, STATUS_SUCCESS);
}

bool UsbBus::RemoteWakeup(AdapterModel& adapter)
{
    std::vector<PdoContext*> armed;
    {
        std::lock_guard lk(lock_);
        auto it = current_.find(&adapter);
        if (it == current_.end() || !it->second->connected) return false;
        if (!adapter.Suspended()) return false;
        for (PDEVICE_OBJECT pdo : it->second->pdos) {
            auto* context = static_cast<PdoContext*>(pdo->DeviceExtension);
            if (context->waitWake != nullptr) armed.push_back(context);
        }
    }
    for (PdoContext* context : armed) FinishPendingWaitWake(context, STATUS_SUCCESS);
    return !armed.empty();
}

}  // namespace winsim::hw
