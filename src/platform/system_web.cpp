// Real driver, system half in a web browser: the page's clock, naps
// that hand the page's only thread back to the browser (which draws, plays
// the sound and takes the keys meanwhile), and word of the start-up work for
// the page's progress bar. A page has no signals and no process to settle.
#include "platform/driver.h"
#include "platform/platform.h"
#include <emscripten.h>

void platform_settle_process() {}

// performance.now(): milliseconds since the page opened, monotonic.
int64_t platform_clock_us() { return int64_t(emscripten_get_now() * 1000.0); }

uint32_t platform_ticks() { return uint32_t(platform_clock_us() / 1000); }

// The run is suspended (asyncify) and resumed when the nap is over. A timer
// set from inside a timer's callback is held back to at least 4 ms once such
// timers nest, which would stretch every frame, so a nap ends through a
// message: the next nap's timer then starts afresh. Naps under a millisecond
// only let the browser do what waits.
EM_ASYNC_JS(void, web_nap_ms, (double ms), {
    var nap = Module['napChannel'];
    if (!nap) {
        nap = Module['napChannel'] = new MessageChannel();
        nap.port1.onmessage = function() {
            var wake = nap.wake;
            nap.wake = null;
            wake();
        };
    }
    await new Promise(function(wake) {
        nap.wake = wake;
        if (ms < 1) nap.port2.postMessage(0);
        else setTimeout(function() { nap.port2.postMessage(0); }, ms);
    });
});

void platform_nap_us(uint32_t microseconds) { web_nap_ms(double(microseconds) / 1000.0); }

// Suspends the run until the browser has drawn a frame (the page then shows
// what changed), or a tenth of a second in a hidden page, which draws none.
EM_ASYNC_JS(void, web_until_drawn, (), {
    await new Promise(function(resume) {
        var resumed = false;
        function go() {
            if (!resumed) {
                resumed = true;
                resume();
            }
        }
        requestAnimationFrame(function() { setTimeout(go, 0); });
        setTimeout(go, 100);
    });
});

// How often the progress bar is drawn while the tables are built: often enough
// to move, seldom enough to cost little (each drawing waits for a frame).
static constexpr double PROGRESS_DRAW_MS = 100.0;

void platform_request_prompt_wakeups() {}

void platform_startup_progress(int done, int total) {
    EM_ASM({ if (Module['onStartupProgress']) Module['onStartupProgress']($0 / $1); }, done, total);
    static double drawn_at = -PROGRESS_DRAW_MS;
    if (done < total && emscripten_get_now() - drawn_at >= PROGRESS_DRAW_MS) {
        web_until_drawn();
        drawn_at = emscripten_get_now();
    } else {
        web_nap_ms(0);  // whatever else waits (a key, the page's own work)
    }
}

void platform_watch_signals() {}

int platform_stop_signal() { return 0; }

// Never asked for (no signal arrives), but ends the run as told if it is.
void platform_raise(int signal) {
    emscripten_force_exit(128 + signal);
    __builtin_unreachable();
}

// No memory limit is looked at here.
int64_t platform_address_space_left_mb() { return -1; }

void platform_guard_driver_calls(const char*) {}
