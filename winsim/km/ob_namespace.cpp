// Object directories \Device and \??, symbolic links, and the link services
// drivers call (IoCreateSymbolicLink, IoDeleteSymbolicLink).
#include "km/ob_namespace.h"

#include <map>
#include <mutex>

#include "km/io_manager.h"
#include "km/io_strings.h"
#include "verifier/verifier.h"

namespace winsim::ob {

namespace {

// Windows gives up on a name after this many link substitutions.
constexpr int kMaximumReparses = 32;

struct Entry {
    PDEVICE_OBJECT device = nullptr;  // a device object, or
    std::u16string target;            // a symbolic link's target
};

struct Namespace {
    std::mutex lock;
    std::map<std::u16string, Entry> entries;  // key: canonical upper-case name
};

Namespace& Names()
{
    static Namespace names;
    return names;
}

struct ParsedName {
    std::u16string key;
    std::u16string remainder;
};

// \DosDevices is a link to \?? in the root; \GLOBAL?? is what \?? shows.
std::u16string Unalias(std::u16string_view path)
{
    for (std::u16string_view alias : {std::u16string_view(u"\\DosDevices"), std::u16string_view(u"\\GLOBAL??")}) {
        if (io::StartsWithNoCase(path, alias) && (path.size() == alias.size() || path[alias.size()] == u'\\')) {
            return u"\\??" + std::u16string(path.substr(alias.size()));
        }
    }
    return std::u16string(path);
}

NTSTATUS Parse(std::u16string_view path, ParsedName* out)
{
    std::u16string p = Unalias(path);
    if (p.empty() || p[0] != u'\\') return STATUS_OBJECT_NAME_INVALID;
    size_t dirEnd = p.find(u'\\', 1);
    if (dirEnd == std::u16string::npos) return STATUS_OBJECT_NAME_INVALID;
    std::u16string dir = io::UpperCase(std::u16string_view(p).substr(1, dirEnd - 1));
    if (dir != u"DEVICE" && dir != u"??") return STATUS_OBJECT_PATH_NOT_FOUND;
    size_t nameEnd = p.find(u'\\', dirEnd + 1);
    std::u16string_view name = std::u16string_view(p).substr(dirEnd + 1, nameEnd - dirEnd - 1);
    if (name.empty()) return STATUS_OBJECT_NAME_INVALID;
    out->key = u"\\" + dir + u"\\" + io::UpperCase(name);
    out->remainder = nameEnd == std::u16string::npos ? std::u16string() : p.substr(nameEnd);
    return STATUS_SUCCESS;
}

// Only leaf names: the two directories hold no subdirectories.
NTSTATUS ParseLeaf(std::u16string_view name, ParsedName* out)
{
    NTSTATUS status = Parse(name, out);
    if (NT_SUCCESS(status) && !out->remainder.empty()) return STATUS_OBJECT_PATH_NOT_FOUND;
    return status;
}

NTSTATUS Insert(std::u16string_view name, Entry entry)
{
    ParsedName parsed;
    NTSTATUS status = ParseLeaf(name, &parsed);
    if (!NT_SUCCESS(status)) return status;
    Namespace& ns = Names();
    std::lock_guard lk(ns.lock);
    if (!ns.entries.emplace(parsed.key, std::move(entry)).second) return STATUS_OBJECT_NAME_COLLISION;
    return STATUS_SUCCESS;
}

}  // namespace

std::u16string CanonicalName(std::u16string_view name)
{
    ParsedName parsed;
    return NT_SUCCESS(ParseLeaf(name, &parsed)) ? parsed.key : std::u16string();
}

NTSTATUS InsertDeviceName(std::u16string_view name, PDEVICE_OBJECT device)
{
    Entry entry;
    entry.device = device;
    return Insert(name, std::move(entry));
}

void RemoveDeviceName(std::u16string_view name)
{
    ParsedName parsed;
    if (!NT_SUCCESS(ParseLeaf(name, &parsed))) return;
    Namespace& ns = Names();
    std::lock_guard lk(ns.lock);
    ns.entries.erase(parsed.key);
}

NTSTATUS CreateSymbolicLink(std::u16string_view link, std::u16string_view target)
{
    Entry entry;
    entry.target = std::u16string(target);
    return Insert(link, std::move(entry));
}

NTSTATUS DeleteSymbolicLink(std::u16string_view link)
{
    ParsedName parsed;
    NTSTATUS status = ParseLeaf(link, &parsed);
    if (!NT_SUCCESS(status)) return status;
    Namespace& ns = Names();
    std::lock_guard lk(ns.lock);
    auto it = ns.entries.find(parsed.key);
    if (it == ns.entries.end()) return STATUS_OBJECT_NAME_NOT_FOUND;
    if (it->second.device != nullptr) return STATUS_OBJECT_TYPE_MISMATCH;
    ns.entries.erase(it);
    return STATUS_SUCCESS;
}

}  // namespace winsim::ob

namespace winsim::io {

using namespace ob;

std::optional<std::u16string> SymbolicLinkTarget(std::u16string_view link)
{
    ParsedName parsed;
    if (!NT_SUCCESS(ParseLeaf(link, &parsed))) return std::nullopt;
    Namespace& ns = Names();
    std::lock_guard lk(ns.lock);
    auto it = ns.entries.find(parsed.key);
    if (it == ns.entries.end() || it->second.device != nullptr) return std::nullopt;
    return it->second.target;
}

NTSTATUS ReferenceDeviceByName(std::u16string_view path, PDEVICE_OBJECT* device, std::u16string* remainder)
{
    *device = nullptr;
    std::u16string current(path);
    Namespace& ns = Names();
    std::lock_guard lk(ns.lock);
    for (int reparse = 0; reparse <= kMaximumReparses; ++reparse) {
        ParsedName parsed;
        NTSTATUS status = Parse(current, &parsed);
        if (!NT_SUCCESS(status)) return status;
        auto it = ns.entries.find(parsed.key);
        if (it == ns.entries.end()) {
            // A missing name in the middle of a path is a missing path.
            return parsed.remainder.empty() ? STATUS_OBJECT_NAME_NOT_FOUND : STATUS_OBJECT_PATH_NOT_FOUND;
        }
        if (it->second.device == nullptr) {
            current = it->second.target + parsed.remainder;
            continue;
        }
        // Referenced under the lock: the device cannot lose its name and its
        // last reference in between.
        ObReferenceObject(it->second.device);
        *device = it->second.device;
        *remainder = std::move(parsed.remainder);
        return STATUS_SUCCESS;
    }
    return STATUS_OBJECT_NAME_NOT_FOUND;
}

}  // namespace winsim::io

using winsim::io::FromUnicodeString;

extern "C" {

NTSTATUS IoCreateSymbolicLink(PUNICODE_STRING symbolicLinkName, PUNICODE_STRING deviceName)
{
    winsim::Verifier::CheckPagedCode("IoCreateSymbolicLink");
    return winsim::ob::CreateSymbolicLink(FromUnicodeString(symbolicLinkName), FromUnicodeString(deviceName));
}

NTSTATUS IoDeleteSymbolicLink(PUNICODE_STRING symbolicLinkName)
{
    winsim::Verifier::CheckPagedCode("IoDeleteSymbolicLink");
    return winsim::ob::DeleteSymbolicLink(FromUnicodeString(symbolicLinkName));
}

}  // extern "C"
