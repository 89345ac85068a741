#include "km/zw_registry_records.h"

#include <cstring>
#include <vector>

namespace winsim::registry {

namespace {

// No key class: the class offset says so, as the configuration manager writes it.
constexpr ULONG kNoClass = 0xFFFFFFFF;

// KEY_NODE_INFORMATION, which the kernel headers of this machine leave out.
struct KeyNodeRecord {
    LARGE_INTEGER LastWriteTime;
    ULONG TitleIndex;
    ULONG ClassOffset;
    ULONG ClassLength;
    ULONG NameLength;
    WCHAR Name[1];
};

ULONG Bytes(const std::u16string& text)
{
    return static_cast<ULONG>(text.size() * sizeof(WCHAR));
}

// A record assembled in full, then handed out as far as the caller's buffer goes.
class Record {
public:
    explicit Record(size_t fixedPart) : fixed_(fixedPart), bytes_(fixedPart, 0) {}

    template <typename T>
    void Put(size_t offset, T field)
    {
        std::memcpy(bytes_.data() + offset, &field, sizeof field);
    }

    void Append(const void* data, size_t size)
    {
        const auto* p = static_cast<const UCHAR*>(data);
        bytes_.insert(bytes_.end(), p, p + size);
    }
    void Append(const std::u16string& text) { Append(text.data(), text.size() * sizeof(WCHAR)); }
    void AlignTo(size_t alignment)
    {
        bytes_.resize((bytes_.size() + alignment - 1) / alignment * alignment, 0);
    }
    ULONG Size() const { return static_cast<ULONG>(bytes_.size()); }

    NTSTATUS Deliver(PVOID buffer, ULONG length, PULONG resultLength) const
    {
        if (resultLength == nullptr)
            return STATUS_ACCESS_VIOLATION;
        *resultLength = Size();
        if (length < fixed_)
            return STATUS_BUFFER_TOO_SMALL;
        std::memcpy(buffer, bytes_.data(), length < Size() ? length : Size());
        return length < Size() ? STATUS_BUFFER_OVERFLOW : STATUS_SUCCESS;
    }

private:
    size_t fixed_;
    std::vector<UCHAR> bytes_;
};

}  // namespace

NTSTATUS WriteValueInformation(const Value& value, KEY_VALUE_INFORMATION_CLASS infoClass, PVOID buffer,
                               ULONG length, PULONG resultLength)
{
    auto dataLength = static_cast<ULONG>(value.data.size());
    switch (infoClass) {
    case KeyValueBasicInformation: {
        using T = KEY_VALUE_BASIC_INFORMATION;
        Record r(FIELD_OFFSET(T, Name));
        r.Put(FIELD_OFFSET(T, Type), value.type);
        r.Put(FIELD_OFFSET(T, NameLength), Bytes(value.name));
        r.Append(value.name);
        return r.Deliver(buffer, length, resultLength);
    }
    case KeyValueFullInformation: {
        using T = KEY_VALUE_FULL_INFORMATION;
        Record r(FIELD_OFFSET(T, Name));
        r.Put(FIELD_OFFSET(T, Type), value.type);
        r.Put(FIELD_OFFSET(T, DataLength), dataLength);
        r.Put(FIELD_OFFSET(T, NameLength), Bytes(value.name));
        r.Append(value.name);
        r.AlignTo(sizeof(ULONG));
        r.Put(FIELD_OFFSET(T, DataOffset), r.Size());
        r.Append(value.data.data(), value.data.size());
        return r.Deliver(buffer, length, resultLength);
    }
    case KeyValuePartialInformation: {
        using T = KEY_VALUE_PARTIAL_INFORMATION;
        Record r(FIELD_OFFSET(T, Data));
        r.Put(FIELD_OFFSET(T, Type), value.type);
        r.Put(FIELD_OFFSET(T, DataLength), dataLength);
        r.Append(value.data.data(), value.data.size());
        return r.Deliver(buffer, length, resultLength);
    }
    default:
        return STATUS_INVALID_PARAMETER;
    }
}

NTSTATUS WriteKeyInformation(const KeyInfo& key, KEY_INFORMATION_CLASS infoClass, PVOID buffer, ULONG length,
                             PULONG resultLength)
{
    LARGE_INTEGER lastWrite;
    lastWrite.QuadPart = key.lastWriteTime;
    ULONG classLength = Bytes(key.className);
    switch (infoClass) {
    case KeyBasicInformation: {
        using T = KEY_BASIC_INFORMATION;
        Record r(FIELD_OFFSET(T, Name));
        r.Put(FIELD_OFFSET(T, LastWriteTime), lastWrite);
        r.Put(FIELD_OFFSET(T, NameLength), Bytes(key.name));
        r.Append(key.name);
        return r.Deliver(buffer, length, resultLength);
    }
    case KeyNodeInformation: {
        using T = KeyNodeRecord;
        Record r(FIELD_OFFSET(T, Name));
        r.Put(FIELD_OFFSET(T, LastWriteTime), lastWrite);
        r.Put(FIELD_OFFSET(T, NameLength), Bytes(key.name));
        r.Put(FIELD_OFFSET(T, ClassLength), classLength);
        r.Append(key.name);
        r.Put(FIELD_OFFSET(T, ClassOffset), classLength != 0 ? r.Size() : kNoClass);
        r.Append(key.className);
        return r.Deliver(buffer, length, resultLength);
    }
    case KeyFullInformation: {
        using T = KEY_FULL_INFORMATION;
        Record r(FIELD_OFFSET(T, Class));
        r.Put(FIELD_OFFSET(T, LastWriteTime), lastWrite);
        r.Put(FIELD_OFFSET(T, ClassOffset), classLength != 0 ? r.Size() : kNoClass);
        r.Put(FIELD_OFFSET(T, ClassLength), classLength);
        r.Put(FIELD_OFFSET(T, SubKeys), key.subkeys);
        r.Put(FIELD_OFFSET(T, MaxNameLen), key.maxSubkeyNameBytes);
        r.Put(FIELD_OFFSET(T, MaxClassLen), key.maxSubkeyClassBytes);
        r.Put(FIELD_OFFSET(T, Values), key.values);
        r.Put(FIELD_OFFSET(T, MaxValueNameLen), key.maxValueNameBytes);
        r.Put(FIELD_OFFSET(T, MaxValueDataLen), key.maxValueDataBytes);
        r.Append(key.className);
        return r.Deliver(buffer, length, resultLength);
    }
    default:
        return STATUS_INVALID_PARAMETER;
    }
}

}  // namespace winsim::registry
