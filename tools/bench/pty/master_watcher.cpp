#include "pty/master_watcher.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <system_error>

namespace bench {

namespace {

// With no program on the slave the master reports a hang-up all the time;
// a new open is looked for this often.
constexpr int kOpenPollMs = 20;

void Drain(int fd)
{
    char discard[64];
    while (read(fd, discard, sizeof discard) > 0) {
    }
}

}  // namespace

MasterWatcher::MasterWatcher(int master, std::function<void()> ready)
    : master_(master), ready_(std::move(ready))
{
    if (pipe2(interrupt_, O_NONBLOCK | O_CLOEXEC) != 0)
        throw std::system_error(errno, std::generic_category(), "pipe");
    thread_ = std::thread([this] { Run(); });
}

MasterWatcher::~MasterWatcher()
{
    {
        std::lock_guard lk(lock_);
        stopping_ = true;
    }
    armed_.notify_one();
    const char wake = 0;
    (void)!write(interrupt_[1], &wake, 1);
    thread_.join();
    close(interrupt_[0]);
    close(interrupt_[1]);
}

void MasterWatcher::Arm(Interest interest)
{
    {
        std::lock_guard lk(lock_);
        interest_ = interest;
        pending_ = true;
    }
    armed_.notify_one();
    const char wake = 0;
    (void)!write(interrupt_[1], &wake, 1);
}

void MasterWatcher::Run()
{
    for (;;) {
        Interest interest;
        {
            std::unique_lock lk(lock_);
            armed_.wait(lk, [this] { return stopping_ || pending_; });
            if (stopping_)
                return;
            interest = interest_;
        }
        if (!WaitFor(interest))
            continue;  // armed anew meanwhile, or ending
        bool fire = false;
        {
            std::lock_guard lk(lock_);
            // Re-armed while polling: the new interest is looked at first.
            fire = pending_ && !stopping_;
            pending_ = false;
        }
        if (fire)
            ready_();
    }
}

// True when the interest came; false when the interrupt pipe broke the wait.
bool MasterWatcher::WaitFor(const Interest& interest)
{
    const short events = static_cast<short>((interest.input ? POLLIN : 0) | (interest.room ? POLLOUT : 0));
    for (;;) {
        pollfd fds[2] = {{master_, events, 0}, {interrupt_[0], POLLIN, 0}};
        if (interest.clientPresent) {
            if (poll(fds, 2, -1) < 0)
                continue;
        } else {
            // The hang-up stays reported: poll the pipe alone, then look.
            if (poll(&fds[1], 1, kOpenPollMs) < 0)
                continue;
            poll(fds, 1, 0);
        }
        if ((fds[1].revents & POLLIN) != 0) {
            Drain(interrupt_[0]);
            return false;
        }
        const bool hungUp = (fds[0].revents & POLLHUP) != 0;
        if ((fds[0].revents & events) != 0 || hungUp == interest.clientPresent)
            return true;
    }
}

}  // namespace bench
