// Parsing and printing of the values in bench scripts: numbers in decimal or
// 0x hexadecimal, durations, data arguments and byte strings.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace bench {

// A command that cannot be carried out; its text follows "error: ".
class CommandError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Splits a script line into words. A double-quoted word keeps its blanks and
// understands \" \\ \n \r \t \xNN; the quotes stay on the word so a command
// can tell "text" from a bare word. '#' outside quotes starts a comment.
std::vector<std::string> SplitScriptLine(std::string_view line);

uint64_t ParseNumber(std::string_view text, uint64_t max = UINT64_MAX);
// "10ms", "2s", "500us", "3m", "1h"; returns 100 ns ticks.
int64_t ParseDuration(std::string_view text);
// "\"text\"" gives the text's bytes, "hex:0d0a" the bytes written in hex.
std::vector<uint8_t> ParseData(std::string_view text);

// A word without the quotes SplitScriptLine left on it.
std::string Unquote(const std::string& word);

// Text as a quoted word that SplitScriptLine reads back as the same text:
// \\ \" \n \r \t escaped, other control and non-ASCII bytes as \xNN.
std::string QuoteText(std::string_view text);
// A name or text as one word: bare when it reads back as itself (no blank,
// quote or control byte, not empty, not starting a comment), else quoted.
std::string PrintableWord(std::string_view text);

// Lower-case hexadecimal pairs separated by single blanks.
std::string FormatBytes(const uint8_t* data, size_t length);
inline std::string FormatBytes(const std::vector<uint8_t>& bytes) { return FormatBytes(bytes.data(), bytes.size()); }

// KEY=VALUE arguments, in order.
struct KeyValue {
    std::string key;
    std::string value;
};
KeyValue SplitKeyValue(std::string_view word);

}  // namespace bench
