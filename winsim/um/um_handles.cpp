#include "um/um_handles.h"

#include <km_io.h>

#include "km/io_manager.h"
#include "um/um_disk_file.h"
#include "um/um_mutex.h"
#include "um/um_process.h"

namespace winsim::um {

namespace {

// Windows keeps a process to about 16 million handles.
constexpr size_t kMaximumHandles = 1 << 24;

HANDLE HandleOf(size_t slot) { return reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>((slot + 1) * 4)); }

}  // namespace

bool HandleTable::SlotOf(HANDLE handle, size_t* slot) const
{
    auto value = reinterpret_cast<ULONG_PTR>(handle);
    if (value == 0 || value % 4 != 0) return false;
    *slot = value / 4 - 1;
    return *slot < slots_.size() && slots_[*slot].open;
}

HANDLE HandleTable::Insert(HandleKind kind, PVOID object)
{
    std::lock_guard lk(lock_);
    size_t slot;
    if (!free_.empty()) {
        slot = free_.back();
        free_.pop_back();
    } else {
        if (slots_.size() >= kMaximumHandles) return nullptr;
        slot = slots_.size();
        slots_.emplace_back();
    }
    slots_[slot] = Slot{true, HandleObject{kind, object}};
    ++open_;
    return HandleOf(slot);
}

bool HandleTable::Reference(HANDLE handle, HandleObject* out)
{
    std::lock_guard lk(lock_);
    size_t slot;
    if (!SlotOf(handle, &slot)) return false;
    *out = slots_[slot].object;
    ObReferenceObject(out->object);
    return true;
}

bool HandleTable::Remove(HANDLE handle, HandleObject* out)
{
    std::lock_guard lk(lock_);
    size_t slot;
    if (!SlotOf(handle, &slot)) return false;
    *out = slots_[slot].object;
    slots_[slot] = Slot{};
    free_.push_back(slot);
    --open_;
    return true;
}

size_t HandleTable::Count()
{
    std::lock_guard lk(lock_);
    return open_;
}

std::vector<HandleObject> HandleTable::TakeAll()
{
    std::lock_guard lk(lock_);
    std::vector<HandleObject> objects;
    for (size_t slot = 0; slot < slots_.size(); ++slot) {
        if (!slots_[slot].open) continue;
        objects.push_back(slots_[slot].object);
        slots_[slot] = Slot{};
        free_.push_back(slot);
    }
    open_ = 0;
    return objects;
}

HANDLE InsertHandle(HandleKind kind, PVOID object) { return CurrentProcess().Handles().Insert(kind, object); }

bool ReferenceHandle(HANDLE handle, HandleObject* out) { return CurrentProcess().Handles().Reference(handle, out); }

bool RemoveHandle(HANDLE handle, HandleObject* out) { return CurrentProcess().Handles().Remove(handle, out); }

PVOID DispatcherObjectOf(const HandleObject& object)
{
    return object.kind == HandleKind::kFile ? io::FileEvent(static_cast<PFILE_OBJECT>(object.object))
                                            : object.object;
}

void ReleaseHandleObject(const HandleObject& object)
{
    // Cleanup at the last handle, close at the last reference: a request
    // still pending keeps the file until it completes.
    if (object.kind == HandleKind::kFile) io::CleanupFile(static_cast<PFILE_OBJECT>(object.object));
    if (object.kind == HandleKind::kDiskFile) CleanupDiskFile(object.object);
    if (object.kind == HandleKind::kMutex) CloseMutexHandle(object.object);
    ObDereferenceObject(object.object);
}

}  // namespace winsim::um
