// The MDI client: the window inside a frame that holds the document
// windows, keeps which one is active (and on top of the others), arranges
// them and lists them in the frame's window menu.
#pragma once

#include <windows.h>

#include <map>
#include <vector>

namespace winsim::ui {

struct MdiClientState {
    HWND frame = nullptr;
    HMENU windowMenu = nullptr;
    UINT firstChildId = 0;
    std::vector<HWND> children;  // by id: the first has firstChildId
    HWND active = nullptr;
    bool maximized = false;              // the active child fills the client
    std::map<HWND, RECT> restoreRects;   // of maximised and minimised children
    bool listedInMenu = false;           // the window menu ends with our separator and entries
    DWORD bars = 0;                      // WS_HSCROLL and WS_VSCROLL as created
    bool scrollUpdatePosted = false;
};

// The client's state; null for a window that is no MDI client.
MdiClientState* MdiStateOf(HWND client);

LRESULT CALLBACK MdiClientProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// CreateWindowEx of a window with WS_EX_MDICHILD: the client's styles,
// default place and id, then activated.
HWND CreateMdiChild(DWORD exStyle, LPCSTR className, LPCSTR title, DWORD style, int x, int y, int cx, int cy,
                    HWND client, HINSTANCE instance, LPVOID param);

// The client's scroll bars follow its children, a while after they moved
// or changed size: the client posts itself the update, as Windows does.
void UpdateMdiScrollBarsLater(HWND client);

// What a child's system menu asks of its client.
void MinimizeMdiChild(HWND client, HWND child);

}  // namespace winsim::ui
