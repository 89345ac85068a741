// The bench driven by another program through pipes: each command's lines
// reach the reader before the bench reads the next command; its options.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "bench_process.h"

namespace bench {
namespace {

using Lines = std::vector<std::string>;

// Only a guard against a hang: a line held back in a buffer never comes.
constexpr std::chrono::milliseconds kPatience{60'000};

TEST(PipeOutputTest, EachCommandsLinesArriveBeforeTheNextCommand)
{
    BenchProcess bench({"qtr84bench", "/dev/stdin"});
    EXPECT_EQ(bench.Converse("plug a", 2, kPatience), (Lines{"plugged a", "adapter a slot=0 com=3,4,5,6"}));
    EXPECT_EQ(bench.Converse("info", 2, kPatience),
              (Lines{"info count=1", "info slot=0 COM3:idle COM4:idle COM5:idle COM6:idle"}));
    EXPECT_EQ(bench.Converse("unplug a", 1, kPatience), (Lines{"unplugged a"}));
    bench.CloseInput();
    EXPECT_EQ(bench.ReadAll(kPatience), Lines{});
    EXPECT_EQ(bench.Wait(), 0);
}

TEST(PipeOutputTest, AnErrorArrivesWhileTheScriptGoesOn)
{
    BenchProcess bench({"qtr84bench", "--keep-going", "/dev/stdin"});
    EXPECT_EQ(bench.Converse("frobnicate", 1, kPatience), (Lines{"error: unknown command 'frobnicate'"}));
    EXPECT_EQ(bench.Converse("plug b", 2, kPatience), (Lines{"plugged b", "adapter b slot=0 com=3,4,5,6"}));
    bench.CloseInput();
    EXPECT_EQ(bench.ReadAll(kPatience), Lines{});
    EXPECT_EQ(bench.Wait(), 1);
}

TEST(BenchOptionsTest, NoDriverBootsAPcWithoutTheDriverPackage)
{
    BenchProcess bench({"qtr84bench", "--no-driver", "--keep-going", "/dev/stdin"});
    EXPECT_EQ(bench.Converse("file get C:\\Windows\\system32\\drivers\\84prusb64.sys", 1, kPatience),
              (Lines{"error: file C:\\Windows\\system32\\drivers\\84prusb64.sys: ERROR_FILE_NOT_FOUND(2)"}));
    EXPECT_EQ(bench.Converse("plug a", 2, kPatience), (Lines{"plugged a", "adapter a no-driver STATUS_SUCCESS(0x0)"}));
    EXPECT_EQ(bench.Converse("info", 1, kPatience), (Lines{"error: no control device opens"}));
    bench.CloseInput();
    EXPECT_EQ(bench.ReadAll(kPatience), Lines{});
    EXPECT_EQ(bench.Wait(), 1);
}

}  // namespace
}  // namespace bench
