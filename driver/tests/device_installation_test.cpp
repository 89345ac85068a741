// The COM-port database behind msports, and SetupAPI's device sets and the
// class installer's removal over the PnP manager's devices.
#include <msports.h>
#include <newdev.h>
#include <setupapi.h>

#include <cstring>
#include <string>
#include <vector>

#include "pnp/com_database.h"
#include "portdrv/port_driver_install.h"
#include "registry/registry_store.h"
#include "um/file_system.h"
#include "com_port_fixture.h"

namespace winsim::test {
namespace {

const GUID kPortsClass = {0x4D36E978, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};

class ComDatabaseApiTest : public ComPortTest {};

TEST_F(ComDatabaseApiTest, ClaimReleaseAndUsageWithWindowsErrorCodes)
{
    HCOMDB db = HCOMDB_INVALID_HANDLE_VALUE;
    ASSERT_EQ(ComDBOpen(&db), ERROR_SUCCESS);
    EXPECT_EQ(ComDBClaimPort(db, 7, FALSE, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(ComDBClaimPort(db, 7, FALSE, nullptr), ERROR_SHARING_VIOLATION);
    BOOL forced = FALSE;
    EXPECT_EQ(ComDBClaimPort(db, 7, TRUE, &forced), ERROR_SUCCESS);
    EXPECT_TRUE(forced);
    EXPECT_EQ(ComDBClaimPort(db, 0, FALSE, nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(ComDBClaimPort(db, 257, FALSE, nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(ComDBReleasePort(db, 9), ERROR_SUCCESS);  // never claimed: still fine
    EXPECT_EQ(ComDBReleasePort(db, 300), ERROR_INVALID_PARAMETER);

    DWORD size = 0;
    EXPECT_EQ(ComDBGetCurrentPortUsage(db, nullptr, 0, CDB_REPORT_BYTES, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 256u);
    std::vector<BYTE> bytes(300, 0xEE);
    DWORD reported = 0;
    EXPECT_EQ(ComDBGetCurrentPortUsage(db, bytes.data(), 300, CDB_REPORT_BYTES, &reported), ERROR_SUCCESS);
    EXPECT_EQ(reported, 256u);
    EXPECT_EQ(bytes[6], 1);
    EXPECT_EQ(bytes[5], 0);
    BYTE bits[4] = {};
    EXPECT_EQ(ComDBGetCurrentPortUsage(db, bits, sizeof bits, CDB_REPORT_BITS, &reported), ERROR_SUCCESS);
    EXPECT_EQ(reported, 32u);
    EXPECT_EQ(bits[0], 0x40);
    EXPECT_EQ(ComDBGetCurrentPortUsage(db, bits, sizeof bits, 7, &reported), ERROR_INVALID_PARAMETER);

    EXPECT_EQ(ComDBReleasePort(db, 7), ERROR_SUCCESS);
    EXPECT_FALSE(pnp::ComDatabase::IsClaimed(7));
    EXPECT_EQ(ComDBClose(db), ERROR_SUCCESS);
    EXPECT_EQ(ComDBClose(db), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(ComDBClaimPort(db, 8, FALSE, nullptr), ERROR_INVALID_PARAMETER);
}

class DeviceSetTest : public ComPortTest {
protected:
    struct Member {
        SP_DEVINFO_DATA data;
        std::vector<std::string> hardwareIds;
        std::string friendlyName;
    };

    static std::vector<Member> PortsClass(DWORD flags, HDEVINFO* keep = nullptr)
    {
        HDEVINFO set = SetupDiGetClassDevsA(&kPortsClass, nullptr, nullptr, flags);
        EXPECT_NE(set, INVALID_HANDLE_VALUE);
        std::vector<Member> members;
        Member member = {};
        member.data.cbSize = sizeof(SP_DEVINFO_DATA);
        for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &member.data); ++i) {
            char buffer[512] = {};
            DWORD type = 0;
            EXPECT_TRUE(SetupDiGetDeviceRegistryPropertyA(set, &member.data, SPDRP_HARDWAREID, &type,
                                                          reinterpret_cast<BYTE*>(buffer), sizeof buffer, nullptr));
            EXPECT_EQ(type, static_cast<DWORD>(REG_MULTI_SZ));
            member.hardwareIds.clear();
            for (const char* s = buffer; *s != '\0'; s += std::strlen(s) + 1) member.hardwareIds.push_back(s);
            std::memset(buffer, 0, sizeof buffer);
            SetupDiGetDeviceRegistryPropertyA(set, &member.data, SPDRP_FRIENDLYNAME, nullptr,
                                              reinterpret_cast<BYTE*>(buffer), sizeof buffer, nullptr);
            member.friendlyName = buffer;
            members.push_back(member);
        }
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
        if (keep != nullptr) {
            *keep = set;
        } else {
            EXPECT_TRUE(SetupDiDestroyDeviceInfoList(set));
        }
        return members;
    }
};

TEST_F(DeviceSetTest, APortsClassSetHoldsUnpluggedPortsUnlessOnlyPresentOnesAreAskedFor)
{
    hw::AdapterModel& adapter = Plug("SET1");
    std::vector<Member> ports = PortsClass(0);
    ASSERT_EQ(ports.size(), 4u);
    EXPECT_EQ(ports[1].hardwareIds,
              (std::vector<std::string>{"USB\\VID_2B84&PID_0841&REV_0200&MI_02", "USB\\VID_2B84&PID_0841&MI_02"}));
    EXPECT_EQ(ports[1].friendlyName, "Tessary QTR84PX-1 Serial Adapter Port (COM4)");
    EXPECT_EQ(ports[1].data.ClassGuid.Data1, kPortsClass.Data1);
    EXPECT_EQ(PortsClass(DIGCF_PRESENT).size(), 4u);

    Unplug(adapter);
    EXPECT_EQ(PortsClass(0).size(), 4u);
    EXPECT_TRUE(PortsClass(DIGCF_PRESENT).empty());
}

TEST_F(DeviceSetTest, PropertiesReportSizesAndMissingValuesAsWindowsDoes)
{
    Plug("SET2");
    HDEVINFO set = nullptr;
    std::vector<Member> ports = PortsClass(0, &set);
    ASSERT_FALSE(ports.empty());
    BYTE small[8];
    DWORD type = 0;
    DWORD required = 0;
    EXPECT_FALSE(SetupDiGetDeviceRegistryPropertyA(set, &ports[0].data, SPDRP_FRIENDLYNAME, &type, small,
                                                   sizeof small, &required));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(required, sizeof("Tessary QTR84PX-1 Serial Adapter Port (COM3)"));
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_FALSE(SetupDiGetDeviceRegistryPropertyA(set, &ports[0].data, SPDRP_COMPATIBLEIDS, &type, small,
                                                   sizeof small, &required));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_DATA));

    HKEY parameters = SetupDiOpenDevRegKey(set, &ports[0].data, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    ASSERT_NE(parameters, reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE));
    char name[16] = {};
    DWORD size = sizeof name;
    EXPECT_EQ(RegQueryValueExA(parameters, "PortName", nullptr, nullptr, reinterpret_cast<BYTE*>(name), &size),
              ERROR_SUCCESS);
    EXPECT_STREQ(name, "COM3");
    RegCloseKey(parameters);

    SP_DEVINFO_DATA wrongSize = ports[0].data;
    wrongSize.cbSize = 4;
    EXPECT_FALSE(SetupDiEnumDeviceInfo(set, 0, &wrongSize));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_USER_BUFFER));
    EXPECT_TRUE(SetupDiDestroyDeviceInfoList(set));
    EXPECT_FALSE(SetupDiDestroyDeviceInfoList(set));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(DeviceSetTest, RemovingAPresentPortTearsItDownAndGivesItsNameBack)
{
    Plug("SET3");
    HANDLE port = OpenCom(4);
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    CloseHandle(port);
    HDEVINFO set = nullptr;
    std::vector<Member> ports = PortsClass(0, &set);
    ASSERT_EQ(ports.size(), 4u);
    ASSERT_TRUE(SetupDiCallClassInstaller(DIF_REMOVE, set, &ports[1].data));
    machine().RunUntilQuiet();

    EXPECT_EQ(OpenCom(4), INVALID_HANDLE_VALUE);  // the port's stack is gone
    EXPECT_FALSE(pnp::ComDatabase::IsClaimed(4));
    EXPECT_TRUE(pnp::ComDatabase::IsClaimed(3));
    EXPECT_FALSE(registry::Store::Instance().Exists(PortInstanceKey("SET3", 2)));
    // The member stays in the set, but its device is gone.
    char buffer[64];
    EXPECT_FALSE(SetupDiGetDeviceRegistryPropertyA(set, &ports[1].data, SPDRP_FRIENDLYNAME, nullptr,
                                                   reinterpret_cast<BYTE*>(buffer), sizeof buffer, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_SUCH_DEVINST));
    EXPECT_FALSE(SetupDiCallClassInstaller(DIF_REMOVE, set, &ports[1].data));
    SetupDiDestroyDeviceInfoList(set);
    EXPECT_EQ(PortsClass(0).size(), 3u);
}

TEST_F(DeviceSetTest, RemovingAPhantomPortDeletesItsKeysAndAReturningAdapterGetsANewName)
{
    hw::AdapterModel& adapter = Plug("SET4");
    Unplug(adapter);
    HDEVINFO set = nullptr;
    std::vector<Member> ports = PortsClass(0, &set);
    ASSERT_EQ(ports.size(), 4u);
    ASSERT_TRUE(pnp::ComDatabase::Claim(3) == false);  // still the phantom's
    ASSERT_TRUE(SetupDiCallClassInstaller(DIF_REMOVE, set, &ports[0].data));
    SetupDiDestroyDeviceInfoList(set);
    EXPECT_FALSE(pnp::ComDatabase::IsClaimed(3));
    ASSERT_TRUE(pnp::ComDatabase::Claim(3));  // another program takes it

    Plug("SET4");
    std::vector<Member> again = PortsClass(0);
    ASSERT_EQ(again.size(), 4u);
    EXPECT_EQ(again[0].friendlyName, "Tessary QTR84PX-1 Serial Adapter Port (COM7)");
    EXPECT_EQ(again[1].friendlyName, "Tessary QTR84PX-1 Serial Adapter Port (COM4)");
}

class InfStoreTest : public ComPortTest {
protected:
    void SetUp() override
    {
        ComPortTest::SetUp();
        portdrv::InstallAssistantFolder();
    }
    static std::string PackageInf(const char* name)
    {
        return std::string(portdrv::kAssistantFolder) + "\\driver\\" + name;
    }
};

TEST_F(InfStoreTest, AnInfIsStoredOnceUnderTheLowestFreeOemName)
{
    char name[MAX_PATH] = {};
    DWORD required = 0;
    char* component = nullptr;
    ASSERT_TRUE(SetupCopyOEMInfA(PackageInf("84pr.inf").c_str(), nullptr, SPOST_PATH, 0, name, sizeof name,
                                 &required, &component));
    EXPECT_STREQ(name, "C:\\Windows\\INF\\oem0.inf");
    EXPECT_EQ(required, sizeof("C:\\Windows\\INF\\oem0.inf"));
    EXPECT_STREQ(component, "oem0.inf");
    ASSERT_TRUE(SetupCopyOEMInfA(PackageInf("84prp.inf").c_str(), nullptr, SPOST_PATH, 0, name, sizeof name,
                                 nullptr, nullptr));
    EXPECT_STREQ(name, "C:\\Windows\\INF\\oem1.inf");
    ASSERT_TRUE(SetupCopyOEMInfA(PackageInf("84pr.inf").c_str(), nullptr, SPOST_PATH, 0, name, sizeof name,
                                 nullptr, nullptr));
    EXPECT_STREQ(name, "C:\\Windows\\INF\\oem0.inf");
    EXPECT_FALSE(SetupCopyOEMInfA(PackageInf("84pr.inf").c_str(), nullptr, SPOST_PATH, SP_COPY_NOOVERWRITE, nullptr,
                                  0, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
    std::vector<BYTE> stored;
    EXPECT_EQ(um::FileSystem::Instance().GetFile("C:\\Windows\\INF\\oem2.inf", &stored),
              static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(InfStoreTest, NoOverwriteRefusesAStoredInfButNamesItsCopy)
{
    ASSERT_TRUE(SetupCopyOEMInfA(PackageInf("84prp.inf").c_str(), nullptr, SPOST_PATH, 0, nullptr, 0, nullptr,
                                 nullptr));
    ASSERT_TRUE(SetupCopyOEMInfA(PackageInf("84pr.inf").c_str(), nullptr, SPOST_PATH, 0, nullptr, 0, nullptr,
                                 nullptr));
    char name[MAX_PATH] = {};
    DWORD required = 0;
    char* component = nullptr;
    EXPECT_FALSE(SetupCopyOEMInfA(PackageInf("84pr.inf").c_str(), nullptr, SPOST_PATH, SP_COPY_NOOVERWRITE, name,
                                  sizeof name, &required, &component));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
    EXPECT_STREQ(name, "C:\\Windows\\INF\\oem1.inf");
    EXPECT_EQ(required, sizeof("C:\\Windows\\INF\\oem1.inf"));
    EXPECT_STREQ(component, "oem1.inf");
    // A buffer too small still learns the size; the refusal stays the reason.
    char small[8] = {'k', 0};
    required = 0;
    EXPECT_FALSE(SetupCopyOEMInfA(PackageInf("84pr.inf").c_str(), nullptr, SPOST_PATH, SP_COPY_NOOVERWRITE, small,
                                  sizeof small, &required, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
    EXPECT_EQ(required, sizeof("C:\\Windows\\INF\\oem1.inf"));
    EXPECT_STREQ(small, "k");
}

TEST_F(InfStoreTest, OnlyNamesTheStoreGivesCountAndTheirNumbersNeedNotBeDense)
{
    um::FileSystem& files = um::FileSystem::Instance();
    std::vector<BYTE> package;
    ASSERT_EQ(files.GetFile(PackageInf("84pr.inf"), &package), static_cast<DWORD>(ERROR_SUCCESS));
    files.PutFile("C:\\Windows\\INF\\oem0.inf", {'a'});
    files.PutFile("C:\\Windows\\INF\\OEM1.INF", {'b'});
    files.PutFile("C:\\Windows\\INF\\oem02.inf", package);  // not a name the store gives
    files.PutFile("C:\\Windows\\INF\\oem7.inf", package);
    files.PutFile("C:\\Windows\\INF\\oem9.inf", package);
    char name[MAX_PATH] = {};
    ASSERT_TRUE(SetupCopyOEMInfA(PackageInf("84pr.inf").c_str(), nullptr, SPOST_PATH, 0, name, sizeof name,
                                 nullptr, nullptr));
    EXPECT_STREQ(name, "C:\\Windows\\INF\\oem7.inf");
    ASSERT_TRUE(SetupCopyOEMInfA(PackageInf("84prp.inf").c_str(), nullptr, SPOST_PATH, 0, name, sizeof name,
                                 nullptr, nullptr));
    EXPECT_STREQ(name, "C:\\Windows\\INF\\oem2.inf");
}

TEST_F(InfStoreTest, TenThousandStoredInfsLeaveRoomForMore)
{
    um::FileSystem& files = um::FileSystem::Instance();
    for (int n = 0; n < 10000; ++n) files.PutFile("C:\\Windows\\INF\\oem" + std::to_string(n) + ".inf", {'x'});
    char name[MAX_PATH] = {};
    ASSERT_TRUE(SetupCopyOEMInfA(PackageInf("84pr.inf").c_str(), nullptr, SPOST_PATH, 0, name, sizeof name,
                                 nullptr, nullptr));
    EXPECT_STREQ(name, "C:\\Windows\\INF\\oem10000.inf");
}

TEST_F(InfStoreTest, MissingFilesFilesThatAreNoDriverInfAndSmallBuffersFail)
{
    EXPECT_FALSE(SetupCopyOEMInfA("C:\\nowhere\\x.inf", nullptr, SPOST_PATH, 0, nullptr, 0, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    um::FileSystem::Instance().PutFile("C:\\x.inf", {'[', 'S', ']', '\n'});
    EXPECT_FALSE(SetupCopyOEMInfA("C:\\x.inf", nullptr, SPOST_PATH, 0, nullptr, 0, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_CLASS));
    char name[8];
    DWORD required = 0;
    EXPECT_FALSE(SetupCopyOEMInfA(PackageInf("84pr.inf").c_str(), nullptr, SPOST_PATH, 0, name, sizeof name,
                                  &required, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(required, sizeof("C:\\Windows\\INF\\oem0.inf"));
}

TEST_F(InfStoreTest, ADriverUpdateRestartsThePresentDevicesWithTheId)
{
    hw::AdapterModel& adapter = Plug("UPD1");
    auto configurations = [&] {
        size_t n = 0;
        for (const hw::UrbRecord& urb : adapter.UrbLog()) n += urb.function == URB_FUNCTION_SELECT_CONFIGURATION;
        return n;
    };
    const size_t before = configurations();
    ASSERT_GT(before, 0u);
    const std::string inf = PackageInf("84pr.inf");
    BOOL reboot = TRUE;
    ASSERT_TRUE(UpdateDriverForPlugAndPlayDevicesA(nullptr, "usb\\vid_2b84&pid_0841&mi_00", inf.c_str(),
                                                   INSTALLFLAG_FORCE, &reboot));
    machine().RunUntilQuiet();
    EXPECT_FALSE(reboot);
    // The driver was started again: it configured the device once more.
    EXPECT_GT(configurations(), before);
    EXPECT_NE(Extension(adapter), nullptr);
    HANDLE port = OpenCom(3);
    EXPECT_NE(port, INVALID_HANDLE_VALUE);
    CloseHandle(port);

    // The composite parent has the id, but the file has no driver for it.
    EXPECT_FALSE(UpdateDriverForPlugAndPlayDevicesA(nullptr, "USB\\VID_2B84&PID_0841", inf.c_str(),
                                                    INSTALLFLAG_FORCE, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_DRIVER_SELECTED));
    Unplug(adapter);
    EXPECT_FALSE(UpdateDriverForPlugAndPlayDevicesA(nullptr, "USB\\VID_2B84&PID_0841&MI_00", inf.c_str(),
                                                    INSTALLFLAG_FORCE, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_SUCH_DEVINST));
    EXPECT_FALSE(UpdateDriverForPlugAndPlayDevicesA(nullptr, "USB\\VID_2B84&PID_0841&MI_00", "C:\\none.inf",
                                                    INSTALLFLAG_FORCE, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(UpdateDriverForPlugAndPlayDevicesA(nullptr, "USB\\VID_2B84&PID_0841&MI_00", inf.c_str(), 0x80,
                                                    nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_FLAGS));
}

}  // namespace
}  // namespace winsim::test
