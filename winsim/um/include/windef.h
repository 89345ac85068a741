// winsim user-mode headers: the basic Win32 types, with the widths of 64-bit
// Windows (DWORD and LONG are 32-bit, pointers 64-bit).
#pragma once

#include "ntdef.h"

#ifndef WINAPI
#define WINAPI
#endif
#ifndef APIENTRY
#define APIENTRY WINAPI
#endif
#define CALLBACK
#define WINBASEAPI

typedef int BOOL, *PBOOL, *LPBOOL;
typedef BYTE* LPBYTE;
typedef WORD *PWORD, *LPWORD;
typedef DWORD* LPDWORD;
typedef UINT* PUINT;
#define MAXDWORD 0xffffffffu
typedef LONG* LPLONG;
typedef void* LPVOID;
typedef const void* LPCVOID;
typedef char* LPSTR;
typedef const char* LPCSTR;
typedef WCHAR* LPWSTR;
typedef const WCHAR* LPCWSTR;
typedef HANDLE* LPHANDLE;
typedef ULONG_PTR DWORD_PTR, *PDWORD_PTR;

// A module handle is the module's base address in its process.
typedef struct HINSTANCE__* HINSTANCE;
typedef HINSTANCE HMODULE;
typedef INT_PTR(WINAPI* FARPROC)();
typedef HANDLE HLOCAL;

// 100 ns intervals since 1601-01-01 00:00 UTC (or local, for a local time).
#ifndef _FILETIME_
#define _FILETIME_
typedef struct _FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
} FILETIME, *PFILETIME, *LPFILETIME;
#endif

typedef struct _SYSTEMTIME {
    WORD wYear;
    WORD wMonth;
    WORD wDayOfWeek;
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
} SYSTEMTIME, *PSYSTEMTIME, *LPSYSTEMTIME;

#define MAX_PATH 260
