// The simulated PC's system DLLs as LoadLibraryA and GetProcAddress find
// them. The parts of winsim that implement a DLL's functions register them
// here under the DLL's file name, for instance
//
//     RegisterSystemExport("msports.dll", "ComDBOpen", &ComDBOpen);
//
// Registration is for the life of the Linux process and may be repeated
// (the last address wins), so it can happen whenever a machine boots. What
// tests change (withheld DLLs and exports) goes back to normal at each boot.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace winsim::um {

// DLL is a file name ("setupapi.dll"), matched without regard to case; a
// DLL the table does not know yet joins it. Export names are exact.
void RegisterSystemExport(std::string_view dll, std::string_view exportName, FARPROC address);

template <typename Function>
void RegisterSystemExport(std::string_view dll, std::string_view exportName, Function* function)
{
    // Through void (*)(), the one function type every other converts to.
    RegisterSystemExport(dll, exportName, reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(function)));
}

// TARGET is "DLL" (LoadLibraryA and GetModuleHandleA of it fail with
// ERROR_MOD_NOT_FOUND) or "DLL!EXPORT" (GetProcAddress of it fails with
// ERROR_PROC_NOT_FOUND). False, changing nothing, for a DLL or export the
// table does not have.
bool SetSystemLibraryWithheld(std::string_view target, bool withheld);

// Every DLL and export offered again.
void RestoreSystemLibraries();

// The canonical name LoadLibraryA looks for ("msports" -> "msports.dll"):
// the file name without its folder, lower case, ".dll" when it has no
// extension, none when it ends with a dot. Empty for an empty name.
std::string SystemLibraryFileName(std::string_view name);

}  // namespace winsim::um
