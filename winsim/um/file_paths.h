// Win32 file paths of the simulated file system, taken apart.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

namespace winsim::um {

// A path as folders and a final name from the root of its drive, "." and
// ".." resolved. Either separator is taken; "\\?\" in front is dropped; a
// path without a drive ("a\b", "\a\b") is on C:, relative ones from its root
// (every program's current directory). Names keep their case.
struct FilePath {
    char drive = 'C';  // upper case
    std::vector<std::string> names;
};

// ERROR_SUCCESS, or ERROR_INVALID_NAME for a character no file name may
// hold, an empty path or a drive that is no letter.
DWORD ParseFilePath(std::string_view text, FilePath* path);

// Whether CreateFileA should look for the name in the file system rather
// than among the devices: \\.\ names and the DOS device names (COM1, LPT1,
// NUL, ...) are devices.
bool IsFileSystemPath(std::string_view text);

// "C:\a\b".
std::string FormatFilePath(const FilePath& path);

// The full path a program means, completed from its current directory as
// Windows completes it: "a\b" below that folder, "\a" on its drive, "C:a"
// below it when it is on C: and from the drive's root otherwise. A path with
// a drive and a separator, and "\\?\", "\\.\" and UNC paths, stay as they
// are; so does an empty one.
std::string FullFilePath(std::string_view text, std::string_view currentDirectory);

// Lower case, for names compared without regard to case.
std::string FoldCase(std::string_view name);

}  // namespace winsim::um
