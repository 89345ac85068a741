// Simulation threads: spawned ones, host threads attached for a while, and
// each thread's IRQL.
#include "sched/scheduler_state.h"
#include "verifier/verifier.h"

#include <pthread.h>

namespace winsim {

namespace {

thread_local SimThread* t_current = nullptr;
thread_local KIRQL t_hostIrql = PASSIVE_LEVEL;

// The verifier, below the scheduler, learns from here which thread broke a
// rule; set before main, so no report goes without it.
const Verifier::ThreadQueries kThreadQueries = {&Scheduler::CurrentThreadName, &Scheduler::CurrentIrql,
                                                &Scheduler::SetCurrentIrql};
[[maybe_unused]] const bool g_threadQueriesSet = (Verifier::SetThreadQueries(&kThreadQueries), true);

}  // namespace

SimThread* Scheduler::State::Register(std::string name, bool daemon)
{
    auto* t = new SimThread;
    t->name = std::move(name);
    t->processor = processor;
    t->daemon = daemon;
    threads.insert(t);
    running++;
    if (!daemon) nonDaemonThreads++;
    return t;
}

void Scheduler::State::Unregister(SimThread* t)
{
    threads.erase(t);
    running--;
    if (!t->daemon) nonDaemonThreads--;
    delete t;
    if (running == 0) AdvanceLocked();
}

SimThread* Scheduler::CurrentThread() { return t_current; }

KIRQL Scheduler::CurrentIrql() { return t_current != nullptr ? t_current->irql : t_hostIrql; }

void Scheduler::SetCurrentIrql(KIRQL irql)
{
    if (t_current != nullptr) {
        t_current->irql = irql;
    } else {
        t_hostIrql = irql;
    }
}

const char* Scheduler::CurrentThreadName() { return t_current != nullptr ? t_current->name.c_str() : "host"; }

Thread Scheduler::Spawn(std::string name, std::function<void()> body, bool daemon)
{
    Thread handle;
    handle.exited_ = std::make_unique<KEVENT>();
    InitializeObject(&handle.exited_->Header, kObjectNotificationEvent, 0);
    SimThread* t;
    {
        SchedulerLock lk(state_->lock, state_->woken);
        t = state_->Register(std::move(name), daemon);
    }
    KEVENT* exited = handle.exited_.get();
    handle.thread_ = std::thread([this, t, exited, body = std::move(body)] {
        // Named for profilers and /proc (at most 15 characters).
        pthread_setname_np(pthread_self(), t->name.substr(0, 15).c_str());
        t->processor.Confine();
        t_current = t;
        body();
        t_current = nullptr;
        SchedulerLock lk(state_->lock, state_->woken);
        exited->Header.SignalState = 1;
        state_->SignalObject(&exited->Header);
        state_->Unregister(t);
    });
    return handle;
}

Thread::Thread(Thread&&) noexcept = default;
Thread& Thread::operator=(Thread&&) noexcept = default;

Thread::~Thread()
{
    if (thread_.joinable()) Join();
}

bool Thread::Ended() const { return exited_ != nullptr && Scheduler::Instance().ReadState(&exited_->Header) != 0; }

void Thread::Join()
{
    if (Scheduler::CurrentThread() != nullptr) {
        PVOID object = exited_.get();
        Scheduler::Instance().Wait(1, &object, WaitAny, nullptr);
    }
    thread_.join();
}

Scheduler::Attachment::Attachment(std::string name)
{
    Scheduler& s = Instance();
    SchedulerLock lk(s.state_->lock, s.state_->woken);
    thread_ = s.state_->Register(std::move(name), false);
    thread_->processor.Confine();
    t_current = thread_;
}

Scheduler::HeldWakes::HeldWakes() : thread_(CurrentThread())
{
    if (thread_ != nullptr) thread_->wakeHolds++;
}

Scheduler::HeldWakes::~HeldWakes()
{
    if (thread_ == nullptr || --thread_->wakeHolds > 0) return;
    // Cleared, not given away: the next hold reuses its storage.
    for (SimThread* t : thread_->heldWakes) t->wake.Release();
    thread_->heldWakes.clear();
}

Scheduler::Attachment::~Attachment()
{
    Scheduler& s = Instance();
    t_current = nullptr;
    thread_->processor.Release();
    SchedulerLock lk(s.state_->lock, s.state_->woken);
    s.state_->Unregister(thread_);
}

}  // namespace winsim
