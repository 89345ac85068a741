#include "script_values.h"

#include <cctype>

namespace bench {

namespace {

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Reads the quoted text that starts at line[i] into word, quotes included.
void ReadQuoted(std::string_view line, size_t& i, std::string& word)
{
    word.push_back('"');
    ++i;
    while (i < line.size()) {
        char q = line[i++];
        if (q == '"') {
            word.push_back('"');
            return;
        }
        if (q != '\\') {
            word.push_back(q);
            continue;
        }
        if (i >= line.size()) throw CommandError("a backslash ends the line");
        char e = line[i++];
        switch (e) {
        case 'n': word.push_back('\n'); break;
        case 'r': word.push_back('\r'); break;
        case 't': word.push_back('\t'); break;
        case '\\': word.push_back('\\'); break;
        case '"': word.push_back('"'); break;
        case 'x': {
            int hi = i < line.size() ? HexDigit(line[i]) : -1;
            int lo = i + 1 < line.size() ? HexDigit(line[i + 1]) : -1;
            if (hi < 0 || lo < 0) throw CommandError("\\x needs two hexadecimal digits");
            word.push_back(static_cast<char>(hi * 16 + lo));
            i += 2;
            break;
        }
        default: throw CommandError(std::string("unknown escape \\") + e);
        }
    }
    throw CommandError("unterminated quoted text");
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

std::vector<std::string> SplitScriptLine(std::string_view line)
{
    std::vector<std::string> words;
    size_t i = 0;
    while (i < line.size()) {
        if (IsBlank(line[i])) {
            ++i;
            continue;
        }
        if (line[i] == '#') break;
        // Bare and quoted runs up to the next blank make one word:
        // "two words" and name="two words" alike.
        std::string word;
        while (i < line.size() && !IsBlank(line[i])) {
            if (line[i] == '"') {
                ReadQuoted(line, i, word);
            } else {
                word.push_back(line[i++]);
            }
        }
        words.push_back(std::move(word));
    }
    return words;
}

uint64_t ParseNumber(std::string_view text, uint64_t max)
{
    int base = 10;
    std::string_view digits = text;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        digits = text.substr(2);
    }
    if (digits.empty()) throw CommandError("'" + std::string(text) + "' is not a number");
    uint64_t value = 0;
    for (char c : digits) {
        int d = HexDigit(c);
        if (d < 0 || d >= base) throw CommandError("'" + std::string(text) + "' is not a number");
        if (value > (UINT64_MAX - static_cast<uint64_t>(d)) / static_cast<uint64_t>(base)) {
            throw CommandError("'" + std::string(text) + "' is too large");
        }
        value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
    }
    if (value > max) throw CommandError("'" + std::string(text) + "' is out of range (at most " + std::to_string(max) + ")");
    return value;
}

int64_t ParseDuration(std::string_view text)
{
    size_t unitStart = 0;
    while (unitStart < text.size() && std::isdigit(static_cast<unsigned char>(text[unitStart]))) ++unitStart;
    std::string_view number = text.substr(0, unitStart);
    std::string_view unit = text.substr(unitStart);
    int64_t perUnit;
    if (unit == "us") {
        perUnit = 10;
    } else if (unit == "ms") {
        perUnit = 10'000;
    } else if (unit == "s") {
        perUnit = 10'000'000;
    } else if (unit == "m") {
        perUnit = 600'000'000;
    } else if (unit == "h") {
        perUnit = 36'000'000'000;
    } else {
        throw CommandError("'" + std::string(text) + "' is not a duration (like 10ms or 2s)");
    }
    if (number.empty()) throw CommandError("'" + std::string(text) + "' is not a duration (like 10ms or 2s)");
    uint64_t count = ParseNumber(number, static_cast<uint64_t>(INT64_MAX / perUnit));
    return static_cast<int64_t>(count) * perUnit;
}

std::vector<uint8_t> ParseData(std::string_view text)
{
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
        std::string_view inner = text.substr(1, text.size() - 2);
        return {inner.begin(), inner.end()};
    }
    if (text.substr(0, 4) == "hex:") {
        std::string_view hex = text.substr(4);
        if (hex.size() % 2 != 0) throw CommandError("hex data needs an even number of digits");
        std::vector<uint8_t> bytes;
        for (size_t i = 0; i < hex.size(); i += 2) {
            int hi = HexDigit(hex[i]);
            int lo = HexDigit(hex[i + 1]);
            if (hi < 0 || lo < 0) throw CommandError("'" + std::string(text) + "' is not hexadecimal data");
            bytes.push_back(static_cast<uint8_t>(hi * 16 + lo));
        }
        return bytes;
    }
    throw CommandError("data must be \"text\" or hex:BYTES, not " + std::string(text));
}

namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

bool NeedsEscape(unsigned char c) { return c < 0x20 || c >= 0x7f || c == '"' || c == '\\'; }

}  // namespace

std::string QuoteText(std::string_view text)
{
    std::string quoted = "\"";
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (!NeedsEscape(byte)) {
            quoted.push_back(c);
            continue;
        }
        quoted.push_back('\\');
        switch (c) {
        case '"': quoted.push_back('"'); break;
        case '\\': quoted.push_back('\\'); break;
        case '\n': quoted.push_back('n'); break;
        case '\r': quoted.push_back('r'); break;
        case '\t': quoted.push_back('t'); break;
        default:
            quoted.push_back('x');
            quoted.push_back(kHexDigits[byte >> 4]);
            quoted.push_back(kHexDigits[byte & 15]);
        }
    }
    quoted.push_back('"');
    return quoted;
}

std::string Unquote(const std::string& word)
{
    if (word.size() >= 2 && word.front() == '"' && word.back() == '"') return word.substr(1, word.size() - 2);
    return word;
}

std::string PrintableWord(std::string_view text)
{
    bool bare = !text.empty() && text.front() != '#';
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (IsBlank(c) || c == '"' || byte < 0x20 || byte >= 0x7f) bare = false;
    }
    return bare ? std::string(text) : QuoteText(text);
}

std::string FormatBytes(const uint8_t* data, size_t length)
{
    const char* kDigits = kHexDigits;
    std::string text;
    text.reserve(length * 3);
    for (size_t i = 0; i < length; ++i) {
        if (i != 0) text.push_back(' ');
        text.push_back(kDigits[data[i] >> 4]);
        text.push_back(kDigits[data[i] & 15]);
    }
    return text;
}

KeyValue SplitKeyValue(std::string_view word)
{
    size_t eq = word.find('=');
    if (eq == std::string_view::npos || eq == 0) throw CommandError("expected KEY=VALUE, not " + std::string(word));
    std::string_view value = word.substr(eq + 1);
    // Quotes only keep blanks inside a value.
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
    return {std::string(word.substr(0, eq)), std::string(value)};
}

}  // namespace bench
