// Cost of presenting through our own buffer when the window surface has
// another size or pixel format: the scaled copy runs once per frame and must
// stay well inside the 13 ms pace. The floor beside each size is the memory
// traffic alone: every destination row written once from a cached row.
#include "platform/video_screen.h"
#include <benchmark/benchmark.h>
#include <cstring>
#include <vector>

static void present_to(benchmark::State& state, int w, int h, uint32_t format) {
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, format);
    if (!surface || attach_screen_to_surface(surface, SDL_Rect{0, 0, w, h})) {
        state.SkipWithError("expected a surface that needs our own buffer");
        return;
    }
    for (int i = 0; i < SCREEN_BYTES; ++i) screen_pixels[i] = uint8_t(i * 7);
    for (auto _ : state) {
        present_screen();  // no window: only the scaled copy is timed
        benchmark::DoNotOptimize(surface->pixels);
    }
    SDL_FreeSurface(surface);
}

static void floor_of(benchmark::State& state, int w, int h) {
    std::vector<uint8_t> surface(size_t(w) * h * 4), row(size_t(w) * 4, 0x5a);
    for (auto _ : state) {
        for (int y = 0; y < h; ++y) std::memcpy(&surface[size_t(y) * w * 4], row.data(), row.size());
        benchmark::DoNotOptimize(surface.data());
    }
}

#define PRESENT_BENCH(name, w, h, format)                                                      \
    static void BM_present_##name(benchmark::State& s) { present_to(s, w, h, format); }         \
    BENCHMARK(BM_present_##name)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true)
#define FLOOR_BENCH(name, w, h)                                                                 \
    static void BM_floor_##name(benchmark::State& s) { floor_of(s, w, h); }                     \
    BENCHMARK(BM_floor_##name)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true)

PRESENT_BENCH(1024x768_xrgb, 1024, 768, SDL_PIXELFORMAT_RGB888);
PRESENT_BENCH(1920x1080_xrgb, 1920, 1080, SDL_PIXELFORMAT_RGB888);
FLOOR_BENCH(1920x1080, 1920, 1080);
PRESENT_BENCH(1920x1080_rgb24, 1920, 1080, SDL_PIXELFORMAT_RGB24);
PRESENT_BENCH(2560x1440_xrgb, 2560, 1440, SDL_PIXELFORMAT_RGB888);
PRESENT_BENCH(2560x1440_xbgr, 2560, 1440, SDL_PIXELFORMAT_BGR888);
FLOOR_BENCH(2560x1440, 2560, 1440);
PRESENT_BENCH(3840x2160_xrgb, 3840, 2160, SDL_PIXELFORMAT_RGB888);
FLOOR_BENCH(3840x2160, 3840, 2160);

BENCHMARK_MAIN();
