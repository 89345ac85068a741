#include "commands/ui_commands.h"

#include <commctrl.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <ostream>

#include "clipboard_report.h"
#include "gui/gui_programs.h"
#include "gui/window_input.h"
#include "commands/ui_menu_pick.h"
#include "script_values.h"
#include "ui/input_idle.h"
#include "ui/render/picture.h"
#include "ui/render/screen_renderer.h"
#include "ui/ui_events.h"
#include "uitest_program.h"
#include "window_report.h"

namespace bench {

namespace {

constexpr const char* kUsage =
    "usage: ui windows|activate \"TITLE\"|dump|report|text CONTROL|items CONTROL|click CONTROL|select CONTROL INDEX|\"TEXT\"|"
    "open CONTROL \"TEXT\"|scroll CONTROL PART|command ID|key KEY|close|answer BUTTON|savefile PATH|cancel|clipboard|"
    "stats|screen|screenshot FILE";

bool Quoted(const std::string& word) { return word.size() >= 2 && word.front() == '"' && word.back() == '"'; }

GuiProgram& RunningProgram(Session& session)
{
    GuiProgram* program = session.Machine().Programs().Current();
    if (program == nullptr) throw CommandError("no program with windows is running");
    return *program;
}

HWND Target(Session& session)
{
    HWND target = TargetOf(RunningProgram(session));
    if (target == nullptr) throw CommandError("the program shows no window");
    return target;
}

HWND Control(Session& session, const std::string& name)
{
    std::string error;
    HWND control = uidump::FindControl(Target(session), name, &error);
    if (control == nullptr) throw CommandError(error);
    return control;
}

// A control a user can reach: shown and enabled.
HWND UsableControl(Session& session, const std::string& name)
{
    HWND control = Control(session, name);
    if (!IsWindowVisible(control)) throw CommandError("control " + name + " is hidden");
    if (!IsWindowEnabled(control)) throw CommandError("control " + name + " is disabled");
    return control;
}

void Print(Session& session, const std::vector<std::string>& lines)
{
    for (const std::string& line : lines) session.Out() << line << '\n';
}

void Windows(Session& session)
{
    GuiProgram& program = RunningProgram(session);
    HWND target = TargetOf(program);
    for (HWND hwnd : VisibleWindowsOf(program)) {
        session.Out() << "window " << uidump::Quote(uidump::TextOf(hwnd)) << ' ' << uidump::ClassOf(hwnd)
                      << (IsWindowEnabled(hwnd) ? "" : " disabled") << (hwnd == target ? " active" : "") << '\n';
    }
}

void Activate(Session& session, const std::string& title)
{
    GuiProgram& program = RunningProgram(session);
    for (HWND hwnd : VisibleWindowsOf(program)) {
        if (uidump::TextOf(hwnd).rfind(title, 0) != 0) continue;
        program.activated = hwnd;
        SetForegroundWindow(hwnd);
        return;
    }
    throw CommandError("no window titled " + title);
}

int ItemIndex(HWND control, const std::string& word, bool combo)
{
    const LRESULT count = SendMessageA(control, combo ? CB_GETCOUNT : LB_GETCOUNT, 0, 0);
    if (Quoted(word)) {
        const std::string text = Unquote(word);
        const LRESULT found = SendMessageA(control, combo ? CB_FINDSTRINGEXACT : LB_FINDSTRINGEXACT,
                                           static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text.c_str()));
        if (found < 0) throw CommandError("no item " + word);
        return static_cast<int>(found);
    }
    const auto index = static_cast<int>(ParseNumber(word, INT32_MAX));
    if (index >= count) throw CommandError("no item " + word + " of " + std::to_string(count));
    return index;
}

int TabIndex(HWND control, const std::string& word)
{
    const auto count = static_cast<int>(SendMessageA(control, TCM_GETITEMCOUNT, 0, 0));
    if (Quoted(word)) {
        const std::string text = Unquote(word);
        for (int index = 0; index < count; ++index) {
            if (uidump::TabText(control, index) == text) return index;
        }
        throw CommandError("no item " + word);
    }
    const auto index = static_cast<int>(ParseNumber(word, INT32_MAX));
    if (index >= count) throw CommandError("no item " + word + " of " + std::to_string(count));
    return index;
}

// A left click at the middle of a rectangle of the control's client area.
void ClickAt(HWND control, const RECT& rect, bool twice = false)
{
    const LPARAM point = MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    PostMessageA(control, WM_LBUTTONDOWN, MK_LBUTTON, point);
    PostMessageA(control, WM_LBUTTONUP, 0, point);
    if (!twice) return;
    PostMessageA(control, WM_LBUTTONDBLCLK, MK_LBUTTON, point);
    PostMessageA(control, WM_LBUTTONUP, 0, point);
}

// A toolbar button a user can reach is on a shown, enabled toolbar, shown
// and enabled itself; the click lands on its middle.
void ClickToolbarButton(Session& session, const std::string& name)
{
    uidump::ToolbarButton button{};
    std::string error;
    if (!uidump::FindToolbarButton(Target(session), name, &button, &error)) throw CommandError(error);
    if (!IsWindowVisible(button.toolbar) || (button.state & TBSTATE_HIDDEN)) {
        throw CommandError("toolbar button " + name + " is hidden");
    }
    if (!IsWindowEnabled(button.toolbar) || !(button.state & TBSTATE_ENABLED)) {
        throw CommandError("toolbar button " + name + " is disabled");
    }
    RECT rect{};
    SendMessageA(button.toolbar, TB_GETITEMRECT, static_cast<WPARAM>(button.index), reinterpret_cast<LPARAM>(&rect));
    ClickAt(button.toolbar, rect);
}

void Click(Session& session, const std::string& name)
{
    std::string error;
    if (uidump::FindControl(Target(session), name, &error) == nullptr && error.rfind("no control", 0) == 0) {
        ClickToolbarButton(session, name);
        return;
    }
    HWND control = UsableControl(session, name);
    if (uidump::ClassOf(control) == "Button") {
        PostMessageA(control, BM_CLICK, 0, 0);
        return;
    }
    PostMessageA(control, WM_LBUTTONDOWN, 0, MAKELPARAM(1, 1));
    PostMessageA(control, WM_LBUTTONUP, 0, MAKELPARAM(1, 1));
}

// What a user's selection does: the control selects the item, and the parent
// hears what it would hear from the user's click.
void Select(Session& session, const std::string& name, const std::string& word)
{
    HWND control = UsableControl(session, name);
    const std::string cls = uidump::ClassOf(control);
    HWND parent = GetParent(control);
    const int id = GetDlgCtrlID(control);
    auto notify = [&](WORD code) {
        PostMessageA(parent, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(control));
    };
    if (cls == "ListBox") {
        PostMessageA(control, LB_SETCURSEL, static_cast<WPARAM>(ItemIndex(control, word, false)), 0);
        if (GetWindowLongPtrA(control, GWL_STYLE) & LBS_NOTIFY) notify(LBN_SELCHANGE);
    } else if (cls == "ComboBox") {
        const int index = ItemIndex(control, word, true);
        PostMessageA(control, CB_SHOWDROPDOWN, TRUE, 0);
        PostMessageA(control, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
        notify(CBN_SELCHANGE);
        notify(CBN_SELENDOK);
        PostMessageA(control, CB_SHOWDROPDOWN, FALSE, 0);
    } else if (cls == WC_TABCONTROLA) {
        RECT rect{};
        SendMessageA(control, TCM_GETITEMRECT, static_cast<WPARAM>(TabIndex(control, word)),
                     reinterpret_cast<LPARAM>(&rect));
        ClickAt(control, rect);
    } else {
        throw CommandError("control " + name + " is a " + cls + ", not a list");
    }
}

// Selects the item a user sees with that text (its parents opened first)
// and double-clicks it.
void Open(Session& session, const std::string& name, const std::string& word)
{
    HWND tree = UsableControl(session, name);
    if (uidump::ClassOf(tree) != WC_TREEVIEWA) {
        throw CommandError("control " + name + " is a " + uidump::ClassOf(tree) + ", not a tree");
    }
    HTREEITEM item = uidump::FindTreeItem(tree, Unquote(word));
    if (item == nullptr) throw CommandError("no item " + word);
    SendMessageA(tree, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(item));
    RECT rect{};
    std::memcpy(&rect, &item, sizeof(item));  // TVM_GETITEMRECT reads the item from the rectangle
    if (!SendMessageA(tree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&rect))) {
        throw CommandError("item " + word + " is not shown");
    }
    ClickAt(tree, rect, true);
}

// A click on a part of a control's standard scroll bar: the arrows at its
// ends, or the track just inside them.
void Scroll(Session& session, const std::string& name, const std::string& part)
{
    static const struct {
        const char* name;
        bool vertical;
        bool end;    // the far end of the bar
        bool track;  // the track beside the arrow rather than the arrow
    } kParts[] = {
        {"up", true, false, false},     {"down", true, true, false},     {"pageup", true, false, true},
        {"pagedown", true, true, true}, {"left", false, false, false},   {"right", false, true, false},
        {"pageleft", false, false, true}, {"pageright", false, true, true},
    };
    HWND control = UsableControl(session, name);
    for (const auto& p : kParts) {
        if (part != p.name) continue;
        const DWORD style = static_cast<DWORD>(GetWindowLongPtrA(control, GWL_STYLE));
        if (!(style & (p.vertical ? WS_VSCROLL : WS_HSCROLL))) {
            throw CommandError("control " + name + " has no " + (p.vertical ? "vertical" : "horizontal") +
                               " scroll bar");
        }
        PostScrollBarClick(control, p.vertical, p.end, p.track);
        return;
    }
    throw CommandError("no scroll bar part " + part);
}

WPARAM VirtualKey(const std::string& key)
{
    static const std::pair<const char*, WPARAM> kNamed[] = {
        {"enter", VK_RETURN}, {"escape", VK_ESCAPE}, {"tab", VK_TAB},    {"space", VK_SPACE},
        {"up", VK_UP},        {"down", VK_DOWN},     {"left", VK_LEFT},  {"right", VK_RIGHT},
        {"pageup", VK_PRIOR}, {"pagedown", VK_NEXT}, {"home", VK_HOME},  {"end", VK_END},
        {"capslock", VK_CAPITAL}, {"numlock", VK_NUMLOCK}, {"scrolllock", VK_SCROLL},
    };
    for (auto& [name, vk] : kNamed) {
        if (key == name) return vk;
    }
    if (key.size() >= 2 && key[0] == 'f') {
        const auto number = ParseNumber(key.substr(1), 12);
        if (number >= 1) return VK_F1 + number - 1;
    }
    if (key.size() == 1 && std::isalnum(static_cast<unsigned char>(key[0]))) {
        return static_cast<WPARAM>(std::toupper(static_cast<unsigned char>(key[0])));
    }
    return 0;
}

void Key(Session& session, const std::string& word)
{
    const std::string key = Unquote(word);
    HWND target = Target(session);
    if (key == "shift+tab") {
        PostKey(target, VK_TAB, true);
        return;
    }
    const WPARAM vk = VirtualKey(key);
    if (vk != 0) {
        PostKey(target, vk);
        return;
    }
    if (key.size() != 1 || !std::isprint(static_cast<unsigned char>(key[0]))) throw CommandError("no key " + word);
    PostCharacter(target, key[0]);
}

void Answer(Session& session, const std::string& button)
{
    static const std::pair<const char*, int> kButtons[] = {{"ok", IDOK}, {"cancel", IDCANCEL}, {"yes", IDYES},
                                                           {"no", IDNO}};
    int id = -1;
    for (auto& [name, value] : kButtons) {
        if (button == name) id = value;
    }
    if (id < 0) id = static_cast<int>(ParseNumber(button, 0xFFFF));
    HWND target = Target(session);
    HWND control = GetDlgItem(target, id);
    if (control == nullptr) {
        throw CommandError("window " + uidump::Quote(uidump::TextOf(target)) + " has no button " + button);
    }
    if (!IsWindowEnabled(control)) throw CommandError("button " + button + " is disabled");
    PostMessageA(control, BM_CLICK, 0, 0);
}

// A menu item as the user picks it from the target's menu bar, else a
// toolbar button as the user clicks it; an id neither has goes to the
// window as its command.
void Command(Session& session, const std::string& word)
{
    const auto id = static_cast<UINT>(ParseNumber(word, 0xFFFF));
    HWND target = Target(session);
    switch (PickMenuItem(target, id)) {
    case MenuPick::kPicked: return;
    case MenuPick::kDisabled: throw CommandError("menu item " + word + " is disabled");
    case MenuPick::kNoSuchItem: break;
    }
    uidump::ToolbarButton button{};
    std::string notFound;
    if (uidump::FindToolbarButton(target, std::to_string(id), &button, &notFound)) {
        ClickToolbarButton(session, std::to_string(id));
        return;
    }
    PostMessageA(target, WM_COMMAND, MAKEWPARAM(id, 0), 0);
}

// Types the path into the open save-file dialog and presses Save, or
// presses Cancel.
void SaveFile(Session& session, const std::string& word)
{
    HWND dialog = nullptr;
    for (HWND hwnd : VisibleWindowsOf(RunningProgram(session))) {
        if (uidump::ClassOf(hwnd) == "#32770" && GetDlgItem(hwnd, edt1) != nullptr && GetDlgItem(hwnd, cmb1) != nullptr) {
            dialog = hwnd;
            break;
        }
    }
    if (dialog == nullptr || !IsWindowEnabled(dialog)) throw CommandError("no save-file dialog is open");
    HWND name = GetDlgItem(dialog, edt1);
    if (word == "cancel") {
        PostMessageA(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
        return;
    }
    SetWindowTextA(name, Unquote(word).c_str());
    PostMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
}

void Stats(Session& session)
{
    const winsim::ui::Program& counts = *RunningProgram(session).windows;
    session.Out() << "stats messages=" << counts.messages.load() << " paints=" << counts.paints.load()
                  << " setwindowtext=" << counts.setWindowText.load() << '\n';
}

std::string ButtonsOf(unsigned int type)
{
    switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL: return "okcancel";
    case MB_ABORTRETRYIGNORE: return "abortretryignore";
    case MB_YESNOCANCEL: return "yesnocancel";
    case MB_YESNO: return "yesno";
    case MB_RETRYCANCEL: return "retrycancel";
    default: return "ok";
    }
}

std::string IconOf(unsigned int type)
{
    switch (type & MB_ICONMASK) {
    case MB_ICONHAND: return "error";
    case MB_ICONQUESTION: return "question";
    case MB_ICONEXCLAMATION: return "warning";
    case MB_ICONASTERISK: return "information";
    default: return "none";
    }
}

void Expect(const Args& args, size_t count)
{
    if (args.size() != count) throw CommandError(kUsage);
}

bool OneOf(const std::string& word, std::initializer_list<const char*> names)
{
    return std::any_of(names.begin(), names.end(), [&word](const char* name) { return word == name; });
}

void GiveInput(Session& session, const Args& args)
{
    const std::string& what = args[0];
    if (what == "click") {
        Expect(args, 2);
        Click(session, args[1]);
    } else if (what == "select") {
        Expect(args, 3);
        Select(session, args[1], args[2]);
    } else if (what == "open") {
        Expect(args, 3);
        Open(session, args[1], args[2]);
    } else if (what == "scroll") {
        Expect(args, 3);
        Scroll(session, args[1], args[2]);
    } else if (what == "command") {
        Expect(args, 2);
        Command(session, args[1]);
    } else if (what == "key") {
        Expect(args, 2);
        Key(session, args[1]);
    } else if (what == "close") {
        Expect(args, 1);
        PostMessageA(Target(session), WM_SYSCOMMAND, SC_CLOSE, 0);
    } else if (what == "answer") {
        Expect(args, 2);
        Answer(session, args[1]);
    } else {
        Expect(args, 2);
        SaveFile(session, args[1]);
    }
}

void RunUntilInputIdle(Session& session, HWND target, const std::function<void()>& input)
{
    const winsim::ui::InputIdleWatch watch(target);
    input();
    if (!session.Machine().Sim().RunUntilQuietAnd([&watch] { return watch.Idle(); })) {
        throw CommandError("the program is still handling the input after 30 s: a message handler has not returned");
    }
}

// As a UI automation tool does, an input command returns once the thread
// owning the target has handled the input and waits for more (input-idle)
// and the machine is quiet: a handler that waits (a port flush, a time-out)
// ends first, so a read after it shows what the user would see.
void GiveInputAndWait(Session& session, const Args& args)
{
    RunUntilInputIdle(session, Target(session), [&] { GiveInput(session, args); });
}

// A read of a program still inside a handler would let the handler run on
// between the read's messages (WM_GETTEXTLENGTH, WM_GETTEXT): it ends first.
void SettleBeforeRead(Session& session)
{
    GuiProgram* program = session.Machine().Programs().Current();
    HWND target = program != nullptr ? TargetOf(*program) : nullptr;
    if (target != nullptr) RunUntilInputIdle(session, target, [] {});
}

}  // namespace

void RunUi(Session& session, const Args& args)
{
    if (args.empty()) throw CommandError(kUsage);
    const std::string& what = args[0];
    if (OneOf(what, {"windows", "dump", "report", "text", "items", "screen", "screenshot"})) SettleBeforeRead(session);
    if (OneOf(what, {"click", "select", "open", "scroll", "command", "key", "close", "answer", "savefile"})) {
        GiveInputAndWait(session, args);
    } else if (what == "windows") {
        Expect(args, 1);
        Windows(session);
    } else if (what == "activate") {
        Expect(args, 2);
        Activate(session, Unquote(args[1]));
    } else if (what == "dump") {
        Expect(args, 1);
        Print(session, uidump::DumpLines(Target(session)));
    } else if (what == "report") {
        Expect(args, 1);
        Print(session, uidump::ReportLines(Target(session)));
    } else if (what == "text") {
        Expect(args, 2);
        HWND control = Control(session, args[1]);
        session.Out() << "text " << args[1] << ' ' << uidump::Quote(uidump::TextOf(control)) << '\n';
    } else if (what == "items") {
        Expect(args, 2);
        Print(session, args[1] == "menu" ? MenuItemLines(Target(session), args[1])
                                         : uidump::ItemLines(Control(session, args[1]), args[1]));
    } else if (what == "clipboard") {
        Expect(args, 1);
        Print(session, uidump::ClipboardLines());
    } else if (what == "stats") {
        Expect(args, 1);
        Stats(session);
    } else if (what == "screenshot") {
        Expect(args, 2);
        HWND target = Target(session);
        std::string error;
        if (!winsim::ui::render::SavePicture(target, target == GetForegroundWindow(), Unquote(args[1]), &error)) {
            throw CommandError("screenshot " + args[1] + ": " + error);
        }
    } else if (what == "screen") {
        Expect(args, 1);
        HWND target = Target(session);
        for (const std::string& line : winsim::ui::render::RenderWindow(target, target == GetForegroundWindow()).Lines()) {
            session.Out() << "screen " << uidump::Quote(line) << '\n';
        }
    } else {
        throw CommandError(kUsage);
    }
}

void RunTestProgram(Session& session, const Args& args)
{
    if (args.size() != 1 || args[0] != "start") throw CommandError("usage: testprogram start");
    GuiProgram& program = session.Machine().Programs().Start(
        "testprogram", UiTestProgramMain, "C:\\Program Files\\UI Test\\uitest.exe", UiTestProgramResources());
    StartedWhenIdle(session, program);
    ReportUiEvents(session);
    if (!program.exited) session.Out() << "testprogram " << program.number << " running\n";
}

void StartedWhenIdle(Session& session, const GuiProgram& program)
{
    session.Machine().Sim().RunUntilQuietAnd([&program] { return WaitsForInput(program); });
}

void ReportUiEvents(Session& session)
{
    for (const winsim::ui::UiEvent& event : winsim::ui::TakeEvents()) {
        switch (event.kind) {
        case winsim::ui::UiEvent::Kind::kWindowOpened:
            session.Out() << "window opened " << uidump::Quote(event.title) << '\n';
            break;
        case winsim::ui::UiEvent::Kind::kWindowClosed:
            session.Out() << "window closed " << uidump::Quote(event.title) << '\n';
            break;
        case winsim::ui::UiEvent::Kind::kMessageBox:
            session.Out() << "msgbox " << uidump::Quote(event.title) << ' ' << uidump::Quote(event.text) << ' '
                          << ButtonsOf(event.type) << ' ' << IconOf(event.type) << '\n';
            break;
        case winsim::ui::UiEvent::Kind::kFileDialog:
            session.Out() << "filedialog " << uidump::Quote(event.title) << ' ' << uidump::Quote(event.text) << '\n';
            break;
        }
    }
    for (auto& program : session.Machine().Programs().All()) {
        if (!program->exited || program->exitReported) continue;
        program->exitReported = true;
        session.Out() << program->name << ' ' << program->number << " exited " << program->process->ExitCode() << '\n';
    }
}

}  // namespace bench
