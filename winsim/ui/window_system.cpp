#include "ui/window_system.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <map>

namespace winsim::ui {

namespace {

thread_local Program* t_program = nullptr;
// Programs a test binds get ids no process of the simulated PC has.
std::atomic<uint32_t> g_nextProgramId{0x40000000};

std::mutex g_processesLock;

}  // namespace

Program::Program(std::string programName) : name(std::move(programName)), id(g_nextProgramId.fetch_add(4)) {}

State& Ui()
{
    static State state;
    return state;
}

Program& ProgramOfProcess(uint32_t processId)
{
    static std::map<uint32_t, std::unique_ptr<Program>> programs;
    std::lock_guard<std::mutex> guard(g_processesLock);
    std::unique_ptr<Program>& program = programs[processId];
    if (!program) {
        program = std::make_unique<Program>();
        program->id = processId;
    }
    return *program;
}

Program& CurrentProgram() { return t_program != nullptr ? *t_program : ProgramOfProcess(GetCurrentProcessId()); }

void BindThreadToProgram(Program* program) { t_program = program; }

Window* FindLocked(HWND hwnd)
{
    auto it = Ui().windows.find(hwnd);
    return it == Ui().windows.end() ? nullptr : it->second.get();
}

bool IsTopLevel(const Window& window) { return (window.style & WS_CHILD) == 0 || window.parent == nullptr; }

HWND TopLevelOf(HWND hwnd)
{
    Window* window = FindLocked(hwnd);
    while (window != nullptr && !IsTopLevel(*window)) window = FindLocked(window->parent);
    return window != nullptr ? window->handle : nullptr;
}

void BringToFrontLocked(HWND hwnd)
{
    auto& order = Ui().topLevel;
    auto it = std::find(order.begin(), order.end(), hwnd);
    if (it == order.end()) return;
    order.erase(it);
    order.insert(order.begin(), hwnd);
}

void PlaceInZOrderLocked(Window& window, HWND hwnd, HWND insertAfter)
{
    Window* parent = IsTopLevel(window) ? nullptr : FindLocked(window.parent);
    std::vector<HWND>& order = parent != nullptr ? parent->children : Ui().topLevel;
    if (insertAfter == HWND_TOPMOST || insertAfter == HWND_NOTOPMOST) {
        if (parent == nullptr) {
            window.exStyle = insertAfter == HWND_TOPMOST ? (window.exStyle | WS_EX_TOPMOST)
                                                         : (window.exStyle & ~static_cast<DWORD>(WS_EX_TOPMOST));
        }
        insertAfter = HWND_TOP;
    }
    if (insertAfter == hwnd || std::find(order.begin(), order.end(), hwnd) == order.end()) return;
    if (insertAfter != HWND_TOP && insertAfter != HWND_BOTTOM &&
        std::find(order.begin(), order.end(), insertAfter) == order.end()) {
        return;  // not a sibling
    }
    std::erase(order, hwnd);
    if (insertAfter == HWND_TOP) {
        order.insert(order.begin(), hwnd);
    } else if (insertAfter == HWND_BOTTOM) {
        order.push_back(hwnd);
    } else {
        order.insert(std::find(order.begin(), order.end(), insertAfter) + 1, hwnd);
    }
}

bool SameText(const std::string& a, const char* b)
{
    size_t i = 0;
    for (; i < a.size() && b[i] != '\0'; ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return i == a.size() && b[i] == '\0';
}

}  // namespace winsim::ui

namespace winsim::ui {

void CollectDescendantsLocked(HWND hwnd, std::vector<HWND>* out)
{
    Window* window = FindLocked(hwnd);
    if (window == nullptr) return;
    for (HWND child : window->children) {
        out->push_back(child);
        CollectDescendantsLocked(child, out);
    }
}

bool IsDescendantLocked(HWND ancestor, HWND hwnd)
{
    Window* window = FindLocked(hwnd);
    while (window != nullptr && !IsTopLevel(*window)) {
        if (window->parent == ancestor) return true;
        window = FindLocked(window->parent);
    }
    return false;
}

}  // namespace winsim::ui
