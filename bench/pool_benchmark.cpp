// The verifier pool's cost per allocation and free: a driver's pattern of a
// few dozen blocks in flight, each freed some allocations after it was
// made, on one host thread and on two at once (what the bus and a worker do
// when both processors run). Reports host ns per allocation-and-free pair.
#include <benchmark/benchmark.h>

#include <km_ex.h>

#include <array>

#include "verifier/pool.h"

namespace {

constexpr ULONG kTag = winsim::PoolTag("BnCh");
constexpr size_t kInFlight = 32;

void AllocateAndFree(benchmark::State& state)
{
    const auto size = static_cast<SIZE_T>(state.range(0));
    std::array<PVOID, kInFlight> inFlight{};
    size_t next = 0;
    for (auto _ : state) {
        if (inFlight[next] != nullptr) ExFreePoolWithTag(inFlight[next], kTag);
        inFlight[next] = ExAllocatePoolWithTag(NonPagedPoolNx, size, kTag);
        benchmark::DoNotOptimize(inFlight[next]);
        next = (next + 1) % kInFlight;
    }
    for (PVOID p : inFlight) {
        if (p != nullptr) ExFreePoolWithTag(p, kTag);
    }
}

BENCHMARK(AllocateAndFree)->Arg(64)->Arg(512)->Threads(1)->Threads(2)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
