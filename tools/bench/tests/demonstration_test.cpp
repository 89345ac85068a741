// The built-in demonstration still shows what it tells: every step works.
#include <gtest/gtest.h>

#include <sstream>

#include "demonstration.h"

namespace bench {
namespace {

TEST(DemonstrationTest, EveryStepSucceedsAndShowsWhatItsNarrationPromises)
{
    std::ostringstream out;
    ASSERT_EQ(RunDemonstration(out, SessionOptions{}), 0) << out.str();
    const std::string text = out.str();
    for (const char* shown : {
             "adapter DEMO restarted\nadapter DEMO restarted\nadapter DEMO slot=0 com=3,4,5,6\n",
             "fwversion 0 \"Oct 14 2013 11:10:11 Ver 1.0.772\" 33\n",
             "info slot=0 COM3:idle COM4:idle COM5:idle COM6:idle\n",
             "read COM3 25 48 65 6c 6c 6f 20",  // "Hello ", back through the plug
             "info slot=0 COM3:busy",
             "com=3 tx overrun=0 48 65 6c 6c 6f",
             "com=3 rx overrun=0 48 65 6c 6c 6f",
             "setconfig ok 1934\nadapter DEMO restarted\n",
             "config adapter=0 port=1 com=9 ",
             "unplugged DEMO\n",
             "assistant 1 running\n",
             "control 1085 SysTabControl32 ",
         }) {
        EXPECT_NE(text.find(shown), std::string::npos) << shown << "\nin:\n" << text;
    }
    // Every line is a narration or a command's report.
    EXPECT_EQ(text.find("error:"), std::string::npos);
}

}  // namespace
}  // namespace bench
