#include "ui/resources/dialog_template.h"

#include <utility>

#include "ui/resources/byte_reader.h"

namespace winsim::ui::resources {

namespace {

constexpr uint32_t kDsSetFont = 0x40;
constexpr uint16_t kExSignature = 0xFFFF;

std::optional<ResourceId> Optional(ResourceId id)
{
    // sz_Or_Ord of a single zero WORD: the template names nothing.
    if (!id.IsOrdinal() && id.Name().empty()) return std::nullopt;
    return id;
}

void ReadHeader(ByteReader& reader, DialogTemplate& dialog, uint16_t& itemCount)
{
    if (dialog.extended) {
        reader.U32();  // dlgVer and signature, checked by the caller
        dialog.helpId = reader.U32();
        dialog.exStyle = reader.U32();
        dialog.style = reader.U32();
    } else {
        dialog.style = reader.U32();
        dialog.exStyle = reader.U32();
    }
    itemCount = reader.U16();
    dialog.x = reader.I16();
    dialog.y = reader.I16();
    dialog.cx = reader.I16();
    dialog.cy = reader.I16();
    dialog.menu = Optional(reader.NameOrOrdinal());
    dialog.windowClass = Optional(reader.NameOrOrdinal());
    dialog.title = reader.String();
    if (dialog.style & kDsSetFont) {
        DialogFont font;
        font.pointSize = reader.U16();
        if (dialog.extended) {
            font.weight = reader.U16();
            font.italic = reader.U8() != 0;
            font.charset = reader.U8();
        }
        font.face = reader.String();
        dialog.font = std::move(font);
    }
}

DialogItem ReadItem(ByteReader& reader, bool extended)
{
    DialogItem item;
    if (extended) {
        item.helpId = reader.U32();
        item.exStyle = reader.U32();
        item.style = reader.U32();
    } else {
        item.style = reader.U32();
        item.exStyle = reader.U32();
    }
    item.x = reader.I16();
    item.y = reader.I16();
    item.cx = reader.I16();
    item.cy = reader.I16();
    item.id = extended ? reader.U32() : reader.U16();
    item.windowClass = reader.NameOrOrdinal();
    item.title = reader.NameOrOrdinal();
    uint16_t extraCount = reader.U16();
    std::span<const uint8_t> extra = reader.Bytes(extraCount);
    item.creationData.assign(extra.begin(), extra.end());
    return item;
}

}  // namespace

std::u16string DialogItem::ClassName() const
{
    if (!windowClass.IsOrdinal()) return windowClass.Name();
    switch (windowClass.Ordinal()) {
    case 0x0080: return u"Button";
    case 0x0081: return u"Edit";
    case 0x0082: return u"Static";
    case 0x0083: return u"ListBox";
    case 0x0084: return u"ScrollBar";
    case 0x0085: return u"ComboBox";
    default: return u"";
    }
}

Parsed<DialogTemplate> ParseDialogTemplate(std::span<const uint8_t> bytes)
{
    ByteReader reader(bytes);
    DialogTemplate dialog;
    uint16_t version = reader.U16();
    uint16_t signature = reader.U16();
    if (reader.Failed()) return reader.Error("dialog template truncated");
    dialog.extended = signature == kExSignature;
    if (dialog.extended && version != 1) return reader.Fail("unknown DLGTEMPLATEEX version");
    reader.Seek(0);

    uint16_t itemCount = 0;
    ReadHeader(reader, dialog, itemCount);
    if (reader.Failed()) return reader.Error("dialog header truncated");
    // Each item takes at least 18 bytes (24 extended), so a count the bytes
    // cannot hold is refused before anything is reserved for it.
    if (itemCount > reader.Remaining() / 18) return reader.Fail("more dialog items than bytes");
    dialog.items.reserve(itemCount);
    for (uint16_t i = 0; i < itemCount; ++i) {
        reader.AlignToDword();
        dialog.items.push_back(ReadItem(reader, dialog.extended));
        if (reader.Failed()) return reader.Error("dialog item " + std::to_string(i) + " truncated");
    }
    return dialog;
}

}  // namespace winsim::ui::resources
