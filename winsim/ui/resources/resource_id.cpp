#include "ui/resources/resource_id.h"

#include <cstdint>

#include "nls/nls_tables.h"

namespace winsim::ui::resources {

ResourceId ResourceId::FromOrdinal(uint16_t ordinal)
{
    ResourceId id;
    id.ordinal_ = ordinal;
    return id;
}

ResourceId ResourceId::FromName(std::u16string name)
{
    ResourceId id;
    id.isOrdinal_ = false;
    id.name_ = std::move(name);
    return id;
}

ResourceId ResourceId::FromAnsi(const char* nameOrOrdinal)
{
    auto value = reinterpret_cast<uintptr_t>(nameOrOrdinal);
    if (value <= 0xFFFF) return FromOrdinal(static_cast<uint16_t>(value));
    if (nameOrOrdinal[0] == '#') {
        // "#123" names ordinal 123, as the resource functions read it.
        uint32_t ordinal = 0;
        const char* digit = nameOrOrdinal + 1;
        for (; *digit >= '0' && *digit <= '9' && ordinal <= 0xFFFF; ++digit) ordinal = ordinal * 10 + (*digit - '0');
        if (*digit == '\0' && digit != nameOrOrdinal + 1 && ordinal <= 0xFFFF) {
            return FromOrdinal(static_cast<uint16_t>(ordinal));
        }
    }
    std::u16string name;
    for (const char* c = nameOrOrdinal; *c != '\0'; ++c) {
        name.push_back(static_cast<char16_t>(nls::AnsiToUnicode(static_cast<UCHAR>(*c))));
    }
    return FromName(std::move(name));
}

bool ResourceId::operator==(const ResourceId& other) const
{
    if (isOrdinal_ != other.isOrdinal_) return false;
    if (isOrdinal_) return ordinal_ == other.ordinal_;
    if (name_.size() != other.name_.size()) return false;
    for (size_t i = 0; i < name_.size(); ++i) {
        if (nls::Upcase(name_[i]) != nls::Upcase(other.name_[i])) return false;
    }
    return true;
}

std::string ToAnsi(std::u16string_view text)
{
    std::string ansi;
    ansi.reserve(text.size());
    for (char16_t c : text) ansi.push_back(nls::UnicodeToAnsi(static_cast<WCHAR>(c)));
    return ansi;
}

}  // namespace winsim::ui::resources
