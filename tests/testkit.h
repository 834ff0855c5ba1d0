// Helpers shared by the tests: a screen in plain memory and pixel access.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// Points screen_pixels at a plain 1280 x 720 buffer filled with `fill` in every
// byte (black a zero word) and returns it. The same buffer is reused by every
// call.
uint8_t* use_memory_screen(uint8_t fill);

// Pointer to screen pixel (x, y) of the current screen_pixels.
uint8_t* screen_pixel(int x, int y);

// Blue, green, red and fourth byte of a pixel as one 32-bit value 0xAARRGGBB.
uint32_t screen_word(int x, int y);

// FNV-1a hash of n bytes, for compact whole-buffer comparisons.
uint64_t hash_bytes(const uint8_t* bytes, size_t n);

// Moves the null driver's clock on from `from_us` to `to_us` in steps the
// tune's own clock counts in full (a longer gap counts as a pause), asking
// music_playing at each; its last answer.
bool music_playing_at(int64_t from_us, int64_t to_us);
