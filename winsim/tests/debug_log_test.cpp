// DbgPrintEx output in the machine's debug log, and NT_ASSERT as a bug check.
#include <gtest/gtest.h>

#include <wdm.h>

#include "km/debug_log.h"
#include "verifier/verifier.h"

namespace winsim {
namespace {

TEST(DebugLog, LinesArriveWholeInOrderWithTheirComponentAndLevel)
{
    TakeDebugLog();
    DbgPrintEx(DPFLTR_IHVDRIVER_ID, DPFLTR_ERROR_LEVEL, "drv: %s failed 0x%08X\n", "start", 0xC000009Au);
    DbgPrintEx(DPFLTR_IHVDRIVER_ID, DPFLTR_TRACE_LEVEL, "drv: part ");
    DbgPrintEx(DPFLTR_IHVDRIVER_ID, DPFLTR_TRACE_LEVEL, "and rest\nnext\n");
    const std::vector<DebugLine> lines = TakeDebugLog();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].text, "drv: start failed 0xC000009A");
    EXPECT_EQ(lines[0].component, static_cast<ULONG>(DPFLTR_IHVDRIVER_ID));
    EXPECT_EQ(lines[0].level, static_cast<ULONG>(DPFLTR_ERROR_LEVEL));
    EXPECT_EQ(lines[1].text, "drv: part and rest");
    EXPECT_EQ(lines[2].text, "next");
    EXPECT_TRUE(TakeDebugLog().empty());
}

TEST(DebugLog, AFailedAssertionIsABugCheck)
{
    Verifier::Capture capture;
    int checked = 0;
    NT_ASSERT(++checked == 1);
    EXPECT_TRUE(capture.Reports().empty());
    NT_ASSERT(checked == 2);
    ASSERT_EQ(capture.Reports().size(), 1u);
    const ViolationReport report = capture.Reports().front();
    EXPECT_EQ(report.code, ViolationCode::kAssertionFailure);
    EXPECT_NE(report.detail.find("NT_ASSERT(checked == 2)"), std::string::npos) << report.detail;
}

}  // namespace
}  // namespace winsim
