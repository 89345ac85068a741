#include "bench_process.h"

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <stdexcept>

namespace bench {

BenchProcess::BenchProcess(const std::vector<std::string>& args)
{
    int toChild[2];
    int fromChild[2];
    if (pipe(toChild) != 0 || pipe(fromChild) != 0) throw std::runtime_error("pipe failed");
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_ = fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {
        dup2(toChild[0], STDIN_FILENO);
        dup2(fromChild[1], STDOUT_FILENO);
        close(toChild[0]);
        close(toChild[1]);
        close(fromChild[0]);
        close(fromChild[1]);
        execv(QTR84BENCH_PATH, argv.data());
        _exit(127);
    }
    close(toChild[0]);
    close(fromChild[1]);
    input_ = toChild[1];
    output_ = fromChild[0];
    // A bench that died early must fail the test, not end it by SIGPIPE.
    std::signal(SIGPIPE, SIG_IGN);
}

BenchProcess::~BenchProcess()
{
    CloseInput();
    if (output_ >= 0) close(output_);
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
}

void BenchProcess::WriteLine(const std::string& line)
{
    const std::string text = line + "\n";
    size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = write(input_, text.data() + written, text.size() - written);
        if (n <= 0) throw std::runtime_error("the bench no longer reads its input");
        written += static_cast<size_t>(n);
    }
}

void BenchProcess::CloseInput()
{
    if (input_ >= 0) close(input_);
    input_ = -1;
}

std::optional<std::string> BenchProcess::ReadLine(std::chrono::milliseconds patience)
{
    const auto deadline = std::chrono::steady_clock::now() + patience;
    for (;;) {
        const size_t end = pending_.find('\n');
        if (end != std::string::npos) {
            std::string line = pending_.substr(0, end);
            pending_.erase(0, end + 1);
            return line;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return std::nullopt;
        pollfd fd{output_, POLLIN, 0};
        if (poll(&fd, 1, static_cast<int>(left.count())) <= 0) continue;
        char buffer[4096];
        const ssize_t n = read(output_, buffer, sizeof buffer);
        if (n <= 0) return std::nullopt;
        pending_.append(buffer, static_cast<size_t>(n));
    }
}

std::vector<std::string> BenchProcess::ReadAll(std::chrono::milliseconds patience)
{
    std::vector<std::string> lines;
    while (std::optional<std::string> line = ReadLine(patience)) lines.push_back(*line);
    return lines;
}

int BenchProcess::Wait()
{
    int status = 0;
    if (waitpid(pid_, &status, 0) != pid_) return -1;
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::vector<std::string> BenchProcess::Converse(const std::string& command, size_t count,
                                                std::chrono::milliseconds patience)
{
    WriteLine(command);
    std::vector<std::string> lines;
    while (lines.size() < count) {
        std::optional<std::string> line = ReadLine(patience);
        if (!line) break;
        lines.push_back(*line);
    }
    return lines;
}

}  // namespace bench
