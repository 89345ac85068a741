// kernel32's WinExec and shell32's ShellExecuteA. A command line names a
// program file of the simulated PC: a registered program there starts as a
// process of its own; any other file counts as started (the machine has no
// code for it) and its command line is kept for whoever watches.
#include <windows.h>

#include <shellapi.h>

#include <cctype>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "um/file_paths.h"
#include "um/file_system.h"
#include "um/process_paths.h"
#include "um/programs.h"
#include "um/um_process.h"

namespace winsim::um {

namespace {

// What ShellExecute and WinExec return for success: any value above 32 and 31.
constexpr ULONG_PTR kStarted = 42;
constexpr UINT kWinExecStarted = 33;

struct StartedLines {
    std::mutex lock;
    std::vector<std::string> lines;
};

StartedLines& Started()
{
    static StartedLines started;
    return started;
}

bool IsFile(const std::string& path)
{
    bool folder = false;
    return FileSystem::Instance().Exists(ProcessFilePath(path), &folder) && !folder;
}

// Where a program file named without a folder is looked for: the calling
// program's folder, the current directory, the system folder, the Windows folder.
std::vector<std::string> SearchFolders()
{
    std::vector<std::string> folders;
    if (const std::string program = ProgramFolder(); !program.empty()) folders.push_back(program);
    folders.insert(folders.end(), {CurrentProcess().CurrentDirectory(), "C:\\Windows\\system32", "C:\\Windows"});
    return folders;
}

// The program file a name stands for, ".exe" added when it has no extension.
bool FindProgramFile(std::string name, std::string* path)
{
    const size_t lastName = name.find_last_of("\\/");
    if (name.find('.', lastName == std::string::npos ? 0 : lastName) == std::string::npos) name += ".exe";
    if (name.find_first_of("\\/:") != std::string::npos) {
        *path = ProcessFilePath(name);
        return IsFile(*path);
    }
    for (const std::string& folder : SearchFolders()) {
        if (IsFile(FullFilePath(name, folder))) {
            *path = FullFilePath(name, folder);
            return true;
        }
    }
    return false;
}

// The program file at the head of a command line: a quoted name, or of an
// unquoted one the shortest run of words that names a file, as CreateProcess
// reads "C:\Program Files\x\y.exe" without quotes.
DWORD ProgramOfCommandLine(const std::string& commandLine, std::string* path)
{
    if (!commandLine.empty() && commandLine.front() == '"') {
        const size_t close = commandLine.find('"', 1);
        if (close == std::string::npos) return ERROR_PATH_NOT_FOUND;
        return FindProgramFile(commandLine.substr(1, close - 1), path) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
    }
    size_t end = 0;
    while (end != std::string::npos) {
        end = commandLine.find(' ', end + 1);
        if (FindProgramFile(commandLine.substr(0, end), path)) return ERROR_SUCCESS;
    }
    return ERROR_FILE_NOT_FOUND;
}

// ERROR_SUCCESS once the program started.
DWORD StartCommandLine(const std::string& commandLine)
{
    std::string path;
    const DWORD error = ProgramOfCommandLine(commandLine, &path);
    if (error != ERROR_SUCCESS) return error;
    {
        std::lock_guard lk(Started().lock);
        Started().lines.push_back(commandLine);
    }
    StartProgramAt(path, commandLine);
    return ERROR_SUCCESS;
}

// HKEY_CLASSES_ROOT's unnamed value of a key; false when the key is missing.
bool ClassText(const std::string& key, std::string* text)
{
    char value[1024] = "";
    LONG size = sizeof(value);
    if (RegQueryValueA(HKEY_CLASSES_ROOT, key.c_str(), value, &size) != ERROR_SUCCESS) return false;
    *text = value;
    return true;
}

// "http:" and the like; a drive letter is no scheme.
std::string SchemeOf(const std::string& file)
{
    const size_t colon = file.find(':');
    if (colon == std::string::npos || colon < 2) return "";
    for (size_t i = 0; i < colon; ++i) {
        if (!std::isalnum(static_cast<unsigned char>(file[i])) && file[i] != '+' && file[i] != '-' && file[i] != '.') {
            return "";
        }
    }
    return file.substr(0, colon);
}

// The class's verb command with %1 (or %L) as the file and %* as the parameters.
std::string FillCommand(std::string command, const std::string& file, const std::string& parameters)
{
    bool fileGiven = false;
    for (size_t at = command.find('%'); at != std::string::npos && at + 1 < command.size();
         at = command.find('%', at)) {
        const char what = command[at + 1];
        const std::string with = what == '1' || what == 'L' || what == 'l' ? file : what == '*' ? parameters : "";
        fileGiven = fileGiven || with == file;
        command.replace(at, 2, with);
        at += with.size();
    }
    if (!fileGiven) command += " " + file;
    return command;
}

ULONG_PTR ShellExecute(const char* verb, const std::string& file, const std::string& parameters)
{
    const std::string scheme = SchemeOf(file);
    std::string program;
    if (scheme.empty()) {
        if (!IsFile(file) && !FindProgramFile(file, &program)) return SE_ERR_FNF;
        const size_t dot = file.find_last_of('.');
        const std::string extension = dot == std::string::npos ? "" : file.substr(dot);
        if (FoldCase(extension) == ".exe") {
            const std::string line = "\"" + (program.empty() ? file : program) + "\" " + parameters;
            return StartCommandLine(line) == ERROR_SUCCESS ? kStarted : SE_ERR_FNF;
        }
    }
    std::string className = scheme;
    if (scheme.empty()) {
        const size_t dot = file.find_last_of('.');
        if (dot == std::string::npos || !ClassText(file.substr(dot), &className) || className.empty()) {
            return SE_ERR_NOASSOC;
        }
    }
    std::string command;
    const std::string key = className + "\\shell\\" + (verb != nullptr && *verb != 0 ? verb : "open") + "\\command";
    if (!ClassText(key, &command) || command.empty()) return SE_ERR_NOASSOC;
    const DWORD error = StartCommandLine(FillCommand(command, file, parameters));
    return error == ERROR_SUCCESS ? kStarted : error;
}

}  // namespace

std::vector<std::string> TakeStartedCommandLines()
{
    std::lock_guard lk(Started().lock);
    return std::exchange(Started().lines, {});
}

}  // namespace winsim::um

extern "C" {

UINT WINAPI WinExec(LPCSTR lpCmdLine, UINT)
{
    if (lpCmdLine == nullptr) return ERROR_FILE_NOT_FOUND;
    const DWORD error = winsim::um::StartCommandLine(lpCmdLine);
    return error == ERROR_SUCCESS ? winsim::um::kWinExecStarted : error;
}

HINSTANCE WINAPI ShellExecuteA(HWND, LPCSTR lpOperation, LPCSTR lpFile, LPCSTR lpParameters, LPCSTR, INT)
{
    if (lpFile == nullptr || *lpFile == 0) return reinterpret_cast<HINSTANCE>(SE_ERR_FNF);
    return reinterpret_cast<HINSTANCE>(
        winsim::um::ShellExecute(lpOperation, lpFile, lpParameters != nullptr ? lpParameters : ""));
}

}  // extern "C"
