// The PDOs of a plugged adapter: PnP and power requests as a USB hub answers
// them for its children (a PDO never passes a request on), and the internal
// device controls of a USB client driver.
#include <km_ex.h>
#include <usbioctl.h>

#include <cstdio>
#include <cstring>

#include "hw/usb_bus.h"
#include "hw/usb_bus_internals.h"
#include "hw/usb_device_ids.h"
#include "km/io_strings.h"
#include "verifier/pool.h"

namespace winsim::hw {

namespace {

constexpr ULONG kTagIds = PoolTag("UsbI");

// What the hub reports for a full-speed, bus-powered device: D2 (suspend)
// for the sleep states when it can wake the system, D3 otherwise.
void FillCapabilities(PDEVICE_CAPABILITIES capabilities, const AdapterModel& model, ULONG port)
{
    const bool wake = model.Descriptors().remoteWakeup;
    const DEVICE_POWER_STATE sleep = wake ? PowerDeviceD2 : PowerDeviceD3;
    capabilities->DeviceD1 = FALSE;
    capabilities->DeviceD2 = TRUE;
    capabilities->Removable = TRUE;
    capabilities->SurpriseRemovalOK = TRUE;
    capabilities->UniqueID = model.SerialNumber().empty() ? FALSE : TRUE;
    capabilities->WakeFromD2 = wake ? TRUE : FALSE;
    capabilities->Address = port;
    capabilities->UINumber = port;
    capabilities->DeviceState[PowerSystemWorking] = PowerDeviceD0;
    capabilities->DeviceState[PowerSystemSleeping1] = sleep;
    capabilities->DeviceState[PowerSystemSleeping2] = sleep;
    capabilities->DeviceState[PowerSystemSleeping3] = sleep;
    capabilities->DeviceState[PowerSystemHibernate] = PowerDeviceD3;
    capabilities->DeviceState[PowerSystemShutdown] = PowerDeviceD3;
    capabilities->SystemWake = wake ? PowerSystemSleeping3 : PowerSystemUnspecified;
    capabilities->DeviceWake = wake ? PowerDeviceD2 : PowerDeviceUnspecified;
}

// A double-NUL-ended list in paged pool, as QUERY_ID returns it; the
// requester frees it.
NTSTATUS IdList(const std::vector<std::u16string>& ids, ULONG_PTR* information)
{
    SIZE_T chars = 1;
    for (const std::u16string& id : ids) chars += id.size() + 1;
    auto* buffer = static_cast<PWCHAR>(ExAllocatePoolWithTag(PagedPool, chars * sizeof(WCHAR), kTagIds));
    if (buffer == nullptr) return STATUS_INSUFFICIENT_RESOURCES;
    PWCHAR p = buffer;
    for (const std::u16string& id : ids) {
        std::memcpy(p, id.data(), id.size() * sizeof(WCHAR));
        p += id.size();
        *p++ = 0;
    }
    *p = 0;
    *information = reinterpret_cast<ULONG_PTR>(buffer);
    return STATUS_SUCCESS;
}

}  // namespace

PDEVICE_OBJECT UsbBus::CreatePdo(Plugged* device, bool parent, UCHAR interfaceNumber)
{
    char text[32];
    {
        std::lock_guard lk(lock_);
        std::snprintf(text, sizeof text, "\\Device\\USBPDO-%u", nextPdoNumber_++);
    }
    std::u16string name = io::FromAscii(text);
    UNICODE_STRING nameString;
    nameString.Buffer = reinterpret_cast<PWCH>(name.data());
    nameString.Length = nameString.MaximumLength = static_cast<USHORT>(name.size() * sizeof(WCHAR));
    PDEVICE_OBJECT pdo = nullptr;
    if (!NT_SUCCESS(IoCreateDevice(hubDriver_, sizeof(PdoContext), &nameString, FILE_DEVICE_UNKNOWN,
                                   FILE_DEVICE_SECURE_OPEN, FALSE, &pdo))) {
        return nullptr;
    }
    auto* context = static_cast<PdoContext*>(pdo->DeviceExtension);
    *context = {this, device, parent, interfaceNumber, nullptr};
    pdo->Flags |= DO_POWER_PAGABLE;
    pdo->Flags &= ~DO_DEVICE_INITIALIZING;
    std::lock_guard lk(lock_);
    device->pdos.push_back(pdo);
    device->livePdos++;
    return pdo;
}

NTSTATUS UsbBus::DispatchPnp(PDEVICE_OBJECT pdo, PIRP irp)
{
    auto* context = static_cast<PdoContext*>(pdo->DeviceExtension);
    return context->bus->HandlePnp(context, irp);
}

NTSTATUS UsbBus::DispatchPower(PDEVICE_OBJECT pdo, PIRP irp)
{
    auto* context = static_cast<PdoContext*>(pdo->DeviceExtension);
    return context->bus->HandlePower(context, irp);
}

NTSTATUS UsbBus::DispatchInternalControl(PDEVICE_OBJECT pdo, PIRP irp)
{
    auto* context = static_cast<PdoContext*>(pdo->DeviceExtension);
    return context->bus->HandleInternalControl(context, irp);
}

// No WMI here: the request ends with what the function driver left in it.
NTSTATUS UsbBus::DispatchSystemControl(PDEVICE_OBJECT pdo, PIRP irp)
{
    UNREFERENCED_PARAMETER(pdo);
    const NTSTATUS status = irp->IoStatus.Status;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

NTSTATUS UsbBus::HandlePnp(PdoContext* context, PIRP irp)
{
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    Plugged* device = context->device;
    NTSTATUS status = irp->IoStatus.Status;
    ULONG_PTR information = irp->IoStatus.Information;
    switch (stack->MinorFunction) {
    case IRP_MN_START_DEVICE:
    case IRP_MN_QUERY_STOP_DEVICE:
    case IRP_MN_CANCEL_STOP_DEVICE:
    case IRP_MN_STOP_DEVICE:
    case IRP_MN_QUERY_REMOVE_DEVICE:
    case IRP_MN_CANCEL_REMOVE_DEVICE:
        status = STATUS_SUCCESS;
        break;
    case IRP_MN_SURPRISE_REMOVAL:
        FinishPendingWaitWake(context, STATUS_NO_SUCH_DEVICE);
        FinishPendingIdle(context, STATUS_NO_SUCH_DEVICE);
        status = STATUS_SUCCESS;
        break;
    case IRP_MN_REMOVE_DEVICE:
        FinishPendingWaitWake(context, STATUS_NO_SUCH_DEVICE);
        FinishPendingIdle(context, STATUS_NO_SUCH_DEVICE);
        irp->IoStatus.Status = STATUS_SUCCESS;
        IoCompleteRequest(irp, IO_NO_INCREMENT);
        // A PDO whose device is still there stays for the next driver.
        DeletePdoIfGone(context);
        return STATUS_SUCCESS;
    case IRP_MN_QUERY_CAPABILITIES: {
        ULONG port;
        {
            std::lock_guard lk(lock_);
            port = device->port;
        }
        FillCapabilities(stack->Parameters.DeviceCapabilities.Capabilities, *device->model, port);
        status = STATUS_SUCCESS;
        break;
    }
    case IRP_MN_QUERY_ID: {
        const AdapterModel& model = *device->model;
        const std::vector<std::u16string> ids = context->parent
                                                    ? DeviceHardwareIds(model.Descriptors())
                                                    : InterfaceHardwareIds(model.Descriptors(), context->interfaceNumber);
        switch (stack->Parameters.QueryId.IdType) {
        case BusQueryDeviceID: status = IdList({ids.back()}, &information); break;
        case BusQueryHardwareIDs: status = IdList(ids, &information); break;
        case BusQueryInstanceID:
            status = IdList({context->parent ? device->instanceId
                                             : InterfaceInstanceId(device->instanceId, context->interfaceNumber)},
                            &information);
            break;
        default: break;
        }
        break;
    }
    default:
        break;
    }
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = information;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

void UsbBus::DeletePdoIfGone(PdoContext* context)
{
    Plugged* device = context->device;
    PDEVICE_OBJECT pdo = nullptr;
    {
        std::lock_guard lk(lock_);
        if (device->connected) return;
        for (PDEVICE_OBJECT candidate : device->pdos) {
            if (candidate->DeviceExtension == context) pdo = candidate;
        }
    }
    if (pdo == nullptr) return;
    IoDeleteDevice(pdo);
    std::unique_ptr<Plugged> finished;
    std::lock_guard lk(lock_);
    std::erase(device->pdos, pdo);
    if (--device->livePdos != 0) return;
    // The plug's last PDO: the record goes with it.
    auto current = current_.find(device->model);
    if (current != current_.end() && current->second == device) current_.erase(current);
    for (auto it = plugged_.begin(); it != plugged_.end(); ++it) {
        if (it->get() == device) {
            finished = std::move(*it);
            plugged_.erase(it);
            break;
        }
    }
}

NTSTATUS UsbBus::HandlePower(PdoContext* context, PIRP irp)
{
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    if (stack->MinorFunction == IRP_MN_WAIT_WAKE) return HandleWaitWake(context, irp);
    NTSTATUS status = irp->IoStatus.Status;
    if (stack->MinorFunction == IRP_MN_SET_POWER || stack->MinorFunction == IRP_MN_QUERY_POWER) {
        if (stack->MinorFunction == IRP_MN_SET_POWER && stack->Parameters.Power.Type == DevicePowerState) {
            PoSetPowerState(stack->DeviceObject, DevicePowerState, stack->Parameters.Power.State);
            NoteDevicePower(context, stack->Parameters.Power.State.DeviceState);
        }
        status = STATUS_SUCCESS;
        if (stack->MinorFunction == IRP_MN_QUERY_POWER && stack->Parameters.Power.Type == SystemPowerState &&
            context->device->model->RefusesSleep()) {
            status = STATUS_UNSUCCESSFUL;
        }
    }
    PoStartNextPowerIrp(irp);
    irp->IoStatus.Status = status;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

// A wait-wake waits for the device's remote wakeup signal, which only a
// configuration with remote wakeup can give.
NTSTATUS UsbBus::HandleWaitWake(PdoContext* context, PIRP irp)
{
    AdapterModel& model = *context->device->model;
    model.NoteWaitWake();
    NTSTATUS refusal = model.Descriptors().remoteWakeup ? STATUS_SUCCESS : STATUS_INVALID_DEVICE_STATE;
    bool cancelled = false;
    {
        std::lock_guard lk(lock_);
        if (NT_SUCCESS(refusal) && !context->device->connected) refusal = STATUS_NO_SUCH_DEVICE;
        if (NT_SUCCESS(refusal) && context->waitWake != nullptr) refusal = STATUS_DEVICE_BUSY;
        if (NT_SUCCESS(refusal)) {
            IoMarkIrpPending(irp);
            context->waitWake = irp;
            IoSetCancelRoutine(irp, CancelWaitWake);
            if (irp->Cancel && IoSetCancelRoutine(irp, nullptr) != nullptr) {
                context->waitWake = nullptr;
                cancelled = true;
            }
        }
    }
    if (!NT_SUCCESS(refusal)) {
        PoStartNextPowerIrp(irp);
        irp->IoStatus.Status = refusal;
        IoCompleteRequest(irp, IO_NO_INCREMENT);
        return refusal;
    }
    if (cancelled) {
        irp->IoStatus.Status = STATUS_CANCELLED;
        IoCompleteRequest(irp, IO_NO_INCREMENT);
    }
    return STATUS_PENDING;
}

void UsbBus::FinishPendingWaitWake(PdoContext* context, NTSTATUS status)
{
    PIRP irp;
    {
        std::lock_guard lk(lock_);
        irp = context->waitWake;
        // A wait-wake whose cancel routine runs is the routine's to finish.
        if (irp == nullptr || IoSetCancelRoutine(irp, nullptr) == nullptr) return;
        context->waitWake = nullptr;
    }
    irp->IoStatus.Status = status;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
}

VOID UsbBus::CancelWaitWake(PDEVICE_OBJECT pdo, PIRP irp)
{
    IoReleaseCancelSpinLock(irp->CancelIrql);
    auto* context = static_cast<PdoContext*>(pdo->DeviceExtension);
    {
        std::lock_guard lk(context->bus->lock_);
        if (context->waitWake == irp) context->waitWake = nullptr;
    }
    irp->IoStatus.Status = STATUS_CANCELLED;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
}

NTSTATUS UsbBus::HandleInternalControl(PdoContext* context, PIRP irp)
{
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    Plugged* device = context->device;
    bool connected;
    {
        std::lock_guard lk(lock_);
        connected = device->connected;
    }
    NTSTATUS status;
    switch (stack->Parameters.DeviceIoControl.IoControlCode) {
    case IOCTL_INTERNAL_USB_SUBMIT_URB:
        return SubmitUrb(device, irp, static_cast<PURB>(stack->Parameters.Others.Argument1));
    case IOCTL_INTERNAL_USB_GET_PORT_STATUS:
        *static_cast<PULONG>(stack->Parameters.Others.Argument1) =
            connected ? USBD_PORT_CONNECTED | (device->model->PortEnabled() ? USBD_PORT_ENABLED : 0) : 0;
        status = STATUS_SUCCESS;
        break;
    case IOCTL_INTERNAL_USB_RESET_PORT:
        status = connected ? STATUS_SUCCESS : STATUS_DEVICE_NOT_CONNECTED;
        if (connected) device->model->ResetPort();
        break;
    case IOCTL_INTERNAL_USB_SUBMIT_IDLE_NOTIFICATION:
        return HandleIdleNotification(context, irp);
    default:
        status = STATUS_NOT_SUPPORTED;
        break;
    }
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = 0;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

}  // namespace winsim::hw
