// The adapter's firmware as the bus sees it: it receives what the host
// sends to OUT endpoints, and answers by queuing IN data on the adapter
// (AdapterModel::QueueIn).
#pragma once

#include <ntdef.h>

#include <vector>

namespace winsim::hw {

class EndpointHandler {
public:
    virtual ~EndpointHandler() = default;
    // One packet the host sent to an OUT endpoint: at most the endpoint's
    // wMaxPacketSize bytes, empty for a zero-length packet. Called on the bus
    // thread in the frame that moved it; it must not wait, and may queue IN
    // data or unplug the adapter.
    virtual void OnOut(UCHAR endpoint, const std::vector<UCHAR>& packet) = 0;
};

}  // namespace winsim::hw
