// Message transfers on the emulated bus: refused while the adapter is not
// working, and the recovery after a refusal: which refusals reset the pipe
// or the port, and that nothing is reset above PASSIVE_LEVEL.
#include <usbdlib.h>

#include "adapter_fixture.h"
#include "core/usb_request.h"

namespace driver_test {
namespace {

constexpr UCHAR kMessageOut = 0x01;

struct Finished {
    int calls = 0;
    NTSTATUS status = STATUS_PENDING;
};
Finished g_finished;

VOID RecordAndFree(MessageRequest* request)
{
    ++g_finished.calls;
    g_finished.status = request->status;
    FreeMessageRequest(request);
}

class UsbRequestTest : public AdapterTest {
protected:
    void SetUp() override
    {
        AdapterTest::SetUp();
        g_finished = {};
        adapter_ = Plug("QTR2000");
        extension_ = Extension(adapter_);
    }

    // A one-byte message to the adapter; its completion frees it.
    NTSTATUS Send(KIRQL irql = PASSIVE_LEVEL)
    {
        MessageRequest* request = AllocateMessageRequest(extension_, 0, 1, 0, RecordAndFree);
        KIRQL old = PASSIVE_LEVEL;
        if (irql != PASSIVE_LEVEL) KeRaiseIrql(irql, &old);
        NTSTATUS status = UsbSendMessage(extension_, request);
        if (irql != PASSIVE_LEVEL) KeLowerIrql(old);
        if (!UsbMessageTransferStarted(status)) FreeMessageRequest(request);
        return status;
    }

    PluggedAdapter adapter_;
    AdapterExtension* extension_ = nullptr;
};

TEST_F(UsbRequestTest, AMessageReachesTheAdapterAndItsCompletionRuns)
{
    const ULONG before = adapter_.model->TransfersOn(kMessageOut);
    EXPECT_EQ(Send(), STATUS_PENDING);
    machine().RunUntilQuiet();
    EXPECT_EQ(adapter_.model->TransfersOn(kMessageOut), before + 1);
    EXPECT_EQ(g_finished.calls, 1);
    EXPECT_EQ(g_finished.status, STATUS_SUCCESS);
}

TEST_F(UsbRequestTest, AMessageSentWhileStoppingNeverReachesTheBus)
{
    ASSERT_EQ(pnp().SendPnp(adapter_.control, IRP_MN_QUERY_STOP_DEVICE), STATUS_SUCCESS);
    const ULONG before = adapter_.model->TransfersOn(kMessageOut);
    EXPECT_EQ(Send(), STATUS_DELETE_PENDING);
    machine().RunUntilQuiet();
    EXPECT_EQ(adapter_.model->TransfersOn(kMessageOut), before);
    EXPECT_EQ(g_finished.calls, 0);
    ASSERT_EQ(pnp().SendPnp(adapter_.control, IRP_MN_CANCEL_STOP_DEVICE), STATUS_SUCCESS);
    EXPECT_EQ(Send(), STATUS_PENDING);
}

TEST_F(UsbRequestTest, AnUnpluggedOrCancelledTransferNeedsNoRecovery)
{
    for (NTSTATUS refusal : {STATUS_DEVICE_NOT_CONNECTED, STATUS_CANCELLED}) {
        adapter_.model->RefuseTransfers(kMessageOut, refusal);
        g_finished = {};
        EXPECT_EQ(Send(), refusal);
        machine().RunUntilQuiet();
        EXPECT_EQ(g_finished.calls, 1);
        EXPECT_EQ(adapter_.model->PipeResets(kMessageOut), 0u);
        EXPECT_EQ(adapter_.model->PortResets(), 0u);
    }
}

TEST_F(UsbRequestTest, OtherRefusalsResetThePipeAndThePortWhenThatFails)
{
    adapter_.model->RefuseTransfers(kMessageOut, STATUS_UNSUCCESSFUL);
    EXPECT_EQ(Send(), STATUS_UNSUCCESSFUL);
    machine().RunUntilQuiet();
    EXPECT_EQ(g_finished.calls, 1);
    EXPECT_EQ(adapter_.model->PipeResets(kMessageOut), 1u);
    EXPECT_EQ(adapter_.model->PortResets(), 0u);

    // The pipe reset fails too and the hub has disabled the port.
    adapter_.model->RefuseRequests(URB_FUNCTION_SYNC_RESET_PIPE_AND_CLEAR_STALL, STATUS_UNSUCCESSFUL);
    adapter_.model->DisablePort();
    EXPECT_EQ(Send(), STATUS_UNSUCCESSFUL);
    machine().RunUntilQuiet();
    EXPECT_EQ(adapter_.model->PortResets(), 1u);
}

TEST_F(UsbRequestTest, ARefusalAtDispatchLevelResetsNothing)
{
    adapter_.model->RefuseTransfers(kMessageOut, STATUS_UNSUCCESSFUL);
    adapter_.model->DisablePort();
    EXPECT_EQ(Send(DISPATCH_LEVEL), STATUS_UNSUCCESSFUL);
    machine().RunUntilQuiet();
    EXPECT_EQ(g_finished.calls, 1);
    EXPECT_EQ(adapter_.model->PipeResets(kMessageOut), 0u);
    EXPECT_EQ(adapter_.model->PortResets(), 0u);
}

}  // namespace
}  // namespace driver_test
