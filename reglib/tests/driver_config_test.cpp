// The COM mapping mode in the registry, and the installation folder the
// package exports start from.
#include "reglib_fixture.h"
#include "um/platform_version.h"

namespace reglib_test {
namespace {

const std::string kModeKey = "System\\CurrentControlSet\\Services\\QTR84PR";
const std::string kAppPaths = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\T84PRAsst.exe";

class DriverConfigTest : public RegLibTest {
protected:
    static int Mode()
    {
        int mode = -1;
        fnGetDriverConfig(&mode);
        return mode;
    }
};

TEST_F(DriverConfigTest, TheModeReadsAsDecimalTextWithZeroForAnythingElse)
{
    EXPECT_EQ(Mode(), 0);  // no value
    SetString(kModeKey, "UseGeoUsbInstance", "1");
    EXPECT_EQ(Mode(), 1);
    SetString(kModeKey, "UseGeoUsbInstance", "x");
    EXPECT_EQ(Mode(), 0);
    SetString(kModeKey, "UseGeoUsbInstance", " 12abc");
    EXPECT_EQ(Mode(), 12);
    SetString(kModeKey, "UseGeoUsbInstance", "12345678901");  // does not fit the 10 bytes read
    EXPECT_EQ(Mode(), 0);
    SetBinary(kModeKey, "UseGeoUsbInstance", {'1', '2', '3', '4', '5', '6', '7', '8', '9', '1'});  // no NUL
    EXPECT_EQ(Mode(), 1234567891);
    fnGetDriverConfig(nullptr);
}

TEST_F(DriverConfigTest, SettingTheModeCreatesTheKeyAndStoresText)
{
    ASSERT_FALSE(KeyExists(kModeKey));
    EXPECT_EQ(Output([] { EXPECT_EQ(fnSetDriverConfig(1), 0); }), "");
    EXPECT_EQ(GetString(kModeKey, "UseGeoUsbInstance"), "1");
    EXPECT_EQ(fnSetDriverConfig(0), 0);
    EXPECT_EQ(GetString(kModeKey, "UseGeoUsbInstance"), "0");
    int mode = -1;
    fnGetDriverConfig(&mode);
    EXPECT_EQ(mode, 0);
}

TEST_F(DriverConfigTest, WithoutTheAppPathsEntryTheInstallationExportsDoNothing)
{
    EXPECT_EQ(Output([] { EXPECT_EQ(fnCopyInfToSystem(), 0); }), "** fnCopyInfToSystem() **\nGetQTRappPath failed.\n");
    EXPECT_EQ(Output([] { EXPECT_EQ(fnUpdateDriverPNP(), 0); }), "** fnUpdateDriverPNP() **\nGetQTRappPath failed.\n");
    SetString(kAppPaths, "Other", "x");  // the key, but no "Path"
    EXPECT_EQ(Output([] { EXPECT_EQ(fnCopyInfToSystem(), 0); }),
              "** fnCopyInfToSystem() **\nRegQueryValueEx failed: 2\nGetQTRappPath failed.\n");
}

TEST_F(DriverConfigTest, AnOverlongInstallationPathIsNotWrittenPastItsBuffer)
{
    winsim::um::SetPlatformVersion(winsim::um::PlatformVersion::kWin9x);
    SetString(kAppPaths, "Path", "C:\\" + std::string(257, 'p'));
    EXPECT_EQ(Output([] { EXPECT_EQ(fnUpdateDriverPNP(), 1); }),
              "** fnUpdateDriverPNP() **\nqtrPath: C:\\" + std::string(257, 'p') + "\\driver\\\n");
    EXPECT_EQ(Output([] { EXPECT_EQ(fnCopyInfToSystem(), 0); }), "** fnCopyInfToSystem() **\n");
}

}  // namespace
}  // namespace reglib_test
