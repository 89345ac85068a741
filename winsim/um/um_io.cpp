#include "um/um_io.h"

#include "um/um_handles.h"
#include "um/um_status.h"

namespace winsim::um {

namespace {

static_assert(sizeof(IO_STATUS_BLOCK) == 2 * sizeof(ULONG_PTR) && offsetof(OVERLAPPED, InternalHigh) ==
                                                                     offsetof(IO_STATUS_BLOCK, Information),
              "an OVERLAPPED begins with a status block");

// The handle's reference is dropped on every way out.
class HandleReference {
public:
    ~HandleReference()
    {
        if (held_) ObDereferenceObject(object_.object);
    }
    bool Take(HANDLE handle, HandleKind kind)
    {
        held_ = ReferenceHandle(handle, &object_);
        return held_ && object_.kind == kind;
    }
    PVOID Object() const { return object_.object; }

private:
    HandleObject object_{};
    bool held_ = false;
};

}  // namespace

BOOL IssueHandleRequest(HANDLE handle, io::FileRequest request, LPDWORD bytes, LPOVERLAPPED overlapped)
{
    HandleReference file;
    HandleReference event;
    if (!file.Take(handle, HandleKind::kFile) ||
        (overlapped != nullptr && overlapped->hEvent != nullptr && !event.Take(overlapped->hEvent, HandleKind::kEvent))) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    IO_STATUS_BLOCK ioStatus = {};
    if (overlapped != nullptr) {
        overlapped->Internal = static_cast<ULONG_PTR>(STATUS_PENDING);
        overlapped->InternalHigh = 0;
        request.ioStatus = reinterpret_cast<PIO_STATUS_BLOCK>(overlapped);
        request.event = static_cast<PKEVENT>(event.Object());
        request.byteOffset.u.LowPart = overlapped->Offset;
        request.byteOffset.u.HighPart = static_cast<LONG>(overlapped->OffsetHigh);
    } else {
        request.ioStatus = &ioStatus;
    }
    NTSTATUS status = io::IssueFileRequest(static_cast<PFILE_OBJECT>(file.Object()), request);
    if (!io::IsErrorStatus(status) && status != STATUS_PENDING && bytes != nullptr) {
        *bytes = static_cast<DWORD>(request.ioStatus->Information);
    }
    if (NT_SUCCESS(status) && status != STATUS_PENDING) return TRUE;
    SetLastErrorFromNtStatus(status);
    return FALSE;
}

}  // namespace winsim::um
