// Record counts of the driver's tables, held to what the tables can hold.
#pragma once

#include "common/device_tables.h"

namespace assistant {

template <class Table>
int RecordCount(const Table& table)
{
    if (table.count < 0) {
        return 0;
    }
    return table.count > static_cast<int32_t>(kTableAdapterRecords) ? static_cast<int>(kTableAdapterRecords)
                                                                       : table.count;
}

inline constexpr int kPorts = static_cast<int>(kPortsPerAdapter);

}  // namespace assistant
