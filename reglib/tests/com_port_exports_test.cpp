// Claiming, releasing and listing COM numbers through the COM-port database,
// and the registry scan of the platforms outside the NT family.
#include <msports.h>

#include <cstring>
#include <vector>

#include "pnp/com_database.h"
#include "reglib_fixture.h"
#include "um/device_libraries.h"
#include "um/platform_version.h"
#include "um/system_libraries.h"

namespace reglib_test {
namespace {

using winsim::pnp::ComDatabase;
using winsim::um::PlatformVersion;

class ComPortExportsTest : public RegLibTest {};

TEST_F(ComPortExportsTest, ClaimTakesAFreeNumberAndRefusesATakenOne)
{
    EXPECT_EQ(fnClaimComPort(9), 1);
    EXPECT_TRUE(ComDatabase::IsClaimed(9));
    EXPECT_EQ(Output([] { EXPECT_EQ(fnClaimComPort(9), 0); }), "");
    EXPECT_EQ(fnClaimComPort(0), 0);
}

TEST_F(ComPortExportsTest, ReleaseOfANumberNotClaimedStillSucceeds)
{
    EXPECT_NE(fnReleaseComPort(12), 0);
    ASSERT_TRUE(ComDatabase::Claim(12));
    EXPECT_NE(fnReleaseComPort(12), 0);
    EXPECT_FALSE(ComDatabase::IsClaimed(12));
}

TEST_F(ComPortExportsTest, MissingMsportsPartsAreReportedAndTheModuleIsReleased)
{
    winsim::um::SetSystemLibraryWithheld("msports.dll!ComDBClaimPort", true);
    EXPECT_EQ(Output([] { EXPECT_EQ(fnClaimComPort(9), 0); }), "Could not resolve ComDBClaimPort\n");
    winsim::um::SetSystemLibraryWithheld("msports.dll!ComDBReleasePort", true);
    ASSERT_TRUE(ComDatabase::Claim(9));
    EXPECT_EQ(Output([] { EXPECT_NE(fnReleaseComPort(9), 0); }), "Could not resolve ComDBReleasePort\n");
    EXPECT_TRUE(ComDatabase::IsClaimed(9));
    winsim::um::SetSystemLibraryWithheld("msports.dll!ComDBOpen", true);
    EXPECT_EQ(Output([] { EXPECT_EQ(fnClaimComPort(10), 0); }), "Could not resolve ComDBOpen\n");
    EXPECT_EQ(Output([] { EXPECT_NE(fnReleaseComPort(9), 0); }),
              "Could not resolve ComDBOpen\nCould not resolve ComDBReleasePort\n");
    BYTE ports[16];
    EXPECT_EQ(Output([&] { EXPECT_EQ(fnGetPortsInUse(ports, sizeof ports), 0u); }), "");

    winsim::um::SetSystemLibraryWithheld("msports.dll", true);
    EXPECT_EQ(Output([] { EXPECT_EQ(fnClaimComPort(10), 0); }), "Could not Load Library: msports.dll");
    EXPECT_EQ(Output([] { EXPECT_NE(fnReleaseComPort(9), 0); }), "Could not Load Library: msports.dll");
    EXPECT_EQ(Output([&] { EXPECT_EQ(fnGetPortsInUse(ports, sizeof ports), 0u); }),
              "Could not Load Library: msports.dll");
    EXPECT_FALSE(ComDatabase::IsClaimed(10));
}

TEST_F(ComPortExportsTest, PortsInUseCopiesTheDatabaseIntoTheCallersBuffer)
{
    Plug("INUSE1");
    ASSERT_TRUE(ComDatabase::Claim(1));
    std::vector<BYTE> ports(256, 0xAA);
    EXPECT_EQ(Output([&] { EXPECT_EQ(fnGetPortsInUse(ports.data(), 256), 256u); }), "MaxPorts: 256\n");
    for (unsigned i = 0; i < 256; ++i) EXPECT_EQ(ports[i] != 0, i == 0 || (i >= 2 && i <= 5)) << "byte " << i;
    std::vector<BYTE> few(4, 0xAA);
    Output([&] { EXPECT_EQ(fnGetPortsInUse(few.data(), 4), 4u); });
    EXPECT_EQ(few, (std::vector<BYTE>{1, 0, 1, 1}));
    EXPECT_EQ(fnGetPortsInUse(nullptr, 256), 0u);
}

// A database of 32 numbers, as an older system's may be.
LONG WINAPI ThirtyTwoPortUsage(HCOMDB, PBYTE buffer, DWORD size, ULONG, LPDWORD reported)
{
    if (buffer == nullptr) {
        *reported = 32;
        return ERROR_SUCCESS;
    }
    std::memset(buffer, 0, size);
    buffer[6] = 1;
    buffer[31] = 1;
    *reported = size < 32 ? size : 32;
    return ERROR_SUCCESS;
}

LONG WINAPI EmptyUsage(HCOMDB, PBYTE, DWORD, ULONG, LPDWORD reported)
{
    *reported = 0;
    return ERROR_SUCCESS;
}

LONG WINAPI FailingUsage(HCOMDB, PBYTE buffer, DWORD, ULONG, LPDWORD reported)
{
    if (buffer != nullptr) return ERROR_NOT_ENOUGH_MEMORY;
    *reported = 64;
    return ERROR_SUCCESS;
}

LONG WINAPI FailingOpen(HCOMDB*) { return ERROR_ACCESS_DENIED; }

class SubstituteMsportsTest : public ComPortExportsTest {
protected:
    void TearDown() override
    {
        winsim::um::RegisterDeviceInstallationLibraries();
        ComPortExportsTest::TearDown();
    }
};

TEST_F(SubstituteMsportsTest, ASmallerDatabaseFillsOnlyItsOwnBytes)
{
    winsim::um::RegisterSystemExport("msports.dll", "ComDBGetCurrentPortUsage", &ThirtyTwoPortUsage);
    std::vector<BYTE> ports(256, 0xAA);
    EXPECT_EQ(Output([&] { EXPECT_EQ(fnGetPortsInUse(ports.data(), 256), 32u); }), "MaxPorts: 32\n");
    for (unsigned i = 0; i < 256; ++i) EXPECT_EQ(ports[i], (i == 6 || i == 31) ? 1 : 0) << "byte " << i;
}

TEST_F(SubstituteMsportsTest, AnEmptyOrFailingDatabaseFillsNothing)
{
    BYTE ports[8];
    winsim::um::RegisterSystemExport("msports.dll", "ComDBGetCurrentPortUsage", &EmptyUsage);
    EXPECT_EQ(Output([&] { EXPECT_EQ(fnGetPortsInUse(ports, sizeof ports), 0u); }), "Max Ports:0\n");
    winsim::um::RegisterSystemExport("msports.dll", "ComDBGetCurrentPortUsage", &FailingUsage);
    EXPECT_EQ(Output([&] { EXPECT_EQ(fnGetPortsInUse(ports, sizeof ports), 0u); }),
              "MaxPorts: 64\ngetPortUsage failed:64 8\n");
    winsim::um::RegisterSystemExport("msports.dll", "ComDBOpen", &FailingOpen);
    EXPECT_EQ(Output([&] { EXPECT_EQ(fnGetPortsInUse(ports, sizeof ports), 0u); }), "openComDB failed: 5\n");
}

class LegacyPlatformTest : public ComPortExportsTest {
protected:
    void SetUp() override
    {
        ComPortExportsTest::SetUp();
        winsim::um::SetPlatformVersion(PlatformVersion::kWin9x);
    }
};

TEST_F(LegacyPlatformTest, TheDatabaseIsLeftAloneAndPortsAreReadFromEnum)
{
    EXPECT_EQ(fnClaimComPort(9), 1);
    EXPECT_NE(fnReleaseComPort(3), 0);
    EXPECT_FALSE(ComDatabase::IsClaimed(9));

    SetString("Enum\\BIOS\\*PNP0501\\0D", "PORTNAME", "COM7");
    SetString("Enum\\USB\\Tessary\\0001", "portname", "com12");
    SetString("Enum\\USB\\Tessary\\0001\\Child", "portname", "COM3");  // not visited: its parent had a name
    SetString("Enum\\Modem\\A", "portname", "COM100");
    SetString("Enum\\Modem\\A\\B", "portname", "COM9");  // visited: COM100 is no name
    SetBinary("Enum\\Odd\\A", "portname", {'C', 'O', 'M', '5'});  // no terminating NUL
    std::vector<BYTE> ports(256, 0xAA);
    EXPECT_EQ(Output([&] { EXPECT_EQ(fnGetPortsInUse(ports.data(), 256), 100u); }),
              "fnGetPortsInUse: Opened Enum key\n");
    for (unsigned i = 0; i < 256; ++i) {
        EXPECT_EQ(ports[i] != 0, i == 6 || i == 11 || i == 8 || i == 4) << "byte " << i;
    }
    BYTE few[3];
    Output([&] { EXPECT_EQ(fnGetPortsInUse(few, sizeof few), 3u); });
}

}  // namespace
}  // namespace reglib_test
