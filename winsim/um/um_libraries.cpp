// LoadLibraryA, GetModuleHandleA, GetProcAddress and FreeLibrary over the
// table of the simulated PC's system DLLs. A DLL's handle is its base
// address, the same in every process; its load count is each process's own.
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <mutex>
#include <set>

#include "um/system_libraries.h"
#include "um/um_process.h"

namespace winsim::um {

namespace {

// Where the system DLLs are mapped: high in the address space, 16 MB apart.
constexpr ULONG_PTR kFirstLibraryBase = 0x7ffb'0000'0000;
constexpr ULONG_PTR kLibrarySpacing = 0x100'0000;

// What every program imports: mapped before its first instruction and never
// unloaded, whatever FreeLibrary is told.
constexpr std::string_view kLoadedAtStart[] = {"ntdll.dll", "kernel32.dll", "advapi32.dll", "user32.dll",
                                                "gdi32.dll"};
constexpr std::string_view kLoadable[] = {"shell32.dll",  "comctl32.dll", "comdlg32.dll", "version.dll",
                                          "cfgmgr32.dll", "msports.dll",  "setupapi.dll", "newdev.dll"};

struct Library {
    HMODULE base = nullptr;
    bool loadedAtStart = false;
    bool withheld = false;
    std::map<std::string, FARPROC, std::less<>> exports;
    std::set<std::string, std::less<>> withheldExports;
};

class LibraryTable {
public:
    LibraryTable()
    {
        for (std::string_view name : kLoadedAtStart) Add(std::string(name)).loadedAtStart = true;
        for (std::string_view name : kLoadable) Add(std::string(name));
    }

    std::mutex lock;

    Library& Add(const std::string& name)
    {
        auto [it, added] = libraries_.try_emplace(name);
        if (added) {
            it->second.base = reinterpret_cast<HMODULE>(kFirstLibraryBase + byBase_.size() * kLibrarySpacing);
            byBase_[it->second.base] = name;
        }
        return it->second;
    }
    Library* Find(const std::string& name)
    {
        auto found = libraries_.find(name);
        return found == libraries_.end() ? nullptr : &found->second;
    }
    // The library at that base and its name; null for any other handle.
    Library* FindByBase(HMODULE base, std::string* name)
    {
        auto found = byBase_.find(base);
        if (found == byBase_.end()) return nullptr;
        *name = found->second;
        return &libraries_.at(found->second);
    }
    void RestoreAll()
    {
        for (auto& [name, library] : libraries_) {
            library.withheld = false;
            library.withheldExports.clear();
        }
    }

private:
    std::map<std::string, Library> libraries_;
    std::map<HMODULE, std::string> byBase_;
};

LibraryTable& Table()
{
    static LibraryTable table;
    return table;
}

bool IsLoadedIn(const Library& library, const std::string& name, const Process& process)
{
    return library.loadedAtStart || process.LibraryLoads(name) > 0;
}

// The handle's library when the calling process has it loaded.
Library* LoadedLibrary(HMODULE module, std::string* name)
{
    Library* library = Table().FindByBase(module, name);
    return library != nullptr && IsLoadedIn(*library, *name, CurrentProcess()) ? library : nullptr;
}

}  // namespace

std::string SystemLibraryFileName(std::string_view name)
{
    size_t folder = name.find_last_of("\\/");
    if (folder != std::string_view::npos) name.remove_prefix(folder + 1);
    std::string file(name);
    std::transform(file.begin(), file.end(), file.begin(), [](unsigned char c) { return std::tolower(c); });
    if (file.empty()) return file;
    if (file.back() == '.') {
        file.pop_back();
    } else if (file.find('.') == std::string::npos) {
        file += ".dll";
    }
    return file;
}

void RegisterSystemExport(std::string_view dll, std::string_view exportName, FARPROC address)
{
    LibraryTable& table = Table();
    std::lock_guard lk(table.lock);
    table.Add(SystemLibraryFileName(dll)).exports[std::string(exportName)] = address;
}

bool SetSystemLibraryWithheld(std::string_view target, bool withheld)
{
    size_t bang = target.find('!');
    LibraryTable& table = Table();
    std::lock_guard lk(table.lock);
    Library* library = table.Find(SystemLibraryFileName(target.substr(0, bang)));
    if (library == nullptr) return false;
    if (bang == std::string_view::npos) {
        library->withheld = withheld;
        return true;
    }
    std::string exportName(target.substr(bang + 1));
    if (library->exports.count(exportName) == 0) return false;
    if (withheld) {
        library->withheldExports.insert(exportName);
    } else {
        library->withheldExports.erase(exportName);
    }
    return true;
}

void RestoreSystemLibraries()
{
    LibraryTable& table = Table();
    std::lock_guard lk(table.lock);
    table.RestoreAll();
}

}  // namespace winsim::um

using winsim::um::CurrentProcess;
using winsim::um::Library;
using winsim::um::SystemLibraryFileName;
using winsim::um::Table;

extern "C" {

HMODULE WINAPI LoadLibraryA(LPCSTR lpLibFileName)
{
    if (lpLibFileName == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const std::string name = SystemLibraryFileName(lpLibFileName);
    std::lock_guard lk(Table().lock);
    Library* library = Table().Find(name);
    if (library == nullptr || library->withheld) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    if (!library->loadedAtStart) CurrentProcess().AddLibraryLoad(name);
    return library->base;
}

HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName)
{
    if (lpModuleName == nullptr) return CurrentProcess().MainModule();
    const std::string name = SystemLibraryFileName(lpModuleName);
    std::lock_guard lk(Table().lock);
    Library* library = Table().Find(name);
    if (library == nullptr || library->withheld || !winsim::um::IsLoadedIn(*library, name, CurrentProcess())) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return library->base;
}

FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName)
{
    std::lock_guard lk(Table().lock);
    std::string name;
    Library* library = winsim::um::LoadedLibrary(hModule, &name);
    if (library == nullptr) {
        // The program's own image exports nothing.
        SetLastError(hModule != nullptr && hModule == CurrentProcess().MainModule() ? ERROR_PROC_NOT_FOUND
                                                                                  : ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    // An ordinal (a pointer-sized value below 64 K) finds nothing: the table
    // knows exports by name only.
    if (reinterpret_cast<ULONG_PTR>(lpProcName) <= 0xFFFF) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    auto found = library->exports.find(std::string_view(lpProcName));
    if (found == library->exports.end() || library->withheldExports.count(found->first) != 0) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    return found->second;
}

BOOL WINAPI FreeLibrary(HMODULE hLibModule)
{
    std::lock_guard lk(Table().lock);
    std::string name;
    Library* library = winsim::um::LoadedLibrary(hLibModule, &name);
    if (library == nullptr) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return FALSE;
    }
    if (!library->loadedAtStart) CurrentProcess().DropLibraryLoad(name);
    return TRUE;
}

}  // extern "C"
