// The real demo_main driven through SDL's offscreen and dummy video drivers on
// the null driver's virtual clock, with events pushed onto SDL's queue.
#include "effects/plasma.h"
#include "flow/demo.h"
#include "flow/platform_null.h"
#include "flow/screen.h"
#include "text/scroller.h"
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>

namespace {

constexpr int64_t SECOND = 1000000;

// Queues events before the run starts; demo_main's own SDL_Init keeps them.
void queue(uint32_t type, int count = 1) {
    static bool events_up = false;
    if (!events_up || !SDL_WasInit(SDL_INIT_EVENTS)) {
        ASSERT_EQ(SDL_Init(SDL_INIT_EVENTS), 0);
        events_up = true;
    }
    for (int i = 0; i < count; ++i) {
        SDL_Event e{};
        e.type = type;
        ASSERT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError();
    }
}

class Flow : public ::testing::Test {
protected:
    void SetUp() override {
        null_platform_reset();
        setenv("SDL_VIDEODRIVER", "offscreen", 1);
        start_us = null_clock_wall_us();
    }
    void TearDown() override { SDL_Quit(); }
    int64_t elapsed_seconds() const { return (null_clock_wall_us() - start_us) / SECOND; }
    int64_t start_us = 0;
};

TEST_F(Flow, KeyPressesEndTitleCreditsAndMainSceneOtherEventsAreDropped) {
    queue(SDL_MOUSEMOTION, 500);
    queue(SDL_QUIT);
    queue(SDL_WINDOWEVENT);
    queue(SDL_KEYDOWN);  // title
    queue(SDL_QUIT, 3);
    queue(SDL_KEYDOWN);  // credits
    queue(SDL_KEYDOWN);  // the main scene's first pass
    EXPECT_EQ(demo_main(), 0);
    EXPECT_EQ(plasma_tick, 1) << "the main scene ended after exactly one pass";
    EXPECT_EQ(scroll_pos, 1);
    // The end screen then ran until its fade-out had stopped the silent tune.
    EXPECT_GE(elapsed_seconds(), 30);
    EXPECT_LE(elapsed_seconds(), 33);
    EXPECT_EQ(SDL_WasInit(0), 0u) << "SDL_Quit on the way out";
}

TEST_F(Flow, WindowCloseRequestsInTheMainSceneChangeNothing) {
    queue(SDL_KEYDOWN);
    queue(SDL_KEYDOWN);
    queue(SDL_QUIT, 40);
    queue(SDL_MOUSEMOTION, 9);
    queue(SDL_KEYDOWN);
    EXPECT_EQ(demo_main(), 0);
    // Window events raised by opening the window come after the queued ones.
    EXPECT_EQ(plasma_tick, 50) << "one event per pass: 49 dropped, then the key";
}

TEST_F(Flow, ThousandsOfMouseMovesAheadOfAKeyAreTakenOnePerPass) {
    queue(SDL_KEYDOWN, 2);
    queue(SDL_MOUSEMOTION, 3000);
    queue(SDL_KEYDOWN);
    EXPECT_EQ(demo_main(), 0);
    EXPECT_EQ(plasma_tick, 3001) << "the key is found only after every motion event has been taken";
}

TEST_F(Flow, UnattendedRunKeepsTheSceneLengths) {
    EXPECT_EQ(demo_main(), 0);
    // Title 5-6 s, credits up to the main scene's end 75-76 s after they
    // appeared, end screen about 31 s.
    EXPECT_GE(elapsed_seconds(), 5 + 75 + 30);
    EXPECT_LE(elapsed_seconds(), 6 + 76 + 32);
    // The main scene starts after 6-7 s of credits and paces 13 ms per pass.
    EXPECT_GE(plasma_tick, (75 - 7) * 1000 / 13);
    EXPECT_LE(plasma_tick, (76 - 6) * 1000 / 13 + 1);
}

// The whole unattended run on the dummy driver's 1024 x 768 surface; under
// AddressSanitizer this shows nothing is touched outside either buffer.
TEST_F(Flow, DummyDriverWholeRun) {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    EXPECT_EQ(demo_main(), 0);
    EXPECT_FALSE(screen_is_direct());
    EXPECT_GE(elapsed_seconds(), 5 + 75 + 30);
    EXPECT_LE(elapsed_seconds(), 6 + 76 + 32);
}

TEST_F(Flow, DummyDriversOtherSurfaceIsDrawnThroughOurOwnBuffer) {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    queue(SDL_KEYDOWN, 3);
    EXPECT_EQ(demo_main(), 0);
    EXPECT_FALSE(screen_is_direct()) << "1024 x 768 cannot be drawn into directly";
    EXPECT_EQ(plasma_tick, 1);
}

TEST_F(Flow, OffscreenSurfaceIsDrawnIntoDirectly) {
    queue(SDL_KEYDOWN, 3);
    EXPECT_EQ(demo_main(), 0);
    EXPECT_TRUE(screen_is_direct());
}

TEST_F(Flow, AVideoDriverThatCannotStartEndsTheRunWithOneLine) {
    setenv("SDL_VIDEODRIVER", "tapehiss-no-such-driver", 1);
    testing::internal::CaptureStderr();
    EXPECT_EQ(demo_main(), 1);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err.rfind("tapehiss: SDL_Init failed: ", 0), 0u) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_EQ(SDL_WasInit(0), 0u);
}

}  // namespace
