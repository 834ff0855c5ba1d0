// The sound half of the SDL driver: SDL_mixer plays the tune from memory.
// Opening the output can block for good (a sound server that hangs, a device
// file nobody reads), and an open device can stop taking samples at any time
// (a headset that drops, a suspended sound server), so nothing here waits on
// the device without a bound, and the way out leaves a device that has
// stalled or never opened to the kernel, which closes it with the process.
//
// The state shared with the opener thread, and its rules:
// - open_state and open_error belong to the opener while open_state is
//   OPENING; the show moves OPENING on to ABANDONED when it stops waiting.
//   opener_running is true from the opener's start to its end. All three
//   change only under open_lock. Once no opener runs, the way out brings the
//   state back to NOT_STARTED, so a later run in the same process (the tests')
//   opens afresh.
// - opener_in_sdl is true exactly while the opener is inside an SDL call. It
//   becomes true only under open_lock and only while OPENING, so once the
//   show has seen it false with the state no longer OPENING, the opener
//   never calls SDL again, and SDL may be shut down.
// - last_mix_us is written by the mixer's thread after every chunk it mixes;
//   the show reads it to tell a device that takes samples from one that has
//   stopped.
#include "platform/driver.h"
#include "platform/platform.h"
#include <SDL.h>
#include <SDL_mixer.h>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

enum open_progress { NOT_STARTED, OPENING, OPENED, FAILED, ABANDONED };
static std::mutex open_lock;
static std::condition_variable open_changed;
static open_progress open_state = NOT_STARTED;
static bool opener_running;
static bool opener_in_sdl;
static bool opened_late;  // the output opened after the show stopped waiting
static char open_error[256];
static char trouble[256];

static std::atomic<int64_t> last_mix_us;
static_assert(std::atomic<int64_t>::is_always_lock_free, "the mixer's thread must never wait for the show");

// A device that mixes nothing new for this long has stopped taking samples
// (a working one mixes a chunk of 1024 samples every 23 ms).
static constexpr int64_t STALL_US = 150000;
// How often the wait for the opener looks at a stop request.
static constexpr int OPEN_LOOK_MS = 5;
// How long the way out gives a working device to close before the process
// ends by itself.
static constexpr int CLOSE_LIMIT_MS = 500;

// Real time, whatever clock the show runs on (the null driver's is virtual).
static int64_t real_us() {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

static void note_mixed(void*, Uint8*, int) { last_mix_us.store(real_us(), std::memory_order_relaxed); }

static bool open_output() {
    const bool ok = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0 && Mix_OpenAudio(44100, AUDIO_S16LSB, 2, 1024) == 0;
    if (ok) {
        last_mix_us = real_us();
        Mix_SetPostMix(note_mixed, nullptr);
    }
    return ok;
}

static void run_opener() {
    {
        std::lock_guard<std::mutex> hold(open_lock);
        if (open_state != OPENING) {
            opener_running = false;
            return;
        }
        opener_in_sdl = true;
    }
    const bool ok = open_output();
    char error[sizeof open_error];
    SDL_strlcpy(error, ok ? "" : SDL_GetError(), sizeof error);
    std::lock_guard<std::mutex> hold(open_lock);
    opener_in_sdl = false;
    opener_running = false;
    if (open_state == OPENING) {
        open_state = ok ? OPENED : FAILED;
        SDL_strlcpy(open_error, error, sizeof open_error);
    } else {
        opened_late = ok;
    }
    open_changed.notify_all();
}

bool sound_open() {
#ifdef SDL_THREADS_DISABLED
    // A web page's SDL has no threads; its output opens at once or fails.
    open_state = OPENING;
    const bool ok = open_output();
    open_state = ok ? OPENED : FAILED;
    if (!ok) SDL_strlcpy(trouble, SDL_GetError(), sizeof trouble);
    return ok;
#else
    std::unique_lock<std::mutex> hold(open_lock);
    // Once, but for an open that failed (nothing is open then).
    if ((open_state != NOT_STARTED && open_state != FAILED) || opener_running) {
        SDL_strlcpy(trouble, "the sound output was opened before", sizeof trouble);
        return false;
    }
    open_state = OPENING;
    opener_running = true;
    try {
        std::thread(run_opener).detach();  // never joined: it may stay blocked for good
    } catch (const std::system_error& e) {
        open_state = FAILED;
        opener_running = false;
        SDL_snprintf(trouble, sizeof trouble, "no thread to open it on: %s", e.what());
        return false;
    }
    for (uint32_t waited = 0; waited < SOUND_OPEN_LIMIT_MS && open_state == OPENING && !platform_stop_signal();
         waited += OPEN_LOOK_MS)
        open_changed.wait_for(hold, std::chrono::milliseconds(OPEN_LOOK_MS));
    if (open_state == OPENING) {
        open_state = ABANDONED;
        SDL_snprintf(trouble, sizeof trouble, "the sound output did not open within %u seconds",
                     unsigned(SOUND_OPEN_LIMIT_MS / 1000));
        return false;
    }
    if (open_state == FAILED) SDL_strlcpy(trouble, open_error, sizeof trouble);
    return open_state == OPENED;
#endif
}

bool sound_play(const uint8_t* bytes, size_t size, int volume) {
    Mix_VolumeMusic(volume);
    // The stream reads the bytes in place; the music object owns and closes it.
    Mix_Music* music = Mix_LoadMUSType_RW(SDL_RWFromConstMem(bytes, int(size)), MUS_MP3, 1);
    if (!music) {
        SDL_strlcpy(trouble, SDL_GetError(), sizeof trouble);
        return false;
    }
    // Test first, then play, then test again. A play call that fails, or a
    // mixer that never reports playing, would otherwise spin here for ever.
    for (int tries = 0; !Mix_PlayingMusic(); ++tries) {
        if (tries == 100 || Mix_PlayMusic(music, 1) != 0) {
            SDL_strlcpy(trouble, tries == 100 ? "the mixer never started the tune" : SDL_GetError(), sizeof trouble);
            return false;
        }
    }
    return true;
}

const char* sound_trouble() { return trouble; }

bool sound_playing() { return Mix_PlayingMusic() != 0; }

void sound_fade_out(int ms) { Mix_FadeOutMusic(ms); }

// --- the way out ---------------------------------------------------------------

bool sound_lets_sdl_go() {
    std::lock_guard<std::mutex> hold(open_lock);
    if (opener_in_sdl) return false;
    if (open_state == OPENING) open_state = ABANDONED;  // its thread has not begun: it never will
    return true;
}

// True when an open output takes no samples: it mixes nothing new within
// STALL_US (a working one mixes a chunk every 23 ms). A device that has just
// stopped mixed only a moment ago, so a fresh chunk is waited for.
static bool output_stalled() {
    {
        std::lock_guard<std::mutex> hold(open_lock);
        if (open_state != OPENED && !opened_late) return false;
    }
    const int64_t asked = real_us();
    while (last_mix_us.load() <= asked) {
        if (real_us() - asked > STALL_US) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(OPEN_LOOK_MS));
    }
    return false;
}

// A device that stops taking samples in the very moment it is closed would
// hold the close for ever: a watch ends the process (status 0, the way out's)
// should the close take longer than CLOSE_LIMIT_MS.
static void close_sound_within_limit() {
#ifdef SDL_THREADS_DISABLED
    Mix_CloseAudio();
#else
    static std::mutex watch_lock;
    static std::condition_variable closed_now;
    static bool closed;
    closed = false;
    std::thread watch;
    try {
        watch = std::thread([] {
            std::unique_lock<std::mutex> hold(watch_lock);
            // No flush of every stream: the mixer's thread may hold one,
            // blocked in its write. Our lines go unbuffered to stderr.
            if (!closed_now.wait_for(hold, std::chrono::milliseconds(CLOSE_LIMIT_MS), [] { return closed; }))
                std::_Exit(0);
        });
    } catch (const std::system_error&) {
        // No watch to be had: close all the same.
    }
    Mix_CloseAudio();
    {
        std::lock_guard<std::mutex> hold(watch_lock);
        closed = true;
    }
    closed_now.notify_all();
    if (watch.joinable()) watch.join();
#endif
}

void sound_close_and_quit() {
    if (output_stalled()) {
        // Closing would wait for the mixer's thread, stuck in the device.
        SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS | SDL_INIT_TIMER);
        return;
    }
    if (SDL_WasInit(SDL_INIT_AUDIO)) close_sound_within_limit();
    SDL_Quit();
    std::lock_guard<std::mutex> hold(open_lock);
    if (!opener_running) {
        open_state = NOT_STARTED;
        opened_late = false;
    }
}
