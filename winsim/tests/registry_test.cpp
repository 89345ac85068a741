// The machine-wide registry through the kernel's Zw services, through
// advapi32's Reg functions and through winsim's own path API.
#include <gtest/gtest.h>

#include <wdm.h>
#include <winreg.h>

#include <cstring>
#include <string>
#include <vector>

#include "registry/key_handle_table.h"
#include "registry/registry_store.h"
#include "sched/scheduler.h"
#include "verifier/verifier.h"

namespace winsim {
namespace {

using registry::Store;

constexpr char16_t kServiceKey[] = u"\\Registry\\Machine\\System\\CurrentControlSet\\Services\\84PRUSB";

std::u16string Text(const UCHAR* data, size_t bytes)
{
    std::u16string text(bytes / sizeof(WCHAR), u'\0');
    std::memcpy(text.data(), data, text.size() * sizeof(WCHAR));
    return text;
}

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Scheduler::Instance().Boot(ClockMode::Virtual);
        attachment_ = new Scheduler::Attachment("test");
        Store::Instance().Reset();
        handlesAtStart_ = registry::KernelKeyHandles().Count();
        ASSERT_TRUE(Store::Instance().SetString(kServiceKey, u"DisplayName", u"84prusb"));
    }
    void TearDown() override
    {
        // Every test closes what it opens: a handle left over is a leak in the services.
        EXPECT_EQ(registry::KernelKeyHandles().Count(), handlesAtStart_);
        delete attachment_;
        Scheduler::Instance().Shutdown();
    }

    static NTSTATUS Open(HANDLE root, PCWSTR name, HANDLE* handle)
    {
        UNICODE_STRING text;
        RtlInitUnicodeString(&text, name);
        OBJECT_ATTRIBUTES attributes;
        InitializeObjectAttributes(&attributes, &text, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, root,
                                   nullptr);
        return ZwOpenKey(handle, KEY_READ, &attributes);
    }

    static NTSTATUS Create(HANDLE root, PCWSTR name, HANDLE* handle, ULONG* disposition = nullptr)
    {
        UNICODE_STRING text;
        RtlInitUnicodeString(&text, name);
        OBJECT_ATTRIBUTES attributes;
        InitializeObjectAttributes(&attributes, &text, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, root,
                                   nullptr);
        return ZwCreateKey(handle, KEY_ALL_ACCESS, &attributes, 0, nullptr, REG_OPTION_NON_VOLATILE,
                           disposition);
    }

    static NTSTATUS SetText(HANDLE key, PCWSTR name, PCWSTR text)
    {
        UNICODE_STRING valueName;
        RtlInitUnicodeString(&valueName, name);
        ULONG bytes = 0;
        while (text[bytes / sizeof(WCHAR)] != 0)
            bytes += sizeof(WCHAR);
        return ZwSetValueKey(key, &valueName, 0, REG_SZ, const_cast<PWSTR>(text), bytes + sizeof(WCHAR));
    }

    static NTSTATUS Query(HANDLE key, PCWSTR name, KEY_VALUE_INFORMATION_CLASS infoClass, void* buffer,
                          ULONG length, ULONG* resultLength)
    {
        UNICODE_STRING valueName;
        RtlInitUnicodeString(&valueName, name);
        return ZwQueryValueKey(key, &valueName, infoClass, buffer, length, resultLength);
    }

    static std::u16string EnumeratedKeyName(HANDLE key, ULONG index, NTSTATUS* status)
    {
        alignas(8) UCHAR buffer[256];
        ULONG length = 0;
        *status = ZwEnumerateKey(key, index, KeyBasicInformation, buffer, sizeof buffer, &length);
        auto* info = reinterpret_cast<KEY_BASIC_INFORMATION*>(buffer);
        return NT_SUCCESS(*status) ? Text(reinterpret_cast<UCHAR*>(info->Name), info->NameLength) : u"";
    }

private:
    Scheduler::Attachment* attachment_ = nullptr;
    size_t handlesAtStart_ = 0;
};

TEST_F(RegistryTest, QueryValueFollowsTheWindowsLengthRules)
{
    HANDLE key;
    ASSERT_EQ(Open(nullptr, L"\\Registry\\Machine\\System\\CurrentControlSet\\Services\\84PRUSB", &key),
              STATUS_SUCCESS);
    ASSERT_EQ(SetText(key, L"PortName", L"COM12"), STATUS_SUCCESS);
    const ULONG partialFixed = FIELD_OFFSET(KEY_VALUE_PARTIAL_INFORMATION, Data);
    const ULONG partialNeeded = partialFixed + 6 * sizeof(WCHAR);
    alignas(8) UCHAR buffer[128];
    ULONG result = 0;

    // No room for the fixed part: nothing but the size.
    EXPECT_EQ(Query(key, L"PortName", KeyValuePartialInformation, nullptr, 0, &result),
              STATUS_BUFFER_TOO_SMALL);
    EXPECT_EQ(result, partialNeeded);
    std::memset(buffer, 0xCC, sizeof buffer);
    EXPECT_EQ(Query(key, L"PortName", KeyValuePartialInformation, buffer, partialFixed - 1, &result),
              STATUS_BUFFER_TOO_SMALL);
    EXPECT_EQ(buffer[0], 0xCC);

    // The fixed part fits, the data does not.
    auto* partial = reinterpret_cast<KEY_VALUE_PARTIAL_INFORMATION*>(buffer);
    EXPECT_EQ(Query(key, L"PortName", KeyValuePartialInformation, buffer, partialFixed, &result),
              STATUS_BUFFER_OVERFLOW);
    EXPECT_EQ(result, partialNeeded);
    EXPECT_EQ(partial->Type, static_cast<ULONG>(REG_SZ));
    EXPECT_EQ(partial->DataLength, 6 * sizeof(WCHAR));

    EXPECT_EQ(Query(key, L"PortName", KeyValuePartialInformation, buffer, partialNeeded, &result),
              STATUS_SUCCESS);
    EXPECT_EQ(Text(partial->Data, partial->DataLength), std::u16string(u"COM12", 6));

    const ULONG basicNeeded = FIELD_OFFSET(KEY_VALUE_BASIC_INFORMATION, Name) + 8 * sizeof(WCHAR);
    EXPECT_EQ(Query(key, L"PortName", KeyValueBasicInformation, buffer, basicNeeded - 2, &result),
              STATUS_BUFFER_OVERFLOW);
    EXPECT_EQ(result, basicNeeded);
    EXPECT_EQ(Query(key, L"PortName", KeyValueBasicInformation, buffer, basicNeeded, &result),
              STATUS_SUCCESS);
    auto* basic = reinterpret_cast<KEY_VALUE_BASIC_INFORMATION*>(buffer);
    EXPECT_EQ(Text(reinterpret_cast<UCHAR*>(basic->Name), basic->NameLength), u"PortName");

    // Full information: name, then the data at a ULONG-aligned offset.
    EXPECT_EQ(Query(key, L"PortName", KeyValueFullInformation, buffer, sizeof buffer, &result),
              STATUS_SUCCESS);
    auto* full = reinterpret_cast<KEY_VALUE_FULL_INFORMATION*>(buffer);
    EXPECT_EQ(full->DataOffset % sizeof(ULONG), 0u);
    EXPECT_GE(full->DataOffset, FIELD_OFFSET(KEY_VALUE_FULL_INFORMATION, Name) + full->NameLength);
    EXPECT_EQ(result, full->DataOffset + full->DataLength);
    EXPECT_EQ(Text(buffer + full->DataOffset, full->DataLength), std::u16string(u"COM12", 6));

    EXPECT_EQ(Query(key, L"TransmitTiming", KeyValuePartialInformation, buffer, sizeof buffer, &result),
              STATUS_OBJECT_NAME_NOT_FOUND);
    EXPECT_EQ(ZwClose(key), STATUS_SUCCESS);
}

TEST_F(RegistryTest, PathsAndNamesIgnoreCaseButKeepTheirOwn)
{
    HANDLE key;
    ASSERT_EQ(Open(nullptr, L"\\REGISTRY\\Machine\\SYSTEM\\currentcontrolset\\services\\84prusb", &key),
              STATUS_SUCCESS);
    ASSERT_EQ(SetText(key, L"BulkUsbEnable", L"1"), STATUS_SUCCESS);
    ULONG result = 0;
    alignas(8) UCHAR buffer[64];
    EXPECT_EQ(Query(key, L"BULKUSBENABLE", KeyValuePartialInformation, buffer, sizeof buffer, &result),
              STATUS_SUCCESS);
    // A second write under another case replaces the value and keeps its name.
    ASSERT_EQ(SetText(key, L"bulkusbenable", L"0"), STATUS_SUCCESS);
    auto values = Store::Instance().Values(kServiceKey);
    ASSERT_EQ(values.size(), 2u);
    EXPECT_EQ(values[1].name, u"BulkUsbEnable");
    EXPECT_EQ(Text(values[1].data.data(), values[1].data.size()), std::u16string(u"0", 2));
    EXPECT_EQ(ZwClose(key), STATUS_SUCCESS);

    EXPECT_EQ(Store::Instance().SubkeyNames(u"\\registry\\machine\\system\\CurrentControlSet\\Services"),
              std::vector<std::u16string>{u"84PRUSB"});
}

TEST_F(RegistryTest, OpenAndCreateResolveNamesAsTheObjectManagerDoes)
{
    HANDLE services, key;
    ASSERT_EQ(Open(nullptr, L"\\Registry\\Machine\\System\\CurrentControlSet\\Services", &services),
              STATUS_SUCCESS);
    EXPECT_EQ(Open(services, L"84PRUSB", &key), STATUS_SUCCESS);
    EXPECT_EQ(ZwClose(key), STATUS_SUCCESS);

    // Relative names may not start at the root, absolute ones must.
    EXPECT_EQ(Open(services, L"\\84PRUSB", &key), STATUS_OBJECT_PATH_SYNTAX_BAD);
    EXPECT_EQ(key, nullptr);
    EXPECT_EQ(Open(nullptr, L"Registry\\Machine", &key), STATUS_OBJECT_PATH_SYNTAX_BAD);
    EXPECT_EQ(Open(nullptr, L"\\Device\\Machine", &key), STATUS_OBJECT_PATH_NOT_FOUND);
    EXPECT_EQ(Open(nullptr, L"\\Registry\\Machine\\\\System", &key), STATUS_OBJECT_NAME_INVALID);
    EXPECT_EQ(Open(services, L"Missing", &key), STATUS_OBJECT_NAME_NOT_FOUND);
    EXPECT_EQ(Open(reinterpret_cast<HANDLE>(0x1234), L"84PRUSB", &key), STATUS_INVALID_HANDLE);

    // ZwCreateKey makes the last component only.
    EXPECT_EQ(Create(services, L"84PRUSB\\Missing\\Parameters", &key), STATUS_OBJECT_NAME_NOT_FOUND);
    ULONG disposition = 0;
    ASSERT_EQ(Create(services, L"84PRUSB\\Parameters", &key, &disposition), STATUS_SUCCESS);
    EXPECT_EQ(disposition, static_cast<ULONG>(REG_CREATED_NEW_KEY));
    EXPECT_EQ(ZwClose(key), STATUS_SUCCESS);
    ASSERT_EQ(Create(services, L"84prusb\\PARAMETERS", &key, &disposition), STATUS_SUCCESS);
    EXPECT_EQ(disposition, static_cast<ULONG>(REG_OPENED_EXISTING_KEY));
    EXPECT_EQ(ZwClose(key), STATUS_SUCCESS);
    EXPECT_EQ(ZwClose(services), STATUS_SUCCESS);
}

TEST_F(RegistryTest, SubkeysEnumerateByUpcasedNameAndValuesInInsertionOrder)
{
    HANDLE enumKey, child;
    ASSERT_EQ(Create(nullptr, L"\\Registry\\Machine\\System\\Order", &enumKey), STATUS_SUCCESS);
    // Upper-cased, '_' sorts after the letters; compared as written it would sort before 'b'.
    for (PCWSTR name : {L"_x", L"b", L"A", L"C"}) {
        ASSERT_EQ(Create(enumKey, name, &child), STATUS_SUCCESS);
        EXPECT_EQ(ZwClose(child), STATUS_SUCCESS);
    }
    std::vector<std::u16string> names;
    NTSTATUS status;
    for (ULONG i = 0;; ++i) {
        std::u16string name = EnumeratedKeyName(enumKey, i, &status);
        if (status != STATUS_SUCCESS)
            break;
        names.push_back(name);
    }
    EXPECT_EQ(status, STATUS_NO_MORE_ENTRIES);
    EXPECT_EQ(names, (std::vector<std::u16string>{u"A", u"b", u"C", u"_x"}));

    for (PCWSTR name : {L"z", L"a", L"m"})
        ASSERT_EQ(SetText(enumKey, name, L"v"), STATUS_SUCCESS);
    ASSERT_EQ(SetText(enumKey, L"a", L"again"), STATUS_SUCCESS);
    UNICODE_STRING z;
    RtlInitUnicodeString(&z, L"z");
    ASSERT_EQ(ZwDeleteValueKey(enumKey, &z), STATUS_SUCCESS);
    EXPECT_EQ(ZwDeleteValueKey(enumKey, &z), STATUS_OBJECT_NAME_NOT_FOUND);
    std::vector<std::u16string> values;
    alignas(8) UCHAR buffer[128];
    ULONG length;
    for (ULONG i = 0;; ++i) {
        status = ZwEnumerateValueKey(enumKey, i, KeyValueBasicInformation, buffer, sizeof buffer, &length);
        if (status != STATUS_SUCCESS)
            break;
        auto* info = reinterpret_cast<KEY_VALUE_BASIC_INFORMATION*>(buffer);
        values.push_back(Text(reinterpret_cast<UCHAR*>(info->Name), info->NameLength));
    }
    EXPECT_EQ(status, STATUS_NO_MORE_ENTRIES);
    EXPECT_EQ(values, (std::vector<std::u16string>{u"a", u"m"}));

    // The key's own summary counts both and knows the longest of each.
    EXPECT_EQ(ZwQueryKey(enumKey, KeyFullInformation, buffer, sizeof buffer, &length), STATUS_SUCCESS);
    auto* full = reinterpret_cast<KEY_FULL_INFORMATION*>(buffer);
    EXPECT_EQ(full->SubKeys, 4u);
    EXPECT_EQ(full->MaxNameLen, 2 * sizeof(WCHAR));
    EXPECT_EQ(full->Values, 2u);
    EXPECT_EQ(full->MaxValueDataLen, 6 * sizeof(WCHAR));
    EXPECT_EQ(ZwQueryKey(enumKey, KeyBasicInformation, buffer, FIELD_OFFSET(KEY_BASIC_INFORMATION, Name) + 2,
                         &length),
              STATUS_BUFFER_OVERFLOW);
    EXPECT_EQ(length, FIELD_OFFSET(KEY_BASIC_INFORMATION, Name) + 5 * sizeof(WCHAR));
    EXPECT_EQ(ZwClose(enumKey), STATUS_SUCCESS);
}

TEST_F(RegistryTest, OnlyKeysWithoutSubkeysCanBeDeleted)
{
    HANDLE parent, child, reopened;
    ASSERT_EQ(Create(nullptr, L"\\Registry\\Machine\\System\\Parent", &parent), STATUS_SUCCESS);
    ASSERT_EQ(Create(parent, L"Child", &child), STATUS_SUCCESS);
    EXPECT_EQ(ZwDeleteKey(parent), STATUS_CANNOT_DELETE);
    EXPECT_EQ(ZwDeleteKey(child), STATUS_SUCCESS);
    EXPECT_EQ(ZwDeleteKey(parent), STATUS_SUCCESS);

    // The handles outlive their keys but every use is refused.
    alignas(8) UCHAR buffer[64];
    ULONG length;
    EXPECT_EQ(SetText(child, L"x", L"y"), STATUS_KEY_DELETED);
    EXPECT_EQ(ZwQueryKey(parent, KeyBasicInformation, buffer, sizeof buffer, &length), STATUS_KEY_DELETED);
    EXPECT_EQ(ZwFlushKey(parent), STATUS_KEY_DELETED);
    EXPECT_EQ(Create(parent, L"Again", &reopened), STATUS_KEY_DELETED);
    EXPECT_EQ(Open(nullptr, L"\\Registry\\Machine\\System\\Parent", &reopened), STATUS_OBJECT_NAME_NOT_FOUND);
    EXPECT_EQ(ZwClose(child), STATUS_SUCCESS);
    EXPECT_EQ(ZwClose(parent), STATUS_SUCCESS);

    // The hive roots stay.
    HANDLE hive;
    ASSERT_EQ(Open(nullptr, L"\\Registry\\Machine\\System", &hive), STATUS_SUCCESS);
    ASSERT_TRUE(Store::Instance().DeleteTree(u"\\Registry\\Machine\\System\\CurrentControlSet"));
    EXPECT_EQ(ZwDeleteKey(hive), STATUS_CANNOT_DELETE);
    EXPECT_EQ(ZwClose(hive), STATUS_SUCCESS);
}

TEST_F(RegistryTest, KernelAndUserModeSeeTheSameValues)
{
    HANDLE key;
    ASSERT_EQ(Open(nullptr, L"\\Registry\\Machine\\System\\CurrentControlSet\\Services\\84PRUSB", &key),
              STATUS_SUCCESS);
    ASSERT_EQ(SetText(key, L"PortName", L"COM7"), STATUS_SUCCESS);

    HKEY hkey;
    ASSERT_EQ(
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Services\\84prusb", 0, KEY_READ, &hkey),
        ERROR_SUCCESS);
    char text[16];
    DWORD type = 0, size = sizeof text;
    ASSERT_EQ(RegQueryValueExA(hkey, "portname", nullptr, &type, reinterpret_cast<LPBYTE>(text), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    // Converted to ANSI: one byte per character, the NUL included.
    EXPECT_EQ(size, 5u);
    EXPECT_STREQ(text, "COM7");
    EXPECT_EQ(RegCloseKey(hkey), ERROR_SUCCESS);

    // And back: what user mode writes as ANSI the kernel reads as UTF-16.
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Services\\QTR84PR", 0, nullptr,
                              0, KEY_SET_VALUE, nullptr, &hkey, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(hkey, "UseGeoUsbInstance", 0, REG_SZ, reinterpret_cast<const BYTE*>("1"), 2),
              ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(hkey), ERROR_SUCCESS);
    EXPECT_EQ(Store::Instance().GetString(
                  u"\\Registry\\Machine\\System\\CurrentControlSet\\Services\\QTR84PR", u"UseGeoUsbInstance"),
              u"1");
    EXPECT_EQ(ZwClose(key), STATUS_SUCCESS);
}

TEST_F(RegistryTest, RegQueryValueReportsTheSizeItNeeds)
{
    ASSERT_TRUE(Store::Instance().SetString(kServiceKey, u"PortName", u"COM12"));
    ASSERT_TRUE(Store::Instance().SetDword(kServiceKey, u"BulkUsbEnable", 1));
    HKEY hkey;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\84PRUSB", 0,
                            KEY_QUERY_VALUE, &hkey),
              ERROR_SUCCESS);
    char text[3] = {'x', 'x', 'x'};
    DWORD size = sizeof text;
    EXPECT_EQ(RegQueryValueExA(hkey, "PortName", nullptr, nullptr, reinterpret_cast<LPBYTE>(text), &size),
              ERROR_MORE_DATA);
    EXPECT_EQ(size, 6u);
    size = 0;
    EXPECT_EQ(RegQueryValueExA(hkey, "PortName", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 6u);

    DWORD value = 0, type = 0;
    size = sizeof value;
    EXPECT_EQ(
        RegQueryValueExA(hkey, "BulkUsbEnable", nullptr, &type, reinterpret_cast<LPBYTE>(&value), &size),
        ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(value, 1u);
    EXPECT_EQ(RegQueryValueExA(hkey, "HighPower", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegCloseKey(hkey), ERROR_SUCCESS);
}

TEST_F(RegistryTest, UserHandlesEnforceTheirAccessAndDieOnClose)
{
    HKEY hkey;
    ASSERT_EQ(
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Services\\84PRUSB", 0, KEY_READ, &hkey),
        ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(hkey, "HighPower", 0, REG_SZ, reinterpret_cast<const BYTE*>("1"), 2),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteValueA(hkey, "DisplayName"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegCloseKey(hkey), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(hkey), ERROR_INVALID_HANDLE);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(hkey, "DisplayName", nullptr, nullptr, nullptr, &size), ERROR_INVALID_HANDLE);

    // Generic rights map to the key rights.
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Services\\84PRUSB", 0,
                            GENERIC_WRITE, &hkey),
              ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueA(hkey, "DisplayName"), ERROR_SUCCESS);
    EXPECT_EQ(RegQueryValueExA(hkey, "DisplayName", nullptr, nullptr, nullptr, &size), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegCloseKey(hkey), ERROR_SUCCESS);
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "System\\Missing", 0, KEY_READ, &hkey), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, UserEnumerationAndTreeDeleteFromTheLeaves)
{
    HKEY root, hkey;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE,
                              "System\\CurrentControlSet\\Services\\Tessary\\QTR84PR\\Enum", 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &hkey, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(hkey, "Count", 0, REG_SZ, reinterpret_cast<const BYTE*>("2"), 2), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(hkey), ERROR_SUCCESS);
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Services\\Tessary", 0,
                            KEY_ALL_ACCESS, &root),
              ERROR_SUCCESS);

    char name[8];
    DWORD cch = 4;
    EXPECT_EQ(RegEnumKeyExA(root, 0, name, &cch, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
    cch = sizeof name;
    ASSERT_EQ(RegEnumKeyExA(root, 0, name, &cch, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_STREQ(name, "QTR84PR");
    EXPECT_EQ(cch, 7u);
    cch = sizeof name;
    EXPECT_EQ(RegEnumKeyExA(root, 1, name, &cch, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);

    ASSERT_EQ(RegOpenKeyExA(root, "QTR84PR\\Enum", 0, KEY_QUERY_VALUE, &hkey), ERROR_SUCCESS);
    char data[4];
    DWORD type = 0, cb = 1;
    cch = sizeof name;
    EXPECT_EQ(RegEnumValueA(hkey, 0, name, &cch, nullptr, &type, reinterpret_cast<LPBYTE>(data), &cb),
              ERROR_MORE_DATA);
    EXPECT_EQ(cb, 2u);
    cb = sizeof data;
    cch = sizeof name;
    ASSERT_EQ(RegEnumValueA(hkey, 0, name, &cch, nullptr, &type, reinterpret_cast<LPBYTE>(data), &cb),
              ERROR_SUCCESS);
    EXPECT_STREQ(name, "Count");
    EXPECT_EQ(cch, 5u);
    EXPECT_STREQ(data, "2");
    cch = sizeof name;
    EXPECT_EQ(RegEnumValueA(hkey, 1, name, &cch, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);

    DWORD subkeys = 9, maxSubkey = 9, values = 9, maxValueName = 9, maxValueData = 9;
    EXPECT_EQ(RegQueryInfoKeyA(hkey, nullptr, nullptr, nullptr, &subkeys, &maxSubkey, nullptr, &values,
                               &maxValueName, &maxValueData, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(subkeys, 0u);
    EXPECT_EQ(values, 1u);
    EXPECT_EQ(maxValueName, 5u);
    EXPECT_EQ(maxValueData, 2 * sizeof(WCHAR));
    EXPECT_EQ(RegCloseKey(hkey), ERROR_SUCCESS);

    // A key with subkeys is refused; from the leaves up the tree goes.
    EXPECT_EQ(RegDeleteKeyA(root, "QTR84PR"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteKeyA(root, "QTR84PR\\Enum"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(root, "QTR84PR"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(root, "QTR84PR"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegCloseKey(root), ERROR_SUCCESS);
    EXPECT_FALSE(Store::Instance().Exists(
        u"\\Registry\\Machine\\System\\CurrentControlSet\\Services\\Tessary\\QTR84PR"));
}

TEST_F(RegistryTest, CurrentUserIsTheUsersOwnHive)
{
    HKEY hkey;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Tessary", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &hkey, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(hkey), ERROR_SUCCESS);
    EXPECT_TRUE(
        Store::Instance().Exists(std::u16string(registry::kCurrentUserPath) + u"\\Software\\Tessary"));
    EXPECT_FALSE(Store::Instance().Exists(u"\\Registry\\Machine\\Software\\Tessary"));
}

TEST_F(RegistryTest, LastWriteTimeFollowsTheVirtualClock)
{
    HANDLE key;
    ASSERT_EQ(Create(nullptr, L"\\Registry\\Machine\\Software\\Clock", &key), STATUS_SUCCESS);
    alignas(8) UCHAR buffer[64];
    ULONG length;
    auto* info = reinterpret_cast<KEY_BASIC_INFORMATION*>(buffer);
    ASSERT_EQ(ZwQueryKey(key, KeyBasicInformation, buffer, sizeof buffer, &length), STATUS_SUCCESS);
    EXPECT_EQ(info->LastWriteTime.QuadPart, Scheduler::Instance().SystemTime());
    LONGLONG created = info->LastWriteTime.QuadPart;

    Scheduler::Instance().Sleep(5 * kTicksPerSecond);
    ASSERT_EQ(SetText(key, L"Stamp", L"1"), STATUS_SUCCESS);
    ASSERT_EQ(ZwQueryKey(key, KeyBasicInformation, buffer, sizeof buffer, &length), STATUS_SUCCESS);
    EXPECT_EQ(info->LastWriteTime.QuadPart - created, 5 * kTicksPerSecond);
    EXPECT_EQ(ZwClose(key), STATUS_SUCCESS);
}

TEST_F(RegistryTest, VerifierCatchesRaisedIrqlAndBadCloses)
{
    Verifier::Capture capture;
    HANDLE key;
    KIRQL old;
    KeRaiseIrql(DISPATCH_LEVEL, &old);
    NTSTATUS status = Open(nullptr, L"\\Registry\\Machine\\System", &key);
    KeLowerIrql(old);
    EXPECT_TRUE(capture.Saw("paged code or service at raised IRQL"));
    ASSERT_EQ(status, STATUS_SUCCESS);

    EXPECT_EQ(ZwClose(key), STATUS_SUCCESS);
    EXPECT_FALSE(capture.Saw("ZwClose of an invalid kernel handle"));
    EXPECT_EQ(ZwClose(key), STATUS_INVALID_HANDLE);
    EXPECT_TRUE(capture.Saw("ZwClose of an invalid kernel handle"));
}

TEST_F(RegistryTest, ResetGivesAFreshMachine)
{
    HANDLE key;
    ASSERT_EQ(Open(nullptr, L"\\Registry\\Machine\\System\\CurrentControlSet\\Services\\84PRUSB", &key),
              STATUS_SUCCESS);
    Store::Instance().Reset();
    EXPECT_EQ(ZwFlushKey(key), STATUS_KEY_DELETED);
    EXPECT_FALSE(Store::Instance().Exists(kServiceKey));
    EXPECT_TRUE(Store::Instance().Exists(u"\\Registry\\Machine\\System"));
    EXPECT_TRUE(Store::Instance().Exists(registry::kCurrentUserPath));
    EXPECT_EQ(ZwClose(key), STATUS_SUCCESS);
}

TEST_F(RegistryTest, RestoreGoesBackToTheSnapshotAgainAndAgain)
{
    Store& store = Store::Instance();
    const registry::KeyRef snapshot = store.Snapshot();
    HANDLE key;
    ASSERT_EQ(Open(nullptr, L"\\Registry\\Machine\\System\\CurrentControlSet\\Services\\84PRUSB", &key),
              STATUS_SUCCESS);
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(store.SetString(kServiceKey, u"DisplayName", u"changed"));
        ASSERT_TRUE(store.SetDword(kServiceKey, u"Start", 4));
        ASSERT_TRUE(store.SetDword(u"\\Registry\\Machine\\Software\\New\\Deeper", u"x", 1));
        store.Restore(snapshot);
        EXPECT_EQ(store.GetString(kServiceKey, u"DisplayName"), u"84prusb");
        EXPECT_FALSE(store.GetValue(kServiceKey, u"Start").has_value());
        EXPECT_FALSE(store.Exists(u"\\Registry\\Machine\\Software\\New"));
        EXPECT_TRUE(store.Exists(registry::kCurrentUserPath));
    }
    // A key opened before the restore belongs to the tree that went.
    EXPECT_EQ(ZwFlushKey(key), STATUS_KEY_DELETED);
    EXPECT_EQ(ZwClose(key), STATUS_SUCCESS);
    // The restored tree is a copy: deleting in it leaves the snapshot whole.
    EXPECT_TRUE(store.DeleteTree(kServiceKey));
    store.Restore(snapshot);
    EXPECT_EQ(store.GetString(kServiceKey, u"DisplayName"), u"84prusb");
}

TEST(RegistryStoreTest, GetStringStopsAtTheFirstNulAndNeedsText)
{
    Store& store = Store::Instance();
    store.Reset();
    const char16_t multi[] = u"COM3\0COM4\0";
    std::vector<UCHAR> data(sizeof multi);
    std::memcpy(data.data(), multi, sizeof multi);
    ASSERT_TRUE(store.SetValue(u"\\Registry\\Machine\\Hardware\\DeviceMap\\SerialComm", u"a", REG_SZ, data));
    ASSERT_TRUE(
        store.SetValue(u"\\Registry\\Machine\\Hardware\\DeviceMap\\SerialComm", u"b", REG_BINARY, data));
    EXPECT_EQ(store.GetString(u"\\Registry\\Machine\\Hardware\\DeviceMap\\SerialComm", u"a"), u"COM3");
    EXPECT_FALSE(store.GetString(u"\\Registry\\Machine\\Hardware\\DeviceMap\\SerialComm", u"b").has_value());
    EXPECT_FALSE(store.SetValue(u"Registry\\Machine", u"c", REG_SZ, data));
    EXPECT_TRUE(store.DeleteTree(u"\\Registry\\Machine\\Hardware\\DeviceMap"));
    EXPECT_FALSE(store.DeleteTree(u"\\Registry\\Machine\\Hardware"));
    EXPECT_FALSE(store.GetValue(u"\\Registry\\Machine\\Hardware\\DeviceMap\\SerialComm", u"a").has_value());
}

TEST(RegistryStoreTest, GetStringOfAnEmptyOrOneByteStringValueIsEmpty)
{
    Store& store = Store::Instance();
    store.Reset();
    const std::u16string key = u"\\Registry\\Machine\\Hardware\\DeviceMap\\SerialComm";
    ASSERT_TRUE(store.SetValue(key, u"empty", REG_SZ, std::vector<UCHAR>{}));
    ASSERT_TRUE(store.SetValue(key, u"odd", REG_EXPAND_SZ, std::vector<UCHAR>{'C'}));
    EXPECT_EQ(store.GetString(key, u"empty"), u"");
    EXPECT_EQ(store.GetString(key, u"odd"), u"");
}

}  // namespace
}  // namespace winsim
