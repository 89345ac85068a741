// The throughput run: every byte checked, the rate against the line's.
#include <regex>

#include "bench_test.h"

namespace bench {
namespace {

using ThroughputCommandTest = BenchTest;

struct Figures {
    unsigned long long bytes, lost, corrupt, rate;
};

Figures Parse(const std::string& line)
{
    static const std::regex format(
        "throughput bytes=(\\d+) lost=(\\d+) corrupt=(\\d+) virtual-rate=(\\d+)% host-ns-per-byte=\\d+\n");
    std::smatch m;
    if (!std::regex_match(line, m, format)) {
        ADD_FAILURE() << line;
        return {};
    }
    return {std::stoull(m[1]), std::stoull(m[2]), std::stoull(m[3]), std::stoull(m[4])};
}

TEST_F(ThroughputCommandTest, TwoAdaptersAtFullRateLoseAndCorruptNothing)
{
    const std::string before = PoolTotal();
    const Figures figures = Parse(Run("throughput adapters=2 seconds=1"));
    EXPECT_TRUE(last);
    EXPECT_EQ(figures.lost, 0u);
    EXPECT_EQ(figures.corrupt, 0u);
    EXPECT_GE(figures.rate, 95u);
    // Eight ports at 92160 bytes a second, a second long, and what drained.
    EXPECT_GE(figures.bytes, 8u * 92160u * 95 / 100);
    EXPECT_EQ(PoolTotal(), before);
}

TEST_F(ThroughputCommandTest, ASlowLineIsFilledToo)
{
    const Figures figures = Parse(Run("throughput ports=1 baud=9600 seconds=2"));
    EXPECT_EQ(figures.lost + figures.corrupt, 0u);
    EXPECT_GE(figures.rate, 95u);
}

TEST_F(ThroughputCommandTest, OptionsOutOfRangeAreErrors)
{
    EXPECT_EQ(Run("throughput adapters=0"),
              "error: throughput needs at least one adapter, one port, 300 baud and one second\n");
    EXPECT_FALSE(last);
    EXPECT_EQ(Run("throughput adapters=9"), "error: '9' is out of range (at most 8)\n");
    EXPECT_EQ(Run("throughput colour=red"), "error: throughput has no option colour\n");
}

}  // namespace
}  // namespace bench
