// Arithmetic of the Windows clock and timers, kept apart from the system
// calls so it can be checked on any system.
#pragma once
#include <csignal>
#include <cstdint>

// 100 ns intervals from 1601-01-01 (FILETIME's epoch) to 1970-01-01.
constexpr uint64_t FILETIME_UNIX_EPOCH = 116444736000000000ULL;

// FILETIME (100 ns intervals since 1601) to seconds since 1970 and the
// microseconds within that second.
inline void filetime_to_unix(uint64_t filetime, int32_t* seconds, int32_t* microseconds) {
    const uint64_t us = (filetime - FILETIME_UNIX_EPOCH) / 10;
    *seconds = int32_t(us / 1000000);
    *microseconds = int32_t(us % 1000000);
}

// Due time for SetWaitableTimer: negative means relative, in 100 ns units.
inline int64_t nap_due_time(uint32_t microseconds) { return -int64_t(microseconds) * 10; }

// Console control events (CTRL_C_EVENT 0, CTRL_BREAK_EVENT 1, CTRL_CLOSE_EVENT 2,
// CTRL_LOGOFF_EVENT 5, CTRL_SHUTDOWN_EVENT 6) as the signal a POSIX system
// would send for them: Ctrl-C and Ctrl-Break interrupt, the rest terminate.
inline int console_event_signal(uint32_t event) { return event <= 1 ? SIGINT : SIGTERM; }
