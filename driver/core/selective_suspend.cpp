#include "core/selective_suspend.h"

#include "core/device_power.h"
#include "core/lifecycle.h"
#include "core/pool_tags.h"
#include "core/trace.h"
#include "core/wait_wake.h"
#include "core/work_item.h"

// The idle poll: every 5 s the DPC looks whether the adapter is idle and, if
// so, a work item submits an idle request to the hub. When the hub allows
// the suspend it calls the idle callback, which powers the adapter down;
// the request stays pending until it is cancelled (any Plug and Play
// request, any create) or the adapter is back in D0. The completion and the
// cancel path each count idleFreeCount down; the one reaching 0 frees it.

namespace {

constexpr LONG kIdlePollMilliseconds = 5000;
constexpr LONGLONG kIdlePollDue = -10'000LL * kIdlePollMilliseconds;  // relative

constexpr WCHAR kParametersKey[] = L"\\REGISTRY\\Machine\\System\\CurrentControlSet\\SERVICES\\84PRUSB\\Parameters";
constexpr WCHAR kSwitchValue[] = L"BulkUsbEnable";

bool SuspendActive(const AdapterExtension* extension)
{
    return ReadULongAcquire(&extension->suspendActive) != 0;
}

VOID StartIdleTimer(AdapterExtension* extension)
{
    LARGE_INTEGER due;
    due.QuadPart = kIdlePollDue;
    KeSetTimerEx(&extension->idleTimer, due, kIdlePollMilliseconds, &extension->idleDpc);
}

// The hub allows the suspend. PASSIVE_LEVEL, on the hub's worker. No
// outstanding-I/O count is held here: the power-down drains the count to
// its base before it goes on, and the hub does not finish the idle request
// (which removal waits for) while this runs.
VOID IdleCallback(PVOID context)
{
    auto* extension = static_cast<AdapterExtension*>(context);
    if (CurrentState(extension) != Working) return;
    if (extension->remoteWakeSupported) WaitWakeIssue(extension);
    RequestDevicePowerAndWait(extension, static_cast<DEVICE_POWER_STATE>(extension->powerDownLevel));
}

// Frees the request and its callback record once neither the completion
// nor the cancel path needs it.
VOID ReleaseIdleRequest(AdapterExtension* extension, PIRP irp, bool remembered)
{
    if (remembered || InterlockedDecrement(&extension->idleFreeCount) == 0) {
        IoFreeIrp(irp);
        KeSetEvent(&extension->noIdlePendingEvent, IO_NO_INCREMENT, FALSE);
    }
}

// Forgets the request and frees the callback record; true when the request
// was still remembered (no cancel path took it).
bool ForgetIdleRequest(AdapterExtension* extension, PIRP irp)
{
    KIRQL irql;
    KeAcquireSpinLock(&extension->idleLock, &irql);
    const bool remembered = extension->idleRequest == irp;
    extension->idleRequest = nullptr;
    if (extension->idleCallbackInfo != nullptr) ExFreePoolWithTag(extension->idleCallbackInfo, kDriverPoolTag);
    extension->idleCallbackInfo = nullptr;
    InterlockedExchange(&extension->idlePending, 0);
    KeReleaseSpinLock(&extension->idleLock, irql);
    return remembered;
}

IO_COMPLETION_ROUTINE IdleRequestCompletion;
NTSTATUS IdleRequestCompletion(PDEVICE_OBJECT device, PIRP irp, PVOID context)
{
    UNREFERENCED_PARAMETER(device);
    auto* extension = static_cast<AdapterExtension*>(context);
    const NTSTATUS status = irp->IoStatus.Status;
    // Cancelling is how the driver itself takes the request back.
    if (!NT_SUCCESS(status) && status != STATUS_CANCELLED) TraceFailure("selective suspend: idle request", status);
    if (!NT_SUCCESS(status) && status != STATUS_NOT_SUPPORTED && status != STATUS_POWER_STATE_INVALID &&
        extension->devicePower != PowerDeviceD0) {
        RequestDevicePowerCounted(extension, PowerDeviceD0);
    }
    const bool remembered = ForgetIdleRequest(extension, irp);
    // Before the request is released: turning suspend off waits for that,
    // and then finds the timer it has to cancel.
    if (SuspendActive(extension)) StartIdleTimer(extension);
    ReleaseIdleRequest(extension, irp, remembered);
    return STATUS_MORE_PROCESSING_REQUIRED;
}

NTSTATUS SubmitIdleRequest(AdapterExtension* extension)
{
    if (extension->devicePower != PowerDeviceD0) return STATUS_POWER_STATE_INVALID;
    KIRQL irql;
    KeAcquireSpinLock(&extension->idleLock, &irql);
    if (InterlockedExchange(&extension->idlePending, 1) != 0) {
        KeReleaseSpinLock(&extension->idleLock, irql);
        return STATUS_DEVICE_BUSY;
    }
    KeClearEvent(&extension->noIdlePendingEvent);
    auto* info = static_cast<PUSB_IDLE_CALLBACK_INFO>(
        ExAllocatePoolWithTag(NonPagedPoolNx, sizeof(USB_IDLE_CALLBACK_INFO), kDriverPoolTag));
    PIRP irp = info == nullptr ? nullptr : IoAllocateIrp(extension->lowerDevice->StackSize, FALSE);
    if (irp == nullptr) {
        if (info != nullptr) ExFreePoolWithTag(info, kDriverPoolTag);
        InterlockedExchange(&extension->idlePending, 0);
        KeSetEvent(&extension->noIdlePendingEvent, IO_NO_INCREMENT, FALSE);
        KeReleaseSpinLock(&extension->idleLock, irql);
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    info->IdleCallback = IdleCallback;
    info->IdleContext = extension;
    PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
    next->MajorFunction = IRP_MJ_INTERNAL_DEVICE_CONTROL;
    next->Parameters.DeviceIoControl.IoControlCode = IOCTL_INTERNAL_USB_SUBMIT_IDLE_NOTIFICATION;
    next->Parameters.DeviceIoControl.Type3InputBuffer = info;
    next->Parameters.DeviceIoControl.InputBufferLength = sizeof(USB_IDLE_CALLBACK_INFO);
    IoSetCompletionRoutine(irp, IdleRequestCompletion, extension, TRUE, TRUE, TRUE);
    extension->idleCallbackInfo = info;
    extension->idleRequest = irp;
    extension->idleFreeCount = 2;
    KeReleaseSpinLock(&extension->idleLock, irql);

    if (SuspendActive(extension) && AdapterIsIdle(extension) && extension->devicePower == PowerDeviceD0) {
        KeCancelTimer(&extension->idleTimer);
        IoCallDriver(extension->lowerDevice, irp);
        return STATUS_SUCCESS;
    }
    ReleaseIdleRequest(extension, irp, ForgetIdleRequest(extension, irp));
    return STATUS_UNSUCCESSFUL;
}

VOID IdleWork(AdapterExtension* extension, PVOID context)
{
    UNREFERENCED_PARAMETER(context);
    if (AdapterIsIdle(extension)) SubmitIdleRequest(extension);
    KeSetEvent(&extension->noIdleWorkEvent, IO_NO_INCREMENT, FALSE);
}

KDEFERRED_ROUTINE IdleDpc;
VOID IdleDpc(PKDPC dpc, PVOID context, PVOID argument1, PVOID argument2)
{
    UNREFERENCED_PARAMETER(dpc);
    UNREFERENCED_PARAMETER(argument1);
    UNREFERENCED_PARAMETER(argument2);
    auto* extension = static_cast<AdapterExtension*>(context);
    KeClearEvent(&extension->noIdleWorkEvent);
    if (AdapterIsIdle(extension) && NT_SUCCESS(QueueAdapterWork(extension, IdleWork, nullptr))) return;
    KeSetEvent(&extension->noIdleWorkEvent, IO_NO_INCREMENT, FALSE);
}

VOID WaitFor(PKEVENT event) { KeWaitForSingleObject(event, Executive, KernelMode, FALSE, nullptr); }

}  // namespace

bool AdapterIsIdle(const AdapterExtension* extension)
{
    return ReadAcquire(&extension->openHandles) == 0 && ReadAcquire(&extension->outstandingIo) == 1;
}

VOID SelectiveSuspendStart(AdapterExtension* extension)
{
    if (extension->suspendByRegistry == 0 || extension->wdmLevel != 0) return;
    extension->idleFreeCount = 0;
    WriteULongRelease(&extension->suspendActive, 1);
    StartIdleTimer(extension);
}

PAGED_CODE_SEG
VOID SelectiveSuspendStop(AdapterExtension* extension)
{
    PAGED_CODE();
    WriteULongRelease(&extension->suspendActive, 0);
    KeCancelTimer(&extension->idleTimer);
    KeFlushQueuedDpcs();
    WaitFor(&extension->noIdleWorkEvent);
    WaitFor(&extension->noIdlePendingEvent);
    // A completion that saw suspend still on may have restarted the poll.
    KeCancelTimer(&extension->idleTimer);
    KeFlushQueuedDpcs();
    WaitFor(&extension->noIdleWorkEvent);
}

VOID SelectiveSuspendCancelIdle(AdapterExtension* extension)
{
    if (!SuspendActive(extension)) return;
    PIRP irp = nullptr;
    KIRQL irql;
    KeAcquireSpinLock(&extension->idleLock, &irql);
    if (!AdapterIsIdle(extension)) {
        irp = extension->idleRequest;
        extension->idleRequest = nullptr;
    }
    KeReleaseSpinLock(&extension->idleLock, irql);
    if (irp == nullptr) return;
    IoCancelIrp(irp);
    ReleaseIdleRequest(extension, irp, false);
}

VOID SelectiveSuspendInitialize(AdapterExtension* extension)
{
    extension->suspendByRegistry = 0;
    extension->suspendActive = 0;
    extension->idleRequest = nullptr;
    extension->idleCallbackInfo = nullptr;
    extension->idlePending = 0;
    extension->idleFreeCount = 0;
    KeInitializeSpinLock(&extension->idleLock);
    KeInitializeEvent(&extension->noIdlePendingEvent, NotificationEvent, TRUE);
    KeInitializeEvent(&extension->noIdleWorkEvent, NotificationEvent, TRUE);
    KeInitializeTimer(&extension->idleTimer);
    KeInitializeDpc(&extension->idleDpc, IdleDpc, extension);
    extension->ioHeld = 0;
}

PAGED_CODE_SEG
VOID SelectiveSuspendReadSwitch(AdapterExtension* extension)
{
    PAGED_CODE();
    UNICODE_STRING keyName;
    RtlInitUnicodeString(&keyName, kParametersKey);
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &keyName, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, nullptr, nullptr);
    HANDLE key;
    if (!NT_SUCCESS(ZwOpenKey(&key, KEY_READ, &attributes))) return;  // no key: off

    UNICODE_STRING valueName;
    RtlInitUnicodeString(&valueName, kSwitchValue);
    UCHAR buffer[sizeof(KEY_VALUE_PARTIAL_INFORMATION) + sizeof(ULONG)];
    ULONG resultLength = 0;
    NTSTATUS status =
        ZwQueryValueKey(key, &valueName, KeyValuePartialInformation, buffer, sizeof(buffer), &resultLength);
    ZwClose(key);
    auto* value = reinterpret_cast<PKEY_VALUE_PARTIAL_INFORMATION>(buffer);
    if (NT_SUCCESS(status) && value->Type == REG_DWORD && value->DataLength == sizeof(ULONG)) {
        ULONG enabled;
        RtlCopyMemory(&enabled, value->Data, sizeof(enabled));
        extension->suspendByRegistry = enabled != 0 ? 1 : 0;
    }
}

PAGED_CODE_SEG
VOID SelectiveSuspendWaitUntilAwake(AdapterExtension* extension)
{
    PAGED_CODE();
    if (ReadULongAcquire(&extension->suspendActive) == 0) return;
    KeWaitForSingleObject(&extension->noIdlePendingEvent, Executive, KernelMode, FALSE, nullptr);
}
