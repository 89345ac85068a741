// How much work a stress test does: a short run in the plain and ASan
// builds, where it checks the logic, and a long one under the thread
// sanitizer, where the interleavings are the point.
#pragma once

#include <cstddef>

namespace driver_test {

constexpr size_t StressSize(size_t plain, size_t threadSanitizer)
{
#if defined(__SANITIZE_THREAD__)
    (void)plain;
    return threadSanitizer;
#else
    (void)threadSanitizer;
    return plain;
#endif
}

}  // namespace driver_test
