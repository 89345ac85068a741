// The Assistant as a program of the simulated PC: its entry point and the
// compiled .res its image carries on Windows.
#pragma once

#include <windows.h>

#include <span>

int WINAPI AssistantProgramMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show);

std::span<const unsigned char> AssistantImageResources();
