// usbtrace: every message-pipe transfer, in both directions, while it is on.
#include <gtest/gtest.h>

#include <sstream>

#include "bench_test.h"

namespace bench {
namespace {

using TraceCommandsTest = BenchTest;

size_t Count(const std::string& text, const std::string& part)
{
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

TEST_F(TraceCommandsTest, OnShowsEachTransferToTheAdapterAndOffStopsIt)
{
    EXPECT_EQ(Run("usbtrace on"), "");
    EXPECT_TRUE(last);
    const std::string plugged = Run("plug A");
    EXPECT_EQ(plugged.rfind("plugged A\n", 0), 0u) << plugged;
    // Port initialisation of each port, with the port in both bytes.
    EXPECT_GE(Count(plugged, "usb A > 0c 00\n"), 1u);
    EXPECT_GE(Count(plugged, "usb A > 0f 03\n"), 1u);
    // The line settings of port 1: 9600 baud, 8 data bits, closed.
    EXPECT_EQ(Count(plugged, "usb A > 09 01 01 00 00 03 80 25 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00\n"), 1u);
    std::istringstream lines(plugged);
    for (std::string line; std::getline(lines, line);) {
        EXPECT_TRUE(line.rfind("usb A > ", 0) == 0 || line.rfind("usb A < ", 0) == 0 ||
                    line.rfind("plugged ", 0) == 0 || line.rfind("adapter ", 0) == 0)
            << line;
    }

    EXPECT_EQ(Run("usbtrace off"), "");
    EXPECT_EQ(Count(Run("plug B"), "usb "), 0u);
}

TEST_F(TraceCommandsTest, AnythingButOnOrOffIsAnError)
{
    EXPECT_EQ(Run("usbtrace"), "error: usage: usbtrace on|off\n");
    EXPECT_FALSE(last);
    EXPECT_EQ(Run("usbtrace yes"), "error: usage: usbtrace on|off\n");
    EXPECT_EQ(Run("usbtrace on off"), "error: usage: usbtrace on|off\n");
}

}  // namespace
}  // namespace bench
