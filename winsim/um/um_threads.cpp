// CreateThread, ExitThread, GetExitCodeThread and the ids of threads and
// processes.
#include "um/um_threads.h"

#include <km_io.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "km/ob_object.h"
#include "um/um_handles.h"
#include "um/um_mutex.h"
#include "verifier/pool.h"

namespace winsim::um {

namespace {

constexpr ULONG kTagThread = PoolTag("UmTh");

struct ThreadBody {
    KEVENT exited;  // first: what a wait on the handle waits for
    DWORD id;
    DWORD exitCode;  // STILL_ACTIVE until the thread ended
};

// How ExitThread leaves the thread's body.
struct ThreadExit {
    DWORD code;
};

thread_local bool t_processThread = false;
// Ids of threads that are no thread of a process (the machine's user, a
// test, a system thread), given when first asked for; the boot count keeps
// an id from before a machine's boot from coming back.
thread_local DWORD t_threadId = 0;
thread_local unsigned t_idBoot = 0;
std::atomic<unsigned> g_boot{1};

}  // namespace

DWORD RunProcessThread(const std::shared_ptr<Process>& process, DWORD threadId, const std::function<DWORD()>& body)
{
    SetCurrentProcess(process);
    t_processThread = true;
    t_threadId = threadId;
    t_idBoot = g_boot;
    DWORD code;
    try {
        code = body();
    } catch (const ThreadExit& exit) {
        code = exit.code;
    }
    AbandonMutexesOfThisThread();
    t_processThread = false;
    t_threadId = 0;
    SetCurrentProcess(nullptr);
    return code;
}

void ForgetThreadIds() { ++g_boot; }

}  // namespace winsim::um

using winsim::um::HandleKind;
using winsim::um::HandleObject;
using winsim::um::ThreadBody;

extern "C" {

HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES lpThreadAttributes, SIZE_T dwStackSize,
                           LPTHREAD_START_ROUTINE lpStartAddress, LPVOID lpParameter, DWORD dwCreationFlags,
                           LPDWORD lpThreadId)
{
    UNREFERENCED_PARAMETER(lpThreadAttributes);
    UNREFERENCED_PARAMETER(dwStackSize);
    if (lpStartAddress == nullptr || (dwCreationFlags & CREATE_SUSPENDED) != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto* body = static_cast<ThreadBody*>(winsim::ob::CreateObject(winsim::ob::ObjectType::kThread,
                                                                   sizeof(ThreadBody), winsim::um::kTagThread,
                                                                   nullptr));
    if (body == nullptr) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    KeInitializeEvent(&body->exited, NotificationEvent, FALSE);
    body->id = winsim::um::NewClientId();
    body->exitCode = STILL_ACTIVE;
    HANDLE handle = winsim::um::InsertHandle(HandleKind::kThread, body);
    if (handle == nullptr) {
        ObDereferenceObject(body);
        SetLastError(ERROR_NO_SYSTEM_RESOURCES);
        return nullptr;
    }
    // The running thread holds its object until it has ended.
    ObReferenceObject(body);
    std::shared_ptr<winsim::um::Process> process = winsim::um::CurrentProcessShared();
    winsim::Thread thread = winsim::Scheduler::Instance().Spawn(
        "thread " + std::to_string(body->id), [process, body, lpStartAddress, lpParameter] {
            const DWORD code = winsim::um::RunProcessThread(process, body->id,
                                                            [&] { return lpStartAddress(lpParameter); });
            __atomic_store_n(&body->exitCode, code, __ATOMIC_RELEASE);
            KeSetEvent(&body->exited, 0, FALSE);
            ObDereferenceObject(body);
        });
    process->AddThread(std::move(thread));
    if (lpThreadId != nullptr) *lpThreadId = body->id;
    return handle;
}

void WINAPI ExitThread(DWORD dwExitCode)
{
    if (!winsim::um::t_processThread) {
        std::fprintf(stderr, "winsim: ExitThread on %s, which is no thread of a process\n",
                     winsim::Scheduler::CurrentThreadName());
        std::abort();
    }
    throw winsim::um::ThreadExit{dwExitCode};
}

BOOL WINAPI GetExitCodeThread(HANDLE hThread, LPDWORD lpExitCode)
{
    HandleObject object;
    if (!winsim::um::ReferenceHandle(hThread, &object)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    const bool isThread = object.kind == HandleKind::kThread;
    if (isThread) *lpExitCode = __atomic_load_n(&static_cast<ThreadBody*>(object.object)->exitCode, __ATOMIC_ACQUIRE);
    ObDereferenceObject(object.object);
    if (!isThread) SetLastError(ERROR_INVALID_HANDLE);
    return isThread ? TRUE : FALSE;
}

DWORD WINAPI GetCurrentThreadId(void)
{
    if (winsim::um::t_threadId == 0 || winsim::um::t_idBoot != winsim::um::g_boot) {
        winsim::um::t_threadId = winsim::um::NewClientId();
        winsim::um::t_idBoot = winsim::um::g_boot;
    }
    return winsim::um::t_threadId;
}

DWORD WINAPI GetCurrentProcessId(void) { return winsim::um::CurrentProcess().Id(); }

}  // extern "C"
