// Which COM numbers the system's COM-port database claims, as the registry
// library reports them: 256 numbers, COM1 to COM256.
#pragma once

#include "common/win32_user.h"

namespace assistant {

inline constexpr int kComNumbers = 256;

class ComPortUsage {
public:
    // Asks the library again; numbers it cannot report read as free.
    void Refresh();
    // False for numbers outside COM1 ... COM256 as well.
    bool Claimed(int comNumber) const;
    static bool InRange(int comNumber) { return comNumber >= 1 && comNumber <= kComNumbers; }

private:
    BYTE bytes_[kComNumbers] = {};
};

}  // namespace assistant
