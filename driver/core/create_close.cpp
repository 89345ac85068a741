// Create, close and cleanup: handles on the adapter itself (the control
// device) and on its pipes.
#include "core/io_count.h"
#include "core/lifecycle.h"
#include "core/selective_suspend.h"

namespace {

constexpr ULONG kMaximumPipeNumber = 5;

// The number formed by the last run of decimal digits in the name: "PIPE03"
// gives 3. False without digits; a number too long for a ULONG reads as
// MAXULONG, which no pipe has.
bool PipeNumberFromName(const UNICODE_STRING& name, ULONG* number)
{
    LONG last = static_cast<LONG>(name.Length / sizeof(WCHAR)) - 1;
    while (last >= 0 && (name.Buffer[last] < L'0' || name.Buffer[last] > L'9')) --last;
    if (last < 0) return false;
    LONG first = last;
    while (first > 0 && name.Buffer[first - 1] >= L'0' && name.Buffer[first - 1] <= L'9') --first;
    while (first < last && name.Buffer[first] == L'0') ++first;
    if (last - first + 1 > 9) {
        *number = MAXULONG;
        return true;
    }
    ULONG value = 0;
    for (LONG i = first; i <= last; ++i) value = value * 10 + static_cast<ULONG>(name.Buffer[i] - L'0');
    *number = value;
    return true;
}

}  // namespace

PAGED_CODE_SEG
NTSTATUS DispatchCreate(PDEVICE_OBJECT device, PIRP irp)
{
    PAGED_CODE();
    AdapterExtension* extension = ExtensionOf(device);
    PFILE_OBJECT file = IoGetCurrentIrpStackLocation(irp)->FileObject;
    if (CurrentState(extension) != Working || extension->interfaceInfo == nullptr) {
        return CompleteRequest(irp, STATUS_DELETE_PENDING, 0);
    }
    if (file == nullptr) return CompleteRequest(irp, STATUS_INVALID_PARAMETER, 0);
    file->FsContext = nullptr;

    if (file->FileName.Length != 0) {
        ULONG pipe = 0;
        if (!PipeNumberFromName(file->FileName, &pipe) || pipe > kMaximumPipeNumber ||
            pipe >= extension->interfaceInfo->NumberOfPipes) {
            return CompleteRequest(irp, STATUS_INVALID_PARAMETER, 0);
        }
        file->FsContext = &extension->interfaceInfo->Pipes[pipe];
        extension->pipeOpen[pipe] = 1;
    }
    InterlockedIncrement(&extension->openHandles);
    SelectiveSuspendCancelIdle(extension);
    return CompleteRequest(irp, STATUS_SUCCESS, 0);
}

PAGED_CODE_SEG
NTSTATUS DispatchClose(PDEVICE_OBJECT device, PIRP irp)
{
    PAGED_CODE();
    AdapterExtension* extension = ExtensionOf(device);
    PFILE_OBJECT file = IoGetCurrentIrpStackLocation(irp)->FileObject;
    if (file != nullptr && file->FsContext != nullptr && file->FileName.Length != 0) {
        ULONG pipe = 0;
        // The pipe table may be gone after a stop or removal.
        if (PipeNumberFromName(file->FileName, &pipe) && extension->pipeOpen != nullptr &&
            extension->interfaceInfo != nullptr && pipe < extension->interfaceInfo->NumberOfPipes) {
            extension->pipeOpen[pipe] = 0;
        }
    }
    InterlockedDecrement(&extension->openHandles);
    return CompleteRequest(irp, STATUS_SUCCESS, 0);
}

NTSTATUS DispatchCleanup(PDEVICE_OBJECT device, PIRP irp)
{
    AdapterExtension* extension = ExtensionOf(device);
    IoCountIncrement(extension);
    NTSTATUS status = CompleteRequest(irp, STATUS_SUCCESS, 0);
    IoCountDecrement(extension);
    return status;
}
