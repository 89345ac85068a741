// The test .rc as the host build embeds it, read once.
#pragma once

#include <cstdint>
#include <span>

#include "test_resource_ids.h"
#include "ui/resources/resource_directory.h"

namespace winsim::ui::resources::testing {

const ResourceDirectory& TestDirectory();
// The data of a resource of the test .rc; fails the test when it is missing.
std::span<const uint8_t> TestResource(uint16_t type, uint16_t name);

}  // namespace winsim::ui::resources::testing
