// The registry clean: which Ports and USB devices go, the service keys, the
// NT 4 parameters key and the clean of the platforms outside the NT family.
#include "pnp/com_database.h"
#include "reglib_fixture.h"
#include "um/platform_version.h"

namespace reglib_test {
namespace {

using winsim::um::PlatformVersion;

const std::string kServiceKey = "System\\CurrentControlSet\\Services\\Tessary\\QTR84PR";

class RegistryCleanTest : public RegLibTest {
protected:
    static std::string Clean(int expected = 0)
    {
        return Output([&] { EXPECT_EQ(fnClqtrreg(), expected); });
    }
};

TEST_F(RegistryCleanTest, PortsGoOnlyByTheirFirstIdAndUsbDevicesByAnyOfTheirIds)
{
    AddPhantom("USB\\VID_2B84&PID_0841&MI_02\\OLD&0&0002", kPortsGuid, {"USB\\VID_2B84&PID_0841&MI_02"});
    AddPhantom("USB\\VID_2B84&PID_0841&MI_03\\LOW&0&0003", kPortsGuid, {"usb\\vid_2b84&pid_0841&mi_03"});
    AddPhantom("ACPI\\PNP0501\\1", kPortsGuid, {"ACPI\\PNP0501", "USB\\VID_2B84&PID_0841&MI_01"});
    AddPhantom("USB\\VID_2B84&PID_0841\\OLD", kUsbGuid, {"USB\\VID_2B84&PID_0841&REV_0200", "USB\\VID_2B84&PID_0841"});
    AddPhantom("USB\\VID_2B84&PID_0841&MI_00\\LOW&0&0000", kUsbGuid, {"usb\\vid_2b84&pid_0841&rev_0200&mi_00",
                                                                     "usb\\vid_2b84&pid_0841&mi_00"});
    AddPhantom("USB\\VID_1234&PID_0001\\KEEP", kUsbGuid, {"USB\\VID_1234&PID_0001"});
    SetString(kServiceKey + "\\Parameters\\Deep", "x", "y");

    const std::string out = Clean();
    EXPECT_FALSE(KeyExists(kEnum + "USB\\VID_2B84&PID_0841&MI_02\\OLD&0&0002"));
    EXPECT_FALSE(KeyExists(kEnum + "USB\\VID_2B84&PID_0841&MI_03\\LOW&0&0003"));
    EXPECT_TRUE(KeyExists(kEnum + "ACPI\\PNP0501\\1"));
    EXPECT_FALSE(KeyExists(kEnum + "USB\\VID_2B84&PID_0841\\OLD"));
    EXPECT_FALSE(KeyExists(kEnum + "USB\\VID_2B84&PID_0841&MI_00\\LOW&0&0000"));
    EXPECT_TRUE(KeyExists(kEnum + "USB\\VID_1234&PID_0001\\KEEP"));
    EXPECT_FALSE(KeyExists(kServiceKey));
    EXPECT_TRUE(KeyExists("System\\CurrentControlSet\\Services\\Tessary"));

    EXPECT_NE(out.find("QTR_PORTS_ID index:0 type:7 size:42 ACPI\\PNP0501\n"), std::string::npos) << out;
    EXPECT_NE(out.find("USB\\VID_2B84&PID_0841&MI_03 USB\\VID_2B84&PID_0841&MI_03\nfound it - call DIF_REMOTE\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("USB\\VID_2B84&PID_0841 usb\\vid_2b84&pid_0841&mi_00\n"
                       "USB\\VID_2B84&PID_0841&MI_00 USB\\VID_2B84&PID_0841&MI_00\nfound it - Call DIF_REMOVE\n"),
              std::string::npos)
        << out;
    EXPECT_EQ(out.substr(out.size() - 24), "setupDiEnum failed: 259\n");
}

TEST_F(RegistryCleanTest, AHardwareIdThatCannotBeReadIsReportedAndSkipped)
{
    SetString(kEnum + "USB\\VID_2B84&PID_0841&MI_01\\NOID&0&0001", "ClassGUID", kPortsGuid);
    AddPhantom("USB\\VID_2B84&PID_0841&MI_04\\OLD&0&0004", kPortsGuid, {"USB\\VID_2B84&PID_0841&MI_04"});
    const std::string out = Clean();
    EXPECT_EQ(out.find("Get Hardware ID failed: 13\n"), 0u) << out;
    EXPECT_TRUE(KeyExists(kEnum + "USB\\VID_2B84&PID_0841&MI_01\\NOID&0&0001"));
    EXPECT_FALSE(KeyExists(kEnum + "USB\\VID_2B84&PID_0841&MI_04\\OLD&0&0004"));
}

TEST_F(RegistryCleanTest, UnpluggedAdaptersPluggedInAgainGetNewComNumbers)
{
    winsim::hw::AdapterModel& first = Plug("CLEAN1");
    winsim::hw::AdapterModel& second = Plug("CLEAN2");
    EXPECT_TRUE(winsim::pnp::ComDatabase::IsClaimed(10));
    Unplug(first);
    Unplug(second);
    Clean();
    EXPECT_TRUE(winsim::pnp::ComDatabase::Claimed().empty());

    Plug("CLEAN2");
    std::vector<ULONG> claimed = winsim::pnp::ComDatabase::Claimed();
    EXPECT_EQ(claimed, (std::vector<ULONG>{3, 4, 5, 6}));
    EXPECT_EQ(GetString(kEnum + "USB\\VID_2B84&PID_0841&MI_01\\CLEAN2&0&0001\\Device Parameters", "PortName"), "COM3");
}

TEST_F(RegistryCleanTest, APresentAdapterLosesItsPortsAndItsDriver)
{
    Plug("CLEAN3");
    const std::string out = Clean();
    machine().RunUntilQuiet();
    EXPECT_NE(out.find("found it - Call DIF_REMOVE\n"), std::string::npos) << out;
    EXPECT_FALSE(KeyExists(kEnum + "USB\\VID_2B84&PID_0841&MI_01"));
    EXPECT_FALSE(KeyExists(kEnum + "USB\\VID_2B84&PID_0841&MI_00"));
    HANDLE port = CreateFileA("\\\\.\\COM3", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(port, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(winsim::pnp::ComDatabase::Claimed().empty());
}

TEST_F(RegistryCleanTest, OnNt4TheParametersKeyIsLeftEmpty)
{
    winsim::um::SetPlatformVersion(PlatformVersion::kNt40);
    const std::string parameters = "System\\CurrentControlSet\\Services\\QTR84PNT\\Parameters";
    SetString(parameters, "PortName", "COM3");
    SetString(parameters + "\\A\\B", "x", "y");
    AddPhantom("USB\\VID_2B84&PID_0841&MI_02\\NT4&0&0002", kPortsGuid, {"USB\\VID_2B84&PID_0841&MI_02"});
    EXPECT_EQ(Clean(), "");
    EXPECT_TRUE(KeyExists(parameters));
    EXPECT_EQ(GetString(parameters, "PortName"), "(absent)");
    EXPECT_FALSE(KeyExists(parameters + "\\A"));
    EXPECT_TRUE(KeyExists(kEnum + "USB\\VID_2B84&PID_0841&MI_02\\NT4&0&0002"));
}

TEST_F(RegistryCleanTest, TheLegacyCleanDeletesTheMappedSoftwareKeysAndCountsFailedSteps)
{
    winsim::um::SetPlatformVersion(PlatformVersion::kWin9x);
    EXPECT_EQ(Clean(3), "");  // nothing there: every step fails

    const std::string classKey = "System\\CurrentControlSet\\Services\\Class\\";
    SetString("Enum\\TESSARY\\*QTR84PXMAP\\0000", "Driver", "Ports\\0003");
    SetString("Enum\\TESSARY\\*QTR84PXMAP\\0001", "Driver", "Ports\\0004");
    SetString(classKey + "Ports\\0003\\Sub", "x", "y");
    SetString(classKey + "Ports\\0004", "x", "y");
    SetString(classKey + "Ports\\0005", "x", "y");
    SetString("Enum\\USB\\VID_2B84&PID_0821\\A", "Driver", "Ports\\0005");
    SetString("System\\CurrentControlSet\\Services\\Tessary\\QTR84PX", "x", "y");
    EXPECT_EQ(Clean(0), "RegEnumKeyEx returning:000 for 0 0000\nDeleting: Ports\\0003\n"
                        "RegEnumKeyEx returning:000 for 1 0001\nDeleting: Ports\\0004\n");
    EXPECT_FALSE(KeyExists(classKey + "Ports\\0003"));
    EXPECT_FALSE(KeyExists(classKey + "Ports\\0004"));
    EXPECT_FALSE(KeyExists(classKey + "Ports\\0005"));
    EXPECT_FALSE(KeyExists("Enum\\TESSARY\\*QTR84PXMAP"));
    EXPECT_FALSE(KeyExists("Enum\\USB\\VID_2B84&PID_0821"));
    EXPECT_FALSE(KeyExists("System\\CurrentControlSet\\Services\\Tessary\\QTR84PX"));
}

}  // namespace
}  // namespace reglib_test
