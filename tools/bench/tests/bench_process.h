// qtr84bench run as a separate program, the way another program drives it:
// commands into its standard input, lines read from its standard output
// through a pipe as they arrive.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace bench {

class BenchProcess {
public:
    // Starts the bench binary with these arguments.
    explicit BenchProcess(const std::vector<std::string>& args);
    ~BenchProcess();
    BenchProcess(const BenchProcess&) = delete;
    BenchProcess& operator=(const BenchProcess&) = delete;

    void WriteLine(const std::string& line);
    // Ends the script: the bench sees the end of its input.
    void CloseInput();
    // The next line without its newline; nothing when output ended or no
    // line came within `patience`.
    std::optional<std::string> ReadLine(std::chrono::milliseconds patience);
    // Every line until the output ends.
    std::vector<std::string> ReadAll(std::chrono::milliseconds patience);
    // The exit status, or -1 when it did not exit normally.
    int Wait();

    // Sends one command and reads the lines it prints: `count` of them.
    std::vector<std::string> Converse(const std::string& command, size_t count,
                                      std::chrono::milliseconds patience);

private:
    pid_t pid_ = -1;
    int input_ = -1;
    int output_ = -1;
    std::string pending_;
};

}  // namespace bench
