// Messages that worker threads post to the main dialog, and its timers.
#pragma once

#include "assistant/framework/win32.h"

namespace assistant {

inline constexpr UINT kStatusTextMessage = WM_APP + 1;  // lParam: posted text for the status log
inline constexpr UINT kTestFailedMessage = WM_APP + 2;  // wParam: port
inline constexpr UINT kTestStatusMessage = WM_APP + 3;  // lParam: posted text for the test status

inline constexpr UINT_PTR kDevicePollTimer = 2;
inline constexpr UINT_PTR kTestIconTimer = 3;
inline constexpr UINT kDevicePollMilliseconds = 500;
inline constexpr UINT kTestIconMilliseconds = 500;

}  // namespace assistant
