#include "core/selective_suspend.h"


namespace {

constexpr WCHAR kParametersKey[] = L"\\REGISTRY\\Machine\\System\\CurrentControlSet\\SERVICES\\84PRUSB\\Parameters";
constexpr WCHAR kSwitchValue[] = L"BulkUsbEnable";

}  // namespace

VOID SelectiveSuspendInitialize(AdapterExtension* extension)
{
    extension->suspendByRegistry = 0;
    extension->suspendActive = 0;
    extension->idleRequest = nullptr;
    extension->idleCallbackInfo = nullptr;
    extension->idlePending = 0;
    extension->idleFreeCount = 0;
    KeInitializeSpinLock(&extension->idleLock);
    KeInitializeEvent(&extension->noIdlePendingEvent, NotificationEvent, TRUE);
    KeInitializeEvent(&extension->noIdleWorkEvent, NotificationEvent, TRUE);
}

VOID SelectiveSuspendReadSwitch(AdapterExtension* extension)
{
    PAGED_CODE();
    UNICODE_STRING keyName;
    RtlInitUnicodeString(&keyName, kParametersKey);
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &keyName, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, nullptr, nullptr);
    HANDLE key;
    if (!NT_SUCCESS(ZwOpenKey(&key, KEY_READ, &attributes))) return;  // no key: off

    UNICODE_STRING valueName;
    RtlInitUnicodeString(&valueName, kSwitchValue);
    UCHAR buffer[sizeof(KEY_VALUE_PARTIAL_INFORMATION) + sizeof(ULONG)];
    ULONG resultLength = 0;
    NTSTATUS status =
        ZwQueryValueKey(key, &valueName, KeyValuePartialInformation, buffer, sizeof(buffer), &resultLength);
    ZwClose(key);
    auto* value = reinterpret_cast<PKEY_VALUE_PARTIAL_INFORMATION>(buffer);
    if (NT_SUCCESS(status) && value->Type == REG_DWORD && value->DataLength == sizeof(ULONG)) {
        ULONG enabled;
        RtlCopyMemory(&enabled, value->Data, sizeof(enabled));
        extension->suspendByRegistry = enabled != 0 ? 1 : 0;
    }
}

VOID SelectiveSuspendWaitUntilAwake(AdapterExtension* extension)
{
    PAGED_CODE();
    if (__atomic_load_n(&extension->suspendActive, __ATOMIC_ACQUIRE) == 0) return;
    KeWaitForSingleObject(&extension->noIdlePendingEvent, Executive, KernelMode, FALSE, nullptr);
}
