// Processes, threads and named mutexes of user mode, on the virtual clock.
#include <windows.h>

#include <atomic>
#include <fstream>
#include <string>

#include "um_test_fixture.h"
#include "um/file_system.h"
#include "um/programs.h"

namespace winsim::test {
namespace {

using ProcessTest = UserModeTest;

Ticks Now() { return Scheduler::Instance().Now(); }

DWORD WINAPI SleepThenReturnSeven(LPVOID parameter)
{
    Sleep(100);
    *static_cast<DWORD*>(parameter) = GetCurrentThreadId();
    return 7;
}

void LeaveEarly() { ExitThread(42); }

DWORD WINAPI ExitFromDeepInside(LPVOID parameter)
{
    LeaveEarly();
    *static_cast<bool*>(parameter) = true;  // never reached
    return 1;
}

TEST_F(ProcessTest, AThreadsExitCodeIsWhatItReturnedOrGaveExitThread)
{
    DWORD seenId = 0;
    DWORD id = 0;
    const Ticks start = Now();
    HANDLE thread = CreateThread(nullptr, 0, SleepThenReturnSeven, &seenId, 0, &id);
    ASSERT_NE(thread, nullptr);
    DWORD code = 0;
    ASSERT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, static_cast<DWORD>(STILL_ACTIVE));
    EXPECT_EQ(WaitForSingleObject(thread, 50), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(Now() - start, 100 * kTicksPerMillisecond) << "Sleep goes through the scheduler";
    ASSERT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, 7u);
    EXPECT_EQ(seenId, id);
    EXPECT_NE(id, GetCurrentThreadId());
    EXPECT_TRUE(CloseHandle(thread));

    bool continued = false;
    thread = CreateThread(nullptr, 0, ExitFromDeepInside, &continued, 0, nullptr);
    EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    ASSERT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, 42u);
    EXPECT_FALSE(continued);
    CloseHandle(thread);

    EXPECT_EQ(CreateThread(nullptr, 0, SleepThenReturnSeven, &seenId, CREATE_SUSPENDED, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

DWORD WINAPI HoldForAWhile(LPVOID parameter)
{
    HANDLE mutex = static_cast<HANDLE>(parameter);
    EXPECT_EQ(WaitForSingleObject(mutex, INFINITE), WAIT_OBJECT_0);
    Sleep(200);
    EXPECT_TRUE(ReleaseMutex(mutex));
    return 0;
}

DWORD WINAPI TakeAndEnd(LPVOID parameter)
{
    EXPECT_EQ(WaitForSingleObject(static_cast<HANDLE>(parameter), INFINITE), WAIT_OBJECT_0);
    return 0;
}

TEST_F(ProcessTest, AMutexBelongsToOneThreadAtATimeAndAnEndedOwnerAbandonsIt)
{
    HANDLE mutex = CreateMutexA(nullptr, FALSE, nullptr);
    ASSERT_NE(mutex, nullptr);
    EXPECT_FALSE(ReleaseMutex(mutex));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_OWNER));

    HANDLE holder = CreateThread(nullptr, 0, HoldForAWhile, mutex, 0, nullptr);
    Sleep(10);
    const Ticks start = Now();
    EXPECT_EQ(WaitForSingleObject(mutex, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(Now() - start, 190 * kTicksPerMillisecond);
    // Owned twice by this thread, released twice.
    EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(ReleaseMutex(mutex));
    EXPECT_TRUE(ReleaseMutex(mutex));
    EXPECT_FALSE(ReleaseMutex(mutex));
    WaitForSingleObject(holder, INFINITE);
    CloseHandle(holder);

    HANDLE taker = CreateThread(nullptr, 0, TakeAndEnd, mutex, 0, nullptr);
    WaitForSingleObject(taker, INFINITE);
    CloseHandle(taker);
    EXPECT_EQ(WaitForSingleObject(mutex, 0), static_cast<DWORD>(WAIT_ABANDONED_0));
    EXPECT_TRUE(ReleaseMutex(mutex));
    EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0) << "abandoned once, then an ordinary mutex";
    EXPECT_TRUE(ReleaseMutex(mutex));
    CloseHandle(mutex);
}

// A program that takes the single-instance mutex, reports what it saw and
// keeps it a while.
struct InstanceReport {
    DWORD lastError = 0;
    DWORD processId = 0;
    HMODULE module = nullptr;
    HINSTANCE instance = nullptr;
};
InstanceReport g_reports[3];
std::atomic<int> g_starts{0};

int WINAPI SingleInstanceMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    InstanceReport& report = g_reports[g_starts++];
    HANDLE mutex = CreateMutexA(nullptr, TRUE, "QtrAssistantInstance");
    report.lastError = GetLastError();
    report.processId = GetCurrentProcessId();
    report.module = GetModuleHandleA(nullptr);
    report.instance = instance;
    if (report.lastError == ERROR_ALREADY_EXISTS) {
        CloseHandle(mutex);
        return 2;
    }
    Sleep(1000);
    ReleaseMutex(mutex);
    CloseHandle(mutex);
    return 0;
}

TEST_F(ProcessTest, ASecondStartFindsTheFirstStartsNamedMutexInTheLogonSession)
{
    g_starts = 0;
    const HMODULE module = um::RegisterProgram("instance.exe", SingleInstanceMain, "C:\\Program Files\\instance.exe");
    auto first = um::StartProgram("instance.exe");
    ASSERT_NE(first, nullptr);
    Sleep(10);
    auto second = um::StartProgram("INSTANCE.EXE");
    EXPECT_EQ(second->WaitForEnd(), 2u);
    EXPECT_EQ(first->WaitForEnd(), 0u);

    EXPECT_EQ(g_reports[0].lastError, static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(g_reports[1].lastError, static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_NE(g_reports[0].processId, g_reports[1].processId);
    EXPECT_NE(g_reports[0].processId, GetCurrentProcessId());
    EXPECT_EQ(g_reports[0].module, module);
    EXPECT_EQ(g_reports[1].instance, module);
    EXPECT_NE(module, GetModuleHandleA(nullptr));

    // Both closed their handles: the name is gone and a third start is first.
    auto third = um::StartProgram("instance.exe");
    EXPECT_EQ(third->WaitForEnd(), 0u);
    EXPECT_EQ(um::StartProgram("nosuch.exe"), nullptr);
}

TEST_F(ProcessTest, NamesAreCaseSensitiveAndGlobalNamesAreTheMachines)
{
    HANDLE lower = CreateMutexA(nullptr, FALSE, "name");
    HANDLE upper = CreateMutexA(nullptr, FALSE, "NAME");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    HANDLE local = CreateMutexA(nullptr, FALSE, "Local\\name");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS)) << "Local\\ is the session's own";
    HANDLE global = CreateMutexA(nullptr, FALSE, "Global\\name");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    for (HANDLE handle : {lower, upper, local, global}) EXPECT_TRUE(CloseHandle(handle));
}

// Leaves a file and a mutex open and a thread handle, and a helper thread
// still sleeping when WinMain returns.
DWORD WINAPI SleepLong(LPVOID) { Sleep(5000); return 3; }

int WINAPI LeakyMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int)
{
    CreateFileA("C:\\locked.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    CreateMutexA(nullptr, TRUE, "LeakyMutex");
    CreateThread(nullptr, 0, SleepLong, nullptr, 0, nullptr);
    LocalAlloc(LPTR, 10);
    return commandLine[0] - '0';
}

TEST_F(ProcessTest, WhatAProgramLeavesOpenIsCountedAndClosedWhenItEnds)
{
    um::RegisterProgram("leaky.exe", LeakyMain, "C:\\leaky.exe");
    const Ticks start = Now();
    auto process = um::StartProgram("leaky.exe", "5");
    EXPECT_EQ(process->WaitForEnd(), 5u);
    EXPECT_EQ(Now() - start, 5000 * kTicksPerMillisecond) << "the process ends with its last thread";
    EXPECT_EQ(process->HandlesLeftAtEnd(), 3u);
    EXPECT_EQ(process->LocalBlocksLeftAtEnd(), 1u);
    EXPECT_EQ(process->Handles().Count(), 0u);

    HANDLE file = CreateFileA("C:\\locked.txt", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(file, INVALID_HANDLE_VALUE) << "the program's exclusive open ended with it";
    CloseHandle(file);
    HANDLE mutex = CreateMutexA(nullptr, FALSE, "LeakyMutex");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS)) << "its name went with the last handle";
    CloseHandle(mutex);
}

HANDLE g_foreignHandle = nullptr;

int WINAPI UseForeignHandleMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    SetLastError(0);
    return WaitForSingleObject(g_foreignHandle, 0) == WAIT_FAILED ? static_cast<int>(GetLastError()) : 0;
}

int WINAPI ReturnAtOnce(HINSTANCE, HINSTANCE, LPSTR, int) { return 0; }

size_t HostMappings()
{
    std::ifstream maps("/proc/self/maps");
    size_t n = 0;
    for (std::string line; std::getline(maps, line);) ++n;
    return n;
}

// A machine that starts programs for hours (the bench, a soak) lets each
// ended program's thread go instead of keeping its host stack mapped.
TEST_F(ProcessTest, EndedProgramsLeaveNoHostThreadStacksBehind)
{
    um::RegisterProgram("brief.exe", ReturnAtOnce, "C:\\brief.exe");
    for (int i = 0; i < 5; ++i) um::StartProgram("brief.exe")->WaitForEnd();
    const size_t before = HostMappings();
    for (int i = 0; i < 60; ++i) um::StartProgram("brief.exe")->WaitForEnd();
    EXPECT_LT(HostMappings(), before + 30);
}

TEST_F(ProcessTest, HandlesAreEachProcesssOwn)
{
    g_foreignHandle = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    um::RegisterProgram("foreign.exe", UseForeignHandleMain, "C:\\foreign.exe");
    EXPECT_EQ(um::StartProgram("foreign.exe")->WaitForEnd(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(WaitForSingleObject(g_foreignHandle, 0), WAIT_OBJECT_0);
    CloseHandle(g_foreignHandle);
}

}  // namespace
}  // namespace winsim::test
