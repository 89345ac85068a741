#include "services/port_registry.h"

#include <ntstrsafe.h>

#include "common/usb_ids.h"

const char* const PortFriendlyNames[kModelIndexRows] = {
    "Tessary ZMR Serial Port",
    "Tessary USB PDA Adapter Port",
    "Tessary High Speed USB Serial Adapter Port",
    "Tessary USB 4-Port Serial Adapter Port",
    "Tessary ZDT Port",
    "Tessary USB Serial Port",
    "Tessary QTR84PX-1 Serial Adapter Port",
};

namespace {

#define QTR_PORT_ENUM_KEY(mi) L"\\Registry\\Machine\\System\\CurrentControlSet\\Enum\\USB\\" QTR_USB_HARDWARE_ID mi

const WCHAR* const kPortEnumKeys[kPortsPerAdapter] = {
    QTR_PORT_ENUM_KEY(QTR_USB_MI_PORT1),
    QTR_PORT_ENUM_KEY(QTR_USB_MI_PORT2),
    QTR_PORT_ENUM_KEY(QTR_USB_MI_PORT3),
    QTR_PORT_ENUM_KEY(QTR_USB_MI_PORT4),
};

constexpr ULONG kValueReadBytes = 256;    // a value that does not fit counts as absent
constexpr ULONG kTextCharacters = 127;    // longest text converted either way
constexpr ULONG kParsedCharacters = 9;    // only the start of a stored number counts
constexpr ULONG kComPrefixCharacters = 3;  // "COM" before the number in "PortName"
constexpr ULONG kDriverKeyNameBytes = 128;
constexpr ULONG kDriverValueCharacters = 63;
constexpr ULONG kKeyNameBytes = 512;

// Room for any 32-bit integer in decimal with its sign, and the NUL.
constexpr ULONG kNumberTextBytes = 12;

constexpr ULONG kBaseDecimal = 10;
constexpr ULONG kBaseHex = 16;

NTSTATUS OpenKey(HANDLE root, PUNICODE_STRING name, ACCESS_MASK access, HANDLE* key)
{
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, name, OBJ_KERNEL_HANDLE | OBJ_CASE_INSENSITIVE, root, nullptr);
    return ZwOpenKey(key, access, &attributes);
}

NTSTATUS OpenDeviceKey(PDEVICE_OBJECT device, ACCESS_MASK access, HANDLE* key)
{
    *key = nullptr;
    if (device == nullptr) return STATUS_INVALID_PARAMETER;
    return IoOpenDeviceRegistryKey(device, PLUGPLAY_REGKEY_DEVICE, access, key);
}

// Reads a REG_SZ value's text (up to its NUL) into `text`; false when the
// value is absent, of another type or too long for the read buffer.
bool ReadText(HANDLE key, PCWSTR name, WCHAR (&text)[kTextCharacters + 1], ULONG* characters)
{
    ULONG buffer[kValueReadBytes / sizeof(ULONG)];
    UNICODE_STRING valueName;
    RtlInitUnicodeString(&valueName, name);
    ULONG resultLength = 0;
    NTSTATUS status =
        ZwQueryValueKey(key, &valueName, KeyValuePartialInformation, buffer, sizeof(buffer), &resultLength);
    if (!NT_SUCCESS(status)) return false;
    const auto* info = reinterpret_cast<const KEY_VALUE_PARTIAL_INFORMATION*>(buffer);
    if (info->Type != REG_SZ) return false;
    const auto* data = reinterpret_cast<const WCHAR*>(info->Data);
    const ULONG stored = info->DataLength / sizeof(WCHAR);
    ULONG count = 0;
    while (count < stored && count < kTextCharacters && data[count] != L'\0') {
        // Stored text goes through single-byte characters: what is not
        // plain ASCII is no digit either way.
        text[count] = data[count] < 0x80 ? data[count] : L'?';
        ++count;
    }
    text[count] = L'\0';
    *characters = count;
    return true;
}

// The integer at the start of a stored number: its first 9 characters,
// after `skip` characters, parsed as the system's counted-string
// conversion does (blanks, sign, digits up to the first other character).
bool ReadInteger(HANDLE key, PCWSTR name, ULONG base, ULONG skip, LONG* value)
{
    WCHAR text[kTextCharacters + 1];
    ULONG characters = 0;
    if (!ReadText(key, name, text, &characters)) return false;
    if (characters > kParsedCharacters) characters = kParsedCharacters;
    const ULONG start = skip < characters ? skip : characters;
    UNICODE_STRING number;
    number.Buffer = text + start;
    number.Length = static_cast<USHORT>((characters - start) * sizeof(WCHAR));
    number.MaximumLength = number.Length;
    ULONG parsed = 0;
    if (!NT_SUCCESS(RtlUnicodeStringToInteger(&number, base, &parsed))) return false;
    *value = static_cast<LONG>(parsed);
    return true;
}

VOID ReadIfWanted(HANDLE key, PCWSTR name, ULONG base, ULONG skip, LONG* value)
{
    if (value != nullptr) ReadInteger(key, name, base, skip, value);
}

// Stores single-byte text as REG_SZ; text too long to convert is skipped.
VOID WriteText(HANDLE key, PCWSTR name, const char* text)
{
    WCHAR wide[kTextCharacters + 1];
    ULONG count = 0;
    while (text[count] != '\0') {
        if (count == kTextCharacters) return;
        wide[count] = static_cast<WCHAR>(static_cast<unsigned char>(text[count]));
        ++count;
    }
    wide[count] = L'\0';
    UNICODE_STRING valueName;
    RtlInitUnicodeString(&valueName, name);
    ZwSetValueKey(key, &valueName, 0, REG_SZ, wide, (count + 1) * sizeof(WCHAR));
}

VOID WriteNumber(HANDLE key, PCWSTR name, const char* format, LONG value)
{
    char text[kNumberTextBytes];
    if (NT_SUCCESS(RtlStringCbPrintfA(text, sizeof(text), format, value))) WriteText(key, name, text);
}

VOID WriteDecimal(HANDLE key, PCWSTR name, LONG value) { WriteNumber(key, name, "%d", value); }

VOID WriteHex(HANDLE key, PCWSTR name, ULONG value) { WriteNumber(key, name, "%x", static_cast<LONG>(value)); }

// True if the instance key's "Driver" equals the driver key name.
bool InstanceHasDriver(HANDLE instance, PCUNICODE_STRING driverKey)
{
    WCHAR text[kTextCharacters + 1];
    ULONG characters = 0;
    if (!ReadText(instance, L"Driver", text, &characters) || characters > kDriverValueCharacters) return false;
    UNICODE_STRING driver;
    driver.Buffer = text;
    driver.Length = static_cast<USHORT>(characters * sizeof(WCHAR));
    driver.MaximumLength = driver.Length;
    return RtlEqualUnicodeString(&driver, driverKey, TRUE) != FALSE;
}

// Names every matching instance under one Enum key; true if any matched.
bool NameMatchingInstances(HANDLE enumKey, PCUNICODE_STRING driverKey, const char* friendlyName)
{
    bool matched = false;
    ULONG buffer[kKeyNameBytes / sizeof(ULONG)];
    for (ULONG index = 0;; ++index) {
        ULONG resultLength = 0;
        NTSTATUS status = ZwEnumerateKey(enumKey, index, KeyBasicInformation, buffer, sizeof(buffer), &resultLength);
        if (status == STATUS_NO_MORE_ENTRIES) break;
        if (!NT_SUCCESS(status)) continue;  // a name too long for us is no instance of ours
        const auto* info = reinterpret_cast<const KEY_BASIC_INFORMATION*>(buffer);
        UNICODE_STRING name;
        name.Buffer = const_cast<PWCH>(info->Name);
        name.Length = static_cast<USHORT>(info->NameLength);
        name.MaximumLength = name.Length;
        HANDLE instance = nullptr;
        if (!NT_SUCCESS(OpenKey(enumKey, &name, KEY_ALL_ACCESS, &instance))) continue;
        if (InstanceHasDriver(instance, driverKey)) {
            WriteText(instance, L"FriendlyName", friendlyName);
            matched = true;
        }
        ZwClose(instance);
    }
    return matched;
}

}  // namespace

PAGED_CODE_SEG
ULONG ReadAdapterConfig(PDEVICE_OBJECT pdo, LONG* highPower, LONG* bulkEndpoints)
{
    PAGED_CODE();
    *highPower = kDefaultHighPower;
    *bulkEndpoints = kDefaultBulkTransfer;
    HANDLE key = nullptr;
    if (!NT_SUCCESS(OpenDeviceKey(pdo, KEY_READ, &key))) return 0;
    ReadInteger(key, L"HighPower", kBaseDecimal, 0, highPower);
    ReadInteger(key, L"BulkTransfer", kBaseDecimal, 0, bulkEndpoints);
    ZwClose(key);
    return 1;
}

PAGED_CODE_SEG
ULONG ReadPortConfig(PDEVICE_OBJECT portDevice, LONG* comNumber, LONG* txTiming, LONG* rxFifo, LONG* remoteWakeup)
{
    PAGED_CODE();
    if (comNumber != nullptr) *comNumber = kDefaultComNumber;
    if (txTiming != nullptr) *txTiming = kDefaultTransmitTiming;
    if (rxFifo != nullptr) *rxFifo = kDefaultReceiveFifo;
    if (remoteWakeup != nullptr) *remoteWakeup = kDefaultRemoteWakeup;
    HANDLE key = nullptr;
    if (!NT_SUCCESS(OpenDeviceKey(portDevice, KEY_READ, &key))) return 0;
    ReadIfWanted(key, L"PortName", kBaseDecimal, kComPrefixCharacters, comNumber);
    ReadIfWanted(key, L"TransmitTiming", kBaseDecimal, 0, txTiming);
    ReadIfWanted(key, L"ReceiveFIFO", kBaseDecimal, 0, rxFifo);
    ReadIfWanted(key, L"RemoteWakeup", kBaseHex, 0, remoteWakeup);
    ZwClose(key);
    return 1;
}

PAGED_CODE_SEG
VOID WritePortConfig(UCHAR modelIndex, PDEVICE_OBJECT portDevice, const LONG* comNumber, const LONG* txTiming,
                     const LONG* rxFifo, const LONG* remoteWakeup)
{
    PAGED_CODE();
    HANDLE key = nullptr;
    if (!NT_SUCCESS(OpenDeviceKey(portDevice, KEY_ALL_ACCESS, &key))) return;
    if (comNumber != nullptr) {
        char text[kTextCharacters + 1];
        if (NT_SUCCESS(RtlStringCbPrintfA(text, sizeof(text), "%s%d", "COM", *comNumber))) {
            WriteText(key, L"PortName", text);
        }
        const char* prefix = PortFriendlyNames[modelIndex < kModelIndexRows ? modelIndex : kModelIndexDefault];
        if (NT_SUCCESS(RtlStringCbPrintfA(text, sizeof(text), "%s (%s%d)", prefix, "COM", *comNumber))) {
            UpdatePortFriendlyName(portDevice, text);
        }
    }
    if (txTiming != nullptr) WriteDecimal(key, L"TransmitTiming", *txTiming);
    if (rxFifo != nullptr) WriteDecimal(key, L"ReceiveFIFO", *rxFifo);
    if (remoteWakeup != nullptr) WriteHex(key, L"RemoteWakeup", static_cast<ULONG>(*remoteWakeup));
    ZwClose(key);
}

VOID WritePortWakeMask(PDEVICE_OBJECT portDevice, ULONG wakeMask)
{
    const LONG value = static_cast<LONG>(wakeMask);
    WritePortConfig(kModelIndexDefault, portDevice, nullptr, nullptr, nullptr, &value);
}

PAGED_CODE_SEG
VOID WriteAdapterConfig(PDEVICE_OBJECT pdo, LONG highPower, LONG bulkEndpoints, ULONG wakeMask)
{
    PAGED_CODE();
    HANDLE key = nullptr;
    if (!NT_SUCCESS(OpenDeviceKey(pdo, KEY_ALL_ACCESS, &key))) return;
    WriteDecimal(key, L"HighPower", highPower);
    WriteDecimal(key, L"BulkTransfer", bulkEndpoints);
    WriteHex(key, L"RemoteWakeup", wakeMask);
    ZwClose(key);
}

PAGED_CODE_SEG
UCHAR ReadReceiveFifoSetting(PDEVICE_OBJECT portDevice)
{
    PAGED_CODE();
    LONG fifo = kDefaultReceiveFifo;
    ReadPortConfig(portDevice, nullptr, nullptr, &fifo, nullptr);
    if (fifo == -1) return 16;
    if (fifo == 1) return 0;
    return static_cast<UCHAR>(fifo & 0xFF);
}

PAGED_CODE_SEG
VOID UpdatePortFriendlyName(PDEVICE_OBJECT portDevice, const char* friendlyName)
{
    PAGED_CODE();
    WCHAR driverKeyName[kDriverKeyNameBytes / sizeof(WCHAR) + 1];
    ULONG resultLength = 0;
    if (!NT_SUCCESS(IoGetDeviceProperty(portDevice, DevicePropertyDriverKeyName, kDriverKeyNameBytes, driverKeyName,
                                        &resultLength))) {
        return;
    }
    ULONG characters = 0;
    const ULONG stored = resultLength / sizeof(WCHAR);
    while (characters < stored && characters < kDriverKeyNameBytes / sizeof(WCHAR) &&
           driverKeyName[characters] != L'\0') {
        ++characters;
    }
    if (characters == 0) return;
    UNICODE_STRING driverKey;
    driverKey.Buffer = driverKeyName;
    driverKey.Length = static_cast<USHORT>(characters * sizeof(WCHAR));
    driverKey.MaximumLength = driverKey.Length;

    for (const WCHAR* path : kPortEnumKeys) {
        UNICODE_STRING name;
        RtlInitUnicodeString(&name, path);
        HANDLE enumKey = nullptr;
        if (!NT_SUCCESS(OpenKey(nullptr, &name, KEY_READ, &enumKey))) continue;
        const bool matched = NameMatchingInstances(enumKey, &driverKey, friendlyName);
        ZwClose(enumKey);
        if (matched) return;
    }
}
