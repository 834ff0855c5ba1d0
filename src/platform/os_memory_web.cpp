// Large blocks of memory in a web browser: the heap in the WebAssembly memory,
// which grows on demand up to the build's limit. A browser that cannot give
// the pages makes the request fail, and the caller says so.
#include "platform/os_memory.h"
#include <cstdlib>

// What the rest of the run takes from the heap after its big block: the
// window's surface and the canvas's copy of it, the sound's buffers, the
// plasma's scratch rings, and each nap's saved stack. Had where the big block
// is had, or not at all: a later allocation that fails inside a nap would
// end the run as if it were over.
static constexpr size_t AFTER_BIG_BLOCK = size_t(32) << 20;

// Held through a volatile pointer: an allocation freed unused may otherwise
// be left out by the compiler, and with it the test.
static void* volatile rest_of_run;

void* os_map_big(size_t bytes) {
    void* block = std::calloc(1, bytes);
    rest_of_run = block ? std::malloc(AFTER_BIG_BLOCK) : nullptr;
    if (!rest_of_run) {
        std::free(block);
        return nullptr;
    }
    std::free(rest_of_run);  // back to the heap, which keeps it for them
    rest_of_run = nullptr;
    return block;
}

// The memory of a WebAssembly instance never shrinks: nothing to hand back.
void os_release_pages(const void*, size_t) {}
