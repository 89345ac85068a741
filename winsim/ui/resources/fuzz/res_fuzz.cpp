// A hostile .res file: the input is read as a whole .res and each resource by
// its type's reader, and the raw input by every reader as well, so inputs
// reach the template readers without a valid .res around them. Nothing may
// read outside the input (the fuzz build runs under ASan).
#include <cstdint>
#include <span>

#include "ui/resources/dialog_template.h"
#include "ui/resources/icon_resource.h"
#include "ui/resources/menu_template.h"
#include "ui/resources/resource_directory.h"
#include "ui/resources/string_table.h"

namespace res = winsim::ui::resources;

namespace {

void ReadAs(uint16_t type, std::span<const uint8_t> bytes)
{
    switch (type) {
    case res::kDialog: (void)res::ParseDialogTemplate(bytes); break;
    case res::kMenu: (void)res::ParseMenuTemplate(bytes); break;
    case res::kString: (void)res::ParseStringBlock(bytes); break;
    case res::kIconGroup: (void)res::ParseIconGroup(bytes); break;
    case res::kIconImage: (void)res::DecodeIconImage(bytes); break;
    default: break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::span<const uint8_t> input(data, size);
    auto directory = res::ResourceDirectory::Parse(input);
    if (directory) {
        for (const res::ResourceEntry& entry : directory->Entries()) {
            if (entry.type.IsOrdinal()) ReadAs(entry.type.Ordinal(), entry.data);
        }
        (void)res::FindString(*directory, 1);
    }
    for (uint16_t type : {res::kDialog, res::kMenu, res::kString, res::kIconGroup, res::kIconImage}) {
        ReadAs(type, input);
    }
    return 0;
}
