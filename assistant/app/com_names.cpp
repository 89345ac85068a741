#include "assistant/app/com_names.h"

#include <cstring>

#include "assistant/app/product_strings.h"
#include "assistant/app/table_counts.h"

namespace assistant {

namespace {
// More digits than this cannot name a COM port and would overflow.
constexpr size_t kMostComDigits = 6;
}  // namespace

bool ParseComName(const char* portName, int& comNumber)
{
    if (portName == nullptr || std::strncmp(portName, "COM", 3) != 0) {
        return false;
    }
    const char* digits = portName + 3;
    const size_t length = std::strlen(digits);
    if (length == 0 || length > kMostComDigits) {
        return false;
    }
    int number = 0;
    for (const char* at = digits; *at != '\0'; ++at) {
        if (*at < '0' || *at > '9') {
            return false;
        }
        number = number * 10 + (*at - '0');
    }
    comNumber = number;
    return true;
}

bool IsAdapterPortDescription(const char* description)
{
    return description != nullptr &&
           std::strncmp(description, kAdapterPortDescription, std::strlen(kAdapterPortDescription)) == 0;
}

const AdapterInfo* AdapterCarrying(const DeviceInfoTable& table, int comNumber)
{
    for (int i = 0; i < RecordCount(table); ++i) {
        for (const PortInfo& port : table.adapters[i].ports) {
            if (port.comNumber == comNumber) {
                return &table.adapters[i];
            }
        }
    }
    return nullptr;
}

const PortInfo* FindAdapterPort(const DeviceInfoTable& table, int comNumber)
{
    const AdapterInfo* adapter = AdapterCarrying(table, comNumber);
    if (adapter == nullptr) {
        return nullptr;
    }
    for (const PortInfo& port : adapter->ports) {
        if (port.comNumber == comNumber) {
            return &port;
        }
    }
    return nullptr;
}

}  // namespace assistant
