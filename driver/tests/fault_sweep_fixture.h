// Low-resources sweeps of the driver's entry paths. A path runs once to
// count the allocations made on it, then once for each of them with only
// that one failed, every time on a fresh adapter. Each run must end the way
// the path allows (success, or the request refused for want of resources),
// leave the adapter working where it should, raise no verifier report and,
// once the adapter is unplugged, leave nothing in the pool.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "control_fixture.h"

namespace driver_test {

// A control request built before the run's plan is armed, so that the
// I/O manager's own IRP and buffer for the caller are not part of the path.
struct PreparedRequest {
    PIRP irp = nullptr;
    KEVENT done;
    IO_STATUS_BLOCK status = {};
    std::vector<UCHAR> output;
};

// What one run of a path works with; the path's steps fill what they need.
struct SweepRun {
    PluggedAdapter plugged;         // unplugged when the run ends
    BoundAdapter* bound = nullptr;  // its port driver's view, when it has one
    PFILE_OBJECT file = nullptr;    // closed when the run ends
    ULONG64 failed = 0;           // the allocation failed in this run; 0 while counting
    std::vector<UCHAR> buffer;
    PreparedRequest request;
    // Leaves the run's state before the adapter goes; set by steps that need it.
    std::function<void()> cleanup;
};

struct SweepPath {
    const char* name;  // letters, digits and underscores: it names a test property
    // Brings the run to where the path starts, with nothing failed.
    std::function<void(SweepRun&)> arrange;
    // The path itself; returns how it ended.
    std::function<NTSTATUS(SweepRun&)> act;
    // With nothing failed any more: what must hold after the path ended so.
    std::function<void(SweepRun&, NTSTATUS)> verify;
    // Ends the run; by default the cleanup, then the adapter unplugged.
    std::function<void(SweepRun&)> end;
    // Long paths repeat the same sites: with `edge` set, only the first and
    // last `edge` allocations and every `stride`-th one between are failed.
    ULONG64 edge = 0;
    ULONG64 stride = 1;
};

// Allocations failed by a sweep, by whose they were.
struct SweepCount {
    ULONG64 driver = 0;  // the driver's own pool ("BulK", "CBFR")
    ULONG64 system = 0;  // IRPs, MDLs, work items, power requests and URBs made for it
};

class FaultSweepTest : public ControlDeviceTest {
protected:
    // Sweeps the path and records its counts as test properties.
    SweepCount Sweep(const SweepPath& path);

    // A fresh adapter for the run whose first `registered` ports the port
    // driver has registered (COM21 to COM24).
    void PlugFresh(SweepRun& run, ULONG registered = kPortsPerAdapter,
                   winsim::hw::DescriptorLayout layout = winsim::hw::DescriptorLayout::Adapter());
    std::string NextSerial();
    // The port opened by its driver at 115200 baud, with a loopback plug
    // on its line.
    void OpenPort(SweepRun& run, ULONG port);
    // Hands `bytes` to the port as its driver does (refused writes
    // repeated) and returns what comes back, until `expected` bytes came
    // or three seconds passed.
    std::vector<UCHAR> Exchange(SweepRun& run, ULONG port, const std::vector<UCHAR>& bytes, size_t expected);
    // The default end of a run.
    void EndRun(SweepRun& run);

    // Builds a buffered control request for the adapter's device; Send
    // hands it over and waits for it.
    static void Prepare(const PluggedAdapter& adapter, ULONG code, const std::vector<UCHAR>& input,
                        ULONG outputLength, PreparedRequest* request);
    static NTSTATUS Send(const PluggedAdapter& adapter, PreparedRequest* request);

    // Enables selective suspend for adapters started from now on.
    static void EnableSelectiveSuspend();

private:
    ULONG64 RunOnce(const SweepPath& path, ULONG64 failing, ULONG* failedTag);
    ULONG serials_ = 0;
};

}  // namespace driver_test
