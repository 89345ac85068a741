// Object headers and pointer counts (ObReferenceObject, ObDereferenceObject).
#include "km/ob_object.h"

#include <km_ex.h>
#include <km_io.h>

#include <cstdio>
#include <cstring>

#include "km/io_verifier_rules.h"
#include "sched/scheduler.h"

namespace winsim::ob {

namespace {

constexpr ULONG kHeaderMagic = 0x6A624F48;  // "HObj"
constexpr ULONG kDeadMagic = 0x64614544;    // "DEad"

struct alignas(16) ObjectHeader {
    ULONG magic;
    ObjectType type;
    LONG pointerCount;
    ULONG poolTag;
    DeleteProcedure onDelete;
};

ObjectHeader* HeaderOf(const void* body)
{
    return const_cast<ObjectHeader*>(static_cast<const ObjectHeader*>(body) - 1);
}

void ReportBadReference(const void* body, const char* what)
{
    char detail[96];
    std::snprintf(detail, sizeof detail, "%s(%p)", what, body);
    Verifier::Violation(io::kReferenceByPointer, io::rule::kBadObjectReference, detail);
}

void DeleteNow(void* body)
{
    ObjectHeader* header = HeaderOf(body);
    if (header->onDelete != nullptr) header->onDelete(body);
    header->magic = kDeadMagic;
    ExFreePoolWithTag(header, header->poolTag);
}

}  // namespace

void* CreateObject(ObjectType type, SIZE_T bodySize, ULONG poolTag, DeleteProcedure onDelete)
{
    void* block = ExAllocatePoolWithTag(NonPagedPoolNx, sizeof(ObjectHeader) + bodySize, poolTag);
    if (block == nullptr) return nullptr;
    std::memset(block, 0, sizeof(ObjectHeader) + bodySize);
    auto* header = static_cast<ObjectHeader*>(block);
    header->magic = kHeaderMagic;
    header->type = type;
    header->pointerCount = 1;
    header->poolTag = poolTag;
    header->onDelete = onDelete;
    return header + 1;
}

bool IsObjectOfType(const void* body, ObjectType type)
{
    if (body == nullptr) return false;
    const ObjectHeader* header = HeaderOf(body);
    return header->magic == kHeaderMagic && header->type == type;
}

LONG PointerCount(const void* body) { return __atomic_load_n(&HeaderOf(body)->pointerCount, __ATOMIC_ACQUIRE); }

namespace {

bool IsLive(const void* body) { return body != nullptr && HeaderOf(body)->magic == kHeaderMagic; }

void Reference(void* body)
{
    // A count that was already zero means the object is being deleted.
    if (!IsLive(body) || InterlockedIncrement(&HeaderOf(body)->pointerCount) <= 1) {
        ReportBadReference(body, "ObReferenceObject");
    }
}

void Dereference(void* body)
{
    if (!IsLive(body)) {
        ReportBadReference(body, "ObDereferenceObject");
        return;
    }
    LONG count = InterlockedDecrement(&HeaderOf(body)->pointerCount);
    if (count > 0) return;
    if (count < 0) {
        ReportBadReference(body, "ObDereferenceObject");
        return;
    }
    if (KeGetCurrentIrql() > APC_LEVEL) {
        Scheduler::Instance().QueueWork(DelayedWorkQueue, DeleteNow, body);
    } else {
        DeleteNow(body);
    }
}

}  // namespace

}  // namespace winsim::ob

extern "C" {

VOID ObReferenceObject(PVOID object) { winsim::ob::Reference(object); }

VOID ObDereferenceObject(PVOID object) { winsim::ob::Dereference(object); }

}  // extern "C"
