// The test program's dialog templates from its embedded .res, read the way
// the module's resource section would give them.
#include <cstdlib>

#include "UiTestResources.h"
#include "ui/resources/resource_directory.h"
#include "uitest_program.h"

using winsim::ui::resources::ResourceDirectory;
using winsim::ui::resources::ResourceId;

LPCDLGTEMPLATEA UiTestDialogTemplate(int id)
{
    static const ResourceDirectory directory = [] {
        auto parsed = ResourceDirectory::Parse(UiTestResources());
        if (!parsed) std::abort();
        return *std::move(parsed);
    }();
    const auto* entry = directory.Find(ResourceId::FromOrdinal(winsim::ui::resources::kDialog),
                                       ResourceId::FromOrdinal(static_cast<uint16_t>(id)));
    return entry != nullptr ? reinterpret_cast<LPCDLGTEMPLATEA>(entry->data.data()) : nullptr;
}
