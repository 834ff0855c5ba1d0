// Per-frame cost of the main scene, next to a floor pass that does the least
// any plasma must: read the whole int32 field and rewrite bytes 0..2 of every
// screen pixel.
#include "assets.h"
#include "effects/logo.h"
#include "effects/plasma.h"
#include "screen/screen.h"
#include "text/scroller.h"
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

static std::vector<uint8_t> bench_screen(SCREEN_BYTES, 0);

// Tables the frame reads, built once for the whole program.
static void build_scene_tables() {
    static bool built = false;
    if (built) return;
    screen_pixels = bench_screen.data();
    plasma_tick = 0;
    scroll_pos = 0;
    if (!obtain_scroll_strip() || !allocate_logo_frames()) {
        std::fprintf(stderr, "bench_frame: cannot obtain the tables\n");
        std::exit(1);
    }
    render_scroll_strip(scroll_text);
    build_logo_frames();
    build_plasma_palette();
    build_plasma_field();
    build_plasma_phase();
    prepare_logo_drawing(logo_picture);
    choose_plasma_routine();
    built = true;
}

// One main-scene frame: plasma, the logo at frame 100, the scroller.
static void BM_main_scene_frame(benchmark::State& state) {
    build_scene_tables();
    const int32_t pos = 100 * LOGO_FRAME_ENTRIES;
    for (auto _ : state) {
        render_plasma();
        draw_logo_frame(pos, 1);
        draw_scroller();
        benchmark::DoNotOptimize(screen_pixels[0]);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_main_scene_frame)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

static void BM_render_plasma(benchmark::State& state) {
    build_scene_tables();
    for (auto _ : state) {
        render_plasma();
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_render_plasma)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

// The logo alone at frame 100, its table frame warm in cache as in the
// main-scene benchmark.
static void BM_draw_logo_frame(benchmark::State& state) {
    build_scene_tables();
    for (auto _ : state) {
        draw_logo_frame(100 * LOGO_FRAME_ENTRIES, 1);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_draw_logo_frame)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

// The logo moving through the frames as in the main loop: each frame's 1.9 MB
// of offsets comes from main memory.
static void BM_draw_logo_frame_moving(benchmark::State& state) {
    build_scene_tables();
    int32_t f = 1;
    for (auto _ : state) {
        draw_logo_frame(f * LOGO_FRAME_ENTRIES, 1);
        f = f == 266 ? 1 : f + 1;
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_draw_logo_frame_moving)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

// Floor: the whole int32 field read in storage order and its low three bytes
// written over bytes 0..2 of the pixel with the same index, fourth byte kept.
// Both streams are sequential, so this is the least memory traffic a plasma
// that reads the int32 field could have.
static void BM_plain_pass_floor(benchmark::State& state) {
    build_scene_tables();
    for (auto _ : state) {
        uint8_t* dst = screen_pixels;
        for (int i = 0; i < PLASMA_FIELD_W * PLASMA_FIELD_H; ++i) {
            uint32_t w;
            std::memcpy(&w, dst + 4 * i, 4);
            w = (w & 0xFF000000u) | (uint32_t(plasma_field[i]) & 0x00FFFFFFu);
            std::memcpy(dst + 4 * i, &w, 4);
        }
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_plain_pass_floor)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

// Each routine this machine can run, by name, beside the dispatched ones
// above: what the plain passes cost where no vector unit helps.
static void plasma_routine_bench(benchmark::State& state, plasma_routine r) {
    build_scene_tables();
    prepare_plasma_routine(r);
    for (auto _ : state) {
        r.pass(plasma_phase[1234]);
        benchmark::ClobberMemory();
    }
}

static void logo_routine_bench(benchmark::State& state, logo_routine r) {
    build_scene_tables();
    for (auto _ : state) {
        r.draw(100 * LOGO_FRAME_ENTRIES, 1);
        benchmark::ClobberMemory();
    }
}

int main(int argc, char** argv) {
    const plasma_routine* plasma;
    const int plasma_count = plasma_routines(&plasma);
    for (int i = 0; i < plasma_count; ++i)
        benchmark::RegisterBenchmark((std::string("BM_plasma_pass/") + plasma[i].name).c_str(), plasma_routine_bench, plasma[i])
            ->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
    const logo_routine* logo;
    const int logo_count = logo_routines(&logo);
    for (int i = 0; i < logo_count; ++i)
        benchmark::RegisterBenchmark((std::string("BM_draw_logo_frame/") + logo[i].name).c_str(), logo_routine_bench, logo[i])
            ->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
