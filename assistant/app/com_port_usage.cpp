#include "assistant/app/com_port_usage.h"

#include "cl84prreg64.h"

namespace assistant {

void ComPortUsage::Refresh()
{
    fnGetPortsInUse(bytes_, sizeof(bytes_));
}

bool ComPortUsage::Claimed(int comNumber) const
{
    return InRange(comNumber) && bytes_[comNumber - 1] != 0;
}

}  // namespace assistant
