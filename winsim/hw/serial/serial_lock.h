// One lock for every serial line of the machine: a line joins two ports that
// may belong to different adapters, and a character or a signal crosses
// from one to the other while the sender's state is held. Taken before an adapter model's lock, never
// after it.
#pragma once

#include <mutex>

namespace winsim::hw::serial {

std::mutex& SerialLock();

}  // namespace winsim::hw::serial
