// Messages that worker threads post to the main dialog, and its timers.
#pragma once

#include "common/win32_user.h"

namespace assistant {

inline constexpr UINT kStatusTextMessage = WM_APP + 1;  // lParam: posted text for the status log
inline constexpr UINT kTestFailedMessage = WM_APP + 2;  // wParam: port
inline constexpr UINT kTestStatusMessage = WM_APP + 3;  // lParam: posted text for the test status
inline constexpr UINT kTestPassedMessage = WM_APP + 4;  // wParam: port
// A continuous test's failed round: wParam icon id, lParam 1 to animate it.
inline constexpr UINT kTestIconMessage = WM_APP + 5;
// A port test's worker has left its function: wParam port.
inline constexpr UINT kWorkerEndedMessage = WM_APP + 6;

inline constexpr UINT_PTR kTestStatisticsTimer = 1;
inline constexpr UINT_PTR kDevicePollTimer = 2;
inline constexpr UINT_PTR kTestIconTimer = 3;
inline constexpr UINT kTestStatisticsMilliseconds = 500;
inline constexpr UINT kDevicePollMilliseconds = 500;
inline constexpr UINT kTestIconMilliseconds = 500;

}  // namespace assistant
