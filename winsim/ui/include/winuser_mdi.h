// winsim user-mode headers: the multiple-document interface (the MDICLIENT
// class, frame and child window procedures), with the values of the
// Windows headers. Included by winuser.h.
#pragma once

#define WM_CHILDACTIVATE 0x0022
#define WM_MDIREFRESHMENU 0x0234

// WM_MDITILE and WM_MDICASCADE
#define MDITILE_VERTICAL 0x0000
#define MDITILE_HORIZONTAL 0x0001
#define MDITILE_SKIPDISABLED 0x0002
#define MDITILE_ZORDER 0x0004

// MDICLIENT style: children keep exactly the styles they are given.
#define MDIS_ALLCHILDSTYLES 0x0001

#ifndef SC_NEXTWINDOW
#define SC_NEXTWINDOW 0xF040
#define SC_PREVWINDOW 0xF050
#endif

typedef struct tagCLIENTCREATESTRUCT {
    HANDLE hWindowMenu;
    UINT idFirstChild;
} CLIENTCREATESTRUCT, *LPCLIENTCREATESTRUCT;

typedef struct tagMDICREATESTRUCTA {
    LPCSTR szClass;
    LPCSTR szTitle;
    HANDLE hOwner;
    int x;
    int y;
    int cx;
    int cy;
    DWORD style;
    LPARAM lParam;
} MDICREATESTRUCTA, *LPMDICREATESTRUCTA;

extern "C" {

WINUSERAPI LRESULT WINAPI DefFrameProcA(HWND hWnd, HWND hWndMDIClient, UINT uMsg, WPARAM wParam, LPARAM lParam);
WINUSERAPI LRESULT WINAPI DefMDIChildProcA(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
WINUSERAPI BOOL WINAPI TranslateMDISysAccel(HWND hWndClient, LPMSG lpMsg);

}  // extern "C"
