// The USB bus as a client driver sees it through the interface PDO: URBs for
// descriptors, configuration and transfers, with full-speed timing in
// virtual time, and the fault knobs of the emulated adapter.
#include <gtest/gtest.h>

#include <numeric>
#include <set>

#include "common/usb_ids.h"
#include "usb_test_harness.h"

namespace winsim::test {
namespace {

constexpr UCHAR kMessageIn = 0x81;
constexpr UCHAR kMessageOut = 0x01;
constexpr ULONG kIn = USBD_TRANSFER_DIRECTION_IN | USBD_SHORT_TRANSFER_OK;

struct PacketLog : hw::EndpointHandler {
    std::vector<std::pair<UCHAR, size_t>> packets;
    std::vector<Ticks> times;
    void OnOut(UCHAR endpoint, const std::vector<UCHAR>& packet) override
    {
        packets.emplace_back(endpoint, packet.size());
        times.push_back(Scheduler::Instance().Now());
    }
};

std::vector<UCHAR> Bytes(size_t n)
{
    std::vector<UCHAR> bytes(n);
    std::iota(bytes.begin(), bytes.end(), UCHAR{1});
    return bytes;
}

class UsbBusTest : public UsbMachineTest {
protected:
    void TearDown() override
    {
        configuration_.reset();
        UsbMachineTest::TearDown();
    }

    // Plugged, driverless, configured with every interface.
    void PlugAndConfigure(hw::DescriptorLayout layout = hw::DescriptorLayout::Adapter())
    {
        adapter_ = &AddAdapter("QTR0001", std::move(layout));
        PlugAndSettle(*adapter_);
        pdo_ = bus().FunctionPdo(*adapter_, 0);
        ASSERT_NE(pdo_, nullptr);
        configuration_ = std::make_unique<Configuration>(ReadConfiguration(pdo_));
        ASSERT_NE(configuration_->Urb(), nullptr);
        ASSERT_EQ(SubmitUrb(pdo_, configuration_->Urb()), STATUS_SUCCESS);
    }

    NTSTATUS PipeRequest(USHORT function, UCHAR endpoint)
    {
        URB urb = {};
        urb.UrbHeader.Length = sizeof(struct _URB_PIPE_REQUEST);
        urb.UrbHeader.Function = function;
        urb.UrbPipeRequest.PipeHandle = configuration_->Pipe(endpoint);
        return SubmitUrb(pdo_, urb);
    }

    NTSTATUS ReadDescriptor(UCHAR type, std::vector<UCHAR>& buffer, ULONG* transferred, USBD_STATUS* usbd = nullptr)
    {
        URB urb = {};
        UsbBuildGetDescriptorRequest(&urb, sizeof(struct _URB_CONTROL_DESCRIPTOR_REQUEST), type, 0, 0, buffer.data(),
                                     nullptr, static_cast<ULONG>(buffer.size()), nullptr);
        NTSTATUS status = SubmitUrb(pdo_, urb);
        *transferred = urb.UrbControlDescriptorRequest.TransferBufferLength;
        if (usbd != nullptr) *usbd = urb.UrbHeader.Status;
        return status;
    }

    hw::AdapterModel* adapter_ = nullptr;
    PDEVICE_OBJECT pdo_ = nullptr;
    std::unique_ptr<Configuration> configuration_;
};

// 9 + 5 interfaces x 9 + 13 endpoints x 7.
constexpr ULONG kAdapterConfigurationBytes = 145;

TEST_F(UsbBusTest, DescriptorReadsCopyWhatWasAskedUpToWhatTheDeviceHas)
{
    adapter_ = &AddAdapter("QTR0001");
    PlugAndSettle(*adapter_);
    pdo_ = bus().FunctionPdo(*adapter_, 0);
    ULONG transferred = 0;
    std::vector<UCHAR> device(sizeof(USB_DEVICE_DESCRIPTOR));
    ASSERT_EQ(ReadDescriptor(USB_DEVICE_DESCRIPTOR_TYPE, device, &transferred), STATUS_SUCCESS);
    EXPECT_EQ(transferred, 18u);
    EXPECT_EQ(reinterpret_cast<PUSB_DEVICE_DESCRIPTOR>(device.data())->idVendor, kAdapterUsbVendorId);

    std::vector<UCHAR> header(sizeof(USB_CONFIGURATION_DESCRIPTOR));
    ASSERT_EQ(ReadDescriptor(USB_CONFIGURATION_DESCRIPTOR_TYPE, header, &transferred), STATUS_SUCCESS);
    EXPECT_EQ(transferred, 9u);
    auto* configuration = reinterpret_cast<PUSB_CONFIGURATION_DESCRIPTOR>(header.data());
    EXPECT_EQ(configuration->wTotalLength, kAdapterConfigurationBytes);
    EXPECT_EQ(configuration->bNumInterfaces, 5);
    EXPECT_EQ(configuration->bmAttributes, USB_CONFIG_BUS_POWERED);

    std::vector<UCHAR> larger(255);
    ASSERT_EQ(ReadDescriptor(USB_CONFIGURATION_DESCRIPTOR_TYPE, larger, &transferred), STATUS_SUCCESS);
    EXPECT_EQ(transferred, kAdapterConfigurationBytes);

    USBD_STATUS usbd = USBD_STATUS_SUCCESS;
    std::vector<UCHAR> text(64);
    EXPECT_EQ(ReadDescriptor(USB_STRING_DESCRIPTOR_TYPE, text, &transferred, &usbd), STATUS_UNSUCCESSFUL);
    EXPECT_EQ(usbd, USBD_STATUS_STALL_PID);
}

TEST_F(UsbBusTest, TruncatedConfigurationReturnsFewerBytesThanItClaims)
{
    hw::DescriptorLayout layout = hw::DescriptorLayout::Adapter();
    layout.claimedTotalLength = 200;
    layout.remoteWakeup = true;
    adapter_ = &AddAdapter("QTR0001", layout);
    PlugAndSettle(*adapter_);
    pdo_ = bus().FunctionPdo(*adapter_, 0);
    std::vector<UCHAR> buffer(200);
    ULONG transferred = 0;
    ASSERT_EQ(ReadDescriptor(USB_CONFIGURATION_DESCRIPTOR_TYPE, buffer, &transferred), STATUS_SUCCESS);
    EXPECT_EQ(transferred, kAdapterConfigurationBytes);
    auto* configuration = reinterpret_cast<PUSB_CONFIGURATION_DESCRIPTOR>(buffer.data());
    EXPECT_EQ(configuration->wTotalLength, 200);
    EXPECT_EQ(configuration->bmAttributes, USB_CONFIG_BUS_POWERED | USB_CONFIG_REMOTE_WAKEUP);
}

TEST_F(UsbBusTest, SelectConfigurationFillsEveryPipeOfEveryInterface)
{
    PlugAndConfigure();
    EXPECT_NE(configuration_->Urb()->UrbSelectConfiguration.ConfigurationHandle, nullptr);
    PUSBD_INTERFACE_INFORMATION control = configuration_->Interface(0);
    ASSERT_EQ(control->NumberOfPipes, 5u);
    EXPECT_EQ(control->Class, USB_DEVICE_CLASS_VENDOR_SPECIFIC);
    EXPECT_NE(control->InterfaceHandle, nullptr);
    EXPECT_EQ(control->Pipes[0].EndpointAddress, kMessageIn);
    EXPECT_EQ(control->Pipes[1].EndpointAddress, kMessageOut);
    EXPECT_EQ(control->Pipes[0].MaximumPacketSize, 64);
    EXPECT_EQ(control->Pipes[0].PipeType, UsbdPipeTypeBulk);
    EXPECT_EQ(control->Pipes[4].PipeType, UsbdPipeTypeInterrupt);
    EXPECT_EQ(control->Pipes[4].Interval, 1);
    std::set<USBD_PIPE_HANDLE> handles;
    for (size_t i = 0; i < 5; ++i) {
        PUSBD_INTERFACE_INFORMATION interface = configuration_->Interface(i);
        EXPECT_EQ(interface->InterfaceNumber, i);
        for (ULONG p = 0; p < interface->NumberOfPipes; ++p) handles.insert(interface->Pipes[p].PipeHandle);
    }
    EXPECT_EQ(handles.size(), 13u);
    EXPECT_EQ(handles.count(nullptr), 0u);
}

TEST_F(UsbBusTest, InterfaceNumbersWithGapsSelectAndUnknownOnesAreRefused)
{
    hw::DescriptorLayout layout = hw::DescriptorLayout::Adapter();
    layout.interfaces = {layout.interfaces[0], layout.interfaces[2]};
    PlugAndConfigure(layout);
    EXPECT_EQ(configuration_->Interface(1)->InterfaceNumber, 2);
    EXPECT_EQ(configuration_->Interface(1)->NumberOfPipes, 2u);

    Configuration wrong(ReadConfiguration(pdo_));
    wrong.Interface(1)->InterfaceNumber = 3;
    EXPECT_EQ(SubmitUrb(pdo_, wrong.Urb()), STATUS_INVALID_PARAMETER);
    EXPECT_EQ(wrong.Urb()->UrbHeader.Status, USBD_STATUS_INTERFACE_NOT_FOUND);
}

TEST_F(UsbBusTest, InTransferWaitsWithoutTimePassingThenCompletesAtDispatchLevel)
{
    PlugAndConfigure();
    std::vector<UCHAR> buffer(64);
    UrbRequest read(pdo_);
    read.BuildTransfer(configuration_->Pipe(kMessageIn), buffer, kIn);
    const Ticks start = machine().Now();
    ASSERT_EQ(read.Send(), STATUS_PENDING);
    machine().RunUntilQuiet();
    EXPECT_FALSE(read.Done());
    EXPECT_EQ(machine().Now(), start);
    EXPECT_FALSE(bus().Busy());
    EXPECT_EQ(bus().PendingTransfers(*adapter_, kMessageIn), 1u);

    adapter_->QueueIn(kMessageIn, Bytes(10));
    ASSERT_EQ(read.Wait(), STATUS_SUCCESS);
    EXPECT_EQ(read.CompletionIrql(), DISPATCH_LEVEL);
    EXPECT_LE(read.CompletedAt() - start, kTicksPerMillisecond);
    EXPECT_EQ(read.Urb().UrbBulkOrInterruptTransfer.TransferBufferLength, 10u);
    EXPECT_EQ(read.Urb().UrbHeader.Status, USBD_STATUS_SUCCESS);
    EXPECT_EQ(std::vector<UCHAR>(buffer.begin(), buffer.begin() + 10), Bytes(10));
    EXPECT_EQ(bus().InFlight(*adapter_), 0u);
}

TEST_F(UsbBusTest, QueuedDataWaitsAsPacketsForTheNextTransfer)
{
    PlugAndConfigure();
    adapter_->QueueIn(kMessageIn, Bytes(100));
    EXPECT_EQ(adapter_->QueuedInPackets(kMessageIn), 2u);
    EXPECT_FALSE(bus().Busy());
    std::vector<UCHAR> buffer(128);
    UrbRequest read(pdo_);
    read.BuildTransfer(configuration_->Pipe(kMessageIn), buffer, kIn);
    ASSERT_EQ(read.Send(), STATUS_PENDING);
    ASSERT_EQ(read.Wait(), STATUS_SUCCESS);
    EXPECT_EQ(read.Urb().UrbBulkOrInterruptTransfer.TransferBufferLength, 100u);
    EXPECT_EQ(std::vector<UCHAR>(buffer.begin(), buffer.begin() + 100), Bytes(100));
    EXPECT_EQ(adapter_->QueuedInPackets(kMessageIn), 0u);
    EXPECT_EQ(adapter_->PacketsOn(kMessageIn), 2u);
}

TEST_F(UsbBusTest, FullPacketsLeaveAnInTransferOpenAndAShortOneWithoutPermissionFails)
{
    PlugAndConfigure();
    std::vector<UCHAR> buffer(128);
    UrbRequest read(pdo_);
    read.BuildTransfer(configuration_->Pipe(kMessageIn), buffer, kIn);
    ASSERT_EQ(read.Send(), STATUS_PENDING);
    adapter_->QueueIn(kMessageIn, Bytes(64));
    machine().RunUntilQuiet();
    EXPECT_FALSE(read.Done());  // 64 of 128 bytes, no short packet yet
    adapter_->QueueIn(kMessageIn, {});
    ASSERT_EQ(read.Wait(), STATUS_SUCCESS);
    EXPECT_EQ(read.Urb().UrbBulkOrInterruptTransfer.TransferBufferLength, 64u);

    UrbRequest strict(pdo_);
    strict.BuildTransfer(configuration_->Pipe(kMessageIn), buffer, USBD_TRANSFER_DIRECTION_IN);
    ASSERT_EQ(strict.Send(), STATUS_PENDING);
    adapter_->QueueIn(kMessageIn, Bytes(5));
    EXPECT_EQ(strict.Wait(), STATUS_UNSUCCESSFUL);
    EXPECT_EQ(strict.Urb().UrbHeader.Status, USBD_STATUS_ERROR_SHORT_TRANSFER);
    EXPECT_EQ(strict.Urb().UrbBulkOrInterruptTransfer.TransferBufferLength, 5u);
}

TEST_F(UsbBusTest, OutTransfersMoveInPacketsOfSixtyFourWithinTheFrameBudget)
{
    PlugAndConfigure();
    PacketLog log;
    adapter_->SetEndpointHandler(&log);
    std::vector<UCHAR> data = Bytes(200);
    UrbRequest write(pdo_);
    write.BuildTransfer(configuration_->Pipe(kMessageOut), data, USBD_SHORT_TRANSFER_OK);
    const Ticks start = machine().Now();
    ASSERT_EQ(write.Send(), STATUS_PENDING);
    ASSERT_EQ(write.Wait(), STATUS_SUCCESS);
    EXPECT_LE(write.CompletedAt() - start, kTicksPerMillisecond);
    EXPECT_EQ(write.Urb().UrbBulkOrInterruptTransfer.TransferBufferLength, 200u);
    const std::vector<std::pair<UCHAR, size_t>> expected = {
        {kMessageOut, 64}, {kMessageOut, 64}, {kMessageOut, 64}, {kMessageOut, 8}};
    EXPECT_EQ(log.packets, expected);
    EXPECT_EQ(adapter_->PacketsOn(kMessageOut), 4u);

    // 63 packets at 19 a frame, spread over the eighths of each frame in
    // twos and threes: the last is the fourth frame's sixth, in its third
    // eighth.
    log.packets.clear();
    log.times.clear();
    std::vector<UCHAR> large = Bytes(63 * 64);
    UrbRequest bulk(pdo_);
    bulk.BuildTransfer(configuration_->Pipe(kMessageOut), large, 0);
    ASSERT_EQ(bulk.Send(), STATUS_PENDING);
    ASSERT_EQ(bulk.Wait(), STATUS_SUCCESS);
    ASSERT_EQ(log.packets.size(), 63u);
    EXPECT_EQ(log.times[19] - log.times[0], kTicksPerMillisecond);
    EXPECT_EQ(log.times.back() - log.times.front(), 3 * kTicksPerMillisecond + 2 * kTicksPerMillisecond / 8);
    adapter_->SetEndpointHandler(nullptr);
}

TEST_F(UsbBusTest, AbortEndsEveryPendingTransferBeforeItCompletes)
{
    PlugAndConfigure();
    std::vector<UCHAR> first(64), second(64);
    UrbRequest a(pdo_), b(pdo_);
    a.BuildTransfer(configuration_->Pipe(kMessageIn), first, kIn);
    b.BuildTransfer(configuration_->Pipe(kMessageIn), second, kIn);
    ASSERT_EQ(a.Send(), STATUS_PENDING);
    ASSERT_EQ(b.Send(), STATUS_PENDING);
    ASSERT_EQ(PipeRequest(URB_FUNCTION_ABORT_PIPE, kMessageIn), STATUS_SUCCESS);
    ASSERT_TRUE(a.Done() && b.Done());
    EXPECT_EQ(a.Status(), STATUS_CANCELLED);
    EXPECT_EQ(b.Urb().UrbHeader.Status, USBD_STATUS_CANCELED);
    EXPECT_EQ(b.CompletionIrql(), DISPATCH_LEVEL);
    EXPECT_EQ(bus().PendingTransfers(*adapter_, kMessageIn), 0u);
}

TEST_F(UsbBusTest, CancelledTransferEndsWithWhatItMovedSoFar)
{
    PlugAndConfigure();
    std::vector<UCHAR> buffer(128);
    UrbRequest read(pdo_);
    read.BuildTransfer(configuration_->Pipe(kMessageIn), buffer, kIn);
    ASSERT_EQ(read.Send(), STATUS_PENDING);
    adapter_->QueueIn(kMessageIn, Bytes(64));
    machine().RunUntilQuiet();
    ASSERT_TRUE(read.Cancel());
    EXPECT_EQ(read.Wait(), STATUS_CANCELLED);
    EXPECT_EQ(read.Urb().UrbBulkOrInterruptTransfer.TransferBufferLength, 64u);
    EXPECT_EQ(bus().InFlight(*adapter_), 0u);
}

TEST_F(UsbBusTest, StallHaltsThePipeUntilResetPipeClearsIt)
{
    PlugAndConfigure();
    std::vector<UCHAR> buffer(64);
    adapter_->Stall(kMessageIn);
    UrbRequest stalled(pdo_);
    stalled.BuildTransfer(configuration_->Pipe(kMessageIn), buffer, kIn);
    ASSERT_EQ(stalled.Send(), STATUS_PENDING);
    EXPECT_EQ(stalled.Wait(), STATUS_UNSUCCESSFUL);
    EXPECT_EQ(stalled.Urb().UrbHeader.Status, USBD_STATUS_STALL_PID);

    UrbRequest halted(pdo_);
    halted.BuildTransfer(configuration_->Pipe(kMessageIn), buffer, kIn);
    ASSERT_EQ(halted.Send(), STATUS_PENDING);
    halted.Wait();
    EXPECT_EQ(halted.Urb().UrbHeader.Status, USBD_STATUS_ENDPOINT_HALTED);

    ASSERT_EQ(PipeRequest(URB_FUNCTION_SYNC_RESET_PIPE_AND_CLEAR_STALL, kMessageIn), STATUS_SUCCESS);
    EXPECT_EQ(adapter_->PipeResets(kMessageIn), 1u);
    UrbRequest after(pdo_);
    after.BuildTransfer(configuration_->Pipe(kMessageIn), buffer, kIn);
    ASSERT_EQ(after.Send(), STATUS_PENDING);
    adapter_->QueueIn(kMessageIn, Bytes(3));
    EXPECT_EQ(after.Wait(), STATUS_SUCCESS);
}

TEST_F(UsbBusTest, DeconfiguringCancelsTransfersAndRetiresTheHandles)
{
    PlugAndConfigure();
    std::vector<UCHAR> buffer(64);
    UrbRequest read(pdo_);
    read.BuildTransfer(configuration_->Pipe(kMessageIn), buffer, kIn);
    ASSERT_EQ(read.Send(), STATUS_PENDING);
    URB deconfigure = {};
    UsbBuildSelectConfigurationRequest(&deconfigure, sizeof(struct _URB_SELECT_CONFIGURATION), nullptr);
    ASSERT_EQ(SubmitUrb(pdo_, deconfigure), STATUS_SUCCESS);
    ASSERT_TRUE(read.Done());
    EXPECT_EQ(read.Status(), STATUS_CANCELLED);

    UrbRequest stale(pdo_);
    stale.BuildTransfer(configuration_->Pipe(kMessageIn), buffer, kIn);
    EXPECT_EQ(stale.Send(), STATUS_INVALID_PARAMETER);
    EXPECT_EQ(stale.Urb().UrbHeader.Status, USBD_STATUS_INVALID_PIPE_HANDLE);

    // Configured again: the handles of before stay dead, the new ones work.
    Configuration again(ReadConfiguration(pdo_));
    ASSERT_EQ(SubmitUrb(pdo_, again.Urb()), STATUS_SUCCESS);
    EXPECT_NE(again.Pipe(kMessageIn), configuration_->Pipe(kMessageIn));
    UrbRequest old(pdo_);
    old.BuildTransfer(configuration_->Pipe(kMessageIn), buffer, kIn);
    EXPECT_EQ(old.Send(), STATUS_INVALID_PARAMETER);
    UrbRequest fresh(pdo_);
    fresh.BuildTransfer(again.Pipe(kMessageIn), buffer, kIn);
    ASSERT_EQ(fresh.Send(), STATUS_PENDING);
    adapter_->QueueIn(kMessageIn, Bytes(1));
    EXPECT_EQ(fresh.Wait(), STATUS_SUCCESS);
}

TEST_F(UsbBusTest, RefusedTransfersAndRequestsFailAtOnceWithTheChosenStatus)
{
    PlugAndConfigure();
    std::vector<UCHAR> buffer(64);
    adapter_->RefuseTransfers(kMessageOut, STATUS_UNSUCCESSFUL);
    UrbRequest write(pdo_);
    write.BuildTransfer(configuration_->Pipe(kMessageOut), buffer, 0);
    EXPECT_EQ(write.Send(), STATUS_UNSUCCESSFUL);
    EXPECT_TRUE(write.Done());
    adapter_->RefuseTransfers(kMessageOut, STATUS_SUCCESS);

    adapter_->RefuseRequests(URB_FUNCTION_GET_DESCRIPTOR_FROM_DEVICE, STATUS_DEVICE_NOT_CONNECTED);
    ULONG transferred = 0;
    USBD_STATUS usbd = USBD_STATUS_SUCCESS;
    EXPECT_EQ(ReadDescriptor(USB_DEVICE_DESCRIPTOR_TYPE, buffer, &transferred, &usbd), STATUS_DEVICE_NOT_CONNECTED);
    EXPECT_EQ(usbd, USBD_STATUS_DEVICE_GONE);

    const std::vector<hw::UrbRecord> log = adapter_->UrbLog();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[log.size() - 2].function, URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER);
    EXPECT_EQ(log[log.size() - 2].endpoint, kMessageOut);
    EXPECT_EQ(log.back().function, URB_FUNCTION_GET_DESCRIPTOR_FROM_DEVICE);
}

TEST_F(UsbBusTest, HeldTransfersStayInFlightUntilReleased)
{
    PlugAndConfigure();
    std::vector<UCHAR> data = Bytes(16);
    adapter_->HoldTransfers(kMessageOut, true);
    UrbRequest write(pdo_);
    write.BuildTransfer(configuration_->Pipe(kMessageOut), data, 0);
    ASSERT_EQ(write.Send(), STATUS_PENDING);
    // Frames run for another endpoint meanwhile; the held one still NAKs.
    UrbRequest other(pdo_);
    other.BuildTransfer(configuration_->Pipe(0x02), data, 0);
    ASSERT_EQ(other.Send(), STATUS_PENDING);
    EXPECT_EQ(other.Wait(), STATUS_SUCCESS);
    machine().Advance(100 * kTicksPerMillisecond);
    EXPECT_FALSE(write.Done());
    EXPECT_EQ(bus().InFlight(*adapter_), 1u);
    adapter_->HoldTransfers(kMessageOut, false);
    EXPECT_EQ(write.Wait(), STATUS_SUCCESS);
}

TEST_F(UsbBusTest, SilentDeviceLeavesControlRequestsOpenUntilCancelled)
{
    PlugAndConfigure();
    adapter_->AnswerNothing(true);
    std::vector<UCHAR> buffer(18);
    UrbRequest read(pdo_);
    UsbBuildGetDescriptorRequest(&read.Urb(), sizeof(struct _URB_CONTROL_DESCRIPTOR_REQUEST),
                                 USB_DEVICE_DESCRIPTOR_TYPE, 0, 0, buffer.data(), nullptr, 18, nullptr);
    ASSERT_EQ(read.Send(), STATUS_PENDING);
    machine().RunUntilQuiet();
    EXPECT_FALSE(read.Done());
    EXPECT_EQ(bus().InFlight(*adapter_), 1u);
    ASSERT_TRUE(read.Cancel());
    EXPECT_EQ(read.Wait(), STATUS_CANCELLED);
    adapter_->AnswerNothing(false);
}

TEST_F(UsbBusTest, PortStatusShowsADisabledPortUntilItIsReset)
{
    PlugAndConfigure();
    ULONG portStatus = 0;
    UrbRequest query(pdo_, IOCTL_INTERNAL_USB_GET_PORT_STATUS);
    query.SetArgument(&portStatus);
    ASSERT_EQ(query.Send(), STATUS_SUCCESS);
    EXPECT_EQ(portStatus, USBD_PORT_ENABLED | USBD_PORT_CONNECTED);

    adapter_->DisablePort();
    UrbRequest again(pdo_, IOCTL_INTERNAL_USB_GET_PORT_STATUS);
    again.SetArgument(&portStatus);
    ASSERT_EQ(again.Send(), STATUS_SUCCESS);
    EXPECT_EQ(portStatus, USBD_PORT_CONNECTED);

    UrbRequest reset(pdo_, IOCTL_INTERNAL_USB_RESET_PORT);
    ASSERT_EQ(reset.Send(), STATUS_SUCCESS);
    EXPECT_EQ(adapter_->PortResets(), 1u);
    UrbRequest after(pdo_, IOCTL_INTERNAL_USB_GET_PORT_STATUS);
    after.SetArgument(&portStatus);
    ASSERT_EQ(after.Send(), STATUS_SUCCESS);
    EXPECT_EQ(portStatus, USBD_PORT_ENABLED | USBD_PORT_CONNECTED);
}

// A stream sends thousands of requests a second for hours: the log keeps
// the latest, in order, and forgets the oldest instead of growing for ever.
TEST(AdapterModelUrbLogTest, KeepsTheLatestRequestsInOrderAndStaysBounded)
{
    hw::AdapterModel model("LOG");
    const size_t kept = hw::AdapterModel::kUrbLogKept;
    const size_t sent = 3 * kept + 5;
    for (size_t i = 0; i < sent; ++i) model.ReceiveRequest({static_cast<USHORT>(i), 0});
    const std::vector<hw::UrbRecord> log = model.UrbLog();
    ASSERT_GE(log.size(), kept);
    EXPECT_LE(log.size(), 2 * kept);
    for (size_t k = 0; k < log.size(); ++k) {
        ASSERT_EQ(log[k].function, static_cast<USHORT>(sent - log.size() + k)) << k;
    }
}

}  // namespace
}  // namespace winsim::test
