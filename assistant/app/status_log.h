// The status log: list box 1016 of the diagnostics page, newest line last,
// at most 400 lines, each stamped with the local time.
#pragma once

#include <string>

#include "assistant/app/driver_access.h"
#include "assistant/framework/list_controls.h"

namespace assistant {

inline constexpr int kStatusLogLines = 400;

class StatusLogList : public StatusLog {
public:
    void Attach(HWND listBox) { list_.Attach(listBox); }
    void AppendStatusLine(const std::string& text) override;
    void Clear();

private:
    fw::ListBox list_;
    int lines_ = 0;
};

}  // namespace assistant
