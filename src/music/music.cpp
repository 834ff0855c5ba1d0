// Music playback from the embedded MP3 bytes, with a silent stand-in that keeps
// the tune's timing when there is no sound to be had.
#include "music/music.h"
#include "assets.h"
#include "platform/platform.h"
#include <SDL_mixer.h>
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

void start_music() {
    music_silent = false;
    started = true;
    fading = false;
    start_us = platform_clock_us();
    if (Mix_OpenAudio(44100, AUDIO_S16LSB, 2, 1024) != 0) {
        go_silent(SDL_GetError());
        return;
    }
    Mix_VolumeMusic(100);
    // The stream reads the bytes in place; the music object owns and closes it.
    SDL_RWops* stream = SDL_RWFromConstMem(music_mp3, MUSIC_MP3_SIZE);
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

bool music_stalled() { return started && !music_silent && !clock_says_playing(MIXER_GRACE_US) && Mix_PlayingMusic(); }

void music_fade_out(int ms) {
    if (!fading && music_playing()) {
        fading = true;
        fade_start_us = platform_clock_us();
        fade_ms = ms;
    }
    if (!music_silent) Mix_FadeOutMusic(ms);  // a repeated request continues the fade under way
}
