// CreateMutexA and ReleaseMutex. A user-mode mutex is a kernel mutant, so
// waits on it are the dispatcher's; names live in a logon session.
#include "um/um_mutex.h"

#include <km_io.h>

#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <string_view>

#include "km/ob_object.h"
#include "sched/scheduler.h"
#include "um/um_handles.h"
#include "um/um_process.h"
#include "verifier/pool.h"

namespace winsim::um {

namespace {

constexpr ULONG kTagMutant = PoolTag("UmMu");
constexpr std::string_view kGlobalPrefix = "Global\\";
constexpr std::string_view kLocalPrefix = "Local\\";

struct MutexBody {
    KMUTANT mutant;  // first: what a wait on the handle waits for
    bool abandoned;
    // A named mutex: where its name is, and how many handles keep it there.
    LogonSession* names;
    std::string* name;
    ULONG handles;
};

// Every mutex alive, so a thread's end finds what it owns.
struct LiveMutexes {
    std::mutex lock;
    std::set<MutexBody*> all;
};

LiveMutexes& Live()
{
    static LiveMutexes live;
    return live;
}

// The machine-wide namespace of "Global\" names.
LogonSession& GlobalNames()
{
    static LogonSession global;
    return global;
}

PKTHREAD CurrentOwner() { return reinterpret_cast<PKTHREAD>(Scheduler::CurrentThread()); }

void DeleteMutex(void* object)
{
    auto* body = static_cast<MutexBody*>(object);
    delete body->name;
    std::lock_guard lk(Live().lock);
    Live().all.erase(body);
}

MutexBody* NewMutex(BOOL initialOwner)
{
    auto* body = static_cast<MutexBody*>(ob::CreateObject(ob::ObjectType::kMutant, sizeof(MutexBody), kTagMutant,
                                                          DeleteMutex));
    if (body == nullptr) return nullptr;
    KeInitializeMutex(&body->mutant, 0);
    if (initialOwner) {
        body->mutant.Header.SignalState = 0;
        body->mutant.OwnerThread = CurrentOwner();
    }
    std::lock_guard lk(Live().lock);
    Live().all.insert(body);
    return body;
}

HANDLE InsertMutex(MutexBody* body)
{
    HANDLE handle = InsertHandle(HandleKind::kMutex, body);
    if (handle == nullptr) {
        CloseMutexHandle(body);
        ObDereferenceObject(body);
        SetLastError(ERROR_NO_SYSTEM_RESOURCES);
    }
    return handle;
}

}  // namespace

void CloseMutexHandle(PVOID object)
{
    auto* body = static_cast<MutexBody*>(object);
    if (body->names == nullptr) return;
    std::lock_guard lk(body->names->lock);
    if (--body->handles == 0) body->names->namedObjects.erase(*body->name);
}

bool TakeAbandonment(PVOID object)
{
    return __atomic_exchange_n(&static_cast<MutexBody*>(object)->abandoned, false, __ATOMIC_ACQ_REL);
}

void AbandonMutexesOfThisThread()
{
    const PKTHREAD self = CurrentOwner();
    std::lock_guard lk(Live().lock);
    for (MutexBody* body : Live().all) {
        if (body->mutant.OwnerThread != self) continue;
        __atomic_store_n(&body->abandoned, true, __ATOMIC_RELEASE);
        while (body->mutant.OwnerThread == self) Scheduler::Instance().ReleaseMutex(&body->mutant);
    }
}

}  // namespace winsim::um

using winsim::um::MutexBody;

extern "C" {

HANDLE WINAPI CreateMutexA(LPSECURITY_ATTRIBUTES lpMutexAttributes, BOOL bInitialOwner, LPCSTR lpName)
{
    UNREFERENCED_PARAMETER(lpMutexAttributes);
    if (lpName == nullptr) {
        MutexBody* body = winsim::um::NewMutex(bInitialOwner);
        if (body == nullptr) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return nullptr;
        }
        HANDLE handle = winsim::um::InsertMutex(body);
        if (handle != nullptr) SetLastError(ERROR_SUCCESS);
        return handle;
    }
    std::string_view name = lpName;
    winsim::um::LogonSession* names = winsim::um::CurrentProcess().Session().get();
    if (name.substr(0, winsim::um::kGlobalPrefix.size()) == winsim::um::kGlobalPrefix) {
        names = &winsim::um::GlobalNames();
        name.remove_prefix(winsim::um::kGlobalPrefix.size());
    } else if (name.substr(0, winsim::um::kLocalPrefix.size()) == winsim::um::kLocalPrefix) {
        name.remove_prefix(winsim::um::kLocalPrefix.size());
    }
    if (name.find('\\') != std::string_view::npos) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return nullptr;
    }
    MutexBody* body;
    bool existed;
    {
        std::lock_guard lk(names->lock);
        auto found = names->namedObjects.find(std::string(name));
        existed = found != names->namedObjects.end();
        if (existed) {
            // Another start of the same name: a handle to the same mutex,
            // which the caller does not get to own.
            body = static_cast<MutexBody*>(found->second);
            ObReferenceObject(body);
        } else {
            body = winsim::um::NewMutex(bInitialOwner);
            if (body == nullptr) {
                SetLastError(ERROR_NOT_ENOUGH_MEMORY);
                return nullptr;
            }
            body->names = names;
            body->name = new std::string(name);
            names->namedObjects[*body->name] = body;
        }
        ++body->handles;
    }
    HANDLE handle = winsim::um::InsertMutex(body);
    if (handle != nullptr) SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return handle;
}

BOOL WINAPI ReleaseMutex(HANDLE hMutex)
{
    winsim::um::HandleObject object;
    if (!winsim::um::ReferenceHandle(hMutex, &object)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    BOOL released = FALSE;
    if (object.kind != winsim::um::HandleKind::kMutex) {
        SetLastError(ERROR_INVALID_HANDLE);
    } else if (static_cast<MutexBody*>(object.object)->mutant.OwnerThread != winsim::um::CurrentOwner()) {
        SetLastError(ERROR_NOT_OWNER);
    } else {
        winsim::Scheduler::Instance().ReleaseMutex(&static_cast<MutexBody*>(object.object)->mutant);
        released = TRUE;
    }
    ObDereferenceObject(object.object);
    return released;
}

}  // extern "C"
