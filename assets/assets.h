// Constant data built into the executable: the pictures, the font and the tune.
#pragma once
#include <cstdint>

constexpr int TITLE_W = 1280;
constexpr int TITLE_H = 720;
constexpr int LOGO_W = 766;
constexpr int LOGO_H = 154;
constexpr int FONT_GLYPH_COUNT = 30;
constexpr int FONT_GLYPH_SLOT = 64;     // 56 bytes of bitmap, 8 zero bytes
constexpr int MUSIC_MP3_SIZE = 3333321;

extern "C" {
// Pictures: 4 bytes per pixel (blue, green, red, fourth byte), rows top first.
extern const uint8_t title_picture[TITLE_W * TITLE_H * 4];
extern const uint8_t logo_picture[LOGO_W * LOGO_H * 4];
// ID3v2.2 tag followed by MPEG-1 Layer III frames.
extern const uint8_t music_mp3[MUSIC_MP3_SIZE];
extern const uint8_t music_mp3_end[];
}

// A-Z, then '!', '.', '?', '@': one 64-byte slot each.
extern const uint8_t font_glyphs[FONT_GLYPH_COUNT * FONT_GLYPH_SLOT];
