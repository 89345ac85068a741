// The line monitor's polling against streaming ports: every port of the
// bench's throughput run (loopback plugs, both directions) watched in a
// channel of its own, polled every 10 ms of virtual time as the monitor's
// window timer does. Reports the records the monitor captured per second
// against those the driver produced (known from the ring slots the captured
// records carry), and the host time one poll costs.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <chrono>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "assistant/diag/monitor_polling.h"
#include "assistant/diag/monitor_store.h"
#include "bench_session.h"
#include "commands/throughput_command.h"
#include "common/control_codes.h"

namespace {

constexpr unsigned kSeconds = 5;
constexpr int kPollMilliseconds = 10;
constexpr ULONG kDriverSlots = 1000;

// A channel window's store and a count of what reached it.
struct CountingChannel final : diag::MonitorChannelWindow {
    void AddRecord(const MonitorRecord& record) override
    {
        store->Add(record);
        ++captured;
    }
    std::unique_ptr<diag::MonitorStore> store = std::make_unique<diag::MonitorStore>();
    uint64_t captured = 0;
};

struct Frame : diag::MonitorFrameView {
    void StartPollTimer() override {}
    void StopPollTimer() override {}
    void ShowMonitoring(bool) override {}
    void ShowOverruns(int count) override { overruns = count; }
    int overruns = 0;
};

// The monitor's handle, watched: every fetched record's ring slot tells how
// many records the driver stored since the one fetched before it.
class SlotCountingDriver final : public diag::DriverChannel {
public:
    explicit SlotCountingDriver(HANDLE& slot) : inner(slot) {}
    bool IsOpen() const override { return inner.IsOpen(); }
    bool Open() override { return inner.Open(); }
    void Close() override { inner.Close(); }
    bool Request(DWORD code, const void* input, DWORD inputSize, void* output, DWORD outputSize, DWORD& returned,
                 DWORD& error) override
    {
        const bool ok = inner.Request(code, input, inputSize, output, outputSize, returned, error);
        if (code == IOCTL_TMAN_APP_START_MONITOR) started = false;
        if (!ok || code != IOCTL_TMAN_APP_GET_NEXT_MONITOR) return ok;
        for (DWORD at = 0; at + sizeof(MonitorRecord) <= returned; at += sizeof(MonitorRecord)) {
            MonitorRecord record;
            std::memcpy(&record, static_cast<const BYTE*>(output) + at, sizeof(record));
            produced += started ? (record.slot + kDriverSlots - expected) % kDriverSlots + 1 : record.slot + 1;
            expected = (record.slot + 1) % kDriverSlots;
            started = true;
        }
        return ok;
    }
    uint64_t produced = 0;

private:
    diag::HandleChannel inner;
    bool started = false;
    ULONG expected = 0;
};

void MonitorCapture(benchmark::State& state)
{
    const auto ports = static_cast<unsigned>(state.range(0));
    const auto baud = static_cast<uint32_t>(state.range(1));
    for (auto _ : state) {
        std::ostringstream out;
        bench::Session session(out, bench::SessionOptions{});
        diag::MonitorState monitorState;
        SlotCountingDriver driver(monitorState.device);
        Frame frame;
        diag::MonitorPolling polling(monitorState, driver, frame);
        std::vector<CountingChannel> channels(ports);
        std::vector<double> tickNs;
        int sinceTick = 0;

        bench::ThroughputOptions options;
        options.adapters = (ports + 3) / 4;
        options.ports = std::min(ports, 4u);
        options.baud = baud;
        options.seconds = kSeconds;
        bench::ThroughputHooks hooks;
        hooks.started = [&](const std::vector<std::string>& coms) {
            for (size_t i = 0; i < coms.size() && i < channels.size(); ++i) {
                monitorState.channels[i] = {static_cast<ULONG>(std::stoul(coms[i].substr(3))), &channels[i]};
            }
            polling.Resume();
        };
        hooks.everyMillisecond = [&] {
            if (++sinceTick < kPollMilliseconds) return;
            sinceTick = 0;
            const auto start = std::chrono::steady_clock::now();
            polling.Poll();
            tickNs.push_back(
                std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count());
        };
        const std::string result = bench::StreamThroughLoopbacks(session, options, hooks);
        polling.StopMonitoring();

        uint64_t captured = 0;
        for (const CountingChannel& channel : channels) captured += channel.captured;
        // Both over the streaming and draining time the polls covered.
        const double seconds = static_cast<double>(tickNs.size()) * kPollMilliseconds / 1000;
        state.counters["captured_per_s"] = static_cast<double>(captured) / seconds;
        state.counters["produced_per_s"] = static_cast<double>(driver.produced) / seconds;
        state.counters["overruns"] = frame.overruns;
        std::sort(tickNs.begin(), tickNs.end());
        double total = 0;
        for (const double ns : tickNs) total += ns;
        state.counters["tick_us_mean"] = tickNs.empty() ? 0 : total / tickNs.size() / 1000;
        state.counters["tick_us_p99"] = tickNs.empty() ? 0 : tickNs[tickNs.size() * 99 / 100] / 1000;
        state.SetLabel(result);
    }
}

}  // namespace

BENCHMARK(MonitorCapture)
    ->ArgsProduct({{1, 4, 8}, {115200, 921600}})
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

BENCHMARK_MAIN();
