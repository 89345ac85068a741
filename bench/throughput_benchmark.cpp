// The bench's throughput run for 1, 4 and 8 adapters, every port at 921600
// baud both ways: what fraction of the line rate arrives, what a byte costs
// on this host, and how much faster than real time the simulation runs.
// The figures cover the streaming time, from the moment every port streams
// to the end of the lines' drain. Processor time and context switches come
// from getrusage: on a loaded host they vary less than the wall clock does.
// QTR_THREAD_SWITCHES=1 also prints each host thread's switches.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>

#include "bench_session.h"
#include "commands/throughput_command.h"

namespace {

constexpr unsigned kSeconds = 5;

double Field(const std::string& line, const char* name)
{
    const std::regex pattern(std::string(name) + "=(\\d+)");
    std::smatch m;
    return std::regex_search(line, m, pattern) ? std::stod(m[1]) : -1;
}

struct Sample {
    std::chrono::steady_clock::time_point real;
    winsim::Ticks virtualTime;
    double cpuNs;
    double switches;
};

Sample Take(bench::Session& session)
{
    rusage usage = {};
    getrusage(RUSAGE_SELF, &usage);
    auto ns = [](const timeval& t) { return static_cast<double>(t.tv_sec) * 1e9 + static_cast<double>(t.tv_usec) * 1e3; };
    return {std::chrono::steady_clock::now(), session.Machine().Sim().Now(), ns(usage.ru_utime) + ns(usage.ru_stime),
            static_cast<double>(usage.ru_nvcsw + usage.ru_nivcsw)};
}

// Voluntary and involuntary switches of each host thread, summed by name
// (the adapters' threads share theirs).
std::map<std::string, std::pair<long, long>> ThreadSwitches()
{
    std::map<std::string, std::pair<long, long>> byName;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::string name;
        std::getline(std::ifstream(task.path() / "comm"), name);
        name = name.substr(0, name.find(' '));
        std::ifstream status(task.path() / "status");
        for (std::string line; std::getline(status, line);) {
            if (line.starts_with("voluntary_ctxt_switches:")) byName[name].first += std::stol(line.substr(24));
            if (line.starts_with("nonvoluntary_ctxt_switches:")) byName[name].second += std::stol(line.substr(27));
        }
    }
    return byName;
}

void PrintThreadSwitches(const std::map<std::string, std::pair<long, long>>& before,
                         const std::map<std::string, std::pair<long, long>>& after, double virtualMs)
{
    for (const auto& [name, counts] : after) {
        auto it = before.find(name);
        const long voluntary = counts.first - (it == before.end() ? 0 : it->second.first);
        const long involuntary = counts.second - (it == before.end() ? 0 : it->second.second);
        std::printf("  %-16s voluntary/ms=%7.2f involuntary/ms=%7.2f\n", name.c_str(), voluntary / virtualMs,
                    involuntary / virtualMs);
    }
}

void Throughput(benchmark::State& state)
{
    const bool perThread = std::getenv("QTR_THREAD_SWITCHES") != nullptr;
    bench::ThroughputOptions options;
    options.adapters = static_cast<unsigned>(state.range(0));
    options.seconds = kSeconds;
    for (auto _ : state) {
        std::ostringstream out;
        bench::Session session(out, bench::SessionOptions{});
        Sample start{};
        Sample end{};
        std::map<std::string, std::pair<long, long>> threadsAtStart;
        std::map<std::string, std::pair<long, long>> threadsAtEnd;
        winsim::Ticks threadsEnd = 0;
        bench::ThroughputHooks hooks;
        hooks.started = [&](const std::vector<std::string>&) {
            if (perThread) threadsAtStart = ThreadSwitches();
            start = Take(session);
        };
        // Per thread while the lines stream: the adapters' threads are gone
        // once the run returns.
        hooks.everyMillisecond = [&] {
            end = Take(session);
            if (perThread && threadsEnd == 0 && end.virtualTime - start.virtualTime >= kSeconds * winsim::kTicksPerSecond) {
                threadsAtEnd = ThreadSwitches();
                threadsEnd = end.virtualTime;
            }
        };
        const std::string line = bench::StreamThroughLoopbacks(session, options, hooks);
        const double realSeconds = std::chrono::duration<double>(end.real - start.real).count();
        const double virtualSeconds = static_cast<double>(end.virtualTime - start.virtualTime) / winsim::kTicksPerSecond;
        const double bytes = Field(line, "bytes");
        state.counters["bytes"] = bytes;
        state.counters["lost"] = Field(line, "lost");
        state.counters["corrupt"] = Field(line, "corrupt");
        state.counters["rate_pct"] = Field(line, "virtual-rate");
        state.counters["host_ns_per_byte"] = Field(line, "host-ns-per-byte");
        state.counters["virtual_per_real"] = virtualSeconds / realSeconds;
        state.counters["cpu_ns_per_byte"] = bytes > 0 ? (end.cpuNs - start.cpuNs) / bytes : 0;
        state.counters["switches_per_ms"] = (end.switches - start.switches) / (virtualSeconds * 1000);
        if (perThread) {
            PrintThreadSwitches(threadsAtStart, threadsAtEnd,
                                static_cast<double>(threadsEnd - start.virtualTime) / winsim::kTicksPerMillisecond);
        }
    }
}

BENCHMARK(Throughput)->Arg(1)->Arg(4)->Arg(8)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
