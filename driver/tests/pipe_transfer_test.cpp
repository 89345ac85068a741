// Reads and writes on pipe handles: 256-byte stages through the USB stack,
// the 64 KiB limit, handles without a pipe, short stages, and requests on an
// adapter that is stopping or gone.
#include <usbdlib.h>

#include <mutex>
#include <vector>

#include "adapter_fixture.h"
#include "core/pipe_transfer.h"
#include "hw/endpoint_handler.h"
#include "km/io_manager.h"

namespace driver_test {
namespace {

// Pipes of interface 0: 0 and 1 are the message pipes, 2 is bulk IN 0x82,
// 3 bulk OUT 0x02.
constexpr UCHAR kSourceEndpoint = 0x82;
constexpr UCHAR kSinkEndpoint = 0x02;

// The far side of the data pipes: keeps every packet sent to the sink.
class DataSink : public winsim::hw::EndpointHandler {
public:
    void OnOut(UCHAR endpoint, const std::vector<UCHAR>& packet) override
    {
        if (endpoint != kSinkEndpoint) return;
        std::lock_guard<std::mutex> hold(lock_);
        received_.insert(received_.end(), packet.begin(), packet.end());
    }
    std::vector<UCHAR> Received()
    {
        std::lock_guard<std::mutex> hold(lock_);
        return received_;
    }

private:
    std::mutex lock_;
    std::vector<UCHAR> received_;
};

std::vector<UCHAR> Pattern(size_t length)
{
    std::vector<UCHAR> bytes(length);
    for (size_t i = 0; i < length; ++i) bytes[i] = static_cast<UCHAR>(i * 7 + i / 256);
    return bytes;
}

class PipeTransferTest : public AdapterTest {
protected:
    void SetUp() override
    {
        AdapterTest::SetUp();
        adapter_ = Plug("QTR4000");
        adapter_.model->SetEndpointHandler(&sink_);
    }
    void TearDown() override
    {
        for (PFILE_OBJECT file : files_) Close(file);
        AdapterTest::TearDown();
    }

    PFILE_OBJECT OpenPipe(const std::u16string& suffix)
    {
        PFILE_OBJECT file = nullptr;
        EXPECT_EQ(Open(DosName(0) + suffix, &file), STATUS_SUCCESS);
        if (file != nullptr) files_.push_back(file);
        return file;
    }

    PluggedAdapter adapter_;
    DataSink sink_;
    std::vector<PFILE_OBJECT> files_;
};

TEST_F(PipeTransferTest, AWriteGoesDownInStagesOf256Bytes)
{
    PFILE_OBJECT sink = OpenPipe(u"\\PIPE3");
    std::vector<UCHAR> data = Pattern(600);
    const ULONG before = adapter_.model->TransfersOn(kSinkEndpoint);
    ULONG_PTR moved = 0;
    EXPECT_EQ(PipeTransfer(sink, IRP_MJ_WRITE, data, &moved), STATUS_SUCCESS);
    EXPECT_EQ(moved, 600u);
    EXPECT_EQ(adapter_.model->TransfersOn(kSinkEndpoint) - before, 3u);  // 256, 256, 88
    EXPECT_EQ(sink_.Received(), data);
}

TEST_F(PipeTransferTest, AReadFillsTheBufferFromEveryStage)
{
    PFILE_OBJECT source = OpenPipe(u"\\PIPE2");
    std::vector<UCHAR> offered = Pattern(512);
    adapter_.model->QueueIn(kSourceEndpoint, std::vector<UCHAR>(offered.begin(), offered.begin() + 256));
    adapter_.model->QueueIn(kSourceEndpoint, std::vector<UCHAR>(offered.begin() + 256, offered.end()));
    std::vector<UCHAR> buffer(512);
    ULONG_PTR moved = 0;
    EXPECT_EQ(PipeTransfer(source, IRP_MJ_READ, buffer, &moved), STATUS_SUCCESS);
    EXPECT_EQ(moved, 512u);
    EXPECT_EQ(buffer, offered);
}

TEST_F(PipeTransferTest, AShortStageEndsTheReadWithoutAGap)
{
    PFILE_OBJECT source = OpenPipe(u"\\PIPE2");
    std::vector<UCHAR> offered = Pattern(300);
    // 256 bytes, then a short packet of 44 that ends the second stage.
    adapter_.model->QueueIn(kSourceEndpoint, offered);
    std::vector<UCHAR> buffer(1024, 0xEE);
    ULONG_PTR moved = 0;
    EXPECT_EQ(PipeTransfer(source, IRP_MJ_READ, buffer, &moved), STATUS_SUCCESS);
    EXPECT_EQ(moved, 300u);
    EXPECT_TRUE(std::equal(offered.begin(), offered.end(), buffer.begin()));
    EXPECT_EQ(buffer[300], 0xEE);
}

TEST_F(PipeTransferTest, SizesAndHandlesTheDriverRefuses)
{
    PFILE_OBJECT source = OpenPipe(u"\\PIPE2");
    PFILE_OBJECT control = OpenPipe(u"");
    ULONG_PTR moved = 0;
    std::vector<UCHAR> tooLong(kPipeTransferLimit + 1);
    EXPECT_EQ(PipeTransfer(source, IRP_MJ_READ, tooLong, &moved), STATUS_INVALID_PARAMETER);
    std::vector<UCHAR> some(16);
    EXPECT_EQ(PipeTransfer(control, IRP_MJ_READ, some, &moved), STATUS_INVALID_HANDLE);
    EXPECT_EQ(PipeTransfer(control, IRP_MJ_WRITE, some, &moved), STATUS_INVALID_HANDLE);
    std::vector<UCHAR> none;
    EXPECT_EQ(PipeTransfer(source, IRP_MJ_READ, none, &moved), STATUS_SUCCESS);
    EXPECT_EQ(moved, 0u);
}

TEST_F(PipeTransferTest, TheLargestWriteIsTakenWhole)
{
    PFILE_OBJECT sink = OpenPipe(u"\\PIPE3");
    std::vector<UCHAR> data = Pattern(kPipeTransferLimit);
    ULONG_PTR moved = 0;
    EXPECT_EQ(PipeTransfer(sink, IRP_MJ_WRITE, data, &moved), STATUS_SUCCESS);
    EXPECT_EQ(moved, kPipeTransferLimit);
    EXPECT_EQ(sink_.Received(), data);
}

TEST_F(PipeTransferTest, AFailedStageEndsTheRequestWithItsStatus)
{
    PFILE_OBJECT sink = OpenPipe(u"\\PIPE3");
    adapter_.model->Stall(kSinkEndpoint);
    std::vector<UCHAR> data = Pattern(300);
    ULONG_PTR moved = 0;
    EXPECT_FALSE(NT_SUCCESS(PipeTransfer(sink, IRP_MJ_WRITE, data, &moved)));
    EXPECT_TRUE(sink_.Received().empty());
}

TEST_F(PipeTransferTest, AfterStopAndAfterSurpriseRemovalRequestsFindTheAdapterGone)
{
    PFILE_OBJECT sink = OpenPipe(u"\\PIPE3");
    std::vector<UCHAR> data = Pattern(10);
    ULONG_PTR moved = 0;
    ASSERT_EQ(pnp().SendPnp(adapter_.control, IRP_MN_QUERY_STOP_DEVICE), STATUS_SUCCESS);
    ASSERT_EQ(pnp().SendPnp(adapter_.control, IRP_MN_STOP_DEVICE), STATUS_SUCCESS);
    EXPECT_EQ(PipeTransfer(sink, IRP_MJ_WRITE, data, &moved), STATUS_DELETE_PENDING);
    ASSERT_TRUE(NT_SUCCESS(pnp().SendPnp(adapter_.control, IRP_MN_START_DEVICE)));

    Unplug(adapter_);
    EXPECT_EQ(PipeTransfer(sink, IRP_MJ_WRITE, data, &moved), STATUS_DELETE_PENDING);
    EXPECT_EQ(PipeTransfer(sink, IRP_MJ_READ, data, &moved), STATUS_DELETE_PENDING);
}

}  // namespace
}  // namespace driver_test
