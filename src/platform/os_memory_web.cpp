// Large blocks of memory in a web browser: the heap in the WebAssembly memory,
// which grows on demand up to the build's limit. A browser that cannot give
// the pages makes the request fail, and the caller says so.
#include "platform/os_memory.h"
#include <cstdio>
#include <cstdlib>

void* os_map_big(size_t bytes) { return std::calloc(1, bytes); }

// The memory of a WebAssembly instance never shrinks: nothing to hand back.
void os_release_pages(const void*, size_t) {}

// The page shows this line when the run ends without its memory.
void os_say_no_memory(const char* what, size_t bytes) {
    std::fprintf(stderr, "tapehiss: cannot allocate %zu bytes for %s: the show needs about %zu MB of memory\n", bytes,
                 what, SHOW_MEMORY_MB);
}
