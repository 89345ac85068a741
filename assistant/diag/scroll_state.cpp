#include "assistant/diag/scroll_state.h"

namespace diag {

namespace {

constexpr int kTopMargin = 10;

int Clamp(int value, int low, int high)
{
    return value < low ? low : value > high ? high : value;
}

int MaxFirstFor(ULONG count, int rows)
{
    return count > static_cast<ULONG>(rows) ? static_cast<int>(count - static_cast<ULONG>(rows)) : 0;
}

}  // namespace

void ScrollState::SetRows(int clientTop, int clientHeight, int lineHeight)
{
    const int fit = lineHeight > 0 ? (clientHeight - kTopMargin - clientTop) / lineHeight : 1;
    rows = fit < 1 ? 1 : fit;
}

void ScrollState::ScrollToEnd(ULONG count)
{
    maxFirst = MaxFirstFor(count, rows);
    firstVisible = maxFirst;
}

void ScrollState::Fit(ULONG count)
{
    maxFirst = MaxFirstFor(count, rows);
    firstVisible = Clamp(firstVisible, 0, maxFirst);
}

bool ScrollState::Scroll(int request, int thumb)
{
    int target = 0;
    switch (request) {
    case SB_LINEUP: target = firstVisible - 1; break;
    case SB_LINEDOWN: target = firstVisible + 1; break;
    case SB_PAGEUP: target = firstVisible - rows; break;
    case SB_PAGEDOWN: target = firstVisible + rows; break;
    case SB_TOP: target = 0; break;
    case SB_BOTTOM: target = maxFirst; break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: target = thumb; break;
    default: return false;
    }
    target = Clamp(target, 0, maxFirst);
    if (target == firstVisible) {
        return false;
    }
    firstVisible = target;
    return true;
}

int ScrollRequestForKey(UINT virtualKey)
{
    switch (virtualKey) {
    case VK_PRIOR: return SB_PAGEUP;
    case VK_NEXT: return SB_PAGEDOWN;
    case VK_HOME: return SB_TOP;
    case VK_END: return SB_BOTTOM;
    case VK_UP: return SB_LINEUP;
    case VK_DOWN: return SB_LINEDOWN;
    default: return -1;
    }
}

int ScrollColumns(int offset, int request, int thumb)
{
    int target = offset;
    switch (request) {
    case SB_LINELEFT: target = offset - 1; break;
    case SB_LINERIGHT: target = offset + 1; break;
    case SB_PAGELEFT: target = offset - kMonitorPageColumns; break;
    case SB_PAGERIGHT: target = offset + kMonitorPageColumns; break;
    case SB_LEFT: target = 0; break;
    case SB_RIGHT: target = kMonitorColumns; break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: target = thumb; break;
    default: break;
    }
    return Clamp(target, 0, kMonitorColumns);
}

}  // namespace diag
