// EventWnd: the event log window's view. It fills the frame's client area,
// keeps the lines in the 1,000,000-byte arena and paints the visible ones
// numbered by their place in the buffer (0 at the oldest held).
#pragma once

#include "assistant/diag/view_fonts.h"

#include "assistant/diag/line_arena.h"
#include "assistant/diag/scroll_state.h"
#include "assistant/framework/mdi_frame.h"

namespace diag {

class EventWnd final : public fw::MdiChild {
public:
    // lineCounter numbers appended lines for the log file and outlives the
    // window; slot points at this view until its window is gone, when the
    // view deletes itself.
    EventWnd(ULONG& lineCounter, EventWnd*& slot) : lineCounter(lineCounter), slot(slot) { slot = this; }

    void AppendLine(const char* text);
    void ClearView();
    // Fills the parent again and recomputes rows and scrolling.
    void Layout();
    const LineArena& Lines() const { return lines; }
    const ScrollState& Scrolling() const { return scroll; }

protected:
    void OnCreate() override;
    void OnFinalDestroy() override;
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    void Paint();
    void Scroll(int request, int thumb);
    void ShowScrollBar();

    ULONG& lineCounter;
    EventWnd*& slot;
    LineArena lines;
    ScrollState scroll;
    ViewFonts fonts;
};

// "%04d: " cut to its first five characters: the screen's line label.
void EventLineLabel(int index, char (&label)[6]);

}  // namespace diag
