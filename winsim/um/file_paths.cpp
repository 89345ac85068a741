#include "um/file_paths.h"

#include <algorithm>
#include <cctype>

namespace winsim::um {

namespace {

constexpr std::string_view kForbidden = "<>:\"|?*";

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool IsDosDeviceName(std::string_view name)
{
    if (!name.empty() && name.back() == ':') name.remove_suffix(1);
    const std::string folded = FoldCase(name);
    if (folded == "nul" || folded == "con" || folded == "aux" || folded == "prn") return true;
    if (folded.size() < 4 || (folded.compare(0, 3, "com") != 0 && folded.compare(0, 3, "lpt") != 0)) return false;
    return std::all_of(folded.begin() + 3, folded.end(), [](unsigned char c) { return std::isdigit(c); });
}

}  // namespace

std::string FoldCase(std::string_view name)
{
    std::string folded(name);
    std::transform(folded.begin(), folded.end(), folded.begin(), [](unsigned char c) { return std::tolower(c); });
    return folded;
}

bool IsFileSystemPath(std::string_view text)
{
    if (text.size() >= 4 && IsSeparator(text[0]) && IsSeparator(text[1]) && text[2] == '.' && IsSeparator(text[3])) {
        return false;
    }
    if (text.size() >= 4 && IsSeparator(text[0]) && IsSeparator(text[1]) && text[2] == '?' && IsSeparator(text[3])) {
        text.remove_prefix(4);
        return text.size() >= 2 && text[1] == ':';
    }
    return !IsDosDeviceName(text);
}

DWORD ParseFilePath(std::string_view text, FilePath* path)
{
    *path = FilePath{};
    if (text.size() >= 4 && IsSeparator(text[0]) && IsSeparator(text[1]) && text[2] == '?' && IsSeparator(text[3])) {
        text.remove_prefix(4);
    }
    if (text.empty()) return ERROR_INVALID_NAME;
    if (text.size() >= 2 && text[1] == ':') {
        if (!std::isalpha(static_cast<unsigned char>(text[0]))) return ERROR_INVALID_NAME;
        path->drive = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
        text.remove_prefix(2);
    }
    while (!text.empty()) {
        size_t end = 0;
        while (end < text.size() && !IsSeparator(text[end])) ++end;
        std::string_view name = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        if (name.empty() || name == ".") continue;
        if (name == "..") {
            if (!path->names.empty()) path->names.pop_back();
            continue;
        }
        for (char c : name) {
            if (static_cast<unsigned char>(c) < 32 || kForbidden.find(c) != std::string_view::npos) {
                return ERROR_INVALID_NAME;
            }
        }
        path->names.emplace_back(name);
    }
    return ERROR_SUCCESS;
}

std::string FormatFilePath(const FilePath& path)
{
    std::string text{path.drive, ':'};
    for (const std::string& name : path.names) text += "\\" + name;
    if (path.names.empty()) text += "\\";
    return text;
}

std::string FullFilePath(std::string_view text, std::string_view currentDirectory)
{
    auto below = [](std::string_view folder, std::string_view rest) {
        std::string path(folder);
        if (path.empty() || !IsSeparator(path.back())) path += '\\';
        return path.append(rest);
    };
    if (text.empty() || (text.size() >= 2 && IsSeparator(text[0]) && IsSeparator(text[1]))) return std::string(text);
    if (text.size() >= 2 && text[1] == ':') {
        if (text.size() >= 3 && IsSeparator(text[2])) return std::string(text);
        const bool onThatDrive =
            !currentDirectory.empty() && std::toupper(static_cast<unsigned char>(currentDirectory[0])) ==
                                             std::toupper(static_cast<unsigned char>(text[0]));
        return below(onThatDrive ? currentDirectory : text.substr(0, 2), text.substr(2));
    }
    if (IsSeparator(text[0])) return std::string(currentDirectory.substr(0, 2)).append(text);
    return below(currentDirectory, text);
}

}  // namespace winsim::um
