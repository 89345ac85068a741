// The fixture of the bench's command tests: a session on a fresh machine
// and its output, one command at a time.
#pragma once

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "bench_session.h"

namespace bench {

class BenchTest : public ::testing::Test {
protected:
    BenchTest() = default;
    explicit BenchTest(SessionOptions options) : session{out, options} {}

    std::ostringstream out;
    Session session{out, SessionOptions{}};
    bool last = false;  // whether the last command succeeded

    // What the command printed.
    std::string Run(const std::string& line)
    {
        out.str("");
        last = session.RunLine(line);
        return out.str();
    }
    // The "pool total" line.
    std::string PoolTotal()
    {
        const std::string text = Run("pool");
        return text.substr(text.find("pool total "));
    }
};

}  // namespace bench
