// The bench's PC: winsim's machine with the product's driver package
// installed and the driver loaded.
#pragma once

#include <cstdint>
#include <memory>

#include "machine/machine.h"

namespace bench {

class BenchMachine {
public:
    explicit BenchMachine(bool realtime);
    ~BenchMachine();

    void Advance(int64_t ticks) { machine_->Advance(ticks); }
    // After every command: until quiet, at most 30 s of simulated time.
    void RunUntilQuiet() { machine_->RunUntilQuiet(); }
    winsim::Machine& Sim() { return *machine_; }

private:
    std::unique_ptr<winsim::Machine> machine_;
};

}  // namespace bench
