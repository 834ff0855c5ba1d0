// Large blocks of memory from the operating system: the logo table's 680 MB
// and the pages of pictures that are shown once.
#pragma once
#include <cstddef>

// Zeroed memory of `bytes`, backed by large pages where the system grants
// them and by ordinary pages otherwise; null on failure.
void* os_map_big(size_t bytes);

// A hint that the whole pages inside [start, start + bytes) of constant data
// will not be read for a while: the system may drop them, and a later read
// brings back the same bytes.
void os_release_pages(const void* start, size_t bytes);

// What a whole run holds at its peak, nearly all of it the logo table: said
// whenever memory cannot be had, so the user knows what to free. A web page
// holds it all in one WebAssembly heap that grows in steps and never shrinks
// (the title's pages stay), so it needs more.
constexpr size_t NATIVE_SHOW_MEMORY_MB = 700;
constexpr size_t WEB_SHOW_MEMORY_MB = 810;
#ifdef __EMSCRIPTEN__
constexpr size_t SHOW_MEMORY_MB = WEB_SHOW_MEMORY_MB;
#else
constexpr size_t SHOW_MEMORY_MB = NATIVE_SHOW_MEMORY_MB;
#endif

// One line on standard error: `bytes` for `what` could not be had.
void os_say_no_memory(const char* what, size_t bytes);
