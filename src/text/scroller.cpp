// The scroll text: rendered once into a strip as wide as the whole message,
// then copied into the bottom band of the screen one column further per frame,
// wrapping round to the start of the strip.
#include "text/scroller.h"
#include "platform/os_memory.h"
#include "screen/screen.h"
#include <bit>
#include <cstddef>
#include <cstdlib>
#include <cstring>

const char scroll_text[SCROLL_TEXT_LEN + 1] =
    "WELCOME TO TAPEHISS MEETS MODERNITY A INTRO MADE FOR MOXBAR TWENTY FIVE. "
    "WE ARE VERY ARROGANT AND AND SKIPS THIS YEARS THEME!! "
    "EVERYTHING YOU CAN SEE ON THE SCREEN IS RENDERED WITHOUT SUPPORTLIBRARIES "
    "EXCEPT FOR CREATING THE FRAMEBUFFER. "
    "IF WINDOWS WERE LINUX WE COULD JUST GO WITH THE DRIVER DIRECTLY. "
    "OPENGL IS NOT USED. "
    "THE SONG IS REAL SAMPLED ZX SPECTRUM SOUND! "
    "EMULATED SPECTRUM SOUNDS CRAP SO THIS IS A BETTER WAY TO PLAY THE SONG.";

uint8_t* scroll_strip;
int32_t scroll_pos;

static constexpr size_t STRIP_ROW_BYTES = size_t(SCROLL_STRIP_W) * 4;   // 60 * L
static constexpr size_t STRIP_BYTES = STRIP_ROW_BYTES * GLYPH_H;        // 735,840

// Taken once for the whole run; a second call keeps the strip already drawn.
bool obtain_scroll_strip() {
    if (scroll_strip) return true;
    scroll_strip = static_cast<uint8_t*>(std::malloc(STRIP_BYTES));
    if (!scroll_strip) {
        os_say_no_memory("the scroll strip", STRIP_BYTES);
        return false;
    }
    return true;
}

// Only the colour bytes are written: the strip's fourth byte is never part of
// the picture.
text_target strip_text_target() { return {scroll_strip, STRIP_ROW_BYTES, {0, 0, 0}, {255, 0, 0}}; }

// Lays the message out cell by cell from the strip's left edge.
void render_scroll_strip(const char* text) {
    const text_target strip = strip_text_target();
    for (int i = 0; text[i] != 0; ++i) draw_char(strip, uint8_t(text[i]), GLYPH_W * i, 0);
}

static_assert(std::endian::native == std::endian::little, "pixel words assume a little-endian machine");

// Copies n pixels' colour bytes while keeping each destination pixel's fourth
// byte. Pixels are moved as words through memcpy (the buffers are bytes, so
// they are never accessed through another type); the compiler turns the loop
// into wide moves.
static inline void copy_colour_run(uint8_t* dst, const uint8_t* src, int n) {
    // The fourth byte is the high byte of a little-endian pixel word.
    for (int i = 0; i < 4 * n; i += 4) {
        uint32_t d, s;
        std::memcpy(&d, dst + i, 4);
        std::memcpy(&s, src + i, 4);
        d = (d & 0xFF000000u) | (s & 0x00FFFFFFu);
        std::memcpy(dst + i, &d, 4);
    }
}

// One frame of the scroller: band column x shows strip column scroll_pos + x,
// wrapped at the strip's width; the position then moves on by one.
void draw_scroller() {
    int32_t s = scroll_pos;
    if (s == SCROLL_STRIP_W) s = scroll_pos = 0;
    // The band's 1280 columns come from at most a few straight runs of the
    // strip, so the wrap is decided once per run, not once per pixel.
    for (int y = 0; y < GLYPH_H; ++y) {
        uint8_t* dst = screen_pixels + size_t(SCROLL_BAND_Y + y) * SCREEN_PITCH;
        const uint8_t* src_row = scroll_strip + size_t(y) * STRIP_ROW_BYTES;
        int x = 0;
        int p = s;
        while (x < SCREEN_W) {
            if (p >= SCROLL_STRIP_W) p = 0;
            int n = SCROLL_STRIP_W - p;
            if (n > SCREEN_W - x) n = SCREEN_W - x;
            copy_colour_run(dst + 4 * x, src_row + 4 * p, n);
            x += n;
            p += n;
        }
    }
    scroll_pos = s + 1;
}
