// The Win32 surface the Assistant is written against: user32, gdi32, comctl32,
// shell32 and kernel32, ANSI entry points throughout. The real SDK headers on Windows,
// winsim's user-mode headers on the host.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
