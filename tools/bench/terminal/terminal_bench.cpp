#include "terminal/terminal_bench.h"

#include <curses.h>

#include <sstream>
#include <string>
#include <vector>

#include "command_table.h"
#include "commands/control_commands.h"
#include "commands/ui_commands.h"
#include "gui/gui_programs.h"
#include "pty/pty_bridge.h"
#include "terminal/terminal_keys.h"
#include "terminal/terminal_menu.h"
#include "terminal/terminal_screen.h"
#include "ui/render/screen_renderer.h"

namespace bench {

namespace {

constexpr int kFrameMilliseconds = 100;
constexpr size_t kLogLines = 500;

const char* const kHelp[] = {
    "help: keys go to the Assistant as on Windows: Tab, Shift+Tab, arrows, Enter, Space, Escape, F10, Alt+F4",
    "help: the mouse clicks, double-clicks and turns the wheel where the terminal reports it",
    "help: ':' opens this command line, Escape closes it; Ctrl+C or :quit leaves the bench",
    "help: bench commands: plug B, unplug A, line A 2 loopback, open COM4, write COM4 \"hello\", close COM4,",
    "help:   info, config, monitor fetch, ui windows, ui dump, ... (README, section The bench)",
    "help: the first line shows each COM port's Linux terminal: picocom -b 115200 PATH in another terminal",
};

// Bench output, line by line, as commands and the window system print it.
class OutputLog {
public:
    void Take(std::ostringstream& out)
    {
        Take(out.str());
        out.str("");
    }
    void Take(const std::string& text)
    {
        std::istringstream lines(text);
        for (std::string line; std::getline(lines, line);)
            Add(line);
    }
    void Add(const std::string& line)
    {
        lines_.push_back(line);
        if (lines_.size() > kLogLines)
            lines_.erase(lines_.begin());
    }
    const std::vector<std::string>& Lines() const { return lines_; }

private:
    std::vector<std::string> lines_;
};

// The machine as the person finds it: one adapter with a loopback plug in
// its first port, and the Assistant (the window system's test program
// where the bench has no Assistant).
void SetUp(Session& session)
{
    session.RunLine("plug A");
    session.RunLine("line A 1 loopback");
    session.RunLine(FindCommand("assistant") != nullptr ? "assistant start" : "testprogram start");
}

// The plugged adapters' COM ports as Linux pseudo-terminals, so a person's
// own serial program (picocom -b 115200 PATH) can drive them; what the
// first line shows of them.
std::string BridgePorts(Session& session)
{
    const DeviceInfoTable table = ReadDeviceInfoTable();
    for (int32_t k = 0; k < table.count && k < static_cast<int32_t>(kTableAdapterRecords); ++k) {
        for (const PortInfo& port : table.adapters[k].ports)
            session.RunLine("pty COM" + std::to_string(port.comNumber));
    }
    std::string shown;
    for (const auto& bridge : session.Machine().PtyBridges())
        shown += "  " + bridge->ComName() + " " + bridge->Path();
    return shown;
}

class Terminal {
public:
    explicit Terminal(Session& session, std::ostringstream& out) : session_(session), out_(out) {}

    int Run()
    {
        SetUp(session_);
        const std::string ports = BridgePorts(session_);
        if (!ports.empty())
            screen_.SetHelpLine(" QTR84PX-1 bench | :help | : command | :quit |" + ports);
        for (;;) {
            ReportUiEvents(session_);
            TakeOutput();
            log_.Take(screen_.TakeStrayOutput());
            GuiProgram* program = session_.Machine().Programs().Current();
            if (program == nullptr || quit_)
                return 0;
            HWND target = TargetOf(*program);
            const std::vector<HWND> windows = VisibleWindowsOf(*program);
            winsim::ui::render::CharGrid desktop =
                winsim::ui::render::RenderDesktop(windows, target, screen_.DesktopRows(), screen_.Cols());
            if (menu_.IsOpen())
                menu_.Draw(desktop);
            screen_.Draw(desktop, paneOpen_, log_.Lines(), command_);
            const int key = screen_.ReadKey(kFrameMilliseconds);
            if (key == ERR || key == KEY_RESIZE)
                continue;
            if (paneOpen_) {
                Edit(key);
            } else if (HWND keyTarget = TargetOf(*program); keyTarget != nullptr) {
                // The window on top when the key is read, not when the screen
                // was drawn: the program may have closed that one meanwhile.
                const TerminalAction action = DeliverKey(key, screen_, keyTarget, desktop, menu_);
                paneOpen_ = action == TerminalAction::kCommandLine;
                quit_ = action == TerminalAction::kQuit;
            }
        }
    }

private:
    // The bus thread may be printing a trace line into it meanwhile.
    void TakeOutput()
    {
        session_.Shown().WithTarget([this](std::ostream&) { log_.Take(out_); });
    }

    void Edit(int key)
    {
        switch (key) {
        case 27:
            paneOpen_ = false;
            return;
        case 3:
            quit_ = true;
            return;
        case KEY_BACKSPACE:
        case 127:
        case 8:
            if (!command_.empty())
                command_.pop_back();
            return;
        case '\r':
        case '\n':
        case KEY_ENTER:
            Execute();
            return;
        default:
            if (key >= 0x20 && key < 0x7F)
                command_ += static_cast<char>(key);
            return;
        }
    }

    void Execute()
    {
        const std::string command = command_;
        command_.clear();
        log_.Add(":" + command);
        if (command == "help") {
            for (const char* line : kHelp)
                log_.Add(line);
        } else if (command == "quit") {
            quit_ = true;
        } else if (!command.empty()) {
            session_.RunLine(command);
            ReportUiEvents(session_);
        }
        TakeOutput();
    }

    Session& session_;
    std::ostringstream& out_;
    TerminalScreen screen_;
    TerminalMenu menu_;
    OutputLog log_;
    bool paneOpen_ = false;
    bool quit_ = false;
    std::string command_;
};

}  // namespace

int RunTerminal(SessionOptions options)
{
    options.realtime = true;
    std::ostringstream out;
    Session session(out, options);
    Terminal terminal(session, out);
    return terminal.Run();
}

}  // namespace bench
