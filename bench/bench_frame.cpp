// Per-frame cost of the main scene and of every drawing routine this machine
// runs, next to the floors: the memory traffic that a frame's plasma (read the
// whole field, rewrite bytes 0..2 of every screen pixel) and logo (read one
// frame of offsets and the picture) cannot avoid.
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
#if defined(__x86_64__)
#include <immintrin.h>
#endif

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
    build_logo_frames_range(logo_frames, 0, LOGO_FRAME_COUNT);
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
// main-scene benchmark; draw_logo_frame here, each routine in main.
static void logo_at_frame_100(benchmark::State& state, void (*draw)(int32_t, int32_t)) {
    build_scene_tables();
    for (auto _ : state) {
        draw(100 * LOGO_FRAME_ENTRIES, 1);
        benchmark::ClobberMemory();
    }
}
BENCHMARK_CAPTURE(logo_at_frame_100, BM_draw_logo_frame, draw_logo_frame)
    ->Name("BM_draw_logo_frame")->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

// The logo moving through the frames as in the main loop: each frame's 1.9 MB
// of offsets comes from main memory.
static void logo_moving(benchmark::State& state, void (*draw)(int32_t, int32_t)) {
    build_scene_tables();
    int32_t f = 1;
    for (auto _ : state) {
        draw(f * LOGO_FRAME_ENTRIES, 1);
        f = f == 266 ? 1 : f + 1;
        benchmark::ClobberMemory();
    }
}
BENCHMARK_CAPTURE(logo_moving, BM_draw_logo_frame_moving, draw_logo_frame)
    ->Name("BM_draw_logo_frame_moving")->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

// Floors: the memory traffic a frame cannot avoid, with no lookup, built
// for the widest vectors the CPU has. The plasma's: the byte field read in
// screen order and each byte written as bytes 0..2 of its pixel, fourth byte
// kept (with AVX-512 a byte-masked store keeps it without reading the screen,
// as the AVX-512 pass does). The logo's: one read of a frame's offsets and of
// the picture. A frame's floor is the two together.
#if defined(__x86_64__)
#define WIDEST_VECTORS __attribute__((target_clones("avx512f", "avx2", "default")))
__attribute__((target("avx512f,avx512bw"))) static void plasma_floor_masked(uint8_t* dst) {
    for (int i = 0; i < PLASMA_FIELD_W * PLASMA_FIELD_H; i += 16)
        _mm512_mask_storeu_epi8(dst + 4 * i, 0x7777777777777777ull,
                                _mm512_maskz_cvtepu8_epi32(0xFFFF, _mm_loadu_si128(reinterpret_cast<const __m128i*>(plasma_field8 + i))));
}
#else
#define WIDEST_VECTORS
#endif

WIDEST_VECTORS static void plasma_floor(uint8_t* dst) {
#if defined(__x86_64__)
    if (__builtin_cpu_supports("avx512bw")) return plasma_floor_masked(dst);
#endif
    for (int i = 0; i < PLASMA_FIELD_W * PLASMA_FIELD_H; ++i) {
        uint32_t w;
        std::memcpy(&w, dst + 4 * i, 4);
        w = (w & 0xFF000000u) | plasma_field8[i];
        std::memcpy(dst + 4 * i, &w, 4);
    }
}

WIDEST_VECTORS static uint64_t logo_floor(const int64_t* entries, const uint8_t* picture) {
    uint64_t seen = 0;
    for (int i = 0; i < LOGO_FRAME_ENTRIES; ++i) seen |= uint64_t(entries[i]);
    for (int i = 0; i < 4 * LOGO_PIXELS; i += 8) {
        uint64_t w;
        std::memcpy(&w, picture + i, 8);
        seen |= w;
    }
    return seen;
}

static void BM_plasma_floor(benchmark::State& state) {
    build_scene_tables();
    for (auto _ : state) {
        plasma_floor(screen_pixels);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_plasma_floor)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

// The logo's floor at frame 100, as BM_draw_logo_frame reads it.
static void BM_logo_floor(benchmark::State& state) {
    build_scene_tables();
    for (auto _ : state) benchmark::DoNotOptimize(logo_floor(logo_frames + 100 * int64_t(LOGO_FRAME_ENTRIES), logo_picture));
}
BENCHMARK(BM_logo_floor)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

// Each routine this machine can run, by name, beside the dispatched ones
// above: what each pass costs on a CPU where it is the fastest one.
static void plasma_routine_bench(benchmark::State& state, plasma_routine r) {
    build_scene_tables();
    prepare_routine(r);
    for (auto _ : state) {
        r.pass(plasma_phase[1234]);
        benchmark::ClobberMemory();
    }
}

static void logo_routine_bench(benchmark::State& state, logo_routine r) { logo_at_frame_100(state, r.pass); }
static void logo_routine_moving(benchmark::State& state, logo_routine r) { logo_moving(state, r.pass); }

// Registers the routines of one list that run here and says which do not.
template <class Pass, class Bench>
static void register_routines(const char* what, std::span<const effect_routine<Pass>> list, Bench bench) {
    for (const effect_routine<Pass>& r : list) {
        if (!r.runs_here) {
            std::fprintf(stderr, "bench_frame: %s %s not measured: this CPU lacks some of %s\n", what, r.name, r.needs);
            continue;
        }
        benchmark::RegisterBenchmark((std::string("BM_") + what + "/" + r.name).c_str(), bench, r)
            ->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
    }
}

int main(int argc, char** argv) {
    register_routines("plasma_pass", all_routines(plasma_routine_table()), plasma_routine_bench);
    register_routines("draw_logo_frame", all_routines(logo_routine_table()), logo_routine_bench);
    register_routines("draw_logo_frame_moving", all_routines(logo_routine_table()), logo_routine_moving);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
