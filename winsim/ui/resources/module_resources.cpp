#include "ui/resources/module_resources.h"

#include <map>
#include <memory>
#include <mutex>

namespace winsim::ui::resources {

namespace {

// Modules load and unload on program threads; the directories themselves
// never change once registered.
struct Registry {
    std::mutex lock;
    std::map<HMODULE, std::unique_ptr<ResourceDirectory>> modules;
};

Registry& TheRegistry()
{
    static Registry registry;
    return registry;
}

Parsed<std::span<const uint8_t>> ModuleResource(HMODULE module, uint16_t type, LPCSTR name)
{
    const ResourceDirectory* directory = ModuleResources(module);
    if (directory == nullptr) return ParseError{"module has no resources"};
    const ResourceEntry* entry = directory->Find(ResourceId::FromOrdinal(type), ResourceId::FromAnsi(name));
    if (entry == nullptr) return ParseError{"resource not found"};
    return entry->data;
}

}  // namespace

Parsed<const ResourceDirectory*> RegisterModuleResources(HMODULE module, std::span<const uint8_t> resFile)
{
    auto parsed = ResourceDirectory::Parse(resFile);
    if (!parsed) return parsed.Error();
    auto directory = std::make_unique<ResourceDirectory>(*std::move(parsed));
    const ResourceDirectory* registered = directory.get();
    Registry& registry = TheRegistry();
    std::lock_guard guard(registry.lock);
    registry.modules[module] = std::move(directory);
    return registered;
}

void UnregisterModuleResources(HMODULE module)
{
    Registry& registry = TheRegistry();
    std::lock_guard guard(registry.lock);
    registry.modules.erase(module);
}

const ResourceDirectory* ModuleResources(HMODULE module)
{
    if (module == nullptr) module = GetModuleHandleA(nullptr);
    Registry& registry = TheRegistry();
    std::lock_guard guard(registry.lock);
    auto found = registry.modules.find(module);
    return found != registry.modules.end() ? found->second.get() : nullptr;
}

const ResourceEntry* ResourceOfHandle(HRSRC resource)
{
    auto* wanted = reinterpret_cast<const ResourceEntry*>(resource);
    Registry& registry = TheRegistry();
    std::lock_guard guard(registry.lock);
    for (const auto& [module, directory] : registry.modules) {
        for (const ResourceEntry& entry : directory->Entries()) {
            if (&entry == wanted) return wanted;
        }
    }
    return nullptr;
}

Parsed<DialogTemplate> LoadDialogTemplate(HMODULE module, LPCSTR name)
{
    auto bytes = ModuleResource(module, kDialog, name);
    if (!bytes) return bytes.Error();
    return ParseDialogTemplate(*bytes);
}

Parsed<MenuTemplate> LoadMenuTemplate(HMODULE module, LPCSTR name)
{
    auto bytes = ModuleResource(module, kMenu, name);
    if (!bytes) return bytes.Error();
    return ParseMenuTemplate(*bytes);
}

Parsed<IconImage> LoadIconImage(HMODULE module, LPCSTR name, int cx, int cy)
{
    auto groupBytes = ModuleResource(module, kIconGroup, name);
    if (!groupBytes) return groupBytes.Error();
    auto group = ParseIconGroup(*groupBytes);
    if (!group) return group.Error();
    const IconGroupEntry* chosen = PickIcon(*group, cx, cy);
    if (chosen == nullptr) return ParseError{"icon group is empty"};
    auto imageBytes = ModuleResource(module, kIconImage, MAKEINTRESOURCEA(chosen->imageId));
    if (!imageBytes) return imageBytes.Error();
    return DecodeIconImage(*imageBytes);
}

Parsed<IconImage> LoadCursorImage(HMODULE module, LPCSTR name)
{
    auto groupBytes = ModuleResource(module, kCursorGroup, name);
    if (!groupBytes) return groupBytes.Error();
    // A cursor group's entries differ from an icon group's in their first
    // fields only; the image's ordinal sits at the same place.
    auto group = ParseIconGroup(*groupBytes);
    if (!group) return group.Error();
    if (group->empty()) return ParseError{"cursor group is empty"};
    auto imageBytes = ModuleResource(module, kCursorImage, MAKEINTRESOURCEA(group->front().imageId));
    if (!imageBytes) return imageBytes.Error();
    constexpr size_t kHotSpot = 4;  // x and y of the hot spot before the image
    if (imageBytes->size() < kHotSpot) return ParseError{"cursor image is truncated"};
    return DecodeIconImage(imageBytes->subspan(kHotSpot));
}

}  // namespace winsim::ui::resources
