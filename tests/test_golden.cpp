// Golden frames: chosen moments of the show hashed over their colour bytes and
// compared with tests/golden_frames.txt, so any changed pixel names its moment.
// TAPEHISS_RENEW_GOLDEN=1 rewrites the file from the current code instead.
// Also checks that the moments' short-cuts (state by arithmetic) give the same
// pictures as running the show's passes one after another.
#include "moments.h"
#include "testkit.h"
#include "effects/plasma.h"
#include "endscreen/endscreen.h"
#include "flow/demo.h"
#include "screen/screen.h"
#include "text/scroller.h"
#include <gtest/gtest.h>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#ifndef TAPEHISS_SOURCE_DIR
#error "TAPEHISS_SOURCE_DIR must name the source tree"
#endif

static const std::string GOLDEN_PATH = std::string(TAPEHISS_SOURCE_DIR) + "/tests/golden_frames.txt";

// Hash of the visible picture: bytes 0..2 of every pixel, the fourth left out.
static uint64_t rgb_hash() {
    std::vector<uint8_t> rgb(size_t(SCREEN_W) * SCREEN_H * 3);
    const uint8_t* p = screen_pixels;
    for (size_t i = 0; i < size_t(SCREEN_W) * SCREEN_H; ++i, p += 4) {
        rgb[3 * i] = p[0];
        rgb[3 * i + 1] = p[1];
        rgb[3 * i + 2] = p[2];
    }
    return hash_bytes(rgb.data(), rgb.size());
}

struct golden_moment {
    std::string name;
    std::function<void()> draw;
};

static std::vector<golden_moment> golden_moments() {
    std::vector<golden_moment> m;
    m.push_back({"title", [] { draw_title_moment(); }});
    m.push_back({"credits", [] { draw_credits_moment(); }});
    std::vector<int64_t> passes = {0};
    for (int64_t n = 1; n <= 501; n += 50) passes.push_back(n);   // through one logo cycle
    for (int64_t n : {267, 268, 534, 535}) passes.push_back(n);    // the logo's turns
    for (int64_t n : {6570, 6571, 6572}) passes.push_back(n);      // the scroller's wrap
    for (int64_t n : passes) m.push_back({"main-" + std::to_string(n), [n] { draw_main_moment(n); }});
    const int end_frames[][2] = {{1, 2}, {1, 49}, {2, 2}, {2, 49}, {3, 25}, {600, 49}};
    for (const auto& f : end_frames) {
        const int cycle = f[0], step = f[1];
        m.push_back({"end-" + std::to_string(cycle) + "-" + std::to_string(step),
                     [cycle, step] { draw_end_moment(cycle, step); }});
    }
    return m;
}

static std::string hex64(uint64_t v) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(v));
    return text;
}

static std::map<std::string, uint64_t> read_golden(std::vector<std::string>* order) {
    std::map<std::string, uint64_t> golden;
    std::ifstream in(GOLDEN_PATH);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        std::string name, hex;
        fields >> name >> hex;
        golden[name] = std::stoull(hex, nullptr, 16);
        order->push_back(name);
    }
    return golden;
}

TEST(GoldenFrames, EveryMomentMatchesItsRecordedHash) {
    ASSERT_TRUE(prepare_main_tables());
    std::vector<std::pair<std::string, uint64_t>> now;
    for (const golden_moment& m : golden_moments()) {
        m.draw();
        now.push_back({m.name, rgb_hash()});
    }

    const char* renew = std::getenv("TAPEHISS_RENEW_GOLDEN");
    if (renew && std::string(renew) == "1") {
        std::ofstream out(GOLDEN_PATH);
        out << "# moment  FNV-1a 64 of the RGB bytes; renew with TAPEHISS_RENEW_GOLDEN=1\n";
        for (const auto& [name, hash] : now) out << name << ' ' << hex64(hash) << '\n';
        ASSERT_TRUE(out.good()) << "cannot write " << GOLDEN_PATH;
        std::printf("renewed %zu golden frames in %s\n", now.size(), GOLDEN_PATH.c_str());
        return;
    }

    std::vector<std::string> order;
    std::map<std::string, uint64_t> golden = read_golden(&order);
    ASSERT_FALSE(golden.empty()) << "no golden frames in " << GOLDEN_PATH;
    for (const auto& [name, hash] : now) {
        auto it = golden.find(name);
        if (it == golden.end()) {
            ADD_FAILURE() << "moment " << name << " has no recorded hash";
            continue;
        }
        EXPECT_EQ(hex64(it->second), hex64(hash)) << "moment " << name << " changed";
        golden.erase(it);
    }
    for (const auto& [name, hash] : golden) ADD_FAILURE() << "recorded moment " << name << " is no longer drawn";
}

// The main loop really run, pass after pass, from the state it starts in.
TEST(MainMoments, ShortCutEqualsRunningThePasses) {
    ASSERT_TRUE(prepare_main_tables());
    const std::vector<int64_t> checked = {1, 2, 267, 268, 534, 535, 6571};
    std::map<int64_t, uint64_t> real;
    // As the credits leave it: a cleared screen and the loop's start state.
    draw_main_moment(0);
    const uint64_t black = rgb_hash();
    int32_t pos = 0, dir = +1;
    plasma_tick = 0;
    scroll_pos = 0;
    for (int64_t n = 1; n <= checked.back(); ++n) {
        draw_main_pass(&pos, &dir);
        for (int64_t c : checked)
            if (c == n) real[n] = rgb_hash();
    }
    for (int64_t n : checked) {
        draw_main_moment(n);
        EXPECT_EQ(real[n], rgb_hash()) << "main " << n;
    }
    EXPECT_NE(real[1], black);
    EXPECT_NE(real[1], real[2]);
}

TEST(MainMoments, StateAfterPassesFollowsTheLoop) {
    ASSERT_TRUE(prepare_main_tables());
    moment_screen();
    main_state start = main_state_after(0);
    EXPECT_EQ(0, start.plasma_tick);
    EXPECT_EQ(0, start.scroll_pos);
    EXPECT_EQ(0, start.logo_pos);
    EXPECT_EQ(+1, start.logo_dir);
    // The scroller and the logo over two scroll wraps; the plasma's tick is
    // checked by its own wrap below, since a plasma frame per pass is slow.
    int32_t pos = 0, dir = +1;
    scroll_pos = 0;
    for (int64_t n = 1; n <= 2 * SCROLL_STRIP_W + 3; ++n) {
        draw_scroller();
        step_logo_animation(&pos, &dir);
        main_state s = main_state_after(n);
        ASSERT_EQ(scroll_pos, s.scroll_pos) << "after " << n << " passes";
        ASSERT_EQ(pos, s.logo_pos) << "after " << n << " passes";
        ASSERT_EQ(dir, s.logo_dir) << "after " << n << " passes";
        ASSERT_EQ(int32_t(n), s.plasma_tick);
    }
    plasma_tick = main_state_after(PLASMA_PHASE_LEN - 2).plasma_tick;
    for (int64_t n = PLASMA_PHASE_LEN - 1; n <= PLASMA_PHASE_LEN + 1; ++n) {
        render_plasma();
        EXPECT_EQ(plasma_tick, main_state_after(n).plasma_tick) << "after " << n << " passes";
    }
}

// The end screen run frame after frame with its colour carried on, as the
// scene does it, against frames drawn on their own.
TEST(EndMoments, ShortCutEqualsRunningTheFrames) {
    moment_screen();
    const std::vector<std::pair<int, int>> checked = {{1, 2}, {1, 3}, {1, 49}, {2, 2}, {2, 49}, {3, 25}, {5, 40}};
    std::map<std::pair<int, int>, uint64_t> real;
    int32_t colour = END_START_COLOUR;
    int64_t frame = 0;
    for (int cycle = 1; cycle <= 5; ++cycle) {
        for (int step = END_FIRST_STEP; step < END_STEP_LIMIT; ++step, ++frame) {
            ASSERT_EQ(colour, end_bar_colour_before(frame)) << "frame " << frame;
            draw_end_screen_frame(cycle % 2 == 1, step, &colour);
            real[{cycle, step}] = rgb_hash();
        }
    }
    for (const auto& [cycle, step] : checked) {
        draw_end_moment(cycle, step);
        const uint64_t drawn = rgb_hash();
        EXPECT_EQ(real[std::make_pair(cycle, step)], drawn) << "end " << cycle << " " << step;
    }
    // Far into the scene the colour still follows the advances one by one.
    int32_t c = END_START_COLOUR;
    const int64_t rows = END_BAR_BOTTOM_ROW - END_BAR_TOP_ROW + 1;
    for (int64_t f = 0; f < END_CYCLES * 48; ++f) {
        ASSERT_EQ(c, end_bar_colour_before(f)) << "frame " << f;
        for (int64_t r = 0; r < rows; ++r) {
            c = end_colour_advanced(c);
        }
    }
}
