#include "registry/key_handle_table.h"

namespace winsim::registry {

HANDLE KeyHandleTable::Insert(KeyRef key, ACCESS_MASK access)
{
    std::lock_guard lk(lock_);
    ULONG_PTR value = next_;
    next_ += 4;
    entries_.emplace(value, Entry{std::move(key), access});
    return reinterpret_cast<HANDLE>(value);
}

bool KeyHandleTable::Lookup(HANDLE handle, KeyRef* key, ACCESS_MASK* access) const
{
    std::lock_guard lk(lock_);
    auto it = entries_.find(reinterpret_cast<ULONG_PTR>(handle));
    if (it == entries_.end())
        return false;
    *key = it->second.key;
    if (access != nullptr)
        *access = it->second.access;
    return true;
}

bool KeyHandleTable::Remove(HANDLE handle)
{
    std::lock_guard lk(lock_);
    return entries_.erase(reinterpret_cast<ULONG_PTR>(handle)) != 0;
}

size_t KeyHandleTable::Count() const
{
    std::lock_guard lk(lock_);
    return entries_.size();
}

KeyHandleTable& KernelKeyHandles()
{
    // Kernel handles have the top bit set, as on Windows.
    static KeyHandleTable table(0xFFFFFFFF80000004ull);
    return table;
}

}  // namespace winsim::registry
