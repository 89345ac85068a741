// Events, waits, Sleep, handles and the last error of user mode, on the
// virtual clock.
#include <windows.h>

#include <atomic>

#include "io_test_driver.h"

namespace winsim::test {
namespace {

using UserSyncTest = MachineTest;

Ticks Now() { return Scheduler::Instance().Now(); }

TEST_F(UserSyncTest, AutoResetEventReleasesOneWaitPerSignalAndManualResetStaysSet)
{
    HANDLE automatic = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    HANDLE manual = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(automatic, nullptr);
    ASSERT_NE(manual, nullptr);

    EXPECT_TRUE(SetEvent(automatic));
    EXPECT_EQ(WaitForSingleObject(automatic, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(automatic, 0), static_cast<DWORD>(WAIT_TIMEOUT));

    EXPECT_TRUE(SetEvent(manual));
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(ResetEvent(manual));
    EXPECT_EQ(WaitForSingleObject(manual, 0), static_cast<DWORD>(WAIT_TIMEOUT));

    CloseHandle(automatic);
    CloseHandle(manual);
}

TEST_F(UserSyncTest, TimeOutsAndSleepTakeVirtualTime)
{
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    Ticks start = Now();
    EXPECT_EQ(WaitForSingleObject(event, 500), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(Now() - start, 500 * kTicksPerMillisecond);
    start = Now();
    Sleep(250);
    EXPECT_EQ(Now() - start, 250 * kTicksPerMillisecond);

    Thread setter = Scheduler::Instance().Spawn("setter", [event] {
        Sleep(30);
        SetEvent(event);
    });
    start = Now();
    EXPECT_EQ(WaitForSingleObject(event, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(Now() - start, 30 * kTicksPerMillisecond);
    setter.Join();
    CloseHandle(event);
}

TEST_F(UserSyncTest, WaitForAnyGivesTheSignalledIndexAndWaitForAllNeedsEvery)
{
    HANDLE events[3];
    for (HANDLE& event : events) event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    SetEvent(events[2]);
    EXPECT_EQ(WaitForMultipleObjects(3, events, FALSE, 0), WAIT_OBJECT_0 + 2);
    EXPECT_EQ(WaitForMultipleObjects(3, events, TRUE, 10), static_cast<DWORD>(WAIT_TIMEOUT));
    SetEvent(events[0]);
    SetEvent(events[1]);
    EXPECT_EQ(WaitForMultipleObjects(3, events, TRUE, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForMultipleObjects(0, events, FALSE, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    for (HANDLE event : events) CloseHandle(event);
}

TEST_F(UserSyncTest, ClosedHandlesAreRefusedAndTheirValuesComeBack)
{
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(event, nullptr);
    ASSERT_NE(event, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(CloseHandle(event));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(SetEvent(event));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(CloseHandle(event));

    HANDLE next = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    EXPECT_EQ(next, event);
    CloseHandle(next);

    EXPECT_EQ(CreateEventA(nullptr, TRUE, FALSE, "Named"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
}

TEST_F(UserSyncTest, TheLastErrorBelongsToTheThread)
{
    SetLastError(ERROR_ACCESS_DENIED);
    std::atomic<DWORD> seenThere{0};
    Thread other = Scheduler::Instance().Spawn("other", [&] {
        seenThere = GetLastError();
        SetLastError(ERROR_BUSY);
    });
    other.Join();
    EXPECT_EQ(seenThere.load(), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

}  // namespace
}  // namespace winsim::test
