// Status log lines: the time stamp and the length limit of a line.
#include <gtest/gtest.h>

#include <string>

#include "assistant/app/status_line.h"

namespace {

TEST(StatusLineTest, StampsTheLocalTimeInFrontOfTheText)
{
    SYSTEMTIME now{};
    now.wHour = 9;
    now.wMinute = 5;
    now.wSecond = 7;
    EXPECT_EQ(assistant::StampedLine(now, "QTR84PX1 Adapter INSERTED: COM3 COM4 COM5 COM6"),
              "09:05:07 -- QTR84PX1 Adapter INSERTED: COM3 COM4 COM5 COM6");
}

TEST(StatusLineTest, ALongTextIsShortenedToTheLineBuffer)
{
    SYSTEMTIME now{};
    const std::string line = assistant::StampedLine(now, std::string(500, 'x'));
    EXPECT_EQ(line.size(), 399u);
    EXPECT_EQ(line.substr(0, 12), "00:00:00 -- ");
}

}  // namespace
