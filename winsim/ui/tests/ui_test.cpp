#include "ui_test.h"

#include <map>
#include <mutex>

namespace winsim::ui::test {

namespace {

std::mutex g_handlersLock;
std::map<HWND, Handler>& Handlers()
{
    static std::map<HWND, Handler> handlers;
    return handlers;
}
thread_local Handler t_pending;

LRESULT CALLBACK HandlerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    Handler handler;
    {
        std::lock_guard<std::mutex> guard(g_handlersLock);
        if (message == WM_NCCREATE && t_pending) Handlers()[hwnd] = std::move(t_pending);
        auto it = Handlers().find(hwnd);
        if (it != Handlers().end()) handler = it->second;
        if (message == WM_NCDESTROY) Handlers().erase(hwnd);
    }
    LRESULT result = 0;
    if (handler && handler(hwnd, message, wParam, lParam, &result)) return result;
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

std::u16string Widen(const char* text) { return std::u16string(text, text + std::char_traits<char>::length(text)); }

}  // namespace

void UiTest::SetUp()
{
    Scheduler::Instance().Boot(ClockMode::Virtual);
    attachment_ = std::make_unique<Scheduler::Attachment>("ui test");
    program_ = std::make_unique<Program>("test");
    BindThreadToProgram(program_.get());
}

void UiTest::TearDown()
{
    Settle();
    EXPECT_EQ(program_->windows.load(), 0) << "windows outlived the test";
    EXPECT_EQ(program_->gdiObjects.load(), 0) << "GDI objects outlived the test";
    UnregisterProgramClasses(*program_);
    ReleaseProgramIcons(*program_);
    ReleaseProgramMenus(*program_);
    BindThreadToProgram(nullptr);
    attachment_.reset();
    Scheduler::Instance().Shutdown();
}

void UiTest::Settle() { Scheduler::Instance().Settle(); }

void UiTest::Advance(int milliseconds) { Scheduler::Instance().Sleep(milliseconds * kTicksPerMillisecond); }

Ticks UiTest::NowMs() { return Scheduler::Instance().Now() / kTicksPerMillisecond; }

DialogBuilder::DialogBuilder(const char* title, DWORD style, int cx, int cy)
{
    template_.extended = true;
    template_.style = style | DS_SETFONT;
    template_.cx = static_cast<int16_t>(cx);
    template_.cy = static_cast<int16_t>(cy);
    template_.title = Widen(title);
    template_.font = resources::DialogFont{8, FW_NORMAL, false, DEFAULT_CHARSET, u"MS Shell Dlg"};
}

DialogBuilder& DialogBuilder::Item(const char* className, const char* text, int id, DWORD style, int x, int y,
                                   int cx, int cy)
{
    resources::DialogItem item;
    item.style = style | WS_CHILD | WS_VISIBLE;
    item.x = static_cast<int16_t>(x);
    item.y = static_cast<int16_t>(y);
    item.cx = static_cast<int16_t>(cx);
    item.cy = static_cast<int16_t>(cy);
    item.id = static_cast<uint32_t>(id);
    item.windowClass = resources::ResourceId::FromName(Widen(className));
    item.title = resources::ResourceId::FromName(Widen(text));
    template_.items.push_back(item);
    return *this;
}

bool MessageLog::Contains(const std::string& line) const { return IndexOf(line) >= 0; }

int MessageLog::IndexOf(const std::string& line) const
{
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i] == line) return static_cast<int>(i);
    }
    return -1;
}

void RegisterHandlerClass(const char* name)
{
    WNDCLASSEXA cls{};
    cls.cbSize = sizeof(cls);
    cls.lpfnWndProc = HandlerProc;
    cls.lpszClassName = name;
    RegisterClassExA(&cls);
}

HWND CreateHandlerWindow(const char* className, const char* title, DWORD style, HWND parent, int id,
                         Handler handler)
{
    t_pending = std::move(handler);
    HWND hwnd = CreateWindowExA(0, className, title, style, 10, 10, 200, 100, parent,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
    t_pending = nullptr;
    return hwnd;
}

}  // namespace winsim::ui::test
