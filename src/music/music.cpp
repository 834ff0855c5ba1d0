// Music playback from the embedded MP3 bytes, with a silent stand-in that keeps
// the tune's timing when there is no sound to be had.
#include "music/music.h"
#include "assets.h"
#include "flow/timing.h"
#include <cstdio>

static bool silent;
static int64_t silent_start_us;
static bool silent_fading;
static int64_t silent_fade_start_us;
static int silent_fade_ms;
static int fade_requests;  // since start_music, for checking the end screen's rhythm

static int64_t wall_now_us() {
    wall_time now;
    get_wall_time(&now);
    return int64_t(now.seconds) * 1000000 + now.microseconds;
}

// Without a device or a playable tune the intro still runs its scenes: the tune
// counts as playing for its own length, as it would with sound.
static void go_silent(const char* why) {
    std::fprintf(stderr, "tapehiss: running without sound: %s\n", why);
    silent = true;
    silent_fading = false;
    silent_start_us = wall_now_us();
}

Mix_Music* start_music() {
    silent = false;
    fade_requests = 0;
    if (Mix_OpenAudio(44100, AUDIO_S16LSB, 2, 1024) != 0) {
        go_silent(SDL_GetError());
        return nullptr;
    }
    Mix_VolumeMusic(100);
    // The stream reads the bytes in place; the music object owns and closes it.
    SDL_RWops* stream = SDL_RWFromMem(const_cast<uint8_t*>(music_mp3), MUSIC_MP3_SIZE);
    Mix_Music* music = Mix_LoadMUSType_RW(stream, MUS_MP3, 1);
    if (!music) {
        go_silent(SDL_GetError());
        return nullptr;
    }
    // Test first, then play, then test again. A play call that fails, or a
    // mixer that never reports playing, would otherwise spin here for ever.
    for (int tries = 0; !Mix_PlayingMusic(); ++tries) {
        if (tries == 100 || Mix_PlayMusic(music, 1) != 0) {
            go_silent(tries == 100 ? "the mixer never started the tune" : SDL_GetError());
            return music;
        }
    }
    return music;
}

int music_playing() {
    if (!silent) return Mix_PlayingMusic();
    int64_t now = wall_now_us();
    if (silent_fading) return now - silent_fade_start_us < int64_t(silent_fade_ms) * 1000;
    return now - silent_start_us < int64_t(MUSIC_SECONDS * 1e6);
}

void music_fade_out(int ms) {
    ++fade_requests;
    if (!silent) {
        Mix_FadeOutMusic(ms);  // a repeated request continues the fade under way
        return;
    }
    if (silent_fading || !music_playing()) return;
    silent_fading = true;
    silent_fade_start_us = wall_now_us();
    silent_fade_ms = ms;
}

bool music_is_silent() { return silent; }

int music_fade_request_count() { return fade_requests; }
