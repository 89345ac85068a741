// The fixture of the tests that drive the running Assistant through the
// bench: its controls read as a Win32 observer reads them, its status log.
#pragma once

#include <string>
#include <vector>

#include "bench_test.h"
#include "gui/gui_programs.h"
#include "window_report.h"

namespace bench {

class AssistantTest : public BenchTest {
protected:
    AssistantTest() = default;
    explicit AssistantTest(SessionOptions options) : BenchTest(options) {}

    static bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }
    // A control of the Assistant's target window by the `ui` commands' name.
    HWND Control(const std::string& name)
    {
        GuiProgram* program = session.Machine().Programs().Current();
        if (program == nullptr) return nullptr;
        std::string error;
        return uidump::FindControl(TargetOf(*program), name, &error);
    }
    bool Enabled(const std::string& name) { return IsWindowEnabled(Control(name)) != FALSE; }
    std::string Text(const std::string& name) { return uidump::TextOf(Control(name)); }
    // The status log's lines without their time stamps.
    std::vector<std::string> Log()
    {
        std::vector<std::string> lines;
        for (const std::string& line : uidump::ItemLines(Control("1016"), "1016")) {
            const size_t text = line.find(" -- ");
            lines.push_back(line.substr(text + 4, line.size() - text - 5));
        }
        return lines;
    }
    void Start() { ASSERT_TRUE(Has(Run("assistant start"), "assistant 1 running")) << out.str(); }
};

}  // namespace bench
