// The main loops of every adapter's application firmware, run by one
// simulation thread. Each adapter has a microcontroller of its own, but
// running their service passes together costs one host thread switch per
// pass for all adapters instead of one per adapter. A pass services every
// firmware; each firmware's passes come as its own loop's would, at most
// once per its service period while characters flow and at once when it
// needs one sooner, and the others' fall in between.
#pragma once

#include <km_ke.h>

#include <memory>
#include <vector>

#include "sched/scheduler.h"

namespace winsim::hw {

class ServiceLoop {
public:
    // The firmware's main loop passes at most this often while characters flow.
    static constexpr Ticks kServicePeriod = kTicksPerMillisecond;

    class Client {
    public:
        virtual ~Client() = default;
        // Services the client's ports under the serial lock; returns when it
        // next needs a pass, or a negative value while it is idle.
        virtual double ServiceLocked(Ticks now) = 0;

        // The loop the client entered; set before its first pass.
        std::shared_ptr<ServiceLoop> loop;

    private:
        friend class ServiceLoop;
        // Under the serial lock: the start of the client's own service
        // period, and whether it asked for the coming pass. A pass that
        // another client asked for serves it too but keeps its period, so
        // that no client's wake-up pushes back another's next pass.
        Ticks periodStart_ = -1;
        bool passWanted_ = false;
    };

    // Makes the client one of the loop's, the loop started for the first
    // client and ended with the last. Call on a simulation thread.
    static void Enter(Client& client);
    // The last client stops the loop's thread; call on a simulation thread,
    // without the serial lock.
    void Leave(Client& client);

    // Under the serial lock: the client needs a pass now, or within the
    // service period (a loop asleep until the period ends needs no wake:
    // its pass then catches up with every character due).
    void WakeLocked(Client& client);
    void SoonLocked(Client& client);

    ServiceLoop();
    ServiceLoop(const ServiceLoop&) = delete;
    ServiceLoop& operator=(const ServiceLoop&) = delete;

private:
    void Run();

    // Under the serial lock.
    std::vector<Client*> clients_;
    bool stopping_ = false;
    // In a pass (what wakes the loop then is the pass's own doing: it goes
    // round once more), or asleep until a due time (-1: running, or idle
    // until woken).
    bool passing_ = false;
    bool passAgain_ = false;
    Ticks sleepingUntil_ = -1;

    KEVENT wake_;
    Thread thread_;
};

}  // namespace winsim::hw
