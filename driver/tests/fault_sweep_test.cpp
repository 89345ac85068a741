// Add-device and start-device under low resources, and the firmware update
// an outdated application gets at start: the adapter either works or its
// node failed with the allocation's status, and a later plug works.
#include <memory>

#include "fault_sweep_fixture.h"
#include "firmware/firmware_image.h"
#include "hw/firmware/flash_image.h"
#include "hw/firmware/microcontroller.h"

namespace driver_test {
namespace {

using winsim::pnp::NodeState;

constexpr char kOlderApplication[] = "Sep 30 2013 16:02:45 Ver 1.0.771";

NTSTATUS StartOutcome(const winsim::pnp::DeviceNode* control)
{
    if (control == nullptr) return STATUS_NO_SUCH_DEVICE;
    return control->State() == NodeState::kStarted ? STATUS_SUCCESS : control->LastStatus();
}

class StartFaultSweepTest : public FaultSweepTest {
protected:
    void TearDown() override
    {
        microcontroller_.reset();
        FaultSweepTest::TearDown();
    }

    // The driver's node of the adapter's present plug.
    winsim::pnp::DeviceNode* Control(winsim::hw::AdapterModel& model)
    {
        PDEVICE_OBJECT pdo = machine().Usb().FunctionPdo(model, 0);
        return pdo == nullptr ? nullptr : pnp().FindNode(pdo);
    }

    std::unique_ptr<winsim::hw::Microcontroller> microcontroller_;
};

TEST_F(StartFaultSweepTest, EachFailedAllocationOfAddAndStartUnwindsCompletely)
{
    int failedAdds = 0;
    int failedStarts = 0;
    SweepPath path;
    path.name = "add_and_start";
    path.act = [&](SweepRun& run) {
        run.plugged = Plug(NextSerial());
        return StartOutcome(run.plugged.control);
    };
    path.verify = [&](SweepRun& run, NTSTATUS status) {
        if (run.plugged.control->State() == NodeState::kNoDriver) ++failedAdds;
        if (run.plugged.control->State() == NodeState::kStartFailed) ++failedStarts;
        if (!NT_SUCCESS(status)) return;
        // A started adapter serves its port driver.
        run.bound = &BindAndRegister(run.plugged, {21, 22, 23, 24});
        EXPECT_TRUE(run.bound->bound);
    };
    const SweepCount count = Sweep(path);
    EXPECT_GT(count.driver, 5u);
    EXPECT_GT(count.system, 0u);
    // Both paths were reached by the sweep.
    EXPECT_GT(failedAdds, 0);
    EXPECT_GT(failedStarts, 0);
}

TEST_F(StartFaultSweepTest, AnUpdateFailedForWantOfResourcesIsDoneAtTheNextPlug)
{
    const std::vector<UCHAR> image(FirmwareImage, FirmwareImage + kFirmwareImageBytes);
    winsim::hw::AdapterModel* model = nullptr;
    SweepPath path;
    path.name = "firmware_update";
    // Three starts and some 450 commands through the same few sites, some
    // 7000 allocations in all: a sample of them.
    path.edge = 10;
    path.stride = 199;
    path.arrange = [&](SweepRun&) {
        model = &machine().AddAdapter(NextSerial());
        microcontroller_ = std::make_unique<winsim::hw::Microcontroller>(
            *model, machine().Usb(),
            winsim::hw::FlashHoldingImage(winsim::hw::ImageWithBuildText(image, kOlderApplication)));
        machine().AddBusyCondition(microcontroller_->BusyCondition());
    };
    path.act = [&](SweepRun&) {
        microcontroller_->Plug();
        machine().RunUntilQuiet();
        return StartOutcome(Control(*model));
    };
    path.verify = [&](SweepRun&, NTSTATUS status) {
        if (!NT_SUCCESS(status)) {
            // Off and on again, with nothing failing: the update completes.
            microcontroller_->Unplug();
            machine().RunUntilQuiet();
            microcontroller_->Plug();
            machine().RunUntilQuiet();
        }
        EXPECT_EQ(StartOutcome(Control(*model)), STATUS_SUCCESS);
        EXPECT_TRUE(microcontroller_->RunsApplication());
        EXPECT_TRUE(winsim::hw::HeaderValidates(microcontroller_->Flash()));
        EXPECT_EQ(microcontroller_->Flash().Read(kFirmwareAppAddress, kFirmwareImageBytes), image);
    };
    path.end = [&](SweepRun&) {
        microcontroller_->Unplug();
        machine().RunUntilQuiet();
        microcontroller_.reset();
    };
    const SweepCount count = Sweep(path);
    EXPECT_GT(count.driver, 0u);
}

}  // namespace
}  // namespace driver_test
