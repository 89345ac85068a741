// The kernel's registry services over the machine-wide store. Zw calls come
// from kernel mode, so the access a handle was opened with is not checked
// (as Windows skips the check for kernel-mode callers); every call is a
// paged service.
#include <km_zw.h>

#include <cstdio>
#include <string>

#include "km/zw_registry_records.h"
#include "registry/key_handle_table.h"
#include "registry/registry_store.h"
#include "verifier/verifier.h"

using winsim::Verifier;
using winsim::ViolationCode;
using winsim::registry::KernelKeyHandles;
using winsim::registry::KeyInfo;
using winsim::registry::KeyRef;
using winsim::registry::Store;
using winsim::registry::Value;

namespace {

NTSTATUS NameOf(PCUNICODE_STRING name, std::u16string* text)
{
    text->clear();
    if (name == nullptr || name->Length == 0)
        return STATUS_SUCCESS;
    if (name->Length % sizeof(WCHAR) != 0 || name->Buffer == nullptr)
        return STATUS_OBJECT_NAME_INVALID;
    text->assign(name->Buffer, name->Buffer + name->Length / sizeof(WCHAR));
    return STATUS_SUCCESS;
}

NTSTATUS KeyOf(HANDLE handle, KeyRef* key)
{
    return KernelKeyHandles().Lookup(handle, key, nullptr) ? STATUS_SUCCESS : STATUS_INVALID_HANDLE;
}

// The base key and the path an OBJECT_ATTRIBUTES names.
NTSTATUS Target(POBJECT_ATTRIBUTES attributes, KeyRef* base, std::u16string* path)
{
    if (attributes == nullptr)
        return STATUS_ACCESS_VIOLATION;
    if (attributes->RootDirectory == nullptr && attributes->ObjectName == nullptr)
        return STATUS_OBJECT_NAME_INVALID;
    if (attributes->RootDirectory != nullptr) {
        NTSTATUS status = KeyOf(attributes->RootDirectory, base);
        if (!NT_SUCCESS(status))
            return status;
    }
    return NameOf(attributes->ObjectName, path);
}

}  // namespace

extern "C" {

NTSTATUS ZwOpenKey(PHANDLE KeyHandle, ACCESS_MASK DesiredAccess, POBJECT_ATTRIBUTES ObjectAttributes)
{
    Verifier::CheckPagedCode(__func__);
    if (KeyHandle == nullptr)
        return STATUS_ACCESS_VIOLATION;
    *KeyHandle = nullptr;
    KeyRef base, key;
    std::u16string path;
    NTSTATUS status = Target(ObjectAttributes, &base, &path);
    if (NT_SUCCESS(status))
        status = Store::Instance().OpenKey(base, path, &key);
    if (NT_SUCCESS(status))
        *KeyHandle = KernelKeyHandles().Insert(key, DesiredAccess);
    return status;
}

NTSTATUS ZwCreateKey(PHANDLE KeyHandle, ACCESS_MASK DesiredAccess, POBJECT_ATTRIBUTES ObjectAttributes,
                     ULONG TitleIndex, PUNICODE_STRING Class, ULONG CreateOptions, PULONG Disposition)
{
    // The machine's registry is never written to disk, so a volatile key
    // behaves as any other.
    Verifier::CheckPagedCode(__func__);
    if (KeyHandle == nullptr)
        return STATUS_ACCESS_VIOLATION;
    *KeyHandle = nullptr;
    KeyRef base, key;
    std::u16string path, className;
    NTSTATUS status = Target(ObjectAttributes, &base, &path);
    if (NT_SUCCESS(status))
        status = NameOf(Class, &className);
    bool created = false;
    if (NT_SUCCESS(status))
        status = Store::Instance().CreateKey(base, path, className, &key, &created);
    if (!NT_SUCCESS(status))
        return status;
    *KeyHandle = KernelKeyHandles().Insert(key, DesiredAccess);
    if (Disposition != nullptr)
        *Disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return STATUS_SUCCESS;
}

NTSTATUS ZwQueryValueKey(HANDLE KeyHandle, PUNICODE_STRING ValueName,
                         KEY_VALUE_INFORMATION_CLASS KeyValueInformationClass, PVOID KeyValueInformation,
                         ULONG Length, PULONG ResultLength)
{
    Verifier::CheckPagedCode(__func__);
    KeyRef key;
    std::u16string name;
    Value value;
    NTSTATUS status = KeyOf(KeyHandle, &key);
    if (NT_SUCCESS(status))
        status = NameOf(ValueName, &name);
    if (NT_SUCCESS(status))
        status = Store::Instance().QueryValue(key, name, &value);
    if (!NT_SUCCESS(status))
        return status;
    return winsim::registry::WriteValueInformation(value, KeyValueInformationClass, KeyValueInformation,
                                                   Length, ResultLength);
}

NTSTATUS ZwSetValueKey(HANDLE KeyHandle, PUNICODE_STRING ValueName, ULONG TitleIndex, ULONG Type, PVOID Data,
                       ULONG DataSize)
{
    Verifier::CheckPagedCode(__func__);
    if (ValueName == nullptr || (Data == nullptr && DataSize != 0))
        return STATUS_ACCESS_VIOLATION;
    KeyRef key;
    std::u16string name;
    NTSTATUS status = KeyOf(KeyHandle, &key);
    if (NT_SUCCESS(status))
        status = NameOf(ValueName, &name);
    if (NT_SUCCESS(status))
        status = Store::Instance().SetValue(key, name, Type, Data, DataSize);
    return status;
}

NTSTATUS ZwEnumerateKey(HANDLE KeyHandle, ULONG Index, KEY_INFORMATION_CLASS KeyInformationClass,
                        PVOID KeyInformation, ULONG Length, PULONG ResultLength)
{
    Verifier::CheckPagedCode(__func__);
    KeyRef key;
    KeyInfo subkey;
    NTSTATUS status = KeyOf(KeyHandle, &key);
    if (NT_SUCCESS(status))
        status = Store::Instance().EnumerateKey(key, Index, &subkey);
    if (!NT_SUCCESS(status))
        return status;
    return winsim::registry::WriteKeyInformation(subkey, KeyInformationClass, KeyInformation, Length,
                                                 ResultLength);
}

NTSTATUS ZwEnumerateValueKey(HANDLE KeyHandle, ULONG Index,
                             KEY_VALUE_INFORMATION_CLASS KeyValueInformationClass, PVOID KeyValueInformation,
                             ULONG Length, PULONG ResultLength)
{
    Verifier::CheckPagedCode(__func__);
    KeyRef key;
    Value value;
    NTSTATUS status = KeyOf(KeyHandle, &key);
    if (NT_SUCCESS(status))
        status = Store::Instance().EnumerateValue(key, Index, &value);
    if (!NT_SUCCESS(status))
        return status;
    return winsim::registry::WriteValueInformation(value, KeyValueInformationClass, KeyValueInformation,
                                                   Length, ResultLength);
}

NTSTATUS ZwQueryKey(HANDLE KeyHandle, KEY_INFORMATION_CLASS KeyInformationClass, PVOID KeyInformation,
                    ULONG Length, PULONG ResultLength)
{
    Verifier::CheckPagedCode(__func__);
    KeyRef key;
    KeyInfo info;
    NTSTATUS status = KeyOf(KeyHandle, &key);
    if (NT_SUCCESS(status))
        status = Store::Instance().QueryKey(key, &info);
    if (!NT_SUCCESS(status))
        return status;
    return winsim::registry::WriteKeyInformation(info, KeyInformationClass, KeyInformation, Length,
                                                 ResultLength);
}

NTSTATUS ZwDeleteKey(HANDLE KeyHandle)
{
    // The handle stays open after the delete; the caller still closes it.
    Verifier::CheckPagedCode(__func__);
    KeyRef key;
    NTSTATUS status = KeyOf(KeyHandle, &key);
    return NT_SUCCESS(status) ? Store::Instance().DeleteKey(key) : status;
}

NTSTATUS ZwDeleteValueKey(HANDLE KeyHandle, PUNICODE_STRING ValueName)
{
    Verifier::CheckPagedCode(__func__);
    KeyRef key;
    std::u16string name;
    NTSTATUS status = KeyOf(KeyHandle, &key);
    if (NT_SUCCESS(status))
        status = NameOf(ValueName, &name);
    return NT_SUCCESS(status) ? Store::Instance().DeleteValue(key, name) : status;
}

NTSTATUS ZwFlushKey(HANDLE KeyHandle)
{
    Verifier::CheckPagedCode(__func__);
    KeyRef key;
    NTSTATUS status = KeyOf(KeyHandle, &key);
    return NT_SUCCESS(status) ? Store::Instance().Flush(key) : status;
}

NTSTATUS ZwClose(HANDLE Handle)
{
    // Closing a kernel handle that is not open is a bug check on Windows
    // (INVALID_KERNEL_HANDLE): a double close would otherwise go unnoticed.
    Verifier::CheckPagedCode(__func__);
    if (KernelKeyHandles().Remove(Handle))
        return STATUS_SUCCESS;
    char detail[64];
    std::snprintf(detail, sizeof detail, "handle %#llx is not open",
                  static_cast<unsigned long long>(reinterpret_cast<ULONG_PTR>(Handle)));
    Verifier::Violation(ViolationCode::kDriverVerifierDetected, "ZwClose of an invalid kernel handle",
                        detail);
    return STATUS_INVALID_HANDLE;
}

}  // extern "C"
