// Reads and writes on pipe handles under low resources: each request moves
// its bytes in 256-byte stages through partial MDLs of the caller's buffer.
#include <mutex>

#include "fault_sweep_fixture.h"
#include "hw/endpoint_handler.h"
#include "km/io_manager.h"

namespace driver_test {
namespace {

constexpr UCHAR kSourceEndpoint = 0x82;  // pipe 2
constexpr UCHAR kSinkEndpoint = 0x02;    // pipe 3

// Keeps what reaches the bulk OUT endpoint; the message pipes go on to the
// firmware.
class DataSink : public winsim::hw::EndpointHandler {
public:
    explicit DataSink(winsim::hw::EndpointHandler* firmware) : firmware_(firmware) {}
    void OnOut(UCHAR endpoint, const std::vector<UCHAR>& packet) override
    {
        if (endpoint != kSinkEndpoint) {
            firmware_->OnOut(endpoint, packet);
            return;
        }
        std::lock_guard<std::mutex> hold(lock_);
        received_.insert(received_.end(), packet.begin(), packet.end());
    }
    std::vector<UCHAR> Received()
    {
        std::lock_guard<std::mutex> hold(lock_);
        return received_;
    }

private:
    winsim::hw::EndpointHandler* firmware_;
    std::mutex lock_;
    std::vector<UCHAR> received_;
};

std::vector<UCHAR> Pattern(size_t length, UCHAR seed)
{
    std::vector<UCHAR> bytes(length);
    for (size_t i = 0; i < length; ++i) bytes[i] = static_cast<UCHAR>(seed + i * 7 + i / 256);
    return bytes;
}

bool IsPrefix(const std::vector<UCHAR>& part, const std::vector<UCHAR>& whole)
{
    return part.size() <= whole.size() && std::equal(part.begin(), part.end(), whole.begin());
}

TEST_F(FaultSweepTest, PipeReadsAndWritesEndWellAndTheNextOneMovesItsBytes)
{
    std::unique_ptr<DataSink> sink;
    const std::vector<UCHAR> data = Pattern(600, 3);
    const std::vector<UCHAR> more = Pattern(300, 90);

    SweepPath write;
    write.name = "pipe_write";
    write.arrange = [&](SweepRun& run) {
        PlugFresh(run);
        sink = std::make_unique<DataSink>(run.plugged.firmware);
        run.plugged.model->SetEndpointHandler(sink.get());
        ASSERT_EQ(Open(DosName(0) + u"\\PIPE3", &run.file), STATUS_SUCCESS);
        run.buffer = data;
    };
    write.act = [&](SweepRun& run) {
        ULONG_PTR moved = 0;
        return PipeTransfer(run.file, IRP_MJ_WRITE, run.buffer, &moved);
    };
    write.verify = [&](SweepRun& run, NTSTATUS status) {
        const std::vector<UCHAR> first = sink->Received();
        if (NT_SUCCESS(status)) {
            EXPECT_EQ(first, data);
        } else {
            EXPECT_TRUE(IsPrefix(first, data)) << "a failed write sends only whole leading stages";
        }
        std::vector<UCHAR> again = more;
        ULONG_PTR moved = 0;
        ASSERT_EQ(PipeTransfer(run.file, IRP_MJ_WRITE, again, &moved), STATUS_SUCCESS);
        EXPECT_EQ(moved, more.size());
        const std::vector<UCHAR> all = sink->Received();
        EXPECT_EQ(std::vector<UCHAR>(all.begin() + static_cast<long>(first.size()), all.end()), more);
    };
    const SweepCount writes = Sweep(write);
    EXPECT_GT(writes.driver, 0u);
    EXPECT_GT(writes.system, 0u);

    SweepPath read;
    read.name = "pipe_read";
    read.arrange = [&](SweepRun& run) {
        PlugFresh(run);
        ASSERT_EQ(Open(DosName(0) + u"\\PIPE2", &run.file), STATUS_SUCCESS);
        run.plugged.model->QueueIn(kSourceEndpoint, data);
        run.buffer.assign(data.size(), 0);
    };
    read.act = [&](SweepRun& run) {
        ULONG_PTR moved = 0;
        const NTSTATUS status = PipeTransfer(run.file, IRP_MJ_READ, run.buffer, &moved);
        if (NT_SUCCESS(status)) {
            EXPECT_EQ(run.buffer, data);
        }
        return status;
    };
    read.verify = [&](SweepRun& run, NTSTATUS) {
        // Whatever the failed read left queued, a later read gets bytes.
        run.plugged.model->QueueIn(kSourceEndpoint, more);
        std::vector<UCHAR> buffer(256);
        ULONG_PTR moved = 0;
        ASSERT_EQ(PipeTransfer(run.file, IRP_MJ_READ, buffer, &moved), STATUS_SUCCESS);
        EXPECT_GT(moved, 0u);
    };
    const SweepCount reads = Sweep(read);
    EXPECT_GT(reads.driver, 0u);
}

}  // namespace
}  // namespace driver_test
