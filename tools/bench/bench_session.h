// One run of the bench: the simulated PC, the output stream and the commands
// of a script, one line at a time.
#pragma once

#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "bench_machine.h"
#include "session_output.h"

namespace bench {

struct SessionOptions {
    bool realtime = false;
    // False: a PC on which the driver package was never installed.
    bool driverInstalled = true;
};

class Session {
public:
    Session(std::ostream& out, SessionOptions options);
    ~Session();

    // Runs one script line. A failed command prints "error: TEXT" and
    // returns false.
    bool RunLine(std::string_view line);

    // Runs one command for another command's sake: what it prints is
    // returned instead of shown; a failure throws its CommandError.
    std::string RunQuietly(std::string_view line);

    BenchMachine& Machine() { return *machine_; }
    // Where the running command prints (a quiet one's capture included).
    std::ostream& Out() { return *out_; }
    // What the session shows, for lines printed from other threads.
    SessionOutput& Shown() { return shown_; }

private:
    void Execute(std::string_view line);

    // Before the machine: its threads may print until it is gone.
    SessionOutput shown_;
    std::ostream* out_;
    std::unique_ptr<BenchMachine> machine_;
};

using Args = std::vector<std::string>;

}  // namespace bench
