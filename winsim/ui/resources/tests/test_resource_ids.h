// Identifiers of the test resources, shared by the .rc and the tests.
#pragma once

#define IDD_EVERY_CONTROL 101
#define IDD_CLASSIC 102
#define IDR_MAIN_MENU 201
#define IDI_TEST_ICON 301

#define IDC_ICON_STATIC 1001
#define IDC_TEXT_STATIC 1002
#define IDC_PUSH 1003
#define IDC_DEFPUSH 1004
#define IDC_CHECK 1005
#define IDC_AUTOCHECK 1006
#define IDC_RADIO_A 1007
#define IDC_RADIO_B 1008
#define IDC_GROUP 1009
#define IDC_EDIT 1010
#define IDC_LIST 1011
#define IDC_COMBO 1012
#define IDC_TABS 1013
#define IDC_TREE 1014
#define IDC_PROGRESS 1015
#define IDC_THREE_STATE 1016
#define IDC_NOTIFY_STATIC 1017

#define ID_FILE_SAVE 40001
#define ID_FILE_EXIT 40002
#define ID_VIEW_STATUS 40003
#define ID_VIEW_DISABLED 40004
#define ID_VIEW_DEEP 40005

#define IDS_FIRST 1
#define IDS_SECOND 2
#define IDS_BLOCK_END 15
#define IDS_NEXT_BLOCK 16
#define IDS_FAR 1000
#define IDS_EMPTY 17
#define IDS_LAST 65535
