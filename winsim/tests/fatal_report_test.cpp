// A fatal report stops the process; what the program printed before it still
// reaches its reader, ahead of the report, even through a buffered pipe.
#include <gtest/gtest.h>

#include <km_ke.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <functional>
#include <string>

#include "verifier/verifier.h"

namespace winsim {
namespace {

struct Outcome {
    std::string out;
    std::string err;
    bool aborted = false;
};

std::string ReadToEnd(int fd)
{
    std::string text;
    char buffer[1024];
    for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<size_t>(n));
    close(fd);
    return text;
}

// Runs `fault` in a child whose standard output is a fully buffered pipe
// holding one printed line.
Outcome RunFaultInChild(const std::function<void()>& fault)
{
    int out[2];
    int err[2];
    if (pipe(out) != 0 || pipe(err) != 0) return {};
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], STDOUT_FILENO);
        dup2(err[1], STDERR_FILENO);
        close(out[0]);
        close(err[0]);
        std::setvbuf(stdout, nullptr, _IOFBF, BUFSIZ);
        std::fputs("printed before the fault\n", stdout);
        fault();
        _exit(0);
    }
    close(out[1]);
    close(err[1]);
    Outcome outcome;
    outcome.out = ReadToEnd(out[0]);
    outcome.err = ReadToEnd(err[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    outcome.aborted = WIFSIGNALED(status) && WTERMSIG(status) == SIGABRT;
    return outcome;
}

TEST(FatalReportTest, AVerifierViolationKeepsWhatWasPrinted)
{
    const Outcome outcome = RunFaultInChild(
        [] { Verifier::Violation(ViolationCode::kMultipleIrpComplete, "IRP completed twice", "test"); });
    EXPECT_TRUE(outcome.aborted);
    EXPECT_EQ(outcome.out, "printed before the fault\n");
    EXPECT_NE(outcome.err.find("*** winsim bug check 0x44: IRP completed twice"), std::string::npos) << outcome.err;
}

TEST(FatalReportTest, ADriversBugCheckKeepsWhatWasPrinted)
{
    const Outcome outcome = RunFaultInChild([] { KeBugCheckEx(0xDEAD, 1, 2, 3, 4); });
    EXPECT_TRUE(outcome.aborted);
    EXPECT_EQ(outcome.out, "printed before the fault\n");
    EXPECT_NE(outcome.err.find("*** winsim bug check 0xDEAD: called by the driver"), std::string::npos)
        << outcome.err;
}

}  // namespace
}  // namespace winsim
