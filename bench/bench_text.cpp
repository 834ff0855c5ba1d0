// Per-frame cost of the text work: one end-screen frame (clear, text, ribbons)
// and one scroller band copy, each on a screen in plain memory.
#include "endscreen/endscreen.h"
#include "screen/screen.h"
#include "text/scroller.h"
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <vector>

// A plain 1280 x 720 screen in memory.
static void plain_screen() {
    static std::vector<uint8_t> memory(SCREEN_BYTES, 0);
    screen_pixels = memory.data();
}

// Cycles through all steps of both kinds of cycle, as the scene does.
static void BM_EndScreenFrame(benchmark::State& state) {
    plain_screen();
    int32_t colour = END_START_COLOUR;
    int step = END_FIRST_STEP;
    bool widening = true;
    for (auto _ : state) {
        draw_end_screen_frame(widening, step, &colour);
        benchmark::DoNotOptimize(screen_pixels);
        benchmark::ClobberMemory();
        if (++step == END_STEP_LIMIT) {
            step = END_FIRST_STEP;
            widening = !widening;
        }
    }
}
BENCHMARK(BM_EndScreenFrame)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

// Only the ribbons, to see their share of the frame.
static void BM_EndScreenBars(benchmark::State& state) {
    plain_screen();
    int32_t colour = END_START_COLOUR;
    int step = END_FIRST_STEP;
    bool widening = true;
    for (auto _ : state) {
        draw_end_screen_bars(widening, step, &colour);
        benchmark::ClobberMemory();
        if (++step == END_STEP_LIMIT) {
            step = END_FIRST_STEP;
            widening = !widening;
        }
    }
}
BENCHMARK(BM_EndScreenBars)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

// The band copy, over every scroll position including the wrap.
static void BM_DrawScroller(benchmark::State& state) {
    plain_screen();
    if (!obtain_scroll_strip()) {
        state.SkipWithError("no strip");
        return;
    }
    render_scroll_strip(scroll_text);
    scroll_pos = 0;
    for (auto _ : state) {
        draw_scroller();
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_DrawScroller)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

BENCHMARK_MAIN();
