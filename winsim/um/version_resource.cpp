#include "um/version_resource.h"

#include <cctype>
#include <cstring>

namespace winsim::um {

namespace {

constexpr WORD kTextValue = 1;

size_t Align4(size_t offset) { return (offset + 3) & ~static_cast<size_t>(3); }

WORD WordAt(const BYTE* p)
{
    WORD value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

// One block: WORD length, WORD value length, WORD type, the key (UTF-16,
// NUL-terminated), padding, the value, padding, the children.
struct Block {
    size_t start = 0;
    size_t length = 0;
    size_t keyAt = 0;
    size_t keyChars = 0;
    size_t valueAt = 0;
    size_t valueBytes = 0;
    bool text = false;
    size_t childrenAt = 0;
};

bool ParseBlock(const BYTE* base, size_t at, size_t end, Block* block)
{
    if (end < at + 6) return false;
    block->start = at;
    block->length = WordAt(base + at);
    if (block->length < 6 || at + block->length > end) return false;
    const size_t blockEnd = at + block->length;
    const size_t valueLength = WordAt(base + at + 2);
    block->text = WordAt(base + at + 4) == kTextValue;
    block->keyAt = at + 6;
    size_t p = block->keyAt;
    while (true) {
        if (p + 2 > blockEnd) return false;
        if (WordAt(base + p) == 0) break;
        p += 2;
    }
    block->keyChars = (p - block->keyAt) / 2;
    block->valueAt = Align4(p + 2);
    // Text lengths count characters; some compilers count bytes, so a value
    // is never taken beyond its block.
    block->valueBytes = block->text ? valueLength * 2 : valueLength;
    if (block->valueAt > blockEnd) block->valueAt = blockEnd;
    if (block->valueAt + block->valueBytes > blockEnd) block->valueBytes = blockEnd - block->valueAt;
    block->childrenAt = Align4(block->valueAt + block->valueBytes);
    return true;
}

bool KeyIs(const BYTE* base, const Block& block, std::string_view name)
{
    if (block.keyChars != name.size()) return false;
    for (size_t i = 0; i < name.size(); ++i) {
        const WORD c = WordAt(base + block.keyAt + 2 * i);
        if (c > 0x7F || std::tolower(c) != std::tolower(static_cast<unsigned char>(name[i]))) return false;
    }
    return true;
}

}  // namespace

size_t VersionResourceLength(const BYTE* resource, size_t size)
{
    Block root;
    return ParseBlock(resource, 0, size, &root) ? root.length : 0;
}

bool FindVersionValue(const BYTE* resource, size_t size, std::string_view subBlock, VersionValue* value)
{
    Block block;
    if (!ParseBlock(resource, 0, size, &block)) return false;
    while (!subBlock.empty()) {
        while (!subBlock.empty() && subBlock.front() == '\\') subBlock.remove_prefix(1);
        if (subBlock.empty()) break;
        const size_t separator = subBlock.find('\\');
        const std::string_view name = subBlock.substr(0, separator);
        subBlock.remove_prefix(separator == std::string_view::npos ? subBlock.size() : separator);
        const size_t blockEnd = block.start + block.length;
        size_t at = block.childrenAt;
        bool found = false;
        while (at < blockEnd) {
            Block child;
            if (!ParseBlock(resource, at, blockEnd, &child)) return false;
            if (KeyIs(resource, child, name)) {
                block = child;
                found = true;
                break;
            }
            at = Align4(at + child.length);
        }
        if (!found) return false;
    }
    value->data = resource + block.valueAt;
    value->bytes = block.valueBytes;
    value->text = block.text;
    return true;
}

}  // namespace winsim::um
