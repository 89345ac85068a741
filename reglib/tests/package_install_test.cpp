// The package's INF files copied into the INF store, and the drivers of the
// adapters present updated from them.
#include "portdrv/port_driver_install.h"
#include "reglib_fixture.h"
#include "um/file_system.h"
#include "um/platform_version.h"
#include "um/system_libraries.h"

namespace reglib_test {
namespace {

const std::string kDriverFolder = std::string(winsim::portdrv::kAssistantFolder) + "\\driver\\";

class PackageInstallTest : public RegLibTest {
protected:
    void SetUp() override
    {
        RegLibTest::SetUp();
        winsim::portdrv::InstallAssistantFolder();
    }
    static bool Stored(const std::string& name)
    {
        std::vector<BYTE> bytes;
        return winsim::um::FileSystem::Instance().GetFile("C:\\Windows\\INF\\" + name, &bytes) == ERROR_SUCCESS;
    }
};

TEST_F(PackageInstallTest, BothInfFilesGoIntoTheStoreOnce)
{
    const std::string expected = "** fnCopyInfToSystem() **\nerror:0 " + kDriverFolder + "84pr.inf\n" + kDriverFolder +
                                 "84prp.inf\n";
    EXPECT_EQ(Output([] { EXPECT_EQ(fnCopyInfToSystem(), 0); }), expected);
    EXPECT_EQ(Output([] { EXPECT_EQ(fnCopyInfToSystem(), 0); }), expected);
    EXPECT_TRUE(Stored("oem0.inf"));
    EXPECT_TRUE(Stored("oem1.inf"));
    EXPECT_FALSE(Stored("oem2.inf"));
}

TEST_F(PackageInstallTest, ACopyThatFailsReportsItsError)
{
    winsim::um::FileSystem::Instance().DeleteFile(kDriverFolder + "84pr.inf");
    EXPECT_EQ(Output([] { EXPECT_EQ(fnCopyInfToSystem(), 0); }),
              "** fnCopyInfToSystem() **\nerror:2 " + kDriverFolder + "84pr.inf\n" + kDriverFolder + "84prp.inf\n");
    winsim::um::SetSystemLibraryWithheld("setupapi.dll!SetupCopyOEMInfA", true);
    EXPECT_EQ(Output([] { EXPECT_EQ(fnCopyInfToSystem(), 0); }), "** fnCopyInfToSystem() **\n");
}

TEST_F(PackageInstallTest, TheUpdateReportsEachIdNoDeviceTookTheDriverFor)
{
    Plug("UPDATE1");
    const std::string adapterInf = kDriverFolder + "84pr.inf";
    EXPECT_EQ(Output([] { EXPECT_EQ(fnUpdateDriverPNP(), 1); }),
              "** fnUpdateDriverPNP() **\nqtrPath: " + kDriverFolder + "\n"
              "Hardware ID:USB\\VID_2B84&PID_0841 InfPath:" + adapterInf + " e0000203\n"
              "Hardware ID:USB\\VID_2B84&PID_0841 InfPath:" + kDriverFolder + "84prp.inf e0000203\n");
    HANDLE port = CreateFileA("\\\\.\\COM3", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(port, INVALID_HANDLE_VALUE);
    CloseHandle(port);
}

TEST_F(PackageInstallTest, WithNoAdapterPresentEveryUpdateFailsAndWithoutNewdevNoneIsTried)
{
    const std::string out = Output([] { EXPECT_EQ(fnUpdateDriverPNP(), 1); });
    EXPECT_NE(out.find("Hardware ID:USB\\VID_2B84&PID_0841&MI_00 InfPath:" + kDriverFolder + "84pr.inf e000020b\n"),
              std::string::npos)
        << out;
    winsim::um::SetSystemLibraryWithheld("newdev.dll", true);
    EXPECT_EQ(Output([] { EXPECT_EQ(fnUpdateDriverPNP(), 1); }),
              "** fnUpdateDriverPNP() **\nqtrPath: " + kDriverFolder + "\n");
    winsim::um::SetPlatformVersion(winsim::um::PlatformVersion::kWin9x);
    EXPECT_EQ(Output([] { EXPECT_EQ(fnCopyInfToSystem(), 0); }), "** fnCopyInfToSystem() **\n");
}

}  // namespace
}  // namespace reglib_test
