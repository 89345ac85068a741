// The progress bar (msctls_progress32): a position within a range, moved
// directly or by steps; a step past the end starts over from the beginning.
// Only a change of what it shows repaints it.
#include <commctrl.h>

#include <algorithm>

#include "ui/controls/control_procs.h"
#include "ui/controls/control_state.h"

namespace winsim::ui {

namespace {

struct ProgressState : ControlState {
    int low = 0;
    int high = 100;
    int position = 0;
    int step = 10;
};

LRESULT PackedRange(const ProgressState* state) { return MAKELONG(state->low, state->high); }

// Returns the previous position.
int MoveTo(HWND hwnd, ProgressState* state, int position)
{
    const int previous = state->position;
    state->position = std::clamp(position, std::min(state->low, state->high), std::max(state->low, state->high));
    if (state->position != previous) InvalidateRect(hwnd, nullptr, FALSE);
    return previous;
}

LRESULT SetRange(HWND hwnd, ProgressState* state, int low, int high)
{
    const LRESULT previous = PackedRange(state);
    if (low == state->low && high == state->high) return previous;
    state->low = low;
    state->high = high;
    InvalidateRect(hwnd, nullptr, FALSE);
    MoveTo(hwnd, state, state->position);
    return previous;
}

int StepIt(HWND hwnd, ProgressState* state)
{
    const int span = state->high - state->low;
    int next = state->position + state->step;
    if (span > 0 && next > state->high) next = state->low + (next - state->low) % span;
    if (span > 0 && next < state->low) next = state->high - (state->high - next) % span;
    return MoveTo(hwnd, state, next);
}

}  // namespace

LRESULT CALLBACK ProgressProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* state = StateOf<ProgressState>(hwnd);
    switch (message) {
    case PBM_SETRANGE:
        return SetRange(hwnd, state, static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
    case PBM_SETRANGE32:
        return SetRange(hwnd, state, static_cast<int>(wParam), static_cast<int>(lParam));
    case PBM_GETRANGE: {
        if (auto* range = reinterpret_cast<PBRANGE*>(lParam)) *range = PBRANGE{state->low, state->high};
        return wParam ? state->low : state->high;
    }
    case PBM_SETPOS:
        return MoveTo(hwnd, state, static_cast<int>(wParam));
    case PBM_DELTAPOS:
        return MoveTo(hwnd, state, state->position + static_cast<int>(wParam));
    case PBM_GETPOS:
        return state->position;
    case PBM_SETSTEP: {
        const int previous = state->step;
        state->step = static_cast<int>(wParam);
        return previous;
    }
    case PBM_STEPIT:
        return StepIt(hwnd, state);
    default:
        return ControlDefProc<ProgressState>(hwnd, message, wParam, lParam);
    }
}

}  // namespace winsim::ui
