// A setup information (INF) file as SetupAPI reads it: sections of lines,
// each line an optional key and a list of values. Section names and keys
// compare without regard to case; values may be quoted ("" is a quote
// inside quotes); a ';' outside quotes starts a comment; a '\' at the end of
// a line continues it; %name% is replaced by the entry of [Strings] and
// %% by a single '%' (a %name% without an entry stays as written).
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace winsim::pnp {

struct InfLine {
    std::string key;  // empty on a line without '='
    std::vector<std::string> values;
};

class InfFile {
public:
    static InfFile Parse(std::string_view text);

    bool HasSection(std::string_view name) const;
    // The lines of the section in file order; a section given twice is one
    // section with both parts' lines. Empty when there is none.
    const std::vector<InfLine>& Lines(std::string_view section) const;
    // The values of the first line of the section with that key.
    std::optional<std::vector<std::string>> Values(std::string_view section, std::string_view key) const;
    // Its first value, or an empty text.
    std::string Value(std::string_view section, std::string_view key) const;

private:
    struct Section {
        std::vector<InfLine> lines;
        // Upper-case key to its first line: lookups stay cheap in long
        // sections.
        std::map<std::string, size_t> firstLineOfKey;
    };
    const Section* Find(std::string_view name) const;

    // By upper-case name.
    std::map<std::string, Section> sections_;
};

// ASCII upper case, as INF names and hardware ids compare.
std::string InfUpper(std::string_view text);

}  // namespace winsim::pnp
