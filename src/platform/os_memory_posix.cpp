// Large blocks of memory on POSIX systems: anonymous mappings with the
// transparent huge page advice.
#include "platform/os_memory.h"
#include <cstdint>
#include <sys/mman.h>
#include <unistd.h>

static constexpr size_t HUGE_PAGE = size_t(2) << 20;

// Over-map by one huge page and give back the unaligned ends, so every part of
// the block can be backed by 2 MB pages.
void* os_map_big(size_t bytes) {
    size_t span = bytes + HUGE_PAGE;
    void* raw = mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) return nullptr;
    uintptr_t start = uintptr_t(raw);
    uintptr_t aligned = (start + HUGE_PAGE - 1) & ~uintptr_t(HUGE_PAGE - 1);
    if (aligned > start) munmap(raw, aligned - start);
    uintptr_t end = aligned + bytes;
    if (start + span > end) munmap(reinterpret_cast<void*>(end), start + span - end);
#ifdef MADV_HUGEPAGE
    // Advice only: without huge pages the table still works, with more faults.
    madvise(reinterpret_cast<void*>(aligned), bytes, MADV_HUGEPAGE);
#endif
    return reinterpret_cast<void*>(aligned);
}

void os_release_pages(const void* start, size_t bytes) {
    // Constant data is backed by the executable's file: dropped pages come
    // back from it unchanged.
    const uintptr_t page = uintptr_t(sysconf(_SC_PAGESIZE));
    uintptr_t begin = (uintptr_t(start) + page - 1) & ~(page - 1);
    uintptr_t end = (uintptr_t(start) + bytes) & ~(page - 1);
    if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_DONTNEED);
}
