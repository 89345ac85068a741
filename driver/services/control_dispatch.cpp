#include "services/control_dispatch.h"

#include <ntstrsafe.h>

#include "common/control_codes.h"
#include "core/adapter_table.h"
#include "core/io_count.h"
#include "core/lifecycle.h"
#include "core/selective_suspend.h"
#include "core/trace.h"
#include "services/control_tables.h"
#include "services/event_log.h"
#include "services/monitor.h"

namespace {

struct ControlRequest {
    ULONG code;
    PUCHAR buffer;  // the I/O manager's copy of input and output
    ULONG inputLength;
    ULONG outputLength;
};

NTSTATUS GetFirmwareVersion(const AdapterExtension* extension, const ControlRequest& request,
                            ULONG_PTR* information)
{
    if (request.outputLength < kGetFirmwareVersionMinOutput || request.buffer == nullptr) {
        return STATUS_INVALID_PARAMETER;
    }
    // The adapter's text may fill its field; keep room for the NUL.
    ULONG length = 0;
    while (length < kFirmwareVersionTextSize - 1 && extension->firmwareVersion[length] != 0) {
        request.buffer[length] = extension->firmwareVersion[length];
        ++length;
    }
    request.buffer[length] = 0;
    *information = length + 1;
    return STATUS_SUCCESS;
}

NTSTATUS SetInternalLoopback(const ControlRequest& request, ULONG_PTR* information)
{
    if (request.inputLength < kSetInternalLoopbackMinInput || request.buffer == nullptr) {
        return STATUS_INVALID_PARAMETER;
    }
    LoopbackRequest loopback;
    RtlCopyMemory(&loopback, request.buffer, sizeof(loopback));
    if (loopback.slot < 0) return STATUS_UNSUCCESSFUL;
    // Held while it is written: the adapter may be going meanwhile.
    AdapterExtension* target = AdapterTableAcquire(static_cast<ULONG>(loopback.slot));
    if (target == nullptr) return STATUS_UNSUCCESSFUL;
    // Covers all four ports; portIndex only says which one the caller tests.
    WriteUCharRelease(&target->transmitAltCode, loopback.enable != 0 ? 1 : 0);
    AdapterTableRelease(target);
    *information = sizeof(LoopbackRequest);
    return STATUS_SUCCESS;
}

NTSTATUS Serve(AdapterExtension* extension, const ControlRequest& request, ULONG_PTR* information)
{
    *information = 0;
    switch (request.code) {
    case IOCTL_TMAN_APP_CLEAR_EVENTS:
        // What the Assistant shows is its own to clear; the log stays.
        return STATUS_SUCCESS;
    case IOCTL_TMAN_APP_GET_NEXT_EVENT:
        if (request.outputLength < kGetNextEventMinOutput || request.buffer == nullptr) {
            return STATUS_INVALID_PARAMETER;
        }
        *information = EventLogFetch(request.buffer, request.outputLength);
        return STATUS_SUCCESS;
    case IOCTL_TMAN_APP_START_MONITOR:
        MonitorStart();
        return STATUS_SUCCESS;
    case IOCTL_TMAN_APP_STOP_MONITOR:
        MonitorStop();
        return STATUS_SUCCESS;
    case IOCTL_TMAN_APP_GET_NEXT_MONITOR:
        if (request.outputLength < kGetNextMonitorMinOutput || request.buffer == nullptr) {
            return STATUS_INVALID_PARAMETER;
        }
        *information = MonitorFetch(request.buffer, request.outputLength);
        return STATUS_SUCCESS;
    case IOCTL_TMAN_APP_GET_DEVICE_INFO_TABLE:
        if (request.outputLength < kGetDeviceInfoTableMinOutput || request.buffer == nullptr) {
            return STATUS_INVALID_PARAMETER;
        }
        BuildDeviceInfoTable(reinterpret_cast<DeviceInfoTable*>(request.buffer));
        *information = sizeof(DeviceInfoTable);
        return STATUS_SUCCESS;
    case IOCTL_TMAN_APP_GET_DEVICE_CONFIG_TABLE:
        if (request.outputLength < kGetDeviceConfigTableMinOutput || request.buffer == nullptr) {
            return STATUS_INVALID_PARAMETER;
        }
        BuildDeviceConfigTable(reinterpret_cast<DeviceConfigTable*>(request.buffer));
        *information = sizeof(DeviceConfigTable);
        return STATUS_SUCCESS;
    case IOCTL_TMAN_APP_SET_DEVICE_CONFIG_TABLE: {
        if (request.inputLength < kSetDeviceConfigTableMinInput || request.buffer == nullptr) {
            return STATUS_INVALID_PARAMETER;
        }
        const NTSTATUS status = ApplyDeviceConfigTable(reinterpret_cast<const DeviceConfigTable*>(request.buffer));
        if (NT_SUCCESS(status)) *information = sizeof(DeviceConfigTable);
        return status;
    }
    case IOCTL_TMAN_APP_SET_INTERNAL_LOOPBACK:
        return SetInternalLoopback(request, information);
    case IOCTL_TMAN_APP_RESERVED_B1A:
    case IOCTL_TMAN_APP_RESERVED_B1B:
        return STATUS_INVALID_PARAMETER;
    case IOCTL_TMAN_APP_GET_FIRMWARE_VERSION:
        return GetFirmwareVersion(extension, request, information);
    default:
        return STATUS_INVALID_DEVICE_REQUEST;
    }
}

}  // namespace

PAGED_CODE_SEG
NTSTATUS DispatchDeviceControl(PDEVICE_OBJECT device, PIRP irp)
{
    PAGED_CODE();
    AdapterExtension* extension = ExtensionOf(device);
    if (CurrentState(extension) != Working) return CompleteRequest(irp, STATUS_DELETE_PENDING, 0);

    IoCountIncrement(extension);
    SelectiveSuspendWaitUntilAwake(extension);
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    ControlRequest request;
    request.code = stack->Parameters.DeviceIoControl.IoControlCode;
    request.buffer = static_cast<PUCHAR>(irp->AssociatedIrp.SystemBuffer);
    request.inputLength = stack->Parameters.DeviceIoControl.InputBufferLength;
    request.outputLength = stack->Parameters.DeviceIoControl.OutputBufferLength;
    ULONG_PTR information = 0;
    NTSTATUS status = Serve(extension, request, &information);
    if (!NT_SUCCESS(status)) {
        char what[32];
        if (!NT_SUCCESS(RtlStringCbPrintfA(what, sizeof(what), "control request 0x%X", request.code))) what[0] = 0;
        TraceFailure(what, status);
    }
    // The SET and loopback requests report a length with no data behind
    // it. The I/O manager copies that many bytes back into an output buffer
    // the caller gave, so never claim more than it holds.
    if (request.outputLength != 0 && information > request.outputLength) information = request.outputLength;
    status = CompleteRequest(irp, status, information);
    IoCountDecrement(extension);
    return status;
}
