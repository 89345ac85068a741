#include "pnp/inf_file.h"

#include <cctype>
#include <map>

namespace winsim::pnp {

namespace {

struct RawLine {
    std::vector<std::string> fields;  // fields[0] is the key when hasKey
    bool hasKey = false;
};

std::string Trim(std::string_view text)
{
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) ++begin;
    while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
    return std::string(text.substr(begin, end - begin));
}

// Splits one logical line into its fields. Blanks around a field go, blanks
// inside quotes stay; a field may mix quoted and unquoted parts ("a"b is ab).
RawLine SplitLine(std::string_view line)
{
    RawLine result;
    std::string text;
    std::vector<bool> quoted;  // per character of text
    bool inQuotes = false;
    auto flush = [&] {
        size_t begin = 0;
        size_t end = text.size();
        while (begin < end && !quoted[begin] && std::isspace(static_cast<unsigned char>(text[begin]))) ++begin;
        while (end > begin && !quoted[end - 1] && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
        result.fields.push_back(text.substr(begin, end - begin));
        text.clear();
        quoted.clear();
    };
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (inQuotes) {
            if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
                ++i;
            } else if (c == '"') {
                inQuotes = false;
                continue;
            }
            text += c;
            quoted.push_back(true);
            continue;
        }
        if (c == ';') break;
        if (c == '"') {
            inQuotes = true;
        } else if (c == '=' && !result.hasKey && result.fields.empty()) {
            flush();
            result.hasKey = true;
        } else if (c == ',') {
            flush();
        } else {
            text += c;
            quoted.push_back(false);
        }
    }
    flush();
    return result;
}

// Substitutes %name% from the strings table.
std::string Substitute(const std::string& text, const std::map<std::string, std::string>& strings)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        const size_t end = text.find('%', i + 1);
        if (end == std::string::npos) {
            out += text.substr(i);
            break;
        }
        const std::string name = text.substr(i + 1, end - i - 1);
        if (name.empty()) {
            out += '%';
        } else if (auto it = strings.find(InfUpper(name)); it != strings.end()) {
            out += it->second;
        } else {
            out += text.substr(i, end - i + 1);
        }
        i = end;
    }
    return out;
}

// Logical lines: continuations joined, blank and comment-only lines kept
// out by the caller.
std::vector<std::string> LogicalLines(std::string_view text)
{
    std::vector<std::string> lines;
    std::string current;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string line(text.substr(start, end - start));
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::string trimmed = Trim(line);
        if (!trimmed.empty() && trimmed.back() == '\\' && trimmed.find(';') == std::string::npos) {
            current += trimmed.substr(0, trimmed.size() - 1);
        } else {
            lines.push_back(current + line);
            current.clear();
        }
        start = end + 1;
    }
    if (!current.empty()) lines.push_back(current);
    return lines;
}

}  // namespace

std::string InfUpper(std::string_view text)
{
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

InfFile InfFile::Parse(std::string_view text)
{
    struct PendingSection {
        std::string name;
        std::vector<RawLine> lines;
    };
    std::vector<PendingSection> raw;
    for (const std::string& line : LogicalLines(text)) {
        const std::string trimmed = Trim(line);
        if (trimmed.empty() || trimmed.front() == ';') continue;
        if (trimmed.front() == '[') {
            const size_t close = trimmed.find(']');
            raw.push_back({Trim(trimmed.substr(1, close == std::string::npos ? std::string::npos : close - 1)), {}});
            continue;
        }
        if (raw.empty()) continue;  // lines before the first section belong to none
        raw.back().lines.push_back(SplitLine(trimmed));
    }

    std::map<std::string, std::string> strings;
    for (const PendingSection& section : raw) {
        if (InfUpper(section.name) != "STRINGS") continue;
        for (const RawLine& line : section.lines) {
            if (line.hasKey && line.fields.size() >= 2) strings[InfUpper(line.fields[0])] = line.fields[1];
        }
    }

    InfFile file;
    for (const PendingSection& pending : raw) {
        const std::string upperName = InfUpper(pending.name);
        Section& section = file.sections_[upperName];
        const bool isStrings = upperName == "STRINGS";
        for (const RawLine& line : pending.lines) {
            InfLine parsed;
            size_t first = 0;
            if (line.hasKey) {
                parsed.key = isStrings ? line.fields[0] : Substitute(line.fields[0], strings);
                first = 1;
            }
            for (size_t i = first; i < line.fields.size(); ++i) {
                parsed.values.push_back(isStrings ? line.fields[i] : Substitute(line.fields[i], strings));
            }
            // A line of one empty field (a trailing blank) carries nothing.
            if (!line.hasKey && parsed.values.size() == 1 && parsed.values[0].empty()) continue;
            section.firstLineOfKey.emplace(InfUpper(parsed.key), section.lines.size());
            section.lines.push_back(std::move(parsed));
        }
    }
    return file;
}

const InfFile::Section* InfFile::Find(std::string_view name) const
{
    const auto found = sections_.find(InfUpper(name));
    return found == sections_.end() ? nullptr : &found->second;
}

bool InfFile::HasSection(std::string_view name) const { return Find(name) != nullptr; }

const std::vector<InfLine>& InfFile::Lines(std::string_view name) const
{
    static const std::vector<InfLine> kNone;
    const Section* section = Find(name);
    return section != nullptr ? section->lines : kNone;
}

std::optional<std::vector<std::string>> InfFile::Values(std::string_view name, std::string_view key) const
{
    const Section* section = Find(name);
    if (section == nullptr) return std::nullopt;
    const auto found = section->firstLineOfKey.find(InfUpper(key));
    if (found == section->firstLineOfKey.end()) return std::nullopt;
    return section->lines[found->second].values;
}

std::string InfFile::Value(std::string_view section, std::string_view key) const
{
    std::optional<std::vector<std::string>> values = Values(section, key);
    return values && !values->empty() ? values->front() : std::string();
}

}  // namespace winsim::pnp
