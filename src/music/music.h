// The tune: played once from the embedded MP3 bytes through the sound driver.
// When no sound output can be opened, or the tune will not load or play, the
// run goes on silently on the tune's own clock, which keeps its timing.
#pragma once

constexpr double MUSIC_SECONDS = 166.56;
constexpr int MUSIC_VOLUME = 100;  // of 128

// Opens the sound output, loads the tune from memory and starts it; returns
// once it plays, or once silence has been chosen (with one line on stderr).
void start_music();

// True while the tune plays. The tune's own clock bounds what the mixer says:
// once the tune's length (plus a second's grace) has passed since it started,
// or a second after a requested fade-out should have ended, the tune counts as
// ended whatever the mixer answers (a stalled sound device keeps answering
// yes). Silently, the clock alone decides, without the grace.
bool music_playing();

// Fades the tune out over ms; a repeated request continues the fade under way.
void music_fade_out(int ms);
