// The real demo_main driven through SDL's offscreen and dummy video drivers on
// the null driver's virtual clock, with events pushed onto SDL's queue.
#include "effects/plasma.h"
#include "flow/demo.h"
#include "platform/platform.h"
#include "platform/system_null.h"
#include <SDL.h>
#include "text/scroller.h"
#include <csignal>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>

namespace {

constexpr int64_t SECOND = 1000000;

int count_substrings(const std::string& text, const char* part) {
    int n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

class Flow : public ::testing::Test {
protected:
    void SetUp() override {
        null_platform_reset();
        setenv("SDL_VIDEODRIVER", "offscreen", 1);
        start_us = null_clock_us();
    }
    void TearDown() override { SDL_Quit(); }
    int64_t elapsed_seconds() const { return (null_clock_us() - start_us) / SECOND; }
    int64_t start_us = 0;
};

// Looks at the queue: 1 is the title's first, 2 the credits' first (after a
// key ended the title), and 2 + n the main loop's n-th pass.
TEST_F(Flow, KeyPressesEndTitleCreditsAndMainSceneOtherEventsAreDropped) {
    null_queue_at_poll(SDL_MOUSEMOTION, 1, 500);
    null_queue_at_poll(SDL_QUIT, 1);
    null_queue_at_poll(SDL_WINDOWEVENT, 1);
    null_queue_at_poll(SDL_KEYDOWN, 1);
    null_queue_at_poll(SDL_QUIT, 2, 3);
    null_queue_at_poll(SDL_KEYDOWN, 2);
    null_queue_at_poll(SDL_KEYDOWN, 3);
    EXPECT_EQ(demo_main(), 0);
    EXPECT_EQ(plasma_tick, 1) << "the main scene ended after exactly one pass";
    EXPECT_EQ(scroll_pos, 1);
    // The end screen then ran until its fade-out had stopped the silent tune.
    EXPECT_GE(elapsed_seconds(), 30);
    EXPECT_LE(elapsed_seconds(), 33);
    EXPECT_EQ(SDL_WasInit(0), 0u) << "SDL_Quit on the way out";
}

// Two presses queued together (while nothing looks, as while the sound
// opens) move on two scenes: the second waits for the next look.
TEST_F(Flow, EveryQueuedKeyPressCounts) {
    null_queue_at_poll(SDL_KEYDOWN, 1);
    null_queue_at_poll(SDL_KEYDOWN, 2, 2);
    EXPECT_EQ(demo_main(), 0);
    EXPECT_EQ(plasma_tick, 1) << "the credits' second key ended the main scene at its first pass";
}

TEST_F(Flow, WindowCloseRequestsInTheMainSceneChangeNothing) {
    null_queue_at_poll(SDL_KEYDOWN, 1);
    null_queue_at_poll(SDL_KEYDOWN, 2);
    for (uint64_t poll = 3; poll < 12; ++poll) null_queue_at_poll(SDL_QUIT, poll, 40);
    null_queue_at_poll(SDL_KEYDOWN, 52);
    EXPECT_EQ(demo_main(), 0);
    EXPECT_EQ(plasma_tick, 50);
}

TEST_F(Flow, AKeyBehindThousandsOfMouseMovesActsInThePassItArrives) {
    null_queue_at_poll(SDL_KEYDOWN, 1);
    null_queue_at_poll(SDL_KEYDOWN, 2);
    null_queue_at_poll(SDL_MOUSEMOTION, 10, 3000);
    null_queue_at_poll(SDL_KEYDOWN, 10);
    EXPECT_EQ(demo_main(), 0);
    EXPECT_EQ(plasma_tick, 8);
}

// A stop signal in the main scene: SDL is shut down and the process ends
// with the signal's status (the null driver exits with 128 + signal).
TEST_F(Flow, StopSignalEndsTheRunWithItsStatus) {
    null_request_quit(SIGTERM, start_us + 20 * SECOND);
    EXPECT_EXIT(demo_main(), testing::ExitedWithCode(128 + SIGTERM), "");
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

// The whole unattended run on the dummy driver's 1024 x 768 surface, drawn
// through our own buffer; under AddressSanitizer this shows nothing is touched
// outside either buffer.
TEST_F(Flow, DummyDriverWholeRun) {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    EXPECT_EQ(demo_main(), 0);
    EXPECT_GE(elapsed_seconds(), 5 + 75 + 30);
    EXPECT_LE(elapsed_seconds(), 6 + 76 + 32);
}

// Each case ends the run before anything is shown, with one line and status 1
// that says what was tried.
TEST_F(Flow, NoVideoDriverOrNoDisplayEndsTheRunWithOneLine) {
    struct Case { const char* driver; const char* x11; const char* wayland; const char* runtime_dir; const char* line; };
    const Case cases[] = {
        {"tapehiss-no-such-driver", nullptr, nullptr, "/tmp", "tapehiss: SDL_Init failed: "},
        {nullptr, nullptr, nullptr, nullptr,
         "tapehiss: no display found: run it from a desktop session (DISPLAY and WAYLAND_DISPLAY are not set); "
         "SDL fell back to its 'offscreen' video driver\n"},
        {nullptr, ":4242", nullptr, "/tmp", "tapehiss: cannot open the X display ':4242' (DISPLAY): "},
        {nullptr, nullptr, "tapehiss-none", nullptr,
         "tapehiss: cannot reach the Wayland display 'tapehiss-none' (WAYLAND_DISPLAY): XDG_RUNTIME_DIR is not set;"},
        {nullptr, ":4242", "tapehiss-none", "/tmp",
         "; cannot reach the Wayland display 'tapehiss-none' (WAYLAND_DISPLAY): no compositor answers there;"},
    };
    auto set = [](const char* name, const char* value) { value ? setenv(name, value, 1) : unsetenv(name); };
    for (const Case& c : cases) {
        set("SDL_VIDEODRIVER", c.driver);
        set("DISPLAY", c.x11);
        set("WAYLAND_DISPLAY", c.wayland);
        set("XDG_RUNTIME_DIR", c.runtime_dir);
        plasma_tick = 7;
        testing::internal::CaptureStderr();
        EXPECT_EQ(demo_main(), 1);
        std::string err = testing::internal::GetCapturedStderr();
        // Only our own lines: libraries SDL probes may print theirs.
        EXPECT_NE(err.find(c.line), std::string::npos) << err;
        EXPECT_EQ(count_substrings(err, "tapehiss:"), 1) << err;
        EXPECT_EQ(SDL_WasInit(0), 0u);
        EXPECT_EQ(plasma_tick, 7) << "no table was built";
    }
}

// The display connection breaks in each scene: the run ends at once, status 1,
// with the line as its last word.
TEST_F(Flow, LostDisplayEndsTheRunWithOneLineInEveryScene) {
    for (int64_t at_s : {2, 9, 30, 100}) {  // title, credits, main scene, end screen
        null_platform_reset();
        null_lose_display(null_clock_us() + at_s * SECOND);
        EXPECT_EXIT(demo_main(), testing::ExitedWithCode(1), "tapehiss: the display connection was lost\n$")
            << "lost after " << at_s << " s";
    }
}

}  // namespace
