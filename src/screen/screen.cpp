// The screen buffer and the whole-picture copies.
#include "screen/screen.h"
#include "assets.h"
#include <cstring>

uint8_t* screen_pixels;
uint32_t screen_black;

void clear_screen() {
    uint8_t* p = screen_pixels;
    for (int i = 0; i < SCREEN_W * SCREEN_H; ++i, p += 4) std::memcpy(p, &screen_black, 4);
}

static_assert(TITLE_W == SCREEN_W && TITLE_H == SCREEN_H, "the title picture covers the screen exactly");

void copy_title_picture() { std::memcpy(screen_pixels, title_picture, SCREEN_BYTES); }

void draw_picture_block(int x, int y, int w, int h) {
    if (h <= 0) return;
    uint8_t* dst = screen_pixels + 4 * (x + SCREEN_W * y);
    const uint8_t* src = logo_picture;
    for (int row = 0; row < h; ++row) {
        std::memcpy(dst, src, size_t(4) * size_t(w));
        dst += SCREEN_PITCH;
        src += 4 * w;
    }
}
