// The session's output keeps lines whole when a tracer prints from another
// thread while a command is halfway through its line.
#include <gtest/gtest.h>

#include <sstream>
#include <thread>

#include "session_output.h"

namespace bench {
namespace {

TEST(SessionOutputTest, ALineFromAnotherThreadWaitsNotForTheCommandsHalfLineButNeverCutsIt)
{
    std::ostringstream target;
    SessionOutput output(target);
    output.Stream() << "pty COM3 ";
    std::thread tracer([&output] { output.WriteLine("usb A > 30 00 03 03"); });
    tracer.join();
    output.Stream() << "/dev/pts/7" << '\n' << "next ";
    EXPECT_EQ(target.str(), "usb A > 30 00 03 03\npty COM3 /dev/pts/7\n");
    // A flush gives up the rest of a line, as a command's end does.
    output.Stream().flush();
    EXPECT_EQ(target.str(), "usb A > 30 00 03 03\npty COM3 /dev/pts/7\nnext ");
}

TEST(SessionOutputTest, LinesOfTwoThreadsWritingAtOnceStayWhole)
{
    std::ostringstream target;
    {
        SessionOutput output(target);
        std::thread tracer([&output] {
            for (int i = 0; i < 2000; ++i) output.WriteLine("bbbbbbbb");
        });
        for (int i = 0; i < 2000; ++i) output.Stream() << "aa" << "aa" << "aa" << "aa" << '\n';
        tracer.join();
    }
    std::istringstream lines(target.str());
    int count = 0;
    for (std::string line; std::getline(lines, line); ++count) {
        EXPECT_TRUE(line == "aaaaaaaa" || line == "bbbbbbbb") << line;
    }
    EXPECT_EQ(count, 4000);
}

}  // namespace
}  // namespace bench
