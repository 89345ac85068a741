#include "crt_stdout.h"

#include <cstdarg>

#include "um/um_process.h"

extern "C" int winsim_crt_printf(const char* format, ...)
{
    // Only the machine user's process has no image of its own, and only it has a console.
    if (!winsim::um::CurrentProcess().ImagePath().empty()) {
        return 0;
    }
    va_list arguments;
    va_start(arguments, format);
    const int written = vprintf(format, arguments);
    va_end(arguments);
    return written;
}
