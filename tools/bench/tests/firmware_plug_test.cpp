// plug NAME firmware=F: what each choice of firmware makes the machine do,
// through the bench's printed output.
#include <gtest/gtest.h>

#include <sstream>

#include "bench_test.h"

namespace bench {
namespace {

using FirmwarePlugTest = BenchTest;

TEST_F(FirmwarePlugTest, OutdatedFirmwareRestartsTheAdapterUntilItRunsTheDriversImage)
{
    const std::string before = PoolTotal();
    // An application behind the image: to its boot loader, then updated.
    EXPECT_EQ(Run("plug A firmware=app:Ver1.0.771"), "plugged A\nadapter A restarted\nadapter A restarted\nadapter A slot=0 com=3,4,5,6\n");
    // A boot loader below the image: updated once.
    EXPECT_EQ(Run("plug B firmware=boot"), "plugged B\nadapter B restarted\nadapter B slot=1 com=7,8,9,10\n");
    // Current ones are left alone.
    EXPECT_EQ(Run("plug C ports=0"), "plugged C\n");
    EXPECT_EQ(Run("plug D firmware=app ports=0"), "plugged D\n");
    EXPECT_EQ(Run("plug E firmware=boot:BootVer1.0.772 ports=0"), "plugged E\n");
    EXPECT_EQ(Run("plug F firmware=silent ports=0"), "plugged F\n");
    EXPECT_TRUE(last);

    // The flash keeps the update: plugged again, nothing to do.
    EXPECT_EQ(Run("unplug B"), "unplugged B\n");
    // One port: the driver lists an adapter once its last port registered.
    EXPECT_EQ(Run("plug B ports=1"), "plugged B\n");
    for (const char* name : {"A", "B", "C", "D", "E", "F"}) Run(std::string("unplug ") + name);
    EXPECT_EQ(PoolTotal(), before);
}

TEST_F(FirmwarePlugTest, AnUnknownOrOversizedFirmwareIsAnErrorThatKeepsTheFlash)
{
    Run("plug A firmware=boot");
    Run("unplug A");
    EXPECT_EQ(Run("plug A firmware=rom"), "error: firmware is app, app:TEXT, boot, boot:TEXT or silent, not rom\n");
    EXPECT_FALSE(last);
    EXPECT_EQ(Run("plug A firmware=app:"), "error: firmware=app: needs a version text\n");
    EXPECT_EQ(Run("plug A firmware=boot:" + std::string(63, 'x')),
              "error: a version text is at most 62 characters\n");
    // Still the updated adapter from before.
    EXPECT_EQ(Run("plug A ports=0"), "plugged A\n");
}

TEST_F(FirmwarePlugTest, ARestartDuringAnyCommandIsReportedAndTheNewNodeFollowed)
{
    Run("plug A");
    // The host asks the application for a restart, as a configuration change does.
    session.Machine().AdapterNamed("A").microcontroller->OnOut(0x01, {0x5A, 0});
    EXPECT_EQ(Run("wait 1s"), "adapter A restarted\n");
    EXPECT_EQ(Run("wait 1s"), "");
    // Eject reaches the adapter's new device node.
    EXPECT_EQ(Run("eject A"), "ejected A\n");
    EXPECT_EQ(Run("unplug A"), "unplugged A\n");
}

}  // namespace
}  // namespace bench
