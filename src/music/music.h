// The tune: played once from the embedded MP3 bytes through the mixer. When no
// audio device can be opened, or the tune will not load or play, the run goes on
// silently on a clock of our own that keeps the tune's timing.
#pragma once

constexpr double MUSIC_SECONDS = 166.56;

// True once start_music has chosen to play without sound.
extern bool music_silent;

// Opens the audio output, loads the tune from memory and starts it; returns
// once it plays (or once silent mode has been chosen, with one line on stderr).
// The loaded tune is held for the rest of the run, never freed.
void start_music();

// Non-zero while the tune plays. Our own clock bounds what the mixer says:
// once the tune's length (plus a second's grace) has passed since it started,
// or a second after a requested fade-out should have ended, the tune counts as
// ended whatever the mixer answers (a stalled sound device keeps answering 1).
// Silently, the clock alone decides, without the grace.
int music_playing();

// True when the mixer still reports the tune playing after our clock has
// ended it: the sound device has stopped taking samples.
bool music_stalled();

// Fades the tune out over ms; a repeated request continues the fade under way.
void music_fade_out(int ms);
