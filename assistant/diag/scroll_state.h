// Vertical scrolling of the two diagnostics views: which line is at the top,
// how many fit, and what a scroll request or key does to them. Also the
// monitor's horizontal offset in characters.
#pragma once

#include "common/win32_user.h"

namespace diag {

class ScrollState {
public:
    int Rows() const { return rows; }
    int FirstVisible() const { return firstVisible; }
    int MaxFirst() const { return maxFirst; }

    // Whole lines below the top margin of 10, at least one.
    void SetRows(int clientTop, int clientHeight, int lineHeight);
    // A line was added: the last page is shown.
    void ScrollToEnd(ULONG count);
    // The view or the count changed: the top line stays unless past the end.
    void Fit(ULONG count);
    bool BarShown(ULONG count) const { return count > static_cast<ULONG>(rows); }
    // SB_* request; thumb for SB_THUMBTRACK/SB_THUMBPOSITION. False when
    // nothing moved (a move at a limit), so nothing needs repainting.
    bool Scroll(int request, int thumb);
    void Reset() { firstVisible = 0; }

private:
    int rows = 20;
    int firstVisible = 0;
    int maxFirst = 0;
};

// The scroll request a key stands for, or -1.
int ScrollRequestForKey(UINT virtualKey);

inline constexpr int kMonitorColumns = 201;
inline constexpr int kMonitorPageColumns = 40;

// The monitor's horizontal offset after an SB_* request, within 0..201.
int ScrollColumns(int offset, int request, int thumb);

}  // namespace diag
