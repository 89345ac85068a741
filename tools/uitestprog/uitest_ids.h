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
#define IDC_UITEST_TABS 1070
#define IDC_UITEST_TREE 1080
#define IDC_UITEST_PROGRESS 1090
#define IDC_UITEST_CANVAS 1100
#define IDC_UITEST_FRAME 1110

// The monitor frame: its menu and commands.
#define IDR_UITEST_FRAME 150
#define IDM_UITEST_HALT 32783
#define IDM_UITEST_RESUME 32784
#define IDM_UITEST_EXIT 32787
#define IDM_UITEST_HEX 32781
#define IDM_UITEST_NEW_CHANNEL 32790
#define IDM_UITEST_CASCADE 32793
#define IDM_UITEST_TILE 32792
#define IDM_UITEST_ABOUT_FRAME 32800

// The About dialog's menu bar.
#define IDR_UITEST_ABOUT 151
#define IDM_UITEST_PRINT 32810

// The bars window: toolbar, status bar, copy and save.
#define IDC_UITEST_BARS 1062
#define IDB_UITEST_TOOLBAR 110
#define IDC_UITEST_TOOLBAR 2001
#define IDC_UITEST_STATUS 2002
#define ID_UITEST_HALT 40001
#define ID_UITEST_RESUME 40002
#define ID_UITEST_COPY 40003
#define ID_UITEST_SAVE 40004
#define ID_UITEST_HEX 40005

// Commands no control carries (`ui command`): handlers that keep the
// program's thread busy for a while.
#define IDM_UITEST_SLOW_APPLY 1201
#define IDM_UITEST_WAIT_WORKER 1202
#define IDM_UITEST_STALL 1203
