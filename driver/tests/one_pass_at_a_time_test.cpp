// Requests made while a pass runs collapse into one more pass by the runner.
#include <gtest/gtest.h>

#include "core/one_pass_at_a_time.h"

namespace {

TEST(OnePassAtATime, RequestsDuringAPassBecomeOneMorePassOfTheRunner)
{
    LONG requests = 0;
    int passes = 0;
    int refused = 0;
    const bool ran = RunOnePassAtATime(&requests, [&] {
        ++passes;
        if (passes == 1) {
            // Two callers arrive while the first pass runs: neither runs.
            for (int i = 0; i < 2; ++i) {
                if (!RunOnePassAtATime(&requests, [&] { ADD_FAILURE() << "a second runner"; })) ++refused;
            }
        }
    });
    EXPECT_TRUE(ran);
    EXPECT_EQ(refused, 2);
    EXPECT_EQ(passes, 2);
    EXPECT_EQ(requests, 0);
    // Idle again: the next caller runs at once, one pass.
    EXPECT_TRUE(RunOnePassAtATime(&requests, [&] { ++passes; }));
    EXPECT_EQ(passes, 3);
}

}  // namespace
