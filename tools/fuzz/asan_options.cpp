// AddressSanitizer's defaults for the fuzz build. Every allocation and free
// records its call stack; the targets that run a simulated PC allocate so
// much that unwinding thirty frames and storing them took about a tenth of
// their time. Four frames still say where a block came from; an input that
// fails is replayed by its corpus test in the host-asan build, which keeps
// whole stacks. ASAN_OPTIONS on the command line still wins.
extern "C" const char* __asan_default_options() { return "malloc_context_size=4"; }
