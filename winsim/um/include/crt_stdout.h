// The C runtime's standard output as the processes of the simulated PC have
// it. The machine's own user (the bench, a test) has a console: what it
// prints reaches the Linux process's standard output. A program started on
// the machine is a windowed program without one, so what it prints is lost,
// as on Windows. Host builds of user-mode libraries that print take this
// header first (-include), which routes their printf here.
#pragma once

#include <stdio.h>

#ifdef __cplusplus
extern "C" {
#endif

int winsim_crt_printf(const char* format, ...) __attribute__((format(__printf__, 1, 2)));

#ifdef __cplusplus
}
#endif

// Function-like, so that format(printf, ...) attributes in later headers stay as they are.
#define printf(...) winsim_crt_printf(__VA_ARGS__)
