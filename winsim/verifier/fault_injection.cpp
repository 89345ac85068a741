#include "verifier/fault_injection.h"

#include <atomic>
#include <mutex>
#include <random>

namespace winsim {

namespace {

enum class Plan { None, Count, Nth, Every, Random };

struct State {
    std::mutex lock;
    // Read without the lock by every allocation, so that an unarmed pool
    // takes no lock here.
    std::atomic<bool> armed{false};
    Plan plan = Plan::None;
    TagFilter scope = TagFilter::All();
    ULONG64 nth = 0;
    double probability = 0;
    // mt19937_64 is fully specified by the standard, so a seed replays the
    // same failures on every host.
    std::mt19937_64 random;
    ULONG64 allocations = 0;
    ULONG64 failures = 0;
    ULONG lastFailedTag = 0;
};

State& S()
{
    static State* state = new State;  // outlives static destructors that still free pool
    return *state;
}

void Arm(Plan plan, const TagFilter& scope, ULONG64 nth = 0, double probability = 0, ULONG64 seed = 0)
{
    State& s = S();
    std::lock_guard lk(s.lock);
    s.plan = plan;
    s.armed = true;
    s.scope = scope;
    s.nth = nth;
    s.probability = probability;
    s.random.seed(seed);
    s.allocations = 0;
    s.failures = 0;
    s.lastFailedTag = 0;
}

}  // namespace

void FaultInjection::CountOnly(const TagFilter& scope)
{
    Arm(Plan::Count, scope);
}

void FaultInjection::FailNth(ULONG64 n, const TagFilter& scope)
{
    Arm(Plan::Nth, scope, n);
}

void FaultInjection::FailEvery(const TagFilter& scope)
{
    Arm(Plan::Every, scope);
}

void FaultInjection::FailRandomly(double probability, ULONG64 seed, const TagFilter& scope)
{
    Arm(Plan::Random, scope, 0, probability, seed);
}

void FaultInjection::Disarm()
{
    State& s = S();
    std::lock_guard lk(s.lock);
    s.plan = Plan::None;
    s.armed = false;
}

ULONG64 FaultInjection::AllocationsSinceArmed()
{
    State& s = S();
    std::lock_guard lk(s.lock);
    return s.allocations;
}

ULONG64 FaultInjection::FailuresSinceArmed()
{
    State& s = S();
    std::lock_guard lk(s.lock);
    return s.failures;
}

ULONG FaultInjection::LastFailedTag()
{
    State& s = S();
    std::lock_guard lk(s.lock);
    return s.lastFailedTag;
}

bool FaultInjection::ShouldFail(ULONG tag)
{
    State& s = S();
    if (!s.armed.load(std::memory_order_acquire))
        return false;
    std::lock_guard lk(s.lock);
    if (s.plan == Plan::None || !s.scope.Matches(tag))
        return false;
    ULONG64 number = ++s.allocations;
    bool fail = false;
    switch (s.plan) {
    case Plan::Nth:
        fail = number == s.nth;
        break;
    case Plan::Every:
        fail = true;
        break;
    case Plan::Random:
        // 53 random bits as a fraction in [0, 1).
        fail = static_cast<double>(s.random() >> 11) * 0x1.0p-53 < s.probability;
        break;
    case Plan::None:
    case Plan::Count:
        break;
    }
    if (fail) {
        ++s.failures;
        s.lastFailedTag = tag;
    }
    return fail;
}

}  // namespace winsim
