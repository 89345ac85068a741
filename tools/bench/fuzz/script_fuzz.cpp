// Bench scripts from anyone: the input is a script, run line by line as
// --keep-going runs it (but for `throughput` and `ui screenshot`, see
// lines_not_run.h). Every line either works or prints an error; none may
// crash, hang, leak or trip the verifier.
//
// One bench machine serves every script and is brought back after each:
// programs ended, bridges and handles closed, the machine awake, every
// adapter unplugged (nothing the script made may then be left in the pool)
// and its flash forgotten, registry, files, platform, system libraries and
// local clock as they were. The machine keeps every adapter ever named, so
// after a script that named many it is booted afresh, as it is when it
// cannot be brought back.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "input_lines.h"
#include "lines_not_run.h"
#include "km/debug_log.h"
#include "pty/pty_bridge.h"
#include "reused_session.h"
#include "tools/fuzz/shared_machine_flags.h"
#include "um/local_clock.h"
#include "um/platform_version.h"
#include "um/system_libraries.h"
#include "verifier/pool.h"

namespace {

constexpr size_t kMostAdaptersKept = 8;

class ScriptBench {
public:
    ScriptBench() { Boot(); }

    void Run(std::string_view script)
    {
        const winsim::PoolMark mark = winsim::Pool::Mark();
        bench::ForEachLine(script, script.size(), [&](std::string_view line) {
            if (!bench::NotRunUnderFuzzing(line, false)) reused_->Bench().RunLine(line);
        });
        const bool back = BringBack();
        if (!winsim::Pool::LeaksSince(mark).empty()) __builtin_trap();
        if (!back) Boot();
    }

private:
    // A fresh machine; its first adapter makes what the driver keeps for
    // its whole life, which no script's leak check may count.
    void Boot()
    {
        reused_.reset();
        reused_ = std::make_unique<bench::ReusedSession>();
        reused_->Bench().RunLine("plug A1");
        if (!BringBack()) __builtin_trap();
    }

    // False when the machine is not as it was after its boot.
    bool BringBack()
    {
        bench::Session& session = reused_->Bench();
        bench::BenchMachine& machine = session.Machine();
        machine.Programs().EndAll();
        machine.PtyBridges().clear();
        while (!machine.ComHandles().empty()) machine.CloseHandleNamed(machine.ComHandles().begin()->first);
        machine.Sim().Usb().SetTransferObserver(nullptr);
        if (machine.Sim().SystemState() != PowerSystemWorking && !NT_SUCCESS(machine.Sim().Wake())) {
            return false;
        }
        for (const auto& [name, adapter] : machine.Adapters()) {
            if (adapter.plugging != bench::BenchMachine::Plugging::kOut) session.RunLine("unplug " + name);
        }
        machine.RunUntilQuiet();
        machine.Sim().Pnp().ForgetDeletedNodes();
        bool back = machine.HeldRequests().empty() && machine.Programs().All().empty() &&
                    machine.Adapters().size() <= kMostAdaptersKept;
        for (auto& [name, adapter] : machine.Adapters()) {
            back = back && adapter.plugging == bench::BenchMachine::Plugging::kOut;
            adapter.microcontroller.reset();
            adapter.restartsReported = 0;
            adapter.connectors = {};
        }
        winsim::TakeDebugLog();
        winsim::um::SetPlatformVersion(winsim::um::PlatformVersion::kNt61);
        winsim::um::RestoreSystemLibraries();
        winsim::um::ResetLocalClock();
        reused_->Reset();
        return back;
    }

    std::unique_ptr<bench::ReusedSession> reused_;
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qtr_fuzz::UseSharedMachineFlags(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 2048) return 0;
    static ScriptBench bench;
    bench.Run(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
