// Cost of presenting through our own buffer when the window surface has
// another size or pixel format: the scaled copy runs once per frame and must
// stay well inside the 13 ms pace.
#include "flow/surface.h"
#include <benchmark/benchmark.h>
#include <vector>

static void present_to(benchmark::State& state, int w, int h, uint32_t format) {
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, format);
    if (!surface || attach_screen(surface)) {
        state.SkipWithError("expected a surface that needs our own buffer");
        return;
    }
    for (int i = 0; i < SCREEN_BYTES; ++i) screen_pixels[i] = uint8_t(i * 7);
    for (auto _ : state) {
        present_screen(nullptr);  // no window: only the scaled copy is timed
        benchmark::DoNotOptimize(surface->pixels);
    }
    SDL_FreeSurface(surface);
}

static void BM_present_1024x768_xrgb(benchmark::State& s) { present_to(s, 1024, 768, SDL_PIXELFORMAT_RGB888); }
static void BM_present_1920x1080_xrgb(benchmark::State& s) { present_to(s, 1920, 1080, SDL_PIXELFORMAT_RGB888); }
static void BM_present_1920x1080_rgb24(benchmark::State& s) { present_to(s, 1920, 1080, SDL_PIXELFORMAT_RGB24); }
static void BM_present_2560x1440_xbgr(benchmark::State& s) { present_to(s, 2560, 1440, SDL_PIXELFORMAT_BGR888); }
BENCHMARK(BM_present_1024x768_xrgb)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_present_1920x1080_xrgb)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_present_1920x1080_rgb24)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_present_2560x1440_xbgr)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

BENCHMARK_MAIN();
