// Resource and control ids of the window system's test program.
#pragma once

#define IDD_UITEST_MAIN 100
#define IDD_UITEST_ABOUT 101

#define IDC_UITEST_NOTIFY 1001
#define IDC_UITEST_TICKS 1002
#define IDC_UITEST_LOG 1016
#define IDC_UITEST_PORT 1020
#define IDC_UITEST_DEBUG 1030
#define IDC_UITEST_DYNAMIC 1040
#define IDC_UITEST_GEOGRAPHIC 1041
#define IDC_UITEST_DETAILS 1050
#define IDC_UITEST_ASK 1060
#define IDC_UITEST_ABOUT 1061
