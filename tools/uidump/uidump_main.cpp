// uidump: prints the window report of a running program's top-level window,
// found by the beginning of its title, as the bench's `ui dump`, `ui items`
// and `ui text` print it.
//   uidump TITLE                 every control
//   uidump TITLE items CONTROL   the items of a list or combo box
//   uidump TITLE text CONTROL    a control's text
//   uidump TITLE report          every control, the items of each, the focus,
//                                the layout
//   uidump TITLE focus           the control with the keyboard focus
//   uidump TITLE command ID      posts the command to the window, as a menu
//                                item or accelerator would send it
#include <cstdio>
#include <cstdlib>
#include <string>

#include "window_report.h"

int main(int argc, char** argv)
{
    const std::string mode = argc == 3 ? argv[2] : "";
    const bool report = mode == "report";
    if (argc != 2 && argc != 4 && !report && mode != "focus") {
        std::fprintf(stderr, "usage: uidump TITLE [report | focus | items|text CONTROL | command ID]\n");
        return 2;
    }
    HWND target = uidump::FindTopLevel(argv[1]);
    if (target == nullptr) {
        std::fprintf(stderr, "error: no window titled %s\n", argv[1]);
        return 1;
    }
    std::vector<std::string> lines;
    if (argc == 2) {
        lines = uidump::DumpLines(target);
    } else if (report) {
        lines = uidump::ReportLines(target);
    } else if (mode == "focus") {
        lines.push_back(uidump::FocusLine(target));
    } else if (std::string(argv[2]) == "command") {
        const WORD id = static_cast<WORD>(std::strtoul(argv[3], nullptr, 0));
        return PostMessageA(target, WM_COMMAND, MAKEWPARAM(id, 0), 0) ? 0 : 1;
    } else {
        std::string error;
        HWND control = uidump::FindControl(target, argv[3], &error);
        if (control == nullptr) {
            std::fprintf(stderr, "error: %s\n", error.c_str());
            return 1;
        }
        const std::string what = argv[2];
        if (what == "items") {
            lines = uidump::ItemLines(control, argv[3]);
        } else {
            lines.push_back("text " + std::string(argv[3]) + " " + uidump::Quote(uidump::TextOf(control)));
        }
    }
    for (const std::string& line : lines) std::printf("%s\n", line.c_str());
    return 0;
}
