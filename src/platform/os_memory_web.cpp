// Large blocks of memory in a web browser: the heap in the WebAssembly memory,
// which grows on demand up to the build's limit. A browser that cannot give
// the pages makes the request fail, and the caller says so.
#include "platform/os_memory.h"
#include <cstdlib>

void* os_map_big(size_t bytes) { return std::calloc(1, bytes); }

// The memory of a WebAssembly instance never shrinks: nothing to hand back.
void os_release_pages(const void*, size_t) {}
