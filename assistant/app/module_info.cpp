#include "assistant/app/module_info.h"

#include <vector>

#include "assistant/app/text_format.h"

namespace assistant {

std::string ModuleDateText(const SYSTEMTIME& local)
{
    int hour = local.wHour;
    const char* half = hour >= 12 ? "PM" : "AM";
    if (hour > 12) {
        hour -= 12;
    }
    return Format("%02d/%02d/%04d %02d:%02d %s", local.wMonth, local.wDay, local.wYear, hour, local.wMinute, half);
}

std::string ModuleVersionText(const std::string& path)
{
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    if (size == 0) {
        return "?";
    }
    std::vector<BYTE> info(size);
    if (!GetFileVersionInfoA(path.c_str(), 0, size, info.data())) {
        return "?";
    }
    struct Translation {
        WORD language;
        WORD codePage;
    };
    Translation* translations = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(info.data(), "\\VarFileInfo\\Translation", reinterpret_cast<LPVOID*>(&translations),
                        &length)) {
        return "?";
    }
    std::string version;
    for (UINT i = 0; i < length / sizeof(Translation); ++i) {
        const std::string name = Format("\\StringFileInfo\\%04x%04x\\%s", translations[i].language,
                                        translations[i].codePage, "FileVersion");
        char* value = nullptr;
        UINT valueLength = 0;
        const bool found = VerQueryValueA(info.data(), name.c_str(), reinterpret_cast<LPVOID*>(&value),
                                          &valueLength) != FALSE;
        version = found && value != nullptr ? value : "";
    }
    return version.empty() ? "?" : version;
}

std::string ModuleFileDateText(const std::string& path)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return "?";
    }
    FILETIME written{};
    FILETIME local{};
    SYSTEMTIME time{};
    const bool ok = GetFileTime(file, nullptr, nullptr, &written) && FileTimeToLocalFileTime(&written, &local) &&
                    FileTimeToSystemTime(&local, &time);
    CloseHandle(file);
    return ok ? ModuleDateText(time) : "?";
}

}  // namespace assistant
