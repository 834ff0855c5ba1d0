// Clocks, waits, frame pacing and the main loop's bookkeeping, on the null
// driver's virtual clock.
#include "effects/logo.h"
#include "flow/main_scene.h"
#include "platform/platform.h"
#include "platform/system_null.h"
#include "flow/timing.h"
#include "music/music.h"
#include "testkit.h"
#include <SDL.h>
#include <gtest/gtest.h>

namespace {

constexpr int64_t SECOND = 1000000;
constexpr int64_t BASE = int64_t(1800000000) * SECOND;

class Clock : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(SDL_Init(SDL_INIT_EVENTS), 0) << SDL_GetError();
        null_platform_reset();
        SDL_FlushEvents(0, 0xFFFFFFFF);
    }
    void TearDown() override { SDL_Quit(); }

    static void push(uint32_t type) {
        SDL_Event e{};
        e.type = type;
        ASSERT_EQ(SDL_PushEvent(&e), 1);
    }
    // Runs a wait that starts at wall time `start_us` and returns how long it
    // lasted on the virtual clock.
    static int64_t wait_from(int64_t start_us, int32_t limit) {
        null_clock_set(start_us, 0);
        clock_time start;
        get_clock_time(&start);
        wait_seconds_or_key(&start, limit);
        return null_clock_us() - start_us;
    }
};

TEST_F(Clock, SleepUsNapsWholeMilliseconds) {
    for (auto [us, napped] : {std::pair<uint32_t, int64_t>{56250, 56000}, {999999, 999000}, {999, 0}}) {
        const int64_t before = null_clock_us();
        sleep_us(us);
        EXPECT_EQ(null_clock_us() - before, napped) << us;
    }
}

TEST_F(Clock, WaitEndsOnTheBoundaryAfterLimitPlusOneWholeSeconds) {
    // Started just before a whole second: a little over 5 seconds.
    int64_t lasted = wait_from(BASE + SECOND - 1000, 5);
    EXPECT_GE(lasted, 5 * SECOND);
    EXPECT_LT(lasted, 5 * SECOND + 2000);
    // Started just after one: almost 6 seconds.
    lasted = wait_from(BASE + 1000, 5);
    EXPECT_GT(lasted, 6 * SECOND - 2000);
    EXPECT_LE(lasted, 6 * SECOND);
    // The credits limit: 6 to 7 seconds.
    lasted = wait_from(BASE + 500000, 6);
    EXPECT_GT(lasted, 6 * SECOND);
    EXPECT_LE(lasted, 7 * SECOND);
    // A clock past 2^31 seconds (a 32-bit count would wrap in between).
    lasted = wait_from((int64_t(1) << 31) * SECOND - 2 * SECOND + 500000, 5);
    EXPECT_GT(lasted, 5 * SECOND);
    EXPECT_LE(lasted, 6 * SECOND);
}

TEST_F(Clock, WaitNapsBetweenLooksAndNeverSpins) {
    int64_t lasted = wait_from(BASE, 1);
    EXPECT_EQ(null_counters.napped_us, lasted) << "all its time is napped";
    EXPECT_EQ(null_counters.naps, uint64_t(2 * SECOND / WAIT_POLL_US));
    EXPECT_EQ(null_counters.polls, null_counters.naps + 1) << "one look at the events per nap";
}

TEST_F(Clock, QueuedKeyEndsTheWaitAtItsFirstLookBeforeTheClockIsRead) {
    push(SDL_KEYDOWN);
    wait_from(BASE, 5);
    EXPECT_EQ(null_counters.polls, 1u);
    EXPECT_EQ(null_counters.clock_reads, 1u) << "only the reading that set scene_start";
    EXPECT_EQ(null_counters.naps, 0u);
}

TEST_F(Clock, AKeyBehindThousandsOfOtherEventsActsAtTheFirstLook) {
    for (int i = 0; i < 3000; ++i) push(SDL_MOUSEMOTION);
    push(SDL_QUIT);  // a close request is dropped like any other event
    push(SDL_WINDOWEVENT);
    push(SDL_KEYUP);
    push(SDL_KEYDOWN);
    push(SDL_KEYDOWN);
    EXPECT_EQ(wait_from(BASE, 5), 0);
    EXPECT_EQ(null_counters.polls, 1u);
    EXPECT_EQ(null_counters.events_taken, 3004u) << "everything up to the first key is taken";
    EXPECT_EQ(wait_from(BASE, 5), 0) << "the second key counts too, at the next look";
    EXPECT_EQ(null_counters.polls, 2u);
    EXPECT_EQ(null_counters.events_taken, 3005u);
}

TEST_F(Clock, PacingKeepsThirteenMillisecondsAcrossTheTickWrap) {
    // The virtual tick counter moves 1 ms per reading, so every reading is seen.
    null_clock_set(BASE, 0xFFFFFFF0u);
    uint32_t last = platform_ticks();
    ASSERT_EQ(last, 0xFFFFFFF0u);
    for (int frame = 0; frame < 5; ++frame) {
        uint32_t before = last;
        wait_for_next_frame(&last);
        EXPECT_EQ(uint32_t(last - before), FRAME_MS) << "frame " << frame;
    }
    // Per frame: a reading, one nap to FRAME_FINE_MS before the tick, then a
    // reading per millisecond (the virtual clock's step) in short naps.
    EXPECT_EQ(null_counters.tick_reads, 1u + 5 * (1 + FRAME_FINE_MS)) << "it naps through the frame instead of reading the ticks";
    EXPECT_EQ(null_counters.naps, 5u * FRAME_FINE_MS);
    EXPECT_LT(last, 0x100u) << "the counter has wrapped";
    // A reading that jumped back past the wrap would read as a huge unsigned
    // difference and end the wait at once; a late frame is not made up.
    null_clock_set(BASE, 1000);
    last = 900;
    wait_for_next_frame(&last);
    EXPECT_EQ(last, 1000u) << "already late: the frame starts at the first reading";
    wait_for_next_frame(&last);
    EXPECT_EQ(last, 1013u) << "measured from the reading that ended the wait";
}

TEST(LogoAnimation, OneCycleIs534PassesThatTurnAt266And0) {
    int32_t pos = 0, dir = +1;
    std::vector<std::pair<int32_t, int32_t>> drawn;
    for (int pass = 0; pass < 534 + 3; ++pass) {
        drawn.emplace_back(pos / LOGO_FRAME_ENTRIES, dir);
        ASSERT_EQ(pos % LOGO_FRAME_ENTRIES, 0);
        step_logo_animation(&pos, &dir);
    }
    for (int i = 0; i <= 266; ++i) EXPECT_EQ(drawn[i], std::make_pair(i, +1)) << "pass " << i;
    for (int i = 0; i < 267; ++i)
        EXPECT_EQ(drawn[267 + i], std::make_pair(267 - i, -1)) << "pass " << 267 + i;
    EXPECT_EQ(drawn[534], std::make_pair(0, +1));
    EXPECT_EQ(drawn[535], std::make_pair(1, +1));
}

class ExitTests : public Clock {
protected:
    void SetUp() override {
        Clock::SetUp();
        null_clock_set(BASE + 100000, 0);
        get_clock_time(&scene_start);
        // No audio driver in the tests: the silent clock runs.
        testing::internal::CaptureStderr();
        start_music();
        ASSERT_NE(testing::internal::GetCapturedStderr().find("running without sound"), std::string::npos);
    }
    clock_time scene_start{};
};

TEST_F(ExitTests, TimeLimitComesFirstAndTakesNoEvent) {
    null_clock_set(BASE + 76 * SECOND, 0);
    push(SDL_KEYDOWN);
    EXPECT_EQ(run_exit_tests(&scene_start), MAIN_LOOP_TO_END_SCREEN);
    EXPECT_EQ(null_counters.polls, 0u);
    null_clock_set(BASE + 75 * SECOND + 999999, 0);
    EXPECT_EQ(run_exit_tests(&scene_start), MAIN_LOOP_TO_END_SCREEN)
        << "75 whole seconds is not yet over: the queued key ends it";
    EXPECT_EQ(null_counters.polls, 1u);
}

TEST_F(ExitTests, OnlyAKeyPressActsAndItActsInThePassItArrives) {
    push(SDL_QUIT);
    push(SDL_MOUSEMOTION);
    EXPECT_EQ(run_exit_tests(&scene_start), MAIN_LOOP_CONTINUE);
    push(SDL_QUIT);
    push(SDL_MOUSEMOTION);
    push(SDL_KEYDOWN);
    EXPECT_EQ(run_exit_tests(&scene_start), MAIN_LOOP_TO_END_SCREEN);
    EXPECT_EQ(null_counters.polls, 2u);
}

TEST_F(ExitTests, KeyPressWinsOverAStoppedTuneWhichOtherwiseQuits) {
    // The silent tune lasts 166.56 s from start_music; move past it while the
    // main scene's own limit is not reached.
    music_playing_at(BASE + 100000, BASE + 200 * SECOND);
    get_clock_time(&scene_start);
    push(SDL_KEYDOWN);
    EXPECT_EQ(run_exit_tests(&scene_start), MAIN_LOOP_TO_END_SCREEN);
    EXPECT_EQ(run_exit_tests(&scene_start), MAIN_LOOP_QUIT);
}

TEST_F(ExitTests, SilentTuneKeepsItsLengthAndFadesLikeTheMixer) {
    const int64_t t = BASE + 100000;
    EXPECT_TRUE(music_playing());
    EXPECT_TRUE(music_playing_at(t, t + 166 * SECOND));
    EXPECT_FALSE(music_playing_at(t + 166 * SECOND, t + 166560000)) << "ends 166.56 s after it started";

    start_music();
    int64_t t0 = null_clock_us();
    music_fade_out(500);
    null_clock_set(t0 + 300000, 0);
    music_fade_out(500);  // a repeated request continues the fade under way
    EXPECT_TRUE(music_playing());
    null_clock_set(t0 + 499000, 0);
    EXPECT_TRUE(music_playing());
    null_clock_set(t0 + 500000, 0);
    EXPECT_FALSE(music_playing()) << "stopped 500 ms after the first request";

    // A long gap between two readings is a pause (the process was stopped,
    // the machine slept): the tune was held up with the show.
    start_music();
    null_clock_set(null_clock_us() + 170 * SECOND, 0);
    EXPECT_TRUE(music_playing()) << "170 s in one step";
    EXPECT_TRUE(music_playing_at(null_clock_us(), null_clock_us() + 164 * SECOND));
    EXPECT_FALSE(music_playing_at(null_clock_us(), null_clock_us() + 2 * SECOND));
}

}  // namespace
