// Arithmetic of the Windows clock and timers, kept apart from the system
// calls so it can be checked on any system.
#pragma once
#include <csignal>
#include <cstdint>

// Performance-counter ticks to microseconds, without the overflow of
// ticks * 1,000,000 that a machine up for a few days would reach.
inline int64_t counter_to_us(int64_t counter, int64_t frequency) {
    return counter / frequency * 1000000 + counter % frequency * 1000000 / frequency;
}

// Due time for SetWaitableTimer: negative means relative, in 100 ns units.
inline int64_t nap_due_time(uint32_t microseconds) { return -int64_t(microseconds) * 10; }

// Console control events (CTRL_C_EVENT 0, CTRL_BREAK_EVENT 1, CTRL_CLOSE_EVENT 2,
// CTRL_LOGOFF_EVENT 5, CTRL_SHUTDOWN_EVENT 6) as the signal a POSIX system
// would send for them: Ctrl-C and Ctrl-Break interrupt, the rest terminate.
inline int console_event_signal(uint32_t event) { return event <= 1 ? SIGINT : SIGTERM; }
