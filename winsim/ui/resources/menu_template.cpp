#include "ui/resources/menu_template.h"

#include "ui/resources/byte_reader.h"

namespace winsim::ui::resources {

namespace {

// Old layout flags (MF_ of winuser.h).
constexpr uint16_t kMfPopup = 0x0010;
constexpr uint16_t kMfEnd = 0x0080;  // last item of its menu; only meaningful in templates
constexpr uint16_t kMfStateFlags = 0x0001 | 0x0002 | 0x0008 | 0x1000;  // GRAYED DISABLED CHECKED DEFAULT
constexpr uint16_t kMfTypeFlags = 0x0004 | 0x0020 | 0x0040 | 0x0100 | 0x0200 | 0x0800 | 0x4000;
constexpr uint32_t kMftSeparator = 0x0800;
// MENUEX item bResInfo.
constexpr uint16_t kExPopup = 0x01;
constexpr uint16_t kExEnd = 0x80;
// Nested popups deeper than any real menu are taken as a malformed template;
// the bound also keeps the recursion's stack small.
constexpr int kMaxDepth = 32;

bool ReadItems(ByteReader& reader, int depth, std::vector<MenuItem>& items, ParseError& error)
{
    if (depth > kMaxDepth) {
        error = reader.Fail("menu nested too deep");
        return false;
    }
    for (;;) {
        MenuItem item;
        uint16_t flags = reader.U16();
        item.popup = (flags & kMfPopup) != 0;
        if (!item.popup) item.id = reader.U16();
        item.text = reader.String();
        item.type = flags & kMfTypeFlags;
        item.state = flags & kMfStateFlags;
        if (reader.Failed()) {
            error = reader.Error("menu item truncated");
            return false;
        }
        if (!item.popup && item.id == 0 && item.text.empty()) item.type |= kMftSeparator;
        if (item.popup && !ReadItems(reader, depth + 1, item.items, error)) return false;
        items.push_back(std::move(item));
        if (flags & kMfEnd) return true;
    }
}

bool ReadExItems(ByteReader& reader, int depth, std::vector<MenuItem>& items, ParseError& error)
{
    if (depth > kMaxDepth) {
        error = reader.Fail("menu nested too deep");
        return false;
    }
    for (;;) {
        reader.AlignToDword();
        MenuItem item;
        item.type = reader.U32();
        item.state = reader.U32();
        item.id = reader.U32();
        uint16_t resInfo = reader.U16();
        item.text = reader.String();
        item.popup = (resInfo & kExPopup) != 0;
        if (item.popup) {
            reader.AlignToDword();
            item.helpId = reader.U32();
        }
        if (reader.Failed()) {
            error = reader.Error("menu item truncated");
            return false;
        }
        if (item.popup && !ReadExItems(reader, depth + 1, item.items, error)) return false;
        items.push_back(std::move(item));
        if (resInfo & kExEnd) return true;
    }
}

}  // namespace

Parsed<MenuTemplate> ParseMenuTemplate(std::span<const uint8_t> bytes)
{
    ByteReader reader(bytes);
    MenuTemplate menu;
    uint16_t version = reader.U16();
    uint16_t headerSize = reader.U16();  // MENUEX: offset of the items from here
    if (reader.Failed()) return reader.Error("menu header truncated");
    ParseError error;
    if (version == 0) {
        reader.Seek(4 + size_t{headerSize});
        if (reader.Failed()) return reader.Error("menu header past end");
        if (reader.Remaining() == 0) return menu;
        if (!ReadItems(reader, 0, menu.items, error)) return error;
        return menu;
    }
    if (version != 1) return reader.Fail("unknown menu template version");
    menu.extended = true;
    if (headerSize >= 4) menu.helpId = reader.U32();
    reader.Seek(4 + size_t{headerSize});
    if (reader.Failed()) return reader.Error("menu header past end");
    if (reader.Remaining() == 0) return menu;
    if (!ReadExItems(reader, 0, menu.items, error)) return error;
    return menu;
}

}  // namespace winsim::ui::resources
