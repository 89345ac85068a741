#include "hw/firmware/service_loop.h"

#include <algorithm>
#include <cmath>
#include <mutex>

#include "hw/serial/serial_lock.h"

namespace winsim::hw {

namespace {

// Guards which loop new clients enter: one that is stopping takes none.
std::mutex& LoopLock()
{
    static std::mutex lock;
    return lock;
}

std::weak_ptr<ServiceLoop>& CurrentLoop()
{
    static std::weak_ptr<ServiceLoop> loop;
    return loop;
}

}  // namespace

ServiceLoop::ServiceLoop() { KeInitializeEvent(&wake_, SynchronizationEvent, FALSE); }

void ServiceLoop::Enter(Client& client)
{
    std::lock_guard loopLock(LoopLock());
    std::shared_ptr<ServiceLoop> loop = CurrentLoop().lock();
    if (loop == nullptr) {
        loop = std::make_shared<ServiceLoop>();
        ServiceLoop* self = loop.get();
        // Waits forever while every port is idle: a daemon.
        loop->thread_ = Scheduler::Instance().Spawn("firmware", [self] { self->Run(); }, true);
        CurrentLoop() = loop;
    }
    std::lock_guard lk(serial::SerialLock());
    loop->clients_.push_back(&client);
    client.loop = std::move(loop);
}

void ServiceLoop::Leave(Client& client)
{
    {
        std::lock_guard loopLock(LoopLock());
        std::lock_guard lk(serial::SerialLock());
        std::erase(clients_, &client);
        if (!clients_.empty()) return;
        stopping_ = true;
        if (CurrentLoop().lock().get() == this) CurrentLoop().reset();
    }
    KeSetEvent(&wake_, IO_NO_INCREMENT, FALSE);
    thread_.Join();
}

void ServiceLoop::WakeLocked(Client& client)
{
    client.passWanted_ = true;
    if (passing_) {
        passAgain_ = true;
    } else {
        KeSetEvent(&wake_, IO_NO_INCREMENT, FALSE);
    }
}

void ServiceLoop::SoonLocked(Client& client)
{
    if (passing_ || sleepingUntil_ < 0 || sleepingUntil_ > Scheduler::Instance().Now() + kServicePeriod) {
        WakeLocked(client);
    }
}

void ServiceLoop::Run()
{
    for (;;) {
        Ticks now;
        Ticks due = -1;
        {
            std::lock_guard lk(serial::SerialLock());
            if (stopping_) return;
            now = Scheduler::Instance().Now();
            sleepingUntil_ = -1;
            passing_ = true;
            do {
                passAgain_ = false;
                due = -1;
                for (Client* client : clients_) {
                    const double next = client->ServiceLocked(now);
                    if (client->passWanted_ || client->periodStart_ < 0 ||
                        now >= client->periodStart_ + kServicePeriod) {
                        client->periodStart_ = now;
                    }
                    client->passWanted_ = false;
                    if (next < 0) continue;
                    const Ticks clientDue =
                        std::max(static_cast<Ticks>(std::ceil(next)), client->periodStart_ + kServicePeriod);
                    if (due < 0 || clientDue < due) due = clientDue;
                }
            } while (passAgain_);
            passing_ = false;
            sleepingUntil_ = due;
        }
        if (due < 0) {
            KeWaitForSingleObject(&wake_, Executive, KernelMode, FALSE, nullptr);
            continue;
        }
        LARGE_INTEGER timeout;
        timeout.QuadPart = -(due - now);
        KeWaitForSingleObject(&wake_, Executive, KernelMode, FALSE, &timeout);
    }
}

}  // namespace winsim::hw
