// Start-up cost: every table the main scene reads, built from scratch, and the
// logo table fill set against simply faulting in the same fresh memory.
#include "assets.h"
#include "effects/logo.h"
#include "effects/plasma.h"
#include "platform/os_memory.h"
#include "text/scroller.h"
#include <benchmark/benchmark.h>
#include <cstddef>
#include <cstring>
#include <sys/mman.h>

// The intro never gives its table back; the benchmarks do, after each pass.
static void os_unmap_big(void* block, size_t bytes) { munmap(block, bytes); }

static constexpr size_t TABLE_BYTES = LOGO_TABLE_BYTES;

// What precompute_all does, except that the logo table is fresh memory on each
// pass (precompute_all keeps its table for good), so page faults are counted
// every time as on a real start.
static void BM_precompute_all(benchmark::State& state) {
    for (auto _ : state) {
        plasma_tick = 0;
        scroll_pos = 0;
        if (!obtain_scroll_strip()) state.SkipWithError("no scroll strip");
        render_scroll_strip(scroll_text);
        int64_t* table = static_cast<int64_t*>(os_map_big(TABLE_BYTES));
        if (!table) { state.SkipWithError("no memory"); break; }
        build_logo_frames_range(table, 0, LOGO_FRAME_COUNT);
        prepare_logo_drawing(logo_picture);
        build_plasma_palette();
        build_plasma_field();
        build_plasma_phase();
        choose_plasma_routine();
        benchmark::DoNotOptimize(table[LOGO_TABLE_ENTRIES - 1]);
        os_unmap_big(table, TABLE_BYTES);
    }
}
BENCHMARK(BM_precompute_all)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2)
    ->Repetitions(5)->ReportAggregatesOnly(true);

// Mapping, filling and releasing the logo table.
static void BM_fill_logo_frames(benchmark::State& state) {
    for (auto _ : state) {
        int64_t* table = static_cast<int64_t*>(os_map_big(TABLE_BYTES));
        if (!table) { state.SkipWithError("no memory"); break; }
        build_logo_frames_range(table, 0, LOGO_FRAME_COUNT);
        benchmark::DoNotOptimize(table[LOGO_TABLE_ENTRIES - 1]);
        os_unmap_big(table, TABLE_BYTES);
    }
}
BENCHMARK(BM_fill_logo_frames)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2)
    ->Repetitions(5)->ReportAggregatesOnly(true);

// Floor for the fill: the same memory, mapped the same way, with one byte
// written per 4 KB page so the kernel faults in (and zeroes) all of it.
static void BM_first_touch_floor(benchmark::State& state) {
    for (auto _ : state) {
        int64_t* table = static_cast<int64_t*>(os_map_big(TABLE_BYTES));
        if (!table) { state.SkipWithError("no memory"); break; }
        volatile uint8_t* bytes = reinterpret_cast<uint8_t*>(table);
        for (size_t i = 0; i < TABLE_BYTES; i += 4096) bytes[i] = 1;
        os_unmap_big(table, TABLE_BYTES);
    }
}
BENCHMARK(BM_first_touch_floor)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2)
    ->Repetitions(5)->ReportAggregatesOnly(true);

// Second floor: faulting in and writing every byte (memset).
static void BM_first_touch_write_all(benchmark::State& state) {
    for (auto _ : state) {
        int64_t* table = static_cast<int64_t*>(os_map_big(TABLE_BYTES));
        if (!table) { state.SkipWithError("no memory"); break; }
        std::memset(table, 1, TABLE_BYTES);
        benchmark::DoNotOptimize(table[LOGO_TABLE_ENTRIES - 1]);
        os_unmap_big(table, TABLE_BYTES);
    }
}
BENCHMARK(BM_first_touch_write_all)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2)
    ->Repetitions(5)->ReportAggregatesOnly(true);

// The plasma tables alone.
static void BM_build_plasma_tables(benchmark::State& state) {
    for (auto _ : state) {
        build_plasma_palette();
        build_plasma_field();
        build_plasma_phase();
        benchmark::DoNotOptimize(plasma_field8[0]);
    }
}
BENCHMARK(BM_build_plasma_tables)->Unit(benchmark::kMillisecond)->UseRealTime()
    ->Repetitions(5)->ReportAggregatesOnly(true);

BENCHMARK_MAIN();
