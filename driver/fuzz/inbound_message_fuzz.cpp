// Messages from a hostile adapter: the input is a run of messages, each a
// length byte (taken modulo 65) and that many bytes, handed to the driver's
// inbound handling as the standing reads would. Nothing may crash, trip the
// verifier or stay allocated.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "core/message_reads.h"
#include "core/port_rings.h"
#include "machine/machine.h"
#include "verifier/pool.h"

namespace {

void IgnoreNotification(uint32_t, void*) {}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static winsim::Machine machine;
    const winsim::PoolMark mark = winsim::Pool::Mark();
    auto extension = std::make_unique<AdapterExtension>();
    std::memset(extension.get(), 0, sizeof(AdapterExtension));
    KeInitializeSpinLock(&extension->portLock);
    KeInitializeEvent(&extension->replyEvent, NotificationEvent, FALSE);
    if (PortRingsCreate(extension.get()) != STATUS_SUCCESS) std::abort();
    for (PortRecord& port : extension->ports) port.notify = IgnoreNotification;

    size_t at = 0;
    while (at < size) {
        const size_t length = data[at++] % 65;
        const size_t available = size - at < length ? size - at : length;
        HandleInboundMessage(extension.get(), data + at, static_cast<ULONG>(available));
        at += available;
    }
    machine.RunUntilQuiet();
    PortRingsFree(extension.get());
    if (!winsim::Pool::LeaksSince(mark).empty()) std::abort();
    return 0;
}
