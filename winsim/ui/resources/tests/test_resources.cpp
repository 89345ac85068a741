#include "test_resources.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "TestResources.h"

namespace winsim::ui::resources::testing {

const ResourceDirectory& TestDirectory()
{
    static const ResourceDirectory directory = [] {
        auto parsed = ResourceDirectory::Parse(TestResources());
        if (!parsed) {
            ADD_FAILURE() << "test .res refused: " << parsed.Error().what;
            std::abort();
        }
        return *std::move(parsed);
    }();
    return directory;
}

std::span<const uint8_t> TestResource(uint16_t type, uint16_t name)
{
    const ResourceEntry* entry =
        TestDirectory().Find(ResourceId::FromOrdinal(type), ResourceId::FromOrdinal(name));
    EXPECT_NE(entry, nullptr) << "resource type " << type << " name " << name;
    return entry != nullptr ? entry->data : std::span<const uint8_t>{};
}

}  // namespace winsim::ui::resources::testing
