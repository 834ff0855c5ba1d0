// Big blocks of memory on Windows: large pages when the account holds the
// "Lock pages in memory" right, plain committed memory otherwise.
#include "platform/os_memory.h"
#include <windows.h>
#include <cstdint>

// Large pages need SeLockMemoryPrivilege switched on in our token; an account
// without the right gets ERROR_NOT_ALL_ASSIGNED and keeps small pages.
static bool enable_lock_memory_privilege() {
    HANDLE token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) return false;
    TOKEN_PRIVILEGES tp{};
    tp.PrivilegeCount = 1;
    tp.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    bool ok = LookupPrivilegeValueW(nullptr, L"SeLockMemoryPrivilege", &tp.Privileges[0].Luid) &&
              AdjustTokenPrivileges(token, FALSE, &tp, 0, nullptr, nullptr) &&
              GetLastError() == ERROR_SUCCESS;
    CloseHandle(token);
    return ok;
}

void* os_map_big(size_t bytes) {
    const size_t large = GetLargePageMinimum();
    if (large != 0 && bytes >= large && enable_lock_memory_privilege()) {
        const size_t rounded = (bytes + large - 1) / large * large;
        void* p = VirtualAlloc(nullptr, rounded, MEM_RESERVE | MEM_COMMIT | MEM_LARGE_PAGES, PAGE_READWRITE);
        if (p) return p;
    }
    return VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

void os_release_pages(const void* p, size_t bytes) {
    // Unlocking pages that are not locked takes them out of the working set;
    // read-only image pages come back from the executable when touched again.
    SYSTEM_INFO si;
    GetSystemInfo(&si);
    const uintptr_t page = si.dwPageSize;
    const uintptr_t begin = (uintptr_t(p) + page - 1) & ~(page - 1);
    const uintptr_t end = (uintptr_t(p) + bytes) & ~(page - 1);
    if (end > begin) VirtualUnlock(reinterpret_cast<void*>(begin), end - begin);
}
