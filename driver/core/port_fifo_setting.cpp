#include "core/port_fifo_setting.h"

namespace {

constexpr LONG kDefaultReceiveFifo = 16;
constexpr ULONG kValueBufferBytes = 256;
constexpr USHORT kSignificantCharacters = 9;

}  // namespace

LONG ReadPortReceiveFifoValue(PDEVICE_OBJECT portDevice)
{
    PAGED_CODE();
    if (portDevice == nullptr) return kDefaultReceiveFifo;
    HANDLE key = nullptr;
    if (!NT_SUCCESS(IoOpenDeviceRegistryKey(portDevice, PLUGPLAY_REGKEY_DEVICE, KEY_READ, &key))) {
        return kDefaultReceiveFifo;
    }
    LONG value = kDefaultReceiveFifo;
    // ULONG-aligned, as the partial-information record needs.
    ULONG buffer[kValueBufferBytes / sizeof(ULONG)];
    auto* info = reinterpret_cast<PKEY_VALUE_PARTIAL_INFORMATION>(buffer);
    UNICODE_STRING name;
    RtlInitUnicodeString(&name, L"ReceiveFIFO");
    ULONG resultLength = 0;
    NTSTATUS status = ZwQueryValueKey(key, &name, KeyValuePartialInformation, info, sizeof(buffer), &resultLength);
    ZwClose(key);
    if (!NT_SUCCESS(status) || info->Type != REG_SZ) return value;

    ULONG characters = info->DataLength / sizeof(WCHAR);
    auto* text = reinterpret_cast<PWCH>(info->Data);
    ULONG length = 0;
    while (length < characters && length < kSignificantCharacters && text[length] != 0) ++length;
    UNICODE_STRING digits;
    digits.Buffer = text;
    digits.Length = digits.MaximumLength = static_cast<USHORT>(length * sizeof(WCHAR));
    ULONG parsed = 0;
    if (NT_SUCCESS(RtlUnicodeStringToInteger(&digits, 10, &parsed))) value = static_cast<LONG>(parsed);
    return value;
}

UCHAR ReceiveFifoByte(LONG value)
{
    if (value == -1) return 16;
    if (value == 1) return 0;
    return static_cast<UCHAR>(value & 0xFF);
}
