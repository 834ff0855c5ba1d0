// Music playback from the embedded MP3 bytes, with a silent stand-in that keeps
// the tune's timing when there is no sound to be had.
#include "music/music.h"
#include "assets.h"
#include "platform/platform.h"
#include <SDL.h>
#include <SDL_mixer.h>
#include <atomic>
#include <cstdio>

bool music_silent;
static bool started;
static int64_t start_us;        // platform clock when the tune was started
static bool fading;
static int64_t fade_start_us;   // platform clock at the first fade-out request
static int fade_ms;

// Without a device or a playable tune the intro still runs its scenes: the tune
// counts as playing for its own length, as it would with sound.
static void go_silent(const char* why) {
    std::fprintf(stderr, "tapehiss: running without sound: %s\n", why);
    music_silent = true;
}

// How long past its own end the mixer may still report the tune playing.
static constexpr int64_t MIXER_GRACE_US = 1000000;
// How long the sound output may take to open before the show goes on
// silently, in real time (a bound on the system, not a scene's length), and
// how often a stop request is looked at meanwhile.
static constexpr uint32_t OPEN_LIMIT_MS = 2000;
static constexpr uint32_t OPEN_LOOK_MS = 5;

// Opening the sound output can block for good (a sound server that hangs, a
// device file nobody reads), so it happens on a thread of its own while the
// show waits a bounded time. Whichever side moves the state off OPENING first
// decides: the opener to OPENED or FAILED, the show to ABANDONED.
enum open_state : int { OPENING, OPENED, FAILED, ABANDONED };
static std::atomic<int> open_state{OPENING};
static std::atomic<bool> opener_done{true};
static SDL_sem* opener_finished;
static char open_error[256];  // written by the opener before it leaves OPENING

static int open_sound_output(void*) {
    const bool ok = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0 && Mix_OpenAudio(44100, AUDIO_S16LSB, 2, 1024) == 0;
    if (!ok) SDL_strlcpy(open_error, SDL_GetError(), sizeof open_error);
    int expected = OPENING;
    if (!open_state.compare_exchange_strong(expected, ok ? OPENED : FAILED) && ok)
        Mix_CloseAudio();  // the show went on without it meanwhile
    opener_done = true;
    SDL_SemPost(opener_finished);
    return 0;
}

// Opens the sound output within OPEN_LIMIT_MS; false (after one line) when it
// failed or took longer, or a stop was requested meanwhile.
static bool open_sound_within_limit() {
#ifdef SDL_THREADS_DISABLED
    // An SDL without threads (a web page's, where the output opens at once or
    // fails) opens it on this thread.
    open_state = OPENING;
    open_sound_output(nullptr);
    if (open_state == FAILED) go_silent(open_error);
    return open_state == OPENED;
#endif
    if (!opener_finished) opener_finished = SDL_CreateSemaphore(0);
    while (opener_finished && SDL_SemTryWait(opener_finished) == 0) {
    }
    open_state = OPENING;
    opener_done = false;
    SDL_Thread* opener = opener_finished ? SDL_CreateThread(open_sound_output, "tapehiss-sound-open", nullptr) : nullptr;
    if (!opener) {
        opener_done = true;
        go_silent(SDL_GetError());
        return false;
    }
    SDL_DetachThread(opener);  // never joined: it may stay blocked for good
    for (uint32_t waited = 0; waited < OPEN_LIMIT_MS && !platform_quit_signal(); waited += OPEN_LOOK_MS)
        if (SDL_SemWaitTimeout(opener_finished, OPEN_LOOK_MS) == 0) break;
    int expected = OPENING;
    if (open_state.compare_exchange_strong(expected, ABANDONED)) {
        if (platform_quit_signal())
            music_silent = true;  // the run ends at its next look at the events
        else
            go_silent("the sound output did not open within 2 seconds");
        return false;
    }
    if (expected == FAILED) {
        go_silent(open_error);
        return false;
    }
    return true;
}

void start_music() {
    music_silent = false;
    started = true;
    fading = false;
    start_us = platform_clock_us();
    if (!open_sound_within_limit()) return;
    Mix_VolumeMusic(100);
    // The stream reads the bytes in place; the music object owns and closes it.
    SDL_RWops* stream = SDL_RWFromConstMem(music_mp3, int(music_mp3_size()));
    Mix_Music* music = Mix_LoadMUSType_RW(stream, MUS_MP3, 1);
    if (!music) {
        go_silent(SDL_GetError());
        return;
    }
    // Test first, then play, then test again. A play call that fails, or a
    // mixer that never reports playing, would otherwise spin here for ever.
    for (int tries = 0; !Mix_PlayingMusic(); ++tries) {
        if (tries == 100 || Mix_PlayMusic(music, 1) != 0) {
            go_silent(tries == 100 ? "the mixer never started the tune" : SDL_GetError());
            return;
        }
    }
}

// Whether our own clock says the tune is still on, allowing `grace_us` past
// its length or past the end of a requested fade.
static bool clock_says_playing(int64_t grace_us) {
    const int64_t now = platform_clock_us();
    if (fading) return now - fade_start_us < int64_t(fade_ms) * 1000 + grace_us;
    return now - start_us < int64_t(MUSIC_SECONDS * 1e6) + grace_us;
}

int music_playing() {
    if (music_silent) return clock_says_playing(0);
    if (!clock_says_playing(MIXER_GRACE_US)) return 0;
    return Mix_PlayingMusic();
}

bool music_stalled() {
    if (!opener_done) return true;  // still blocked in opening the output
    return started && !music_silent && !clock_says_playing(MIXER_GRACE_US) && Mix_PlayingMusic();
}

void music_fade_out(int ms) {
    if (!fading && music_playing()) {
        fading = true;
        fade_start_us = platform_clock_us();
        fade_ms = ms;
    }
    if (!music_silent) Mix_FadeOutMusic(ms);  // a repeated request continues the fade under way
}
