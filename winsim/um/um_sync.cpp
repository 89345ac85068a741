// Events, waits and Sleep. A user-mode event is a kernel event, so drivers
// and user mode signal and wait on the same object; waits also take threads,
// mutexes and files.
#include <windows.h>

#include <km_io.h>

#include "km/io_pool_tags.h"
#include "km/ob_object.h"
#include "um/um_handles.h"
#include "um/um_mutex.h"
#include "um/um_status.h"

namespace {

using winsim::um::HandleKind;
using winsim::um::HandleObject;

constexpr LONGLONG kTicksPerMillisecond = 10'000;

PKEVENT ReferenceEvent(HANDLE handle, HandleObject* object)
{
    if (!winsim::um::ReferenceHandle(handle, object)) return nullptr;
    if (object->kind != HandleKind::kEvent) {
        ObDereferenceObject(object->object);
        return nullptr;
    }
    return static_cast<PKEVENT>(object->object);
}

}  // namespace

extern "C" {

HANDLE WINAPI CreateEventA(LPSECURITY_ATTRIBUTES lpEventAttributes, BOOL bManualReset, BOOL bInitialState,
                           LPCSTR lpName)
{
    UNREFERENCED_PARAMETER(lpEventAttributes);
    if (lpName != nullptr) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    auto* event = static_cast<PKEVENT>(winsim::ob::CreateObject(winsim::ob::ObjectType::kEvent, sizeof(KEVENT),
                                                                winsim::io::kTagEvent, nullptr));
    if (event == nullptr) {
        winsim::SetLastErrorFromNtStatus(STATUS_INSUFFICIENT_RESOURCES);
        return nullptr;
    }
    KeInitializeEvent(event, bManualReset ? NotificationEvent : SynchronizationEvent, bInitialState ? TRUE : FALSE);
    HANDLE handle = winsim::um::InsertHandle(HandleKind::kEvent, event);
    if (handle == nullptr) {
        ObDereferenceObject(event);
        winsim::SetLastErrorFromNtStatus(STATUS_INSUFFICIENT_RESOURCES);
        return nullptr;
    }
    SetLastError(ERROR_SUCCESS);
    return handle;
}

BOOL WINAPI SetEvent(HANDLE hEvent)
{
    HandleObject object;
    PKEVENT event = ReferenceEvent(hEvent, &object);
    if (event == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    KeSetEvent(event, 0, FALSE);
    ObDereferenceObject(event);
    return TRUE;
}

BOOL WINAPI ResetEvent(HANDLE hEvent)
{
    HandleObject object;
    PKEVENT event = ReferenceEvent(hEvent, &object);
    if (event == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    KeResetEvent(event);
    ObDereferenceObject(event);
    return TRUE;
}

DWORD WINAPI WaitForMultipleObjects(DWORD nCount, const HANDLE* lpHandles, BOOL bWaitAll, DWORD dwMilliseconds)
{
    if (nCount == 0 || nCount > MAXIMUM_WAIT_OBJECTS) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    // The wait holds its objects, so closing a handle meanwhile is harmless.
    HandleObject objects[MAXIMUM_WAIT_OBJECTS];
    PVOID dispatcherObjects[MAXIMUM_WAIT_OBJECTS];
    for (DWORD i = 0; i < nCount; ++i) {
        if (!winsim::um::ReferenceHandle(lpHandles[i], &objects[i])) {
            for (DWORD j = 0; j < i; ++j) ObDereferenceObject(objects[j].object);
            SetLastError(ERROR_INVALID_HANDLE);
            return WAIT_FAILED;
        }
        dispatcherObjects[i] = winsim::um::DispatcherObjectOf(objects[i]);
    }
    LARGE_INTEGER timeout;
    timeout.QuadPart = -static_cast<LONGLONG>(dwMilliseconds) * kTicksPerMillisecond;
    NTSTATUS status = KeWaitForMultipleObjects(nCount, dispatcherObjects, bWaitAll ? WaitAll : WaitAny, UserRequest,
                                               UserMode, FALSE, dwMilliseconds == INFINITE ? nullptr : &timeout,
                                               nullptr);
    // A mutex whose owner ended without releasing it comes abandoned.
    auto result = static_cast<DWORD>(status);
    for (DWORD i = 0; i < nCount; ++i) {
        const bool acquired = bWaitAll ? result == WAIT_OBJECT_0 : result == WAIT_OBJECT_0 + i;
        if (acquired && objects[i].kind == HandleKind::kMutex && winsim::um::TakeAbandonment(objects[i].object)) {
            result = WAIT_ABANDONED_0 + (bWaitAll ? 0 : i);
        }
    }
    for (DWORD i = 0; i < nCount; ++i) ObDereferenceObject(objects[i].object);
    if (result < WAIT_OBJECT_0 + nCount || (result >= WAIT_ABANDONED_0 && result < WAIT_ABANDONED_0 + nCount) ||
        status == STATUS_TIMEOUT) {
        return result;
    }
    winsim::SetLastErrorFromNtStatus(status);
    return WAIT_FAILED;
}

DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds)
{
    return WaitForMultipleObjects(1, &hHandle, FALSE, dwMilliseconds);
}

void WINAPI Sleep(DWORD dwMilliseconds)
{
    LARGE_INTEGER interval;
    interval.QuadPart = -static_cast<LONGLONG>(dwMilliseconds) * kTicksPerMillisecond;
    KeDelayExecutionThread(UserMode, FALSE, dwMilliseconds == INFINITE ? nullptr : &interval);
}

}  // extern "C"
