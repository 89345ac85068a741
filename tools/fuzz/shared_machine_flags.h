// libFuzzer flags for a target whose inputs share one long-lived simulated
// machine. Its heap changes with every input (logs, the verifier's memory of
// freed IRPs, registry copies), so libFuzzer's own leak check, which runs
// when an input allocated more than it freed, would scan the whole heap
// after nearly every input, most of such a target's time. These targets
// check each input's leaks themselves (pool, local memory); LeakSanitizer
// still checks the heap when the run ends. An input reaches tens of
// thousands of features, whose rarity the entropic schedule would weigh
// one by one: a fifth of the time, for little gain at a few hundred inputs
// a second.
#pragma once

#include <vector>

namespace qtr_fuzz {

// For LLVMFuzzerInitialize: the flags go first, so the caller's win.
inline void UseSharedMachineFlags(int* argc, char*** argv)
{
    static char noPerInputHeapScan[] = "-detect_leaks=0";
    static char noEntropicSchedule[] = "-entropic=0";
    static std::vector<char*> args;
    args.assign(*argv, *argv + *argc);
    args.insert(args.begin() + 1, {noPerInputHeapScan, noEntropicSchedule});
    args.push_back(nullptr);
    *argv = args.data();
    *argc = static_cast<int>(args.size()) - 1;
}

}  // namespace qtr_fuzz
