#include "registry/registry_store.h"

#include <km_zw.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <map>

#include "nls/nls_tables.h"
#include "sched/scheduler.h"

namespace winsim::registry {

namespace {

bool NameLess(std::u16string_view a, std::u16string_view b)
{
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        WCHAR ca = nls::Upcase(a[i]);
        WCHAR cb = nls::Upcase(b[i]);
        if (ca != cb)
            return ca < cb;
    }
    return a.size() < b.size();
}

bool NamesEqual(std::u16string_view a, std::u16string_view b)
{
    return a.size() == b.size() && !NameLess(a, b) && !NameLess(b, a);
}

struct NameOrder {
    using is_transparent = void;
    bool operator()(std::u16string_view a, std::u16string_view b) const { return NameLess(a, b); }
};

LONGLONG Now()
{
    auto& scheduler = Scheduler::Instance();
    return scheduler.Booted() ? scheduler.SystemTime() : 0;
}

ULONG Bytes(size_t characters)
{
    return static_cast<ULONG>(characters * sizeof(WCHAR));
}

}  // namespace

class Key {
public:
    std::u16string name;
    std::u16string className;
    Key* parent = nullptr;
    std::map<std::u16string, KeyRef, NameOrder> subkeys;
    std::vector<Value> values;
    LONGLONG lastWriteTime = 0;
    bool deleted = false;
    bool hiveRoot = false;

    Value* FindValue(std::u16string_view valueName)
    {
        auto it = std::find_if(values.begin(), values.end(),
                               [&](const Value& v) { return NamesEqual(v.name, valueName); });
        return it == values.end() ? nullptr : &*it;
    }

    KeyRef AddSubkey(std::u16string_view subkeyName, std::u16string_view subkeyClass)
    {
        auto key = std::make_shared<Key>();
        key->name = subkeyName;
        key->className = subkeyClass;
        key->parent = this;
        key->lastWriteTime = lastWriteTime = Now();
        subkeys.emplace(key->name, key);
        return key;
    }

    KeyInfo Info() const
    {
        KeyInfo info;
        info.name = name;
        info.className = className;
        info.lastWriteTime = lastWriteTime;
        info.subkeys = static_cast<ULONG>(subkeys.size());
        info.values = static_cast<ULONG>(values.size());
        for (const auto& [subkeyName, subkey] : subkeys) {
            info.maxSubkeyNameBytes = std::max(info.maxSubkeyNameBytes, Bytes(subkeyName.size()));
            info.maxSubkeyClassBytes = std::max(info.maxSubkeyClassBytes, Bytes(subkey->className.size()));
        }
        for (const auto& value : values) {
            info.maxValueNameBytes = std::max(info.maxValueNameBytes, Bytes(value.name.size()));
            info.maxValueDataBytes = std::max(info.maxValueDataBytes, static_cast<ULONG>(value.data.size()));
        }
        return info;
    }

    // Takes the key and everything below it out of the tree.
    void Unlink()
    {
        parent->subkeys.erase(name);
        parent->lastWriteTime = Now();
        MarkTreeDeleted();
    }

    // A deep copy of the key and everything below it, under a new parent.
    KeyRef Copy(Key* newParent) const
    {
        auto copy = std::make_shared<Key>();
        copy->name = name;
        copy->className = className;
        copy->parent = newParent;
        copy->values = values;
        copy->lastWriteTime = lastWriteTime;
        copy->hiveRoot = hiveRoot;
        for (const auto& [subkeyName, subkey] : subkeys)
            copy->subkeys.emplace_hint(copy->subkeys.end(), subkeyName, subkey->Copy(copy.get()));
        return copy;
    }

    void MarkTreeDeleted()
    {
        for (auto& [subkeyName, subkey] : subkeys)
            subkey->MarkTreeDeleted();
        subkeys.clear();
        deleted = true;
        parent = nullptr;
    }
};

namespace {

KeyRef NewMachine()
{
    auto root = std::make_shared<Key>();
    root->name = u"REGISTRY";
    root->hiveRoot = true;
    auto machine = root->AddSubkey(u"MACHINE", u"");
    auto user = root->AddSubkey(u"USER", u"");
    KeyRef hives[] = {
        machine,
        user,
        machine->AddSubkey(u"HARDWARE", u""),
        machine->AddSubkey(u"SOFTWARE", u""),
        machine->AddSubkey(u"SYSTEM", u""),
        user->AddSubkey(kCurrentUserPath.substr(kCurrentUserPath.rfind(u'\\') + 1), u""),
    };
    for (auto& hive : hives)
        hive->hiveRoot = true;
    return root;
}

NTSTATUS SplitComponents(std::u16string_view path, std::vector<std::u16string_view>* components)
{
    components->clear();
    if (path.empty())
        return STATUS_SUCCESS;
    size_t start = 0;
    for (;;) {
        size_t end = path.find(u'\\', start);
        std::u16string_view component = path.substr(start, end == path.npos ? path.npos : end - start);
        if (component.empty())
            return STATUS_OBJECT_NAME_INVALID;
        components->push_back(component);
        if (end == path.npos)
            return STATUS_SUCCESS;
        start = end + 1;
    }
}

// Finds where a path starts: the base key, or the root for "\Registry\...".
NTSTATUS Anchor(const KeyRef& root, const KeyRef& base, std::u16string_view path, KeyRef* start,
                std::u16string_view* rest)
{
    if (base != nullptr) {
        if (!path.empty() && path.front() == u'\\')
            return STATUS_OBJECT_PATH_SYNTAX_BAD;
        if (base->deleted)
            return STATUS_KEY_DELETED;
        *start = base;
        *rest = path;
        return STATUS_SUCCESS;
    }
    if (path.empty() || path.front() != u'\\')
        return STATUS_OBJECT_PATH_SYNTAX_BAD;
    path.remove_prefix(1);
    size_t end = path.find(u'\\');
    if (!NamesEqual(path.substr(0, end), root->name))
        return STATUS_OBJECT_PATH_NOT_FOUND;
    *start = root;
    *rest = end == path.npos ? std::u16string_view() : path.substr(end + 1);
    return end != path.npos && rest->empty() ? STATUS_OBJECT_NAME_INVALID : STATUS_SUCCESS;
}

}  // namespace

Store& Store::Instance()
{
    static Store store;
    return store;
}

Store::Store() : root_(NewMachine()) {}

void Store::Reset()
{
    std::lock_guard lk(lock_);
    root_->MarkTreeDeleted();
    root_ = NewMachine();
}

KeyRef Store::Snapshot()
{
    std::lock_guard lk(lock_);
    return root_->Copy(nullptr);
}

void Store::Restore(const KeyRef& snapshot)
{
    KeyRef copy = snapshot->Copy(nullptr);
    std::lock_guard lk(lock_);
    root_->MarkTreeDeleted();
    root_ = std::move(copy);
}

NTSTATUS Store::Resolve(const KeyRef& base, std::u16string_view path, Mode mode,
                        std::u16string_view className, KeyRef* key, bool* created)
{
    KeyRef current;
    std::u16string_view rest;
    NTSTATUS status = Anchor(root_, base, path, &current, &rest);
    if (!NT_SUCCESS(status))
        return status;
    std::vector<std::u16string_view> components;
    status = SplitComponents(rest, &components);
    if (!NT_SUCCESS(status))
        return status;
    bool madeLast = false;
    for (size_t i = 0; i < components.size(); ++i) {
        bool last = i + 1 == components.size();
        auto it = current->subkeys.find(components[i]);
        if (it != current->subkeys.end()) {
            current = it->second;
            continue;
        }
        if (mode == Mode::Open || (mode == Mode::CreateLast && !last))
            return STATUS_OBJECT_NAME_NOT_FOUND;
        current = current->AddSubkey(components[i], last ? className : std::u16string_view());
        madeLast = last;
    }
    *key = current;
    if (created != nullptr)
        *created = madeLast;
    return STATUS_SUCCESS;
}

NTSTATUS Store::OpenKey(const KeyRef& base, std::u16string_view path, KeyRef* key)
{
    std::lock_guard lk(lock_);
    return Resolve(base, path, Mode::Open, {}, key, nullptr);
}

NTSTATUS Store::CreateKey(const KeyRef& base, std::u16string_view path, std::u16string_view className,
                          KeyRef* key, bool* created)
{
    std::lock_guard lk(lock_);
    return Resolve(base, path, Mode::CreateLast, className, key, created);
}

NTSTATUS Store::CreateKeyPath(const KeyRef& base, std::u16string_view path, std::u16string_view className,
                              KeyRef* key, bool* created)
{
    std::lock_guard lk(lock_);
    return Resolve(base, path, Mode::CreateAll, className, key, created);
}

NTSTATUS Store::DeleteKey(const KeyRef& key)
{
    std::lock_guard lk(lock_);
    if (key->deleted)
        return STATUS_KEY_DELETED;
    if (key->hiveRoot || !key->subkeys.empty())
        return STATUS_CANNOT_DELETE;
    key->Unlink();
    return STATUS_SUCCESS;
}

NTSTATUS Store::QueryKey(const KeyRef& key, KeyInfo* info)
{
    std::lock_guard lk(lock_);
    if (key->deleted)
        return STATUS_KEY_DELETED;
    *info = key->Info();
    return STATUS_SUCCESS;
}

NTSTATUS Store::EnumerateKey(const KeyRef& key, ULONG index, KeyInfo* subkey)
{
    std::lock_guard lk(lock_);
    if (key->deleted)
        return STATUS_KEY_DELETED;
    if (index >= key->subkeys.size())
        return STATUS_NO_MORE_ENTRIES;
    *subkey = std::next(key->subkeys.begin(), index)->second->Info();
    return STATUS_SUCCESS;
}

NTSTATUS Store::Flush(const KeyRef& key)
{
    std::lock_guard lk(lock_);
    return key->deleted ? STATUS_KEY_DELETED : STATUS_SUCCESS;
}

NTSTATUS Store::QueryValue(const KeyRef& key, std::u16string_view name, Value* value)
{
    std::lock_guard lk(lock_);
    if (key->deleted)
        return STATUS_KEY_DELETED;
    Value* found = key->FindValue(name);
    if (found == nullptr)
        return STATUS_OBJECT_NAME_NOT_FOUND;
    *value = *found;
    return STATUS_SUCCESS;
}

NTSTATUS Store::EnumerateValue(const KeyRef& key, ULONG index, Value* value)
{
    std::lock_guard lk(lock_);
    if (key->deleted)
        return STATUS_KEY_DELETED;
    if (index >= key->values.size())
        return STATUS_NO_MORE_ENTRIES;
    *value = key->values[index];
    return STATUS_SUCCESS;
}

NTSTATUS Store::SetValue(const KeyRef& key, std::u16string_view name, ULONG type, const void* data,
                         size_t size)
{
    std::lock_guard lk(lock_);
    if (key->deleted)
        return STATUS_KEY_DELETED;
    Value* value = key->FindValue(name);
    if (value == nullptr) {
        key->values.push_back(Value{std::u16string(name), type, {}});
        value = &key->values.back();
    }
    value->type = type;
    value->data.assign(static_cast<const UCHAR*>(data), static_cast<const UCHAR*>(data) + size);
    key->lastWriteTime = Now();
    return STATUS_SUCCESS;
}

NTSTATUS Store::DeleteValue(const KeyRef& key, std::u16string_view name)
{
    std::lock_guard lk(lock_);
    if (key->deleted)
        return STATUS_KEY_DELETED;
    Value* value = key->FindValue(name);
    if (value == nullptr)
        return STATUS_OBJECT_NAME_NOT_FOUND;
    key->values.erase(key->values.begin() + (value - key->values.data()));
    key->lastWriteTime = Now();
    return STATUS_SUCCESS;
}

bool Store::Exists(std::u16string_view path)
{
    KeyRef key;
    return NT_SUCCESS(OpenKey(nullptr, path, &key));
}

bool Store::SetValue(std::u16string_view path, std::u16string_view name, ULONG type,
                     const std::vector<UCHAR>& data)
{
    KeyRef key;
    return NT_SUCCESS(CreateKeyPath(nullptr, path, {}, &key, nullptr)) &&
           NT_SUCCESS(SetValue(key, name, type, data.data(), data.size()));
}

bool Store::SetString(std::u16string_view path, std::u16string_view name, std::u16string_view text)
{
    std::vector<UCHAR> data((text.size() + 1) * sizeof(WCHAR), 0);
    std::memcpy(data.data(), text.data(), text.size() * sizeof(WCHAR));
    return SetValue(path, name, REG_SZ, data);
}

bool Store::SetDword(std::u16string_view path, std::u16string_view name, ULONG value)
{
    std::vector<UCHAR> data(sizeof value);
    std::memcpy(data.data(), &value, sizeof value);
    return SetValue(path, name, REG_DWORD, data);
}

std::optional<Value> Store::GetValue(std::u16string_view path, std::u16string_view name)
{
    KeyRef key;
    Value value;
    if (!NT_SUCCESS(OpenKey(nullptr, path, &key)) || !NT_SUCCESS(QueryValue(key, name, &value)))
        return std::nullopt;
    return value;
}

std::optional<std::u16string> Store::GetString(std::u16string_view path, std::u16string_view name)
{
    auto value = GetValue(path, name);
    if (!value || (value->type != REG_SZ && value->type != REG_EXPAND_SZ))
        return std::nullopt;
    std::u16string text(value->data.size() / sizeof(WCHAR), u'\0');
    // An empty value may have no storage at all, which memcpy must not be given.
    if (!text.empty()) std::memcpy(text.data(), value->data.data(), text.size() * sizeof(WCHAR));
    return text.substr(0, text.find(u'\0'));
}

bool Store::DeleteValue(std::u16string_view path, std::u16string_view name)
{
    KeyRef key;
    return NT_SUCCESS(OpenKey(nullptr, path, &key)) && NT_SUCCESS(DeleteValue(key, name));
}

bool Store::DeleteTree(std::u16string_view path)
{
    KeyRef key;
    if (!NT_SUCCESS(OpenKey(nullptr, path, &key)))
        return false;
    std::lock_guard lk(lock_);
    if (key->deleted || key->hiveRoot)
        return false;
    key->Unlink();
    return true;
}

std::vector<std::u16string> Store::SubkeyNames(std::u16string_view path)
{
    std::vector<std::u16string> names;
    KeyRef key;
    if (!NT_SUCCESS(OpenKey(nullptr, path, &key)))
        return names;
    std::lock_guard lk(lock_);
    for (const auto& [name, subkey] : key->subkeys)
        names.push_back(name);
    return names;
}

std::vector<Value> Store::Values(std::u16string_view path)
{
    KeyRef key;
    if (!NT_SUCCESS(OpenKey(nullptr, path, &key)))
        return {};
    std::lock_guard lk(lock_);
    return key->deleted ? std::vector<Value>() : key->values;
}

}  // namespace winsim::registry
