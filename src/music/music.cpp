// The tune from the embedded MP3 bytes, with a silent stand-in that keeps the
// tune's timing when there is no sound to be had.
//
// The tune's own clock (tune_us) counts the time the show has run since the
// tune started, read at every question about it; a gap of more than
// MAX_CLOCK_STEP_US between two readings (the process was stopped, the
// machine slept, the clock stepped) counts as that step only, since the
// sound device was held up just the same.
#include "music/music.h"
#include "assets.h"
#include "platform/platform.h"
#include <cstdio>

static bool silent;
static int64_t tune_us;       // the tune's own clock, since it started
static int64_t last_read_us;  // platform clock at its last reading
static bool fading;
static int64_t fade_start_us;  // tune clock at the first fade-out request
static int fade_ms;

static constexpr int64_t MAX_CLOCK_STEP_US = 1000000;
// How long past its own end the mixer may still report the tune playing.
static constexpr int64_t MIXER_GRACE_US = 1000000;

static int64_t tune_clock_us() {
    const int64_t now = platform_clock_us();
    const int64_t step = now - last_read_us;
    last_read_us = now;
    if (step > 0) tune_us += step < MAX_CLOCK_STEP_US ? step : MAX_CLOCK_STEP_US;
    return tune_us;
}

// Without a device or a playable tune the show still runs its scenes: the tune
// counts as playing for its own length, as it would with sound.
static void go_silent(const char* why) {
    std::fprintf(stderr, "tapehiss: running without sound: %s\n", why);
    silent = true;
}

void start_music() {
    silent = false;
    fading = false;
    if (!sound_open()) {
        // A stop asked for meanwhile ends the run at its next look.
        if (platform_stop_signal())
            silent = true;
        else
            go_silent(sound_trouble());
    } else if (!sound_play(music_mp3, music_mp3_size(), MUSIC_VOLUME)) {
        go_silent(sound_trouble());
    }
    tune_us = 0;
    last_read_us = platform_clock_us();
}

// Whether the tune's clock says it is still on, allowing `grace_us` past its
// length or past the end of a requested fade.
static bool clock_says_playing(int64_t grace_us) {
    const int64_t now = tune_clock_us();
    if (fading) return now - fade_start_us < int64_t(fade_ms) * 1000 + grace_us;
    return now < int64_t(MUSIC_SECONDS * 1e6) + grace_us;
}

bool music_playing() {
    if (silent) return clock_says_playing(0);
    return clock_says_playing(MIXER_GRACE_US) && sound_playing();
}

void music_fade_out(int ms) {
    if (!fading && music_playing()) {
        fading = true;
        fade_start_us = tune_clock_us();
        fade_ms = ms;
    }
    if (!silent) sound_fade_out(ms);  // a repeated request continues the fade under way
}
