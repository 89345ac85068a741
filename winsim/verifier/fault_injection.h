// Low-resources simulation for the pool: make chosen allocations fail the way
// a starved machine fails them (ExAllocatePoolWithTag returns NULL). One plan
// is armed at a time; arming a plan restarts its counters. Only allocations
// within the plan's tag scope are counted or failed.
//
// A sweep of an operation: CountOnly(scope), run it once, read
// AllocationsSinceArmed() = n; then for i in 1..n FailNth(i, scope) and run
// it again.
#pragma once

#include <ntdef.h>

#include "verifier/pool.h"

namespace winsim {

class FaultInjection {
public:
    // Counts allocations in scope without failing any.
    static void CountOnly(const TagFilter& scope = TagFilter::All());
    // Fails the n-th allocation in scope from now (n from 1), and only that one.
    static void FailNth(ULONG64 n, const TagFilter& scope = TagFilter::All());
    // Fails every allocation in scope.
    static void FailEvery(const TagFilter& scope);
    // Fails each allocation in scope with the given probability, drawn from a
    // generator seeded with the given seed.
    static void FailRandomly(double probability, ULONG64 seed, const TagFilter& scope = TagFilter::All());
    // Stops counting and failing; the counters keep their last values.
    static void Disarm();

    // Allocations in scope since arming, failed ones included.
    static ULONG64 AllocationsSinceArmed();
    static ULONG64 FailuresSinceArmed();
    // The tag of the last allocation the plan failed; 0 when none failed.
    static ULONG LastFailedTag();

    // The pool's question before each allocation: counts it and says whether
    // it must fail.
    static bool ShouldFail(ULONG tag);
};

}  // namespace winsim
