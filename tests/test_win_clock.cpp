// The Windows driver's clock arithmetic, checked on any system.
#include "platform/win_clock.h"
#include <gtest/gtest.h>

TEST(WinClock, CounterToMicrosecondsDoesNotOverflow) {
    struct { int64_t counter, frequency, us; } cases[] = {
        {0, 10000000, 0},
        {9, 10000000, 0},                                   // 900 ns: below a microsecond
        {10000000, 10000000, 1000000},
        {3579545 * 2 + 1, 3579545, 2000000},                // the old ACPI timer's rate
        {int64_t(10000000) * 86400 * 365 + 12345678, 10000000, int64_t(86400) * 365 * 1000000 + 1234567},  // a year up
    };
    for (const auto& c : cases) EXPECT_EQ(counter_to_us(c.counter, c.frequency), c.us) << c.counter;
}
