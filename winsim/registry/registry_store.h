// The machine-wide registry: one tree under \Registry that the kernel's Zw
// services and the user-mode Reg functions both work on. Key and value names
// compare without regard to case and keep the case they were created with;
// subkeys enumerate in the order of their upper-cased names, values in the
// order they were first set. Results are NTSTATUS codes, as the configuration
// manager reports them; user mode maps them to Win32 errors.
#pragma once

#include <ntdef.h>

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#ifndef STATUS_OBJECT_PATH_SYNTAX_BAD
#define STATUS_OBJECT_PATH_SYNTAX_BAD ((NTSTATUS)0xC000003BL)
#endif
#ifndef STATUS_CANNOT_DELETE
#define STATUS_CANNOT_DELETE ((NTSTATUS)0xC0000121L)
#endif
#ifndef STATUS_KEY_DELETED
#define STATUS_KEY_DELETED ((NTSTATUS)0xC000017CL)
#endif

namespace winsim::registry {

inline constexpr std::u16string_view kMachinePath = u"\\Registry\\Machine";
// The hive of the machine's one interactive user (HKEY_CURRENT_USER).
inline constexpr std::u16string_view kCurrentUserPath =
    u"\\Registry\\User\\S-1-5-21-3623811015-3361044348-30300820-1013";

struct Value {
    std::u16string name;
    ULONG type = 0;  // REG_NONE
    std::vector<UCHAR> data;
};

// What a key reports about itself; name lengths are in bytes, as in the
// kernel's key information records.
struct KeyInfo {
    std::u16string name;
    std::u16string className;
    LONGLONG lastWriteTime = 0;
    ULONG subkeys = 0;
    ULONG values = 0;
    ULONG maxSubkeyNameBytes = 0;
    ULONG maxSubkeyClassBytes = 0;
    ULONG maxValueNameBytes = 0;
    ULONG maxValueDataBytes = 0;
};

// A key object. Handles hold these; a deleted key stays valid for the handles
// that still refer to it but refuses every operation with STATUS_KEY_DELETED.
class Key;
using KeyRef = std::shared_ptr<Key>;

class Store {
public:
    static Store& Instance();

    // A fresh machine: only the hive roots exist. Keys opened before are deleted.
    void Reset();
    // A copy of the whole tree as it stands, and the way back to it: Restore
    // puts a copy of the snapshot in place (the snapshot stays usable) and
    // deletes the keys opened before, as Reset does. What a fuzz input
    // wrote is undone without booting the machine again.
    KeyRef Snapshot();
    void Restore(const KeyRef& snapshot);

    // Key services. A null base takes an absolute path ("\Registry\..."); with
    // a base the path is relative to it, and an empty path names the base.
    NTSTATUS OpenKey(const KeyRef& base, std::u16string_view path, KeyRef* key);
    // Creates only the last component of the path, as NtCreateKey does.
    NTSTATUS CreateKey(const KeyRef& base, std::u16string_view path, std::u16string_view className,
                       KeyRef* key, bool* created);
    // Creates every missing component, as RegCreateKeyEx does.
    NTSTATUS CreateKeyPath(const KeyRef& base, std::u16string_view path, std::u16string_view className,
                           KeyRef* key, bool* created);
    // Refuses a key that has subkeys, and the hive roots.
    NTSTATUS DeleteKey(const KeyRef& key);
    NTSTATUS QueryKey(const KeyRef& key, KeyInfo* info);
    NTSTATUS EnumerateKey(const KeyRef& key, ULONG index, KeyInfo* subkey);
    NTSTATUS Flush(const KeyRef& key);

    NTSTATUS QueryValue(const KeyRef& key, std::u16string_view name, Value* value);
    NTSTATUS EnumerateValue(const KeyRef& key, ULONG index, Value* value);
    NTSTATUS SetValue(const KeyRef& key, std::u16string_view name, ULONG type, const void* data, size_t size);
    NTSTATUS DeleteValue(const KeyRef& key, std::u16string_view name);

    // Path conveniences for winsim's own components (PnP manager, bench,
    // tests). Paths are absolute; setters create the keys they need.
    bool Exists(std::u16string_view path);
    bool SetValue(std::u16string_view path, std::u16string_view name, ULONG type,
                  const std::vector<UCHAR>& data);
    // REG_SZ stored with its terminating NUL, as Windows programs store it.
    bool SetString(std::u16string_view path, std::u16string_view name, std::u16string_view text);
    bool SetDword(std::u16string_view path, std::u16string_view name, ULONG value);
    std::optional<Value> GetValue(std::u16string_view path, std::u16string_view name);
    // The text of a REG_SZ or REG_EXPAND_SZ value up to its first NUL.
    std::optional<std::u16string> GetString(std::u16string_view path, std::u16string_view name);
    bool DeleteValue(std::u16string_view path, std::u16string_view name);
    // Deletes a key with everything below it.
    bool DeleteTree(std::u16string_view path);
    std::vector<std::u16string> SubkeyNames(std::u16string_view path);
    std::vector<Value> Values(std::u16string_view path);

private:
    Store();
    enum class Mode { Open, CreateLast, CreateAll };
    NTSTATUS Resolve(const KeyRef& base, std::u16string_view path, Mode mode, std::u16string_view className,
                     KeyRef* key, bool* created);

    std::mutex lock_;
    KeyRef root_;
};

}  // namespace winsim::registry
