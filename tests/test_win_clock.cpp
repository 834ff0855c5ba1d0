// The Windows driver's clock and timer arithmetic, checked on any system.
#include "platform/win_clock.h"
#include <gtest/gtest.h>
#include <csignal>

TEST(WinClock, FiletimeToUnixTime) {
    struct { uint64_t filetime; int32_t seconds, microseconds; } cases[] = {
        {116444736000000000ULL, 0, 0},                              // 1970-01-01 00:00:00
        {116444736000000009ULL, 0, 0},                              // 900 ns: below a microsecond
        {116444736000000000ULL + 17967132001234567ULL, 1796713200, 123456},  // 2026-12-08 07:00:00.1234567
        {116444736000000000ULL + 9999999ULL, 0, 999999},            // the last microsecond of a second
    };
    for (const auto& c : cases) {
        int32_t s = -1, us = -1;
        filetime_to_unix(c.filetime, &s, &us);
        EXPECT_EQ(s, c.seconds) << c.filetime;
        EXPECT_EQ(us, c.microseconds) << c.filetime;
    }
}

TEST(WinClock, NapsAreRelativeHundredNanosecondTimes) {
    EXPECT_EQ(nap_due_time(1), -10);
    EXPECT_EQ(nap_due_time(13000), -130000);
    EXPECT_EQ(nap_due_time(4000000000u), -40000000000LL);  // no 32-bit overflow
}

TEST(WinClock, ConsoleEventsAsSignals) {
    // CTRL_C, CTRL_BREAK, CTRL_CLOSE, CTRL_LOGOFF, CTRL_SHUTDOWN
    EXPECT_EQ(console_event_signal(0), SIGINT);
    EXPECT_EQ(console_event_signal(1), SIGINT);
    EXPECT_EQ(console_event_signal(2), SIGTERM);
    EXPECT_EQ(console_event_signal(5), SIGTERM);
    EXPECT_EQ(console_event_signal(6), SIGTERM);
}
