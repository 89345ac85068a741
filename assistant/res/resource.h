// Resource and control ids of the Assistant, shared by the .rc and the code.
// Tool-tip texts are string resources numbered like the controls they explain.
#pragma once

// Icons
#define IDI_ASSISTANT 128
#define IDI_TEST_IDLE 135
#define IDI_TEST_PASSED 136
#define IDI_TEST_FAILED 137
#define IDI_ADAPTER 171
#define IDI_PORT1 173
#define IDI_PORT2 174
#define IDI_PORT3 175
#define IDI_PORT4 176

// Dialog templates
#define IDD_ABOUT 100
#define IDD_ASSISTANT 102
#define IDD_PORT_MAPPING 145
#define IDD_STATUS_PAGE 164
#define IDD_PROPERTIES_PAGE 165
#define IDD_DIAGNOSTICS_PAGE 167
#define IDD_MONITOR_CHANNEL 181

// Menu
#define IDR_ASSISTANT_MENU 129

// Main dialog
#define IDC_PAGE_TABS 1085

// Status page
#define IDC_STATUS_TREE 1083

// Properties page
#define IDC_TEST_THIS_PORT 1002
#define IDC_TEST_ALL_PORTS 1003
#define IDC_MODE_EXT_LOOPBACK 1004
#define IDC_MODE_TX_ONLY 1005
#define IDC_TEST_STATUS_TEXT 1023
#define IDC_TYPE_QUICK 1025
#define IDC_TYPE_CONTINUOUS 1026
#define IDC_TEST_STATUS_ICON 1027
#define IDC_MODE_INT_LOOPBACK 1052
#define IDC_ADAPTER_LIST 1055
#define IDC_PORT_LIST 1056
#define IDC_POWER_HIGH 1057
#define IDC_POWER_LOW 1058
#define IDC_ENDPOINTS_BULK 1059
#define IDC_ENDPOINTS_INTERRUPT 1060
#define IDC_RX_FIFO_LIST 1064
#define IDC_UPDATE_CONFIGURATION 1069
#define IDC_REMOTE_WAKEUP 1075
#define IDC_TEST_SPEED_LIST 1080
#define IDC_TEST_PROGRESS 1086
#define IDC_TEST_RATE 1087
#define IDC_TEST_TOTAL 1088
#define IDC_TX_TIMING_LIST 1089
#define IDC_PORT_STATE 1091
#define IDC_PORT_COM 1092
#define IDC_ADAPTER_COMS 1093
#define IDC_POWER_LABEL 1097
#define IDC_TX_TIMING_LABEL 1098
#define IDC_ENDPOINTS_LABEL 1116
#define IDC_RX_FIFO_LABEL 1117

// Diagnostics page
#define IDC_STATUS_LOG 1016
#define IDC_OPEN_EVENTS_WINDOW 1073
#define IDC_OPEN_MONITOR_WINDOW 1074
#define IDC_CLEAR_LOG 1090
#define IDC_LOG_DEBUG_EVENTS 1106

// Port mapping page
#define IDC_PORT_NAME_LIST 1054
#define IDC_COM_NUMBER_LIST 1061
#define IDC_MAPPING_LABEL 1107
#define IDC_SHOW_ALL_ASSIGNMENTS 1109
#define IDC_DELETE_ALL_MAPPINGS 1110
#define IDC_MAPPING_DYNAMIC 1111
#define IDC_MAPPING_GEOGRAPHIC 1112
#define IDC_MAPPING_MODE_GROUP 1114
#define IDC_MAPPING_INFO 1115

// About box and help page
#define IDC_MODULE_LIST 1050
#define IDC_PRODUCT_NAME 1051
#define IDC_MODEL_NAME 1052
#define IDC_HOME_PAGE_LINK 1094
#define IDC_ABOUT_ICON 1095
#define IDC_MANUAL_LINK 1096

// Monitor channel selection
#define IDC_CHANNEL_LIST 1096

// Commands
#define ID_APP_ABOUT 32771
#define ID_DELETE_ALL_MAPPINGS 32773
#define ID_MODIFY_MAPPINGS 32779
#define ID_ENABLE_TOOL_TIPS 32789
#define ID_MAPPING_DYNAMIC 32799
#define ID_MAPPING_GEOGRAPHIC 32800
#define ID_FILE_CLOSE 57602

// System-menu commands that run the About box
#define IDM_ABOUT_FIRST 16
#define IDM_ABOUT_LAST 31

// Driver event log window: menu, toolbar and its bitmap share one id
#define IDR_EVENT_FRAME 154
#define IDR_EVENT_TOOLBAR 152
#define ID_EVENTS_HALT 32783
#define ID_EVENTS_RESUME 32784
#define ID_EVENTS_CLEAR 32785
#define ID_EVENTS_EXIT 32787
#define ID_EVENTS_LOG_TO_FILE 32788

// Line monitor window: menu, toolbar and its bitmap share one id
#define IDR_MONITOR_FRAME 104
#define ID_MONITOR_HALT 32772
#define ID_MONITOR_RESUME 32774
#define ID_MONITOR_CLEAR 32775
#define ID_MONITOR_EXIT 32777
#define ID_MONITOR_HEX 32781
#define ID_MONITOR_ASCII 32782
#define ID_MONITOR_OPEN_CHANNEL 32790
#define ID_MONITOR_TILE 32792
#define ID_MONITOR_CASCADE 32793
#define ID_MONITOR_COPY_CONTENTS 32803

// The diagnostics frames' View toggles and their inert Help item
#define ID_VIEW_TOOLBAR 59392
#define ID_VIEW_STATUS_BAR 59393
#define ID_DIAG_HELP 57670

// Status bar pane texts of the diagnostics frames
#define IDS_STATE_PANE 146
#define IDS_OVERRUN_PANE 147
#define IDS_CHANNEL_PANE 61216
