// The bench's throughput run for 1, 4 and 8 adapters, every port at 921600
// baud both ways: what fraction of the line rate arrives, what a byte costs
// on this host, and how much faster than real time the simulation runs.
#include <benchmark/benchmark.h>

#include <chrono>
#include <regex>
#include <sstream>
#include <string>

#include "bench_session.h"

namespace {

constexpr int kSeconds = 5;

double Field(const std::string& line, const char* name)
{
    const std::regex pattern(std::string(name) + "=(\\d+)");
    std::smatch m;
    return std::regex_search(line, m, pattern) ? std::stod(m[1]) : -1;
}

void Throughput(benchmark::State& state)
{
    const auto adapters = static_cast<int>(state.range(0));
    for (auto _ : state) {
        std::ostringstream out;
        bench::Session session(out, bench::SessionOptions{});
        const winsim::Ticks virtualStart = session.Machine().Sim().Now();
        const auto realStart = std::chrono::steady_clock::now();
        const std::string line = session.RunQuietly("throughput adapters=" + std::to_string(adapters) +
                                                    " seconds=" + std::to_string(kSeconds));
        const double realSeconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - realStart).count();
        const double virtualSeconds =
            static_cast<double>(session.Machine().Sim().Now() - virtualStart) / winsim::kTicksPerSecond;
        state.counters["bytes"] = Field(line, "bytes");
        state.counters["lost"] = Field(line, "lost");
        state.counters["corrupt"] = Field(line, "corrupt");
        state.counters["rate_pct"] = Field(line, "virtual-rate");
        state.counters["host_ns_per_byte"] = Field(line, "host-ns-per-byte");
        state.counters["virtual_per_real"] = virtualSeconds / realSeconds;
    }
}

BENCHMARK(Throughput)->Arg(1)->Arg(4)->Arg(8)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
