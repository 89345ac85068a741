// The window system's test fixture: a booted scheduler on the virtual clock,
// the test's thread attached and bound to a program of its own, and helpers
// that build dialog templates and record the messages windows receive.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "sched/scheduler.h"
#include "ui/program.h"
#include "ui/resources/dialog_template.h"

namespace winsim::ui::test {

class UiTest : public ::testing::Test {
protected:
    void SetUp() override;
    // Every window and GDI object of the test's program must be gone.
    void TearDown() override;

    // Lets every other simulation thread run until it waits.
    static void Settle();
    // Lets simulated time pass for the test's thread.
    static void Advance(int milliseconds);
    static Ticks NowMs();

    std::unique_ptr<Program> program_;

private:
    std::unique_ptr<Scheduler::Attachment> attachment_;
};

// A dialog template with an 8-point font, built item by item.
class DialogBuilder {
public:
    DialogBuilder(const char* title, DWORD style, int cx, int cy);
    DialogBuilder& Item(const char* className, const char* text, int id, DWORD style, int x = 0, int y = 0,
                        int cx = 40, int cy = 12);
    const resources::DialogTemplate& Template() const { return template_; }

private:
    resources::DialogTemplate template_;
};

// Records "NAME hwnd-role" lines as a window procedure sees messages.
struct MessageLog {
    std::vector<std::string> lines;
    void Add(const std::string& line) { lines.push_back(line); }
    bool Contains(const std::string& line) const;
    // Position of the first line equal to `line`; -1 when absent.
    int IndexOf(const std::string& line) const;
};

// Registers a window class whose procedure hands every message to `handler`
// (which returns true when it handled the message and sets *result) before
// DefWindowProc.
using Handler = std::function<bool(HWND, UINT, WPARAM, LPARAM, LRESULT*)>;
void RegisterHandlerClass(const char* name);
HWND CreateHandlerWindow(const char* className, const char* title, DWORD style, HWND parent, int id,
                         Handler handler);

// A program's UI thread: an owner window with a 500 ms timer that counts its
// ticks, and whatever `run` does with it.
class UiThread {
public:
    UiThread(Program* program, std::function<void(HWND owner)> run)
    {
        thread_ = Scheduler::Instance().Spawn("ui", [this, program, run] {
            BindThreadToProgram(program);
            RegisterHandlerClass("Owner");
            owner_ = CreateHandlerWindow("Owner", "Owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr, 0,
                                         [this](HWND, UINT message, WPARAM, LPARAM, LRESULT*) {
                                             if (message == WM_TIMER) ticks_++;
                                             return message == WM_TIMER;
                                         });
            SetTimer(owner_, 1, 500, nullptr);
            run(owner_);
            DestroyWindow(owner_);
            done_ = true;
        });
    }
    ~UiThread() { thread_.Join(); }
    HWND Owner() const { return owner_; }
    int Ticks() const { return ticks_; }
    bool Done() const { return done_; }

private:
    Thread thread_;
    std::atomic<HWND> owner_{nullptr};
    std::atomic<int> ticks_{0};
    std::atomic<bool> done_{false};
};

}  // namespace winsim::ui::test
