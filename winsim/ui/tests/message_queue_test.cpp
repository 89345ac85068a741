// The queue: the order it hands messages out, WM_PAINT coalescing, timers
// on the virtual clock, and messages sent between threads.
#include <atomic>
#include <thread>

#include "ui_test.h"

namespace winsim::ui::test {
namespace {

using MessageQueueTest = UiTest;

constexpr UINT kPing = WM_APP + 1;
constexpr UINT kPong = WM_APP + 2;

std::vector<UINT> Drain()
{
    std::vector<UINT> seen;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        seen.push_back(msg.message);
        if (msg.message == WM_PAINT) {
            PAINTSTRUCT ps;
            BeginPaint(msg.hwnd, &ps);
            EndPaint(msg.hwnd, &ps);
        }
    }
    return seen;
}

TEST_F(MessageQueueTest, PostedMessagesComeInOrderThenQuitThenOnePaint)
{
    RegisterHandlerClass("Plain");
    HWND hwnd = CreateHandlerWindow("Plain", "w", WS_OVERLAPPED | WS_VISIBLE, nullptr, 0, nullptr);
    Drain();
    InvalidateRect(hwnd, nullptr, TRUE);
    InvalidateRect(hwnd, nullptr, FALSE);
    PostMessageA(hwnd, WM_APP + 1, 0, 0);
    PostQuitMessage(3);
    PostMessageA(hwnd, WM_APP + 2, 0, 0);
    InvalidateRect(hwnd, nullptr, FALSE);
    EXPECT_EQ(Drain(), (std::vector<UINT>{WM_APP + 1, WM_APP + 2, WM_QUIT, WM_PAINT}));
    EXPECT_TRUE(Drain().empty());
    DestroyWindow(hwnd);
}

TEST_F(MessageQueueTest, UpdateWindowPaintsAtOnceAndOnlyWhenSomethingIsInvalid)
{
    RegisterHandlerClass("Painted");
    int paints = 0;
    HWND hwnd = CreateHandlerWindow("Painted", "w", WS_OVERLAPPED | WS_VISIBLE, nullptr, 0,
                                    [&](HWND h, UINT message, WPARAM, LPARAM, LRESULT*) {
                                        if (message != WM_PAINT) return false;
                                        ++paints;
                                        PAINTSTRUCT ps;
                                        BeginPaint(h, &ps);
                                        EndPaint(h, &ps);
                                        return true;
                                    });
    UpdateWindow(hwnd);
    EXPECT_EQ(paints, 1);
    UpdateWindow(hwnd);
    EXPECT_EQ(paints, 1);
    EXPECT_TRUE(Drain().empty());
    DestroyWindow(hwnd);
}

TEST_F(MessageQueueTest, TimersFireFromTheVirtualClockAndMissedPeriodsMakeOneMessage)
{
    RegisterHandlerClass("Plain");
    HWND hwnd = CreateHandlerWindow("Plain", "w", WS_OVERLAPPED, nullptr, 0, nullptr);
    const Ticks start = NowMs();
    EXPECT_EQ(SetTimer(hwnd, 7, 500, nullptr), 7u);
    MSG msg;
    ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_TIMER));
    EXPECT_EQ(msg.wParam, 7u);
    EXPECT_EQ(NowMs() - start, 500);

    Advance(1700);  // three periods go by while the thread is busy
    EXPECT_EQ(Drain(), std::vector<UINT>{WM_TIMER});
    const Ticks resumed = NowMs();
    ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
    EXPECT_EQ(NowMs() - resumed, 500);

    EXPECT_TRUE(KillTimer(hwnd, 7));
    EXPECT_FALSE(KillTimer(hwnd, 7));
    Advance(2000);
    EXPECT_TRUE(Drain().empty());
    DestroyWindow(hwnd);
}

TEST_F(MessageQueueTest, SendMessageFromAnotherThreadRunsOnTheWindowsThreadWhileItWaits)
{
    RegisterHandlerClass("Echo");
    const std::thread::id windowThread = std::this_thread::get_id();
    std::atomic<bool> onOwnThread{false};
    HWND hwnd = CreateHandlerWindow("Echo", "w", WS_OVERLAPPED, nullptr, 0,
                                    [&](HWND, UINT message, WPARAM wParam, LPARAM, LRESULT* result) {
                                        if (message != kPing) return false;
                                        onOwnThread = std::this_thread::get_id() == windowThread;
                                        *result = static_cast<LRESULT>(wParam * 2);
                                        return true;
                                    });
    LRESULT answer = 0;
    Thread sender = Scheduler::Instance().Spawn("sender", [&] {
        answer = SendMessageA(hwnd, kPing, 21, 0);
        PostMessageA(hwnd, WM_APP + 9, 0, 0);
    });
    MSG msg;
    ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));  // the send is answered inside
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_APP + 9));
    sender.Join();
    EXPECT_EQ(answer, 42);
    EXPECT_TRUE(onOwnThread);
    DestroyWindow(hwnd);
}

TEST_F(MessageQueueTest, TwoThreadsSendingToEachOtherDoNotDeadlock)
{
    RegisterHandlerClass("Echo");
    HWND worker = nullptr;
    std::atomic<bool> workerReady{false};
    Program* program = program_.get();
    HWND mine = CreateHandlerWindow("Echo", "mine", WS_OVERLAPPED, nullptr, 0,
                                    [&](HWND, UINT message, WPARAM wParam, LPARAM, LRESULT* result) {
                                        if (message != kPong) return false;
                                        *result = static_cast<LRESULT>(wParam + 1);
                                        return true;
                                    });
    Thread thread = Scheduler::Instance().Spawn("worker", [&] {
        BindThreadToProgram(program);
        worker = CreateHandlerWindow("Echo", "worker", WS_OVERLAPPED, nullptr, 0,
                                     [&](HWND, UINT message, WPARAM wParam, LPARAM, LRESULT* result) {
                                         if (message != kPing) return false;
                                         // Sends back to the thread that is waiting for this reply.
                                         *result = SendMessageA(mine, kPong, wParam, 0) * 10;
                                         return true;
                                     });
        workerReady = true;
        MSG msg;
        while (GetMessageA(&msg, nullptr, 0, 0)) DispatchMessageA(&msg);
        DestroyWindow(worker);
    });
    while (!workerReady) Settle();
    EXPECT_EQ(SendMessageA(worker, kPing, 4, 0), 50);
    PostMessageA(worker, WM_QUIT, 0, 0);
    thread.Join();
    DestroyWindow(mine);
}

}  // namespace
}  // namespace winsim::ui::test

namespace winsim::ui::test {
namespace {

// The thread's key state as it takes key messages from its queue.
class KeyStateTest : public UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        RegisterHandlerClass("Keys");
        window = CreateHandlerWindow("Keys", "w", WS_OVERLAPPED | WS_VISIBLE, nullptr, 0, nullptr);
        Drain();
        // The key state belongs to the test's thread, which outlives the
        // test: a lock key an earlier test left on is turned off again.
        for (WPARAM key : {VK_CAPITAL, VK_NUMLOCK, VK_SCROLL}) {
            if ((GetKeyState(static_cast<int>(key)) & 1) != 0) Press(key);
        }
    }
    void TearDown() override
    {
        DestroyWindow(window);
        UiTest::TearDown();
    }
    void Take(UINT message, WPARAM key)
    {
        PostMessageA(window, message, key, 0);
        Drain();
    }
    void Press(WPARAM key)
    {
        Take(WM_KEYDOWN, key);
        Take(WM_KEYUP, key);
    }
    HWND window = nullptr;
};

TEST_F(KeyStateTest, ALockKeyTurnsOnAndOffWithEachPressNotWithItsRepeats)
{
    EXPECT_EQ(GetKeyState(VK_CAPITAL), 0);
    Take(WM_KEYDOWN, VK_CAPITAL);
    EXPECT_EQ(static_cast<USHORT>(GetKeyState(VK_CAPITAL)), 0x8001u) << "down and on";
    Take(WM_KEYDOWN, VK_CAPITAL);
    EXPECT_EQ(GetKeyState(VK_CAPITAL) & 1, 1) << "a repeat changes nothing";
    Take(WM_KEYUP, VK_CAPITAL);
    EXPECT_EQ(GetKeyState(VK_CAPITAL), 1) << "up and still on";
    Press(VK_CAPITAL);
    EXPECT_EQ(GetKeyState(VK_CAPITAL), 0);
}

TEST_F(KeyStateTest, EachLockKeyHasItsOwnStateAndOtherKeysHaveNone)
{
    Press(VK_NUMLOCK);
    Take(WM_SYSKEYDOWN, VK_SCROLL);
    Take(WM_SYSKEYUP, VK_SCROLL);
    Press(VK_SHIFT);
    EXPECT_EQ(GetKeyState(VK_NUMLOCK), 1);
    EXPECT_EQ(GetKeyState(VK_SCROLL), 1);
    EXPECT_EQ(GetKeyState(VK_CAPITAL), 0);
    EXPECT_EQ(GetKeyState(VK_SHIFT), 0);
}

}  // namespace
}  // namespace winsim::ui::test
