#include <km_ke.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "verifier/verifier.h"

namespace winsim {

namespace {

std::mutex g_lock;
int g_captureDepth = 0;
std::vector<ViolationReport> g_captured;
std::atomic<const Verifier::ThreadQueries*> g_threads{nullptr};

const char* CurrentThreadName()
{
    const Verifier::ThreadQueries* threads = g_threads.load(std::memory_order_acquire);
    return threads != nullptr ? threads->currentName() : "host";
}

KIRQL CurrentIrql()
{
    const Verifier::ThreadQueries* threads = g_threads.load(std::memory_order_acquire);
    return threads != nullptr ? threads->currentIrql() : PASSIVE_LEVEL;
}

}  // namespace

std::string FormatViolation(const ViolationReport& report)
{
    char code[32];
    std::snprintf(code, sizeof code, "0x%X", static_cast<unsigned>(report.code) & 0xFFFFu);
    return std::string("*** winsim bug check ") + code + ": " + report.rule + "\n    thread: " + report.thread +
           "\n    " + report.detail + "\n";
}

void Verifier::Violation(ViolationCode code, const char* rule, const char* detail)
{
    ViolationReport report{code, rule, detail != nullptr ? detail : "", CurrentThreadName()};
    {
        std::lock_guard lk(g_lock);
        if (g_captureDepth > 0) {
            g_captured.push_back(report);
            return;
        }
    }
    // Whatever was printed before the fault comes first, even into a pipe.
    std::fflush(stdout);
    std::fputs(FormatViolation(report).c_str(), stderr);
    std::fflush(stderr);
    std::abort();
}

void Verifier::CheckIrqlAfterCallback(KIRQL expected, const char* what)
{
    KIRQL irql = CurrentIrql();
    if (irql != expected) {
        std::string detail = std::string(what) + " returned at IRQL " + std::to_string(irql) + ", called at " +
                             std::to_string(expected);
        Violation(ViolationCode::kDriverVerifierDetected, "IRQL changed across a callback", detail.c_str());
        if (const ThreadQueries* threads = g_threads.load(std::memory_order_acquire)) {
            threads->setCurrentIrql(expected);
        }
    }
}

void Verifier::CheckPagedCode(const char* what)
{
    KIRQL irql = CurrentIrql();
    if (irql >= DISPATCH_LEVEL) {
        std::string detail = std::string(what) + " called at IRQL " + std::to_string(irql);
        Violation(ViolationCode::kIrqlPagedService, "paged code or service at raised IRQL", detail.c_str());
    }
}

void Verifier::SetThreadQueries(const ThreadQueries* queries) { g_threads.store(queries, std::memory_order_release); }

Verifier::Capture::Capture()
{
    std::lock_guard lk(g_lock);
    if (g_captureDepth++ == 0) g_captured.clear();
}

Verifier::Capture::~Capture()
{
    std::lock_guard lk(g_lock);
    --g_captureDepth;
}

std::vector<ViolationReport> Verifier::Capture::Reports() const
{
    std::lock_guard lk(g_lock);
    return g_captured;
}

bool Verifier::Capture::Saw(const std::string& rule) const
{
    std::lock_guard lk(g_lock);
    for (const auto& r : g_captured) {
        if (r.rule == rule) return true;
    }
    return false;
}

}  // namespace winsim
