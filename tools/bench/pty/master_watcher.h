// A host thread that watches a pseudo-terminal's master for the bridge and
// calls `ready` when what the bridge waits for has come: input to read,
// room to write, or a program opening or closing the slave. The bridge,
// a thread of the simulated PC, cannot wait on a Linux descriptor itself.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace bench {

class MasterWatcher {
public:
    MasterWatcher(int master, std::function<void()> ready);
    ~MasterWatcher();
    MasterWatcher(const MasterWatcher&) = delete;
    MasterWatcher& operator=(const MasterWatcher&) = delete;

    struct Interest {
        bool input = false;
        bool room = false;
        // A program has the slave open: its close is news; else its open.
        bool clientPresent = false;
    };
    // Watches for this until it comes, then calls `ready` once.
    void Arm(Interest interest);

private:
    void Run();
    bool WaitFor(const Interest& interest);

    const int master_;
    const std::function<void()> ready_;
    int interrupt_[2] = {-1, -1};  // a pipe: Arm and the end break a poll
    std::mutex lock_;
    std::condition_variable armed_;
    bool stopping_ = false;
    bool pending_ = false;
    Interest interest_;
    std::thread thread_;
};

}  // namespace bench
