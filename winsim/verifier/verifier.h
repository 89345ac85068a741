// The machine's driver verifier: rule checks that stop a run with a readable
// report, in the spirit of Driver Verifier. Tests may capture violations
// instead of stopping, to prove that a rule fires.
#pragma once

#include <ntdef.h>

#include <functional>
#include <string>
#include <vector>

namespace winsim {

// Bug check codes as Windows numbers them; the rule text says which check.
enum class ViolationCode : ULONG {
    kIrqlNotLessOrEqual = 0x0A,
    kMultipleIrpComplete = 0x44,
    kBadPoolCaller = 0xC2,
    kDriverVerifierDetected = 0xC4,
    kIoManagerViolation = 0xC9,
    kPendingOperationsAtUnload = 0xCE,
    kIrqlWait = 0x0A,
    kIrqlPagedService = 0x0A + 0x100,  // same bug check, told apart by the rule
    kMutexNotOwned = 0x39,             // SYSTEM_EXIT_OWNED_MUTEX family
    kAssertionFailure = 0x1E,          // KMODE_EXCEPTION_NOT_HANDLED, STATUS_ASSERTION_FAILURE
    kForeignThread = 0x1000,           // winsim's own: not a Windows bug check
    kSimulationHang = 0x1001,
};

struct ViolationReport {
    ViolationCode code;
    std::string rule;
    std::string detail;
    std::string thread;
};

class Verifier {
public:
    // Reports a broken rule. Stops the process unless a capture is active, in
    // which case the report is recorded and the caller continues safely.
    static void Violation(ViolationCode code, const char* rule, const char* detail);

    // A callback (DPC routine, work item, completion routine) must return at
    // the IRQL it was called at.
    static void CheckIrqlAfterCallback(KIRQL expected, const char* what);

    // Paged code and paged services need IRQL below DISPATCH_LEVEL.
    static void CheckPagedCode(const char* what);

    // The scheduler, which sits above the verifier, tells it which thread
    // runs and at what IRQL. Until it does, every thread is the host's at
    // PASSIVE_LEVEL.
    struct ThreadQueries {
        const char* (*currentName)();
        KIRQL (*currentIrql)();
        void (*setCurrentIrql)(KIRQL irql);
    };
    static void SetThreadQueries(const ThreadQueries* queries);

    // Records violations instead of stopping, for the scope's lifetime.
    class Capture {
    public:
        Capture();
        ~Capture();
        Capture(const Capture&) = delete;
        Capture& operator=(const Capture&) = delete;
        std::vector<ViolationReport> Reports() const;
        bool Saw(const std::string& rule) const;
    };
};

std::string FormatViolation(const ViolationReport& report);

}  // namespace winsim
