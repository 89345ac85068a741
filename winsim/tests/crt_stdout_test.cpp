// What a process of the simulated PC prints: the machine's user has a
// console, a windowed program started on the machine has none.
#include <windows.h>

#include <cstdio>

#include "crt_stdout.h"
#include "um_test_fixture.h"
#include "um/programs.h"

namespace winsim::test {
namespace {

using CrtStdoutTest = UserModeTest;

int WINAPI PrintingMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    printf("from the program\n");
    return 0;
}

TEST_F(CrtStdoutTest, OnlyTheMachinesUserHasAConsole)
{
    um::RegisterProgram("printing.exe", PrintingMain, "C:\\Program Files\\printing.exe");
    testing::internal::CaptureStdout();
    printf("from the user %d\n", 1);
    auto program = um::StartProgram("printing.exe");
    ASSERT_NE(program, nullptr);
    EXPECT_EQ(program->WaitForEnd(), 0u);
    fflush(stdout);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "from the user 1\n");
}

}  // namespace
}  // namespace winsim::test
