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
//   opener_running is true from the moment the opener is started to its end.
//   All three change only under open_lock. Once no opener runs, the way out
//   brings the state back to NOT_STARTED, so a later run in the same process
//   (the tests') opens afresh.
// - opener_in_sdl is true exactly while the opener is inside an SDL call. It
//   becomes true only under open_lock and only while OPENING, so once the
//   show has seen it false with the state no longer OPENING, the opener
//   never calls SDL again, and SDL may be shut down.
// - last_mix_us is written by the mixer's thread after every chunk it mixes;
//   the show reads it to tell a device that takes samples from one that has
//   stopped.
// SDL's threads, locks and conditions serve here, not the C++ library's:
// those would pull in parts of it that want a newer C library than the
// self-contained build allows.
#include "platform/driver.h"
#include "platform/platform.h"
#include <SDL.h>
#include <SDL_mixer.h>
#include <atomic>
#include <cstdio>
#include <cstdlib>

enum open_progress { NOT_STARTED, OPENING, OPENED, FAILED, ABANDONED };
static SDL_mutex* open_lock;
static SDL_cond* open_changed;
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
// How often the wait for the opener (and for a device's next chunk) looks.
static constexpr Uint32 OPEN_LOOK_MS = 5;
#ifndef SDL_THREADS_DISABLED
// How long the way out gives a working device to close before the process
// ends by itself.
static constexpr Uint32 CLOSE_LIMIT_MS = 500;
#endif

// Real time, whatever clock the show runs on (the null driver's is virtual).
static int64_t real_us() {
    static const double us_per_count = 1e6 / double(SDL_GetPerformanceFrequency());
    return int64_t(double(SDL_GetPerformanceCounter()) * us_per_count);
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

static int run_opener(void*) {
    SDL_LockMutex(open_lock);
    const bool go = open_state == OPENING;
    opener_in_sdl = go;
    opener_running = go;
    SDL_UnlockMutex(open_lock);
    if (!go) return 0;  // the way out came first: nothing is opened
    const bool ok = open_output();
    char error[sizeof open_error];
    SDL_strlcpy(error, ok ? "" : SDL_GetError(), sizeof error);
    SDL_LockMutex(open_lock);
    opener_in_sdl = false;
    opener_running = false;
    if (open_state == OPENING) {
        open_state = ok ? OPENED : FAILED;
        SDL_strlcpy(open_error, error, sizeof open_error);
    } else {
        opened_late = ok;
    }
    if (open_changed) SDL_CondBroadcast(open_changed);
    SDL_UnlockMutex(open_lock);
    return 0;
}

bool sound_open() {
    if (!open_lock) open_lock = SDL_CreateMutex();
    if (!open_lock) {
        SDL_strlcpy(trouble, SDL_GetError(), sizeof trouble);
        return false;
    }
    SDL_LockMutex(open_lock);
    // Once, but for an open that failed (nothing is open then).
    if ((open_state != NOT_STARTED && open_state != FAILED) || opener_running) {
        SDL_strlcpy(trouble, "the sound output was opened before", sizeof trouble);
        SDL_UnlockMutex(open_lock);
        return false;
    }
    open_state = OPENING;
#ifdef SDL_THREADS_DISABLED
    // A web page's SDL has no threads; its output opens at once or fails, here.
    SDL_UnlockMutex(open_lock);
    run_opener(nullptr);
    SDL_LockMutex(open_lock);
#else
    if (!open_changed) open_changed = SDL_CreateCond();
    opener_running = true;
    SDL_Thread* opener = open_changed ? SDL_CreateThread(run_opener, "tapehiss-sound-open", nullptr) : nullptr;
    if (!opener) {
        opener_running = false;
        open_state = FAILED;
        SDL_snprintf(open_error, sizeof open_error, "no thread to open it on: %s", SDL_GetError());
    } else {
        SDL_DetachThread(opener);  // never joined: it may stay blocked for good
        for (Uint32 waited = 0; waited < SOUND_OPEN_LIMIT_MS && open_state == OPENING && !platform_stop_signal();
             waited += OPEN_LOOK_MS)
            SDL_CondWaitTimeout(open_changed, open_lock, OPEN_LOOK_MS);
    }
#endif
    const bool opened = open_state == OPENED;
    if (open_state == OPENING) {
        open_state = ABANDONED;
        SDL_snprintf(trouble, sizeof trouble, "the sound output did not open within %u seconds",
                     unsigned(SOUND_OPEN_LIMIT_MS / 1000));
    } else if (open_state == FAILED) {
        SDL_strlcpy(trouble, open_error, sizeof trouble);
    }
    SDL_UnlockMutex(open_lock);
    return opened;
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

bool end_sound_opening() {
    if (!open_lock) return true;  // no open was ever begun
    SDL_LockMutex(open_lock);
    const bool free = !opener_in_sdl;
    if (free && open_state == OPENING) open_state = ABANDONED;  // its thread has not begun: it never will
    SDL_UnlockMutex(open_lock);
    return free;
}

// True when an open output takes no samples: it mixes nothing new within
// STALL_US (a working one mixes a chunk every 23 ms). A device that has just
// stopped mixed only a moment ago, so a fresh chunk is waited for.
static bool output_stalled() {
#ifdef SDL_THREADS_DISABLED
    return false;  // a page's sound is mixed between its naps: never stuck in a write
#endif
    if (!open_lock) return false;
    SDL_LockMutex(open_lock);
    const bool open = open_state == OPENED || opened_late;
    SDL_UnlockMutex(open_lock);
    if (!open) return false;
    const int64_t asked = real_us();
    while (last_mix_us.load() <= asked) {
        if (real_us() - asked > STALL_US) return true;
        SDL_Delay(OPEN_LOOK_MS);
    }
    return false;
}

#ifndef SDL_THREADS_DISABLED
// Ends the process (status 0, the way out's) unless the close is over within
// CLOSE_LIMIT_MS. No flush of every stream: the mixer's thread may hold one,
// blocked in its write; our lines go unbuffered to stderr.
static SDL_sem* close_over;
static int watch_close(void*) {
    if (SDL_SemWaitTimeout(close_over, CLOSE_LIMIT_MS) != 0) std::_Exit(0);
    return 0;
}
#endif

// A device that stops taking samples in the very moment it is closed would
// hold the close for ever: a watch ends the process should it take longer
// than CLOSE_LIMIT_MS.
static void close_sound_within_limit() {
#ifndef SDL_THREADS_DISABLED
    if (!close_over) close_over = SDL_CreateSemaphore(0);
    SDL_Thread* watch = close_over ? SDL_CreateThread(watch_close, "tapehiss-sound-close", nullptr) : nullptr;
    Mix_CloseAudio();
    if (watch) {
        SDL_SemPost(close_over);
        SDL_WaitThread(watch, nullptr);
    }
#else
    Mix_CloseAudio();
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
    if (!open_lock) return;
    SDL_LockMutex(open_lock);
    if (!opener_running) {
        open_state = NOT_STARTED;
        opened_late = false;
    }
    SDL_UnlockMutex(open_lock);
}
