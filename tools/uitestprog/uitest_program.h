// The window system's test program, started as a program of the simulated
// PC. Its main dialog runs until OK or Cancel; the result is its exit code.
#pragma once

#include <windows.h>

#include <span>

int WINAPI UiTestProgramMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show);

// The program's compiled .res, for whoever loads its image.
std::span<const unsigned char> UiTestProgramResources();
