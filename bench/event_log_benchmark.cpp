// The event log window's polling against a driver whose log fills at a
// steady rate: events posted through the driver's producer every 100 ms of
// virtual time, then the window's tick (requests, overrun count, decoding,
// the line arena) as its timer runs it. Reports the events shown per second
// against those posted, the overruns counted and the host time one tick
// costs (mean and 99th percentile).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <sstream>
#include <string>
#include <vector>

#include "assistant/diag/event_polling.h"
#include "assistant/diag/line_arena.h"
#include "bench_session.h"

namespace {

constexpr int kTicks = 100;  // 10 s of the window's 100 ms timer
constexpr double kTickSeconds = 0.1;

// The window's side: its lines kept as the view keeps them.
struct ArenaView final : diag::EventLogView {
    void AppendLine(const char* text) override { lines.Append(text, nextLine++); }
    void ShowOverruns(int count) override { overruns = count; }
    void Halt() override {}
    diag::LineArena lines;
    ULONG nextLine = 0;
    int overruns = 0;
};

void EventTick(benchmark::State& state)
{
    const auto perTick = static_cast<int>(state.range(0));
    for (auto _ : state) {
        std::ostringstream out;
        bench::Session session(out, bench::SessionOptions{});
        session.RunQuietly("plug A1");
        diag::EventLogState logState;
        diag::HandleChannel driver(logState.device);
        ArenaView view;
        diag::EventPolling polling(logState, driver, view);
        polling.enabled = 1;
        const std::string post = "testaid postevent 40 1 2 0 0 0 0 0 0 " + std::to_string(perTick);
        std::vector<double> tickNs;
        for (int tick = 0; tick < kTicks; ++tick) {
            session.RunQuietly(post);
            session.RunQuietly("wait 100ms");
            const auto start = std::chrono::steady_clock::now();
            polling.Tick();
            tickNs.push_back(
                std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count());
        }
        driver.Close();

        const double seconds = kTicks * kTickSeconds;
        state.counters["posted_per_s"] = perTick / kTickSeconds;
        state.counters["shown_per_s"] = logState.eventNumber / seconds;
        state.counters["overruns"] = view.overruns;
        std::sort(tickNs.begin(), tickNs.end());
        double total = 0;
        for (const double ns : tickNs) total += ns;
        state.counters["tick_us_mean"] = total / tickNs.size() / 1000;
        state.counters["tick_us_p99"] = tickNs[tickNs.size() * 99 / 100] / 1000;
    }
}

}  // namespace

BENCHMARK(EventTick)->Arg(10)->Arg(100)->Arg(150)->Arg(600)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

BENCHMARK_MAIN();
