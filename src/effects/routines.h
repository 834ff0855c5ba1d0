// The ways of drawing one effect's frame. Each effect keeps one table of the
// routines built in: first those this machine runs, fastest first, ending
// with the plain one that every machine has; then those it cannot run. The
// table is laid out once, on first use, and handed out as spans.
#pragma once
#include <cstddef>
#include <span>

template <class Pass>
struct effect_routine {
    const char* name;   // "avx512", "avx2", "sse2", "plain"
    const char* needs;  // the CPU features it uses ("" for none)
    Pass pass;          // draws a frame; every routine gives the same screen
    void (*prepare)();  // builds what the pass reads beside the effect's tables; null for nothing
    bool runs_here;     // this CPU has what it needs
};

template <class Pass>
struct routine_table {
    effect_routine<Pass> list[4];
    size_t count;    // built in
    size_t running;  // the first of them, which this machine runs
};

// Lays out a table from a CPU family's routines (fastest first) and the plain
// one.
template <class Pass>
routine_table<Pass> make_routine_table(std::span<const effect_routine<Pass>> cpu, const effect_routine<Pass>& plain) {
    routine_table<Pass> t{};
    for (const effect_routine<Pass>& r : cpu)
        if (r.runs_here) t.list[t.count++] = r;
    t.list[t.count++] = plain;
    t.running = t.count;
    for (const effect_routine<Pass>& r : cpu)
        if (!r.runs_here) t.list[t.count++] = r;
    return t;
}

template <class Pass>
std::span<const effect_routine<Pass>> all_routines(const routine_table<Pass>& t) {
    return {t.list, t.count};
}

template <class Pass>
std::span<const effect_routine<Pass>> running_routines(const routine_table<Pass>& t) {
    return {t.list, t.running};
}

// Builds what `r` reads before its first frame.
template <class Pass>
void prepare_routine(const effect_routine<Pass>& r) {
    if (r.prepare) r.prepare();
}
