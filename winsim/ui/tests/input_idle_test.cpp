// Input-idle: a GUI thread counts as idle only while it waits in its message
// loop with nothing pending that it would take; inside a handler, waiting
// for time or for another thread, it is busy.
#include <atomic>

#include "ui/input_idle.h"
#include "ui_test.h"

namespace winsim::ui::test {
namespace {

using InputIdleTest = UiTest;

constexpr UINT kSlow = WM_APP + 1;  // the handler sleeps for a second
constexpr UINT kAsk = WM_APP + 2;   // the handler sends kSlow to the window in wParam
constexpr DWORD kSlowMs = 1000;

// A window whose handler sleeps through kSlow and sends kAsk on, created on
// the calling thread.
HWND CreateSlowWindow(const char* title, std::atomic<int>* handled)
{
    RegisterHandlerClass("Slow");
    return CreateHandlerWindow("Slow", title, WS_OVERLAPPED, nullptr, 0,
                               [handled](HWND, UINT message, WPARAM wParam, LPARAM, LRESULT*) {
                                   if (message == kSlow) Sleep(kSlowMs);
                                   if (message == kAsk) SendMessageA(reinterpret_cast<HWND>(wParam), kSlow, 0, 0);
                                   if (message != kSlow && message != kAsk) return false;
                                   ++*handled;
                                   return true;
                               });
}

void RunLoop()
{
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0)) DispatchMessageA(&msg);
}

TEST_F(InputIdleTest, AThreadSleepingInAHandlerIsBusyUntilTheHandlerReturns)
{
    std::atomic<HWND> window{nullptr};
    std::atomic<int> handled{0};
    UiThread ui(program_.get(), [&](HWND) {
        window = CreateSlowWindow("slow", &handled);
        RunLoop();
        DestroyWindow(window);
    });
    Settle();
    const InputIdleWatch watch(window);
    EXPECT_TRUE(watch.Idle());

    PostMessageA(window, kSlow, 0, 0);
    EXPECT_FALSE(watch.Idle());  // taken, not yet handled
    Settle();
    EXPECT_FALSE(watch.Idle());  // asleep in the handler
    Advance(kSlowMs - 1);
    EXPECT_FALSE(watch.Idle());
    EXPECT_EQ(handled.load(), 0);
    Advance(1);
    Settle();
    EXPECT_EQ(handled.load(), 1);
    EXPECT_TRUE(watch.Idle());

    PostMessageA(window, WM_QUIT, 0, 0);
}

TEST_F(InputIdleTest, ASenderWaitingForItsReplyAndTheThreadAnsweringAreBothBusy)
{
    std::atomic<HWND> asking{nullptr};
    std::atomic<HWND> answering{nullptr};
    std::atomic<int> handled{0};
    UiThread first(program_.get(), [&](HWND) {
        asking = CreateSlowWindow("asking", &handled);
        RunLoop();
        DestroyWindow(asking);
    });
    UiThread second(program_.get(), [&](HWND) {
        answering = CreateSlowWindow("answering", &handled);
        RunLoop();
        DestroyWindow(answering);
    });
    Settle();
    const InputIdleWatch sender(asking);
    const InputIdleWatch receiver(answering);
    PostMessageA(asking, kAsk, reinterpret_cast<WPARAM>(answering.load()), 0);
    Settle();
    EXPECT_FALSE(sender.Idle());
    EXPECT_FALSE(receiver.Idle());
    Advance(kSlowMs);
    Settle();
    EXPECT_EQ(handled.load(), 2);
    EXPECT_TRUE(sender.Idle());
    EXPECT_TRUE(receiver.Idle());

    PostMessageA(asking, WM_QUIT, 0, 0);
    PostMessageA(answering, WM_QUIT, 0, 0);
}

// A wait for one window's messages takes nothing posted to another: those
// leave the thread idle.
TEST_F(InputIdleTest, AFilteredWaitIsIdleWithMessagesItWouldNotTake)
{
    std::atomic<HWND> awaited{nullptr};
    std::atomic<HWND> other{nullptr};
    std::atomic<int> handled{0};
    UiThread ui(program_.get(), [&](HWND) {
        awaited = CreateSlowWindow("awaited", &handled);
        other = CreateSlowWindow("other", &handled);
        MSG msg;
        GetMessageA(&msg, awaited, 0, 0);
        RunLoop();
        DestroyWindow(awaited);
        DestroyWindow(other);
    });
    Settle();
    const InputIdleWatch watch(awaited);
    PostMessageA(other, WM_APP + 9, 0, 0);
    Settle();
    EXPECT_TRUE(watch.Idle());
    PostMessageA(awaited, WM_APP + 9, 0, 0);
    Settle();
    EXPECT_TRUE(watch.Idle());  // both taken, waiting in the loop

    PostMessageA(other, WM_QUIT, 0, 0);
}

TEST_F(InputIdleTest, AModalLoopWaitingForAnAnswerIsIdleAndAThreadThatEndedIsToo)
{
    std::atomic<int> answer{0};
    std::unique_ptr<InputIdleWatch> watch;
    {
        UiThread ui(program_.get(), [&](HWND owner) { answer = MessageBoxA(owner, "Go on?", "Idle", MB_OKCANCEL); });
        Settle();
        HWND box = FindWindowA("#32770", "Idle");
        ASSERT_NE(box, nullptr);
        watch = std::make_unique<InputIdleWatch>(ui.Owner());
        EXPECT_TRUE(watch->Idle());
        Advance(1200);  // the owner's timer ticks inside the box's loop
        EXPECT_GE(ui.Ticks(), 2);
        EXPECT_TRUE(watch->Idle());
        PostMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    }
    EXPECT_EQ(answer.load(), IDOK);
    EXPECT_TRUE(watch->Idle());
    EXPECT_TRUE(InputIdleWatch(nullptr).Idle());
}

}  // namespace
}  // namespace winsim::ui::test
