// Dispatcher objects: events and mutexes, and the waits on them.
#include "sched/scheduler_state.h"

#include "verifier/verifier.h"

namespace winsim {

namespace {

void InitializeListHead(LIST_ENTRY* head) { head->Flink = head->Blink = head; }

void InsertTailList(LIST_ENTRY* head, LIST_ENTRY* entry)
{
    entry->Flink = head;
    entry->Blink = head->Blink;
    head->Blink->Flink = entry;
    head->Blink = entry;
}

void InsertHeadList(LIST_ENTRY* head, LIST_ENTRY* entry)
{
    entry->Flink = head->Flink;
    entry->Blink = head;
    head->Flink->Blink = entry;
    head->Flink = entry;
}

void RemoveEntryList(LIST_ENTRY* entry)
{
    entry->Blink->Flink = entry->Flink;
    entry->Flink->Blink = entry->Blink;
    entry->Flink = entry->Blink = entry;
}

bool IsSynchronization(const DISPATCHER_HEADER* h)
{
    return h->Type == kObjectSynchronizationEvent || h->Type == kObjectSynchronizationTimer;
}

bool IsSignaled(const DISPATCHER_HEADER* h, const SimThread* t)
{
    if (h->Type == kObjectMutant) {
        auto* m = CONTAINING_RECORD(h, KMUTANT, Header);
        return h->SignalState > 0 || m->OwnerThread == reinterpret_cast<PKTHREAD>(const_cast<SimThread*>(t));
    }
    return h->SignalState > 0;
}

void Consume(DISPATCHER_HEADER* h, SimThread* t)
{
    if (h->Type == kObjectMutant) {
        auto* m = CONTAINING_RECORD(h, KMUTANT, Header);
        h->SignalState--;
        m->OwnerThread = reinterpret_cast<PKTHREAD>(t);
    } else if (IsSynchronization(h)) {
        h->SignalState = 0;
    }
}

bool TrySatisfy(SimThread* t, ULONG hitIndex, NTSTATUS* status)
{
    if (t->waitType == WaitAny) {
        DISPATCHER_HEADER* h = t->blocks[hitIndex].object;
        if (!IsSignaled(h, t)) return false;
        Consume(h, t);
        *status = static_cast<NTSTATUS>(STATUS_WAIT_0 + hitIndex);
        return true;
    }
    for (ULONG i = 0; i < t->count; ++i) {
        if (!IsSignaled(t->blocks[i].object, t)) return false;
    }
    for (ULONG i = 0; i < t->count; ++i) Consume(t->blocks[i].object, t);
    *status = STATUS_WAIT_0;
    return true;
}

}  // namespace

void Scheduler::State::Wake(SimThread* t, NTSTATUS status)
{
    for (ULONG i = 0; i < t->count; ++i) RemoveEntryList(&t->blocks[i].link);
    if (t->timed) timedWaits.erase({t->deadline, t});
    t->timed = false;
    t->waiting = false;
    t->satisfied = true;
    t->status = status;
    running++;
    if (t->runsWork) workersActive++;
    woken.push_back(t);
}

void Scheduler::State::SignalObject(DISPATCHER_HEADER* h)
{
    LIST_ENTRY* entry = h->WaitListHead.Flink;
    while (entry != &h->WaitListHead && h->SignalState > 0) {
        LIST_ENTRY* next = entry->Flink;
        auto* block = CONTAINING_RECORD(entry, WaitBlock, link);
        NTSTATUS status;
        if (block->thread->waiting && TrySatisfy(block->thread, block->index, &status)) {
            Wake(block->thread, status);
            // Waking unlinks the thread's blocks; restart from the head.
            next = h->WaitListHead.Flink;
        }
        entry = next;
    }
}

NTSTATUS Scheduler::State::BlockLocked(SchedulerLock& lk, SimThread* t, bool relock)
{
    t->waiting = true;
    t->satisfied = false;
    if (t->runsWork) {
        // A blocked item lets another worker take the queue's next one.
        workersActive--;
        SummonWorkerLocked();
    }
    running--;
    if (running == 0) AdvanceLocked();
    // Held wakes go with the lock: what the thread waits for may be theirs.
    const int holds = std::exchange(t->wakeHolds, 0);
    woken.insert(woken.end(), t->heldWakes.begin(), t->heldWakes.end());
    t->heldWakes.clear();
    lk.unlock();
    t->wake.Acquire();
    t->wakeHolds = holds;
    if (relock) lk.lock();
    return t->status;
}

NTSTATUS Scheduler::State::WaitLocked(SchedulerLock& lk, SimThread* t, ULONG count, PVOID objects[],
                                      WAIT_TYPE waitType, const LARGE_INTEGER* timeout, bool relock,
                                      WaitPlace place)
{
    t->waitType = waitType;
    t->count = count;
    for (ULONG i = 0; i < count; ++i) {
        t->blocks[i].thread = t;
        t->blocks[i].object = static_cast<DISPATCHER_HEADER*>(objects[i]);
        t->blocks[i].index = i;
    }
    // Already satisfied?
    NTSTATUS status;
    if (waitType == WaitAll) {
        if (TrySatisfy(t, 0, &status)) return status;
    } else {
        for (ULONG i = 0; i < count; ++i) {
            if (TrySatisfy(t, i, &status)) return status;
        }
    }
    Ticks deadline = 0;
    if (timeout != nullptr) {
        if (timeout->QuadPart == 0) return STATUS_TIMEOUT;
        deadline = DeadlineFromTimeout(*timeout);
        if (deadline <= CurrentTicks()) return STATUS_TIMEOUT;
    }
    t->count = count;
    for (ULONG i = 0; i < count; ++i) {
        LIST_ENTRY* list = &t->blocks[i].object->WaitListHead;
        if (place == WaitPlace::InFront) {
            InsertHeadList(list, &t->blocks[i].link);
        } else {
            InsertTailList(list, &t->blocks[i].link);
        }
    }
    t->timed = timeout != nullptr;
    t->deadline = deadline;
    if (t->timed) {
        timedWaits.insert({deadline, t});
        clockCv.notify_one();
    }
    return BlockLocked(lk, t, relock);
}

void Scheduler::InitializeObject(DISPATCHER_HEADER* header, UCHAR type, LONG signalState)
{
    header->Type = type;
    header->SignalState = signalState;
    header->Reserved = 0;
    InitializeListHead(&header->WaitListHead);
}

LONG Scheduler::SetEvent(KEVENT* event)
{
    SchedulerLock lk(state_->lock, state_->woken);
    LONG previous = event->Header.SignalState;
    event->Header.SignalState = 1;
    state_->SignalObject(&event->Header);
    return previous;
}

LONG Scheduler::ResetEvent(KEVENT* event)
{
    SchedulerLock lk(state_->lock, state_->woken);
    LONG previous = event->Header.SignalState;
    event->Header.SignalState = 0;
    return previous;
}

LONG Scheduler::ReadState(const DISPATCHER_HEADER* header)
{
    SchedulerLock lk(state_->lock, state_->woken);
    return header->SignalState;
}

LONG Scheduler::ReleaseMutex(KMUTEX* mutex)
{
    SchedulerLock lk(state_->lock, state_->woken);
    if (mutex->OwnerThread != reinterpret_cast<PKTHREAD>(CurrentThread())) {
        Verifier::Violation(ViolationCode::kMutexNotOwned, "mutex released by a thread that does not own it",
                            Scheduler::CurrentThreadName());
        return mutex->Header.SignalState;
    }
    LONG previous = mutex->Header.SignalState;
    if (++mutex->Header.SignalState == 1) {
        mutex->OwnerThread = nullptr;
        state_->SignalObject(&mutex->Header);
    }
    return previous;
}

NTSTATUS Scheduler::Wait(ULONG count, PVOID objects[], WAIT_TYPE waitType, const LARGE_INTEGER* timeout)
{
    SimThread* t = CurrentThread();
    if (t == nullptr) {
        Verifier::Violation(ViolationCode::kForeignThread, "wait from a thread outside the simulation",
                            "attach the thread with Scheduler::Attachment first");
        return STATUS_INVALID_PARAMETER;
    }
    if (count == 0 || count > kMaximumWaitObjects) return STATUS_INVALID_PARAMETER;
    if (t->irql >= DISPATCH_LEVEL && (timeout == nullptr || timeout->QuadPart != 0)) {
        Verifier::Violation(ViolationCode::kIrqlWait, "wait at DISPATCH_LEVEL with a non-zero time-out",
                            t->name.c_str());
        return STATUS_INVALID_PARAMETER;
    }
    SchedulerLock lk(state_->lock, state_->woken);
    return state_->WaitLocked(lk, t, count, objects, waitType, timeout, false);
}

NTSTATUS Scheduler::Delay(const LARGE_INTEGER* interval)
{
    KEVENT never;
    InitializeObject(&never.Header, kObjectNotificationEvent, 0);
    PVOID object = &never;
    NTSTATUS status = Wait(1, &object, WaitAny, interval);
    return status == STATUS_TIMEOUT ? STATUS_SUCCESS : status;
}

}  // namespace winsim
