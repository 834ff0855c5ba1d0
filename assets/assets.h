// Constant data built into the executable: the pictures, the font and the tune.
#pragma once
#include "asset_sizes.h"
#include <cstddef>
#include <cstdint>

constexpr int TITLE_W = ASSET_TITLE_W;
constexpr int TITLE_H = ASSET_TITLE_H;
constexpr int LOGO_W = ASSET_LOGO_W;
constexpr int LOGO_H = ASSET_LOGO_H;
constexpr int FONT_GLYPH_COUNT = 30;
constexpr int FONT_GLYPH_SLOT = 64;     // 56 bytes of bitmap, 8 zero bytes

extern "C" {
// Pictures: 4 bytes per pixel (blue, green, red, fourth byte), rows top first.
extern const uint8_t title_picture[TITLE_W * TITLE_H * 4];
extern const uint8_t logo_picture[LOGO_W * LOGO_H * 4];
// ID3v2.2 tag followed by MPEG-1 Layer III frames, up to music_mp3_end.
extern const uint8_t music_mp3[];
extern const uint8_t music_mp3_end[];
}

// The tune's length in bytes, as embedded.
inline size_t music_mp3_size() { return size_t(music_mp3_end - music_mp3); }

// A-Z, then '!', '.', '?', '@': one 64-byte slot each.
extern const uint8_t font_glyphs[FONT_GLYPH_COUNT * FONT_GLYPH_SLOT];
