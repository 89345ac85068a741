// A resource type or name as Windows identifies it: a 16-bit ordinal
// (MAKEINTRESOURCE) or a string. String names compare without regard to case,
// as the resource compiler stores them upper-cased and FindResource upper-cases
// what it is given.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace winsim::ui::resources {

class ResourceId {
public:
    ResourceId() = default;
    static ResourceId FromOrdinal(uint16_t ordinal);
    static ResourceId FromName(std::u16string name);
    // A name from a Win32 A function: MAKEINTRESOURCE values, "#123" (an
    // ordinal written as a string) or a name in the ANSI code page.
    static ResourceId FromAnsi(const char* nameOrOrdinal);

    bool IsOrdinal() const { return isOrdinal_; }
    uint16_t Ordinal() const { return ordinal_; }
    const std::u16string& Name() const { return name_; }

    bool operator==(const ResourceId& other) const;

private:
    bool isOrdinal_ = true;
    uint16_t ordinal_ = 0;
    std::u16string name_;
};

// Text in the machine's ANSI code page, for the A functions and reports.
std::string ToAnsi(std::u16string_view text);

}  // namespace winsim::ui::resources
