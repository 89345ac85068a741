#include "um/um_handles.h"

#include <km_io.h>

#include <mutex>
#include <vector>

#include "km/io_manager.h"
#include "um/um_disk_file.h"

namespace winsim::um {

namespace {

// Windows keeps a process to about 16 million handles.
constexpr size_t kMaximumHandles = 1 << 24;

struct Slot {
    bool open = false;
    HandleObject object{};
};

struct HandleTable {
    std::mutex lock;
    std::vector<Slot> slots;
    std::vector<size_t> free;  // reused last-closed first
};

HandleTable& Table()
{
    static HandleTable table;
    return table;
}

HANDLE HandleOf(size_t slot) { return reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>((slot + 1) * 4)); }

bool SlotOf(HANDLE handle, size_t* slot)
{
    auto value = reinterpret_cast<ULONG_PTR>(handle);
    if (value == 0 || value % 4 != 0) return false;
    *slot = value / 4 - 1;
    return *slot < Table().slots.size() && Table().slots[*slot].open;
}

}  // namespace

HANDLE InsertHandle(HandleKind kind, PVOID object)
{
    HandleTable& table = Table();
    std::lock_guard lk(table.lock);
    size_t slot;
    if (!table.free.empty()) {
        slot = table.free.back();
        table.free.pop_back();
    } else {
        if (table.slots.size() >= kMaximumHandles) return nullptr;
        slot = table.slots.size();
        table.slots.emplace_back();
    }
    table.slots[slot] = Slot{true, HandleObject{kind, object}};
    return HandleOf(slot);
}

bool ReferenceHandle(HANDLE handle, HandleObject* out)
{
    HandleTable& table = Table();
    std::lock_guard lk(table.lock);
    size_t slot;
    if (!SlotOf(handle, &slot)) return false;
    *out = table.slots[slot].object;
    ObReferenceObject(out->object);
    return true;
}

bool RemoveHandle(HANDLE handle, HandleObject* out)
{
    HandleTable& table = Table();
    std::lock_guard lk(table.lock);
    size_t slot;
    if (!SlotOf(handle, &slot)) return false;
    *out = table.slots[slot].object;
    table.slots[slot] = Slot{};
    table.free.push_back(slot);
    return true;
}

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
    ObDereferenceObject(object.object);
}

}  // namespace winsim::um
