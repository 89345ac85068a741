#include "fault_sweep_fixture.h"

#include <algorithm>

#include "common/port_registers.h"
#include "core/pool_tags.h"
#include "hw/serial/serial_port.h"
#include "km/io_pool_tags.h"
#include "registry/registry_store.h"
#include "verifier/fault_injection.h"

namespace driver_test {

namespace {

using winsim::FaultInjection;

// The driver's own pool and what the system allocates at its request.
const winsim::TagFilter& SweptAllocations()
{
    namespace io = winsim::io;
    static const winsim::TagFilter scope =
        winsim::TagFilter::Only({kDriverPoolTag, kRingPoolTag, io::kTagIrp, io::kTagMdl, io::kTagWorkItem,
                                 io::kTagCompletionContext, io::kTagPowerRequest, io::kTagUsbd});
    return scope;
}

bool Chosen(const SweepPath& path, ULONG64 n, ULONG64 total)
{
    if (path.edge == 0 || n <= path.edge || n + path.edge > total) return true;
    return n % path.stride == 0;
}

}  // namespace

SweepCount FaultSweepTest::Sweep(const SweepPath& path)
{
    SCOPED_TRACE(path.name);
    SweepCount count;
    ULONG tag = 0;
    const ULONG64 total = RunOnce(path, 0, &tag);
    for (ULONG64 n = 1; n <= total && !HasFatalFailure(); ++n) {
        if (!Chosen(path, n, total)) continue;
        SCOPED_TRACE("allocation " + std::to_string(n) + " of " + std::to_string(total));
        RunOnce(path, n, &tag);
        if (tag == kDriverPoolTag || tag == kRingPoolTag) {
            ++count.driver;
        } else if (tag != 0) {
            ++count.system;
        }
    }
    RecordProperty(std::string(path.name) + "_allocations", std::to_string(total));
    RecordProperty(std::string(path.name) + "_driver", std::to_string(count.driver));
    RecordProperty(std::string(path.name) + "_system", std::to_string(count.system));
    return count;
}

ULONG64 FaultSweepTest::RunOnce(const SweepPath& path, ULONG64 failing, ULONG* failedTag)
{
    const winsim::PoolMark mark = winsim::Pool::Mark();
    ULONG64 allocations = 0;
    {
        winsim::Verifier::Capture capture;
        SweepRun run;
        run.failed = failing;
        if (path.arrange) path.arrange(run);
        if (failing == 0) {
            FaultInjection::CountOnly(SweptAllocations());
        } else {
            FaultInjection::FailNth(failing, SweptAllocations());
        }
        const NTSTATUS status = path.act(run);
        FaultInjection::Disarm();
        allocations = FaultInjection::AllocationsSinceArmed();
        *failedTag = FaultInjection::LastFailedTag();
        // How many messages the adapter answers with, and so how many
        // reads are queued again, varies from run to run: a run may end
        // before its allocation to fail.
        EXPECT_LE(FaultInjection::FailuresSinceArmed(), failing == 0 ? 0u : 1u);
        if (failing == 0) {
            EXPECT_EQ(status, STATUS_SUCCESS);
        } else {
            EXPECT_TRUE(status == STATUS_SUCCESS || status == STATUS_INSUFFICIENT_RESOURCES)
                << std::hex << status << ", failed " << winsim::PoolTagText(*failedTag);
        }
        if (path.verify) path.verify(run, status);
        if (path.end) {
            path.end(run);
        } else {
            EndRun(run);
        }
        for (const winsim::ViolationReport& report : capture.Reports()) {
            ADD_FAILURE() << winsim::FormatViolation(report);
        }
    }
    for (const winsim::PoolBlock& block : winsim::Pool::LeaksSince(mark)) {
        ADD_FAILURE() << "left in pool: " << block.tag << ", " << block.bytes << " bytes" << " (failed " << winsim::PoolTagText(*failedTag) << ")";
    }
    return allocations;
}

std::string FaultSweepTest::NextSerial() { return "QTR" + std::to_string(6000 + ++serials_); }

void FaultSweepTest::PlugFresh(SweepRun& run, ULONG registered, winsim::hw::DescriptorLayout layout)
{
    run.plugged = Plug(NextSerial(), std::move(layout));
    ASSERT_EQ(run.plugged.control->State(), winsim::pnp::NodeState::kStarted);
    run.bound = &BindAndRegister(run.plugged, {21, 22, 23, 24}, registered);
}

void FaultSweepTest::OpenPort(SweepRun& run, ULONG port)
{
    ASSERT_NE(run.plugged.firmware, nullptr);
    run.plugged.firmware->Port(port).PlugLoopback();
    PortServicesInterface& table = run.bound->table;
    PortRegisters* registers = nullptr;
    ASSERT_EQ(table.getRegisters(table.context, port, &registers), 1);
    registers->open = 1;
    registers->modemControl = kMcrDtr | kMcrRts;
    registers->lineControl = kLcrWordLength8;
    ASSERT_EQ(table.setBaudRate(table.context, port, 115200, 1), 1);
    machine().RunUntilQuiet();
}

std::vector<UCHAR> FaultSweepTest::Exchange(SweepRun& run, ULONG port, const std::vector<UCHAR>& bytes,
                                            size_t expected)
{
    PortServicesInterface& table = run.bound->table;
    std::vector<UCHAR> received;
    size_t sent = 0;
    const winsim::Ticks deadline = machine().Now() + 3 * winsim::kTicksPerSecond;
    while (machine().Now() < deadline) {
        while (sent < bytes.size()) {
            const ULONG n = static_cast<ULONG>(std::min<size_t>(kPortWriteMax, bytes.size() - sent));
            if (table.writeData(table.context, port, bytes.data() + sent, n) == 0) break;
            sent += n;
        }
        UCHAR buffer[256];
        ULONG length = sizeof(buffer);
        while (table.readData(table.context, port, buffer, &length) != 0 && length != 0) {
            received.insert(received.end(), buffer, buffer + length);
            length = sizeof(buffer);
        }
        if (sent == bytes.size() && received.size() >= expected) break;
        machine().Advance(winsim::kTicksPerMillisecond);
    }
    return received;
}

void FaultSweepTest::EndRun(SweepRun& run)
{
    if (run.cleanup) run.cleanup();
    if (run.file != nullptr) Close(run.file);
    // The port driver lets go of the table when its ports go.
    if (run.bound != nullptr && run.bound->bound && Fdo(run.plugged) != nullptr) {
        run.bound->table.dereference(run.bound->table.context);
        run.bound->bound = false;
    }
    if (run.plugged.model != nullptr) Unplug(run.plugged);
}

void FaultSweepTest::Prepare(const PluggedAdapter& adapter, ULONG code, const std::vector<UCHAR>& input,
                             ULONG outputLength, PreparedRequest* request)
{
    request->output.assign(outputLength, 0);
    KeInitializeEvent(&request->done, NotificationEvent, FALSE);
    request->irp = IoBuildDeviceIoControlRequest(
        code, Fdo(adapter), input.empty() ? nullptr : const_cast<UCHAR*>(input.data()),
        static_cast<ULONG>(input.size()), outputLength == 0 ? nullptr : request->output.data(), outputLength, FALSE,
        &request->done, &request->status);
    ASSERT_NE(request->irp, nullptr);
}

NTSTATUS FaultSweepTest::Send(const PluggedAdapter& adapter, PreparedRequest* request)
{
    NTSTATUS status = IoCallDriver(Fdo(adapter), request->irp);
    request->irp = nullptr;  // the I/O manager's again
    if (status == STATUS_PENDING) {
        KeWaitForSingleObject(&request->done, Executive, KernelMode, FALSE, nullptr);
        status = request->status.Status;
    }
    return status;
}

void FaultSweepTest::EnableSelectiveSuspend()
{
    winsim::registry::Store::Instance().SetDword(
        u"\\Registry\\Machine\\System\\CurrentControlSet\\Services\\84prusb\\Parameters", u"BulkUsbEnable", 1);
}

}  // namespace driver_test
