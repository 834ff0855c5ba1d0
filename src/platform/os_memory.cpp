// What every system's big memory says when it cannot be had.
#include "platform/os_memory.h"
#include <cstdio>

// A web page shows this line when the run ends without its memory.
void os_say_no_memory(const char* what, size_t bytes) {
    std::fprintf(stderr, "tapehiss: cannot allocate %zu bytes for %s: the show needs about %zu MB of memory\n", bytes,
                 what, SHOW_MEMORY_MB);
}
