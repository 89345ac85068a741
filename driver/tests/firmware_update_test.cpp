// The firmware check at the end of start-device against the emulated
// microcontroller: which adapters are left alone, an outdated application
// sent to its boot loader, the download into the boot loader's flash, and
// the faults a download can meet.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "adapter_fixture.h"
#include "common/message_wire.h"
#include "firmware/firmware_image.h"
#include "hw/firmware/flash_image.h"
#include "hw/firmware/microcontroller.h"
#include "portdrv/port_driver_install.h"

namespace driver_test {
namespace {

using winsim::hw::BootLoader;
using winsim::hw::FlashMemory;
using winsim::hw::Microcontroller;
using Message = std::vector<UCHAR>;

constexpr char kOlderApplication[] = "Sep 30 2013 16:02:45 Ver 1.0.771";

std::vector<UCHAR> DriverImage() { return {FirmwareImage, FirmwareImage + kFirmwareImageBytes}; }

ULONG U32At(const Message& message, size_t offset)
{
    ULONG value;
    std::memcpy(&value, message.data() + offset, sizeof(value));
    return value;
}

// Sits between the bus and the microcontroller and keeps what the host sent.
class Recorder : public winsim::hw::EndpointHandler {
public:
    void Forward(EndpointHandler* next) { next_ = next; }
    void OnOut(UCHAR endpoint, const std::vector<UCHAR>& packet) override
    {
        {
            std::lock_guard lk(lock_);
            log_.push_back(packet);
        }
        next_->OnOut(endpoint, packet);
    }
    // The firmware commands, in order; port traffic left out.
    std::vector<Message> FirmwareCommands() const
    {
        std::lock_guard lk(lock_);
        std::vector<Message> commands;
        for (const Message& message : log_) {
            if (!message.empty() && message[0] >= kMsgGetVersion) commands.push_back(message);
        }
        return commands;
    }
    std::vector<UCHAR> Codes() const
    {
        std::vector<UCHAR> codes;
        for (const Message& message : FirmwareCommands()) codes.push_back(message[0]);
        return codes;
    }

private:
    mutable std::mutex lock_;
    std::vector<Message> log_;
    EndpointHandler* next_ = nullptr;
};

// An adapter with its microcontroller, and what its host sent it.
struct EmulatedAdapter {
    winsim::hw::AdapterModel* model = nullptr;
    std::unique_ptr<Microcontroller> microcontroller;
    Recorder recorder;
};

class FirmwareUpdateTest : public AdapterTest {
protected:
    void TearDown() override
    {
        adapters_.clear();
        AdapterTest::TearDown();
    }

    EmulatedAdapter& Build(FlashMemory flash, std::string bootText = BootLoader::kDefaultVersionText)
    {
        auto adapter = std::make_unique<EmulatedAdapter>();
        adapter->model = &machine().AddAdapter("QTR000" + std::to_string(adapters_.size() + 1));
        adapter->microcontroller = std::make_unique<Microcontroller>(*adapter->model, machine().Usb(),
                                                                     std::move(flash), std::move(bootText));
        machine().AddBusyCondition(adapter->microcontroller->BusyCondition());
        adapter->recorder.Forward(adapter->microcontroller.get());
        adapter->model->SetEndpointHandler(&adapter->recorder);
        adapters_.push_back(std::move(adapter));
        return *adapters_.back();
    }
    // Plugs it in and lets the machine do everything that follows.
    void PlugAndSettle(EmulatedAdapter& adapter)
    {
        pluggedAt_ = machine().Now();
        adapter.microcontroller->Plug();
        machine().RunUntilQuiet();
    }
    EmulatedAdapter& BuildAndPlug(FlashMemory flash, std::string bootText = BootLoader::kDefaultVersionText)
    {
        EmulatedAdapter& adapter = Build(std::move(flash), std::move(bootText));
        PlugAndSettle(adapter);
        return adapter;
    }

    // The driver's node and device of the adapter's present plug.
    winsim::pnp::DeviceNode* Control(const EmulatedAdapter& adapter)
    {
        PDEVICE_OBJECT pdo = machine().Usb().FunctionPdo(*adapter.model, 0);
        return pdo == nullptr ? nullptr : pnp().FindNode(pdo);
    }
    std::string ReportedVersion(const EmulatedAdapter& adapter)
    {
        PDEVICE_OBJECT pdo = machine().Usb().FunctionPdo(*adapter.model, 0);
        if (pdo == nullptr || pdo->AttachedDevice == nullptr) return "(no driver)";
        return reinterpret_cast<const char*>(ExtensionOf(pdo->AttachedDevice)->firmwareVersion);
    }
    static bool FlashHoldsTheDriverImage(EmulatedAdapter& adapter)
    {
        FlashMemory& flash = adapter.microcontroller->Flash();
        return flash.Read(kFirmwareAppAddress, kFirmwareImageBytes) == DriverImage() &&
               winsim::hw::HeaderValidates(flash);
    }
    winsim::Ticks Elapsed() { return machine().Now() - pluggedAt_; }

private:
    std::vector<std::unique_ptr<EmulatedAdapter>> adapters_;
    winsim::Ticks pluggedAt_ = 0;
};

// One full download as the boot loader must see it.
void ExpectDownload(const std::vector<Message>& commands, size_t& at)
{
    ASSERT_GE(commands.size(), at + 12 + 438 + 4);
    for (ULONG page = 0; page < 12; ++page, ++at) {
        const Message& erase = commands[at];
        ASSERT_EQ(erase[0], kMsgFlashErase) << "command " << at;
        ASSERT_EQ(erase.size(), 10u);
        EXPECT_EQ(U32At(erase, 2), kFirmwareAppAddress + page * 2048);
        EXPECT_EQ(U32At(erase, 6), 2048u);
    }
    ULONG offset = 0;
    for (ULONG piece = 0; piece < 438; ++piece, ++at) {
        const Message& write = commands[at];
        ASSERT_EQ(write[0], kMsgFlashWrite) << "command " << at;
        ASSERT_EQ(write.size(), 64u);
        const ULONG count = U32At(write, 6);
        EXPECT_EQ(count, piece < 437 ? 52u : 40u);
        EXPECT_EQ(U32At(write, 2), kFirmwareAppAddress + offset);
        EXPECT_EQ(std::memcmp(write.data() + 10, FirmwareImage + offset, count), 0) << "piece " << piece;
        for (size_t i = 10 + count; i < 64; ++i) EXPECT_EQ(write[i], 0) << "piece " << piece << " byte " << i;
        offset += count;
    }
    EXPECT_EQ(offset, kFirmwareImageBytes);

    const Message& headerErase = commands[at++];
    EXPECT_EQ(headerErase, (Message{kMsgFlashErase, 0, 0x00, 0x00, 0x02, 0x08, 12, 0, 0, 0}));
    const Message& headerWrite = commands[at++];
    ASSERT_EQ(headerWrite.size(), 22u);
    EXPECT_EQ(headerWrite[0], kMsgFlashWrite);
    EXPECT_EQ(U32At(headerWrite, 2), kFirmwareHeaderAddress);
    EXPECT_EQ(U32At(headerWrite, 6), 12u);
    EXPECT_EQ(U32At(headerWrite, 10), 0x12349876u);
    EXPECT_EQ(U32At(headerWrite, 14), 22764u);
    EXPECT_EQ(U32At(headerWrite, 18), FirmwareImageCrc(FirmwareImage, kFirmwareImageBytes));
    EXPECT_EQ(commands[at++], (Message{kMsgHeaderWritten, 0}));
    EXPECT_EQ(commands[at++], (Message{kMsgRestart, 0}));
}

TEST_F(FirmwareUpdateTest, AnAdapterAtOrAboveTheImageBuildHearsOnlyTheVersionRequest)
{
    struct Case {
        const char* what;
        std::string application;  // empty: the boot loader runs
        std::string bootText;
    };
    const Case cases[] = {
        {"the driver's own build", kFirmwareImageVersionText, ""},
        {"a newer application", "Jan  5 2014 08:00:00 Ver 1.0.800", ""},
        {"an application without a dot", "build 2", ""},
        {"a boot loader at the image build", "", "Boot Ver 1.0.772"},
        {"a boot loader above it", "", "Boot Ver 2.3.1000"},
        {"a boot loader without a dot", "", "Boot loader"},
    };
    std::vector<EmulatedAdapter*> adapters;
    for (const Case& c : cases) {
        adapters.push_back(&Build(c.application.empty() ? FlashMemory()
                                                        : winsim::hw::FlashHoldingImage(winsim::hw::ImageWithBuildText(
                                                              DriverImage(), c.application)),
                                  c.bootText));
    }
    for (EmulatedAdapter* adapter : adapters) adapter->microcontroller->Plug();
    machine().RunUntilQuiet();
    for (size_t i = 0; i < adapters.size(); ++i) {
        SCOPED_TRACE(cases[i].what);
        EmulatedAdapter& adapter = *adapters[i];
        EXPECT_EQ(adapter.recorder.FirmwareCommands(), (std::vector<Message>{{kMsgGetVersion, 0}}));
        ASSERT_NE(Control(adapter), nullptr);
        EXPECT_EQ(Control(adapter)->State(), winsim::pnp::NodeState::kStarted);
        EXPECT_EQ(ReportedVersion(adapter), cases[i].application.empty() ? cases[i].bootText : cases[i].application);
        EXPECT_EQ(adapter.microcontroller->Restarts(), 0u);
        EXPECT_EQ(adapter.microcontroller->Loader().Erases() + adapter.microcontroller->Loader().Writes(), 0u);
    }
}

TEST_F(FirmwareUpdateTest, ABootLoaderBelowTheImageBuildReceivesTheImageAndStartsIt)
{
    EmulatedAdapter& adapter = BuildAndPlug(FlashMemory());
    const std::vector<Message> commands = adapter.recorder.FirmwareCommands();
    size_t at = 0;
    ASSERT_EQ(commands.at(at++), (Message{kMsgGetVersion, 0}));
    ExpectDownload(commands, at);
    // Back as the application, which is content.
    ASSERT_EQ(commands.size(), at + 1);
    EXPECT_EQ(commands[at], (Message{kMsgGetVersion, 0}));

    EXPECT_TRUE(FlashHoldsTheDriverImage(adapter));
    EXPECT_TRUE(adapter.microcontroller->RunsApplication());
    EXPECT_EQ(adapter.microcontroller->ApplicationText(), kFirmwareImageVersionText);
    EXPECT_EQ(adapter.microcontroller->Restarts(), 1u);
    ASSERT_NE(Control(adapter), nullptr);
    EXPECT_EQ(Control(adapter)->State(), winsim::pnp::NodeState::kStarted);
    EXPECT_EQ(ReportedVersion(adapter), kFirmwareImageVersionText);
    // Twelve page erases at 20 ms, 438 writes a few frames each, a reconnection.
    EXPECT_GT(Elapsed(), 1 * winsim::kTicksPerSecond);
    EXPECT_LT(Elapsed(), 10 * winsim::kTicksPerSecond);
}

TEST_F(FirmwareUpdateTest, AnOutdatedApplicationGoesToItsBootLoaderAndComesBackUpdated)
{
    EmulatedAdapter& adapter =
        BuildAndPlug(winsim::hw::FlashHoldingImage(winsim::hw::ImageWithBuildText(DriverImage(), kOlderApplication)));
    const std::vector<Message> commands = adapter.recorder.FirmwareCommands();
    size_t at = 0;
    ASSERT_GE(commands.size(), 4u);
    EXPECT_EQ(commands[at++], (Message{kMsgGetVersion, 0}));
    EXPECT_EQ(commands[at++], (Message{kMsgEnterBootLoader, 0, 1}));
    EXPECT_EQ(commands[at++], (Message{kMsgRestart, 0}));
    // The boot loader answers the next start.
    EXPECT_EQ(commands[at++], (Message{kMsgGetVersion, 0}));
    ExpectDownload(commands, at);
    ASSERT_EQ(commands.size(), at + 1);
    EXPECT_EQ(commands[at], (Message{kMsgGetVersion, 0}));

    EXPECT_EQ(adapter.microcontroller->Restarts(), 2u);
    EXPECT_TRUE(FlashHoldsTheDriverImage(adapter));
    EXPECT_EQ(adapter.microcontroller->ApplicationText(), kFirmwareImageVersionText);
    ASSERT_NE(Control(adapter), nullptr);
    EXPECT_EQ(Control(adapter)->State(), winsim::pnp::NodeState::kStarted);
    EXPECT_EQ(ReportedVersion(adapter), kFirmwareImageVersionText);
    EXPECT_LT(Elapsed(), 10 * winsim::kTicksPerSecond);
}

TEST_F(FirmwareUpdateTest, TheUpdatedAdapterComesBackWithItsComPortsRegistered)
{
    ASSERT_NE(winsim::portdrv::InstallDriverPackage(machine()), nullptr);
    EmulatedAdapter& adapter =
        BuildAndPlug(winsim::hw::FlashHoldingImage(winsim::hw::ImageWithBuildText(DriverImage(), kOlderApplication)));
    EXPECT_EQ(adapter.microcontroller->Restarts(), 2u);
    PDEVICE_OBJECT pdo = machine().Usb().FunctionPdo(*adapter.model, 0);
    ASSERT_NE(pdo, nullptr);
    ASSERT_NE(pdo->AttachedDevice, nullptr);
    const AdapterEntry* entry = ExtensionOf(pdo->AttachedDevice)->adapterEntry;
    ASSERT_NE(entry, nullptr);
    for (ULONG port = 0; port < kPortsPerAdapter; ++port) {
        EXPECT_NE(entry->comNumbers[port], 0u) << "port " << port;
        for (ULONG other = 0; other < port; ++other) EXPECT_NE(entry->comNumbers[port], entry->comNumbers[other]);
    }
}

TEST_F(FirmwareUpdateTest, AnAdapterThatNeverAnswersStartsAfterHalfASecondWithoutUpdate)
{
    EmulatedAdapter& adapter = Build(FlashMemory());
    adapter.microcontroller->Loader().HangAfter(0);
    PlugAndSettle(adapter);
    EXPECT_EQ(adapter.recorder.Codes(), (std::vector<UCHAR>{kMsgGetVersion}));
    ASSERT_NE(Control(adapter), nullptr);
    EXPECT_EQ(Control(adapter)->State(), winsim::pnp::NodeState::kStarted);
    EXPECT_EQ(ReportedVersion(adapter), "");
    EXPECT_GE(Elapsed(), 500 * winsim::kTicksPerMillisecond);
}

TEST_F(FirmwareUpdateTest, ABootLoaderFallingSilentFailsTheStartAndTheNextStartDownloadsAgain)
{
    EmulatedAdapter& adapter = Build(FlashMemory());
    // The version request and three erases, then nothing.
    adapter.microcontroller->Loader().HangAfter(4);
    PlugAndSettle(adapter);
    ASSERT_NE(Control(adapter), nullptr);
    EXPECT_EQ(Control(adapter)->State(), winsim::pnp::NodeState::kStartFailed);
    EXPECT_EQ(Control(adapter)->LastStatus(), STATUS_IO_TIMEOUT);
    // One unanswered erase, and no restart.
    EXPECT_EQ(adapter.recorder.Codes(),
              (std::vector<UCHAR>{kMsgGetVersion, kMsgFlashErase, kMsgFlashErase, kMsgFlashErase, kMsgFlashErase}));
    EXPECT_FALSE(adapter.microcontroller->RunsApplication());
    EXPECT_EQ(adapter.microcontroller->Restarts(), 0u);

    // Power comes back with a boot loader that answers.
    adapter.microcontroller->Unplug();
    machine().RunUntilQuiet();
    adapter.microcontroller->Loader().HangAfter(1000);
    PlugAndSettle(adapter);
    EXPECT_TRUE(FlashHoldsTheDriverImage(adapter));
    EXPECT_EQ(adapter.microcontroller->ApplicationText(), kFirmwareImageVersionText);
    ASSERT_NE(Control(adapter), nullptr);
    EXPECT_EQ(Control(adapter)->State(), winsim::pnp::NodeState::kStarted);
}

TEST_F(FirmwareUpdateTest, ACorruptedWriteLeavesTheBootLoaderRunningAndTheNextStartDownloadsAgain)
{
    EmulatedAdapter& adapter = Build(FlashMemory());
    adapter.microcontroller->Flash().CorruptProgram(200);
    PlugAndSettle(adapter);
    // The restart found no valid image: the boot loader came back, took the
    // image a second time, and then started it.
    EXPECT_EQ(adapter.microcontroller->Loader().Erases(), 2u * 13);
    EXPECT_EQ(adapter.microcontroller->Loader().Writes(), 2u * 439);
    EXPECT_EQ(adapter.microcontroller->Restarts(), 2u);
    EXPECT_TRUE(FlashHoldsTheDriverImage(adapter));
    EXPECT_EQ(adapter.microcontroller->ApplicationText(), kFirmwareImageVersionText);
    EXPECT_EQ(ReportedVersion(adapter), kFirmwareImageVersionText);
}

TEST_F(FirmwareUpdateTest, UnpluggingDuringTheDownloadEndsItCleanly)
{
    EmulatedAdapter& adapter = Build(FlashMemory());
    adapter.microcontroller->UnplugAfterWrites(100);
    PlugAndSettle(adapter);
    EXPECT_EQ(adapter.microcontroller->Loader().Writes(), 100u);
    EXPECT_EQ(machine().Usb().FunctionPdo(*adapter.model, 0), nullptr);
    EXPECT_EQ(driver_->DeviceObject, nullptr);
    EXPECT_FALSE(winsim::hw::HeaderValidates(adapter.microcontroller->Flash()));

    // Plugged in again, the boot loader gets the whole image.
    PlugAndSettle(adapter);
    EXPECT_TRUE(FlashHoldsTheDriverImage(adapter));
    EXPECT_EQ(ReportedVersion(adapter), kFirmwareImageVersionText);
}

}  // namespace
}  // namespace driver_test
