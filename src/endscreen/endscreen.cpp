// The closing scene: greetings on the left, and on the right a green and a
// violet ribbon that twist down the screen, alternately widening and narrowing.
#include "endscreen/endscreen.h"
#include "screen/screen.h"
#include "text/font.h"
#include <cmath>

const char* const end_screen_lines[END_LINE_COUNT] = {
    "GREETINGS TO EVERYONE FROM QUENTAROSK",
    "THIS IS TAPEHISS MEETS MODERNITY ",
    "A INTRO MADE FOR MOXBAR TWENTY FIVE. ",
    "WE ARE VERY ARROGANT AND SKIPS ",
    "THIS YEARS THEME. ",
    "EVERYTHING YOU CAN SEE ON THE ",
    "SCREEN IS RENDERED WITHOUT SUPPORTLIBRARIES ",
    "EXCEPT FOR CREATING THE FRAMEBUFFER. ",
    "IF WINDOWS WERE LINUX WE COULD ",
    "JUST GO WITH THE DRIVER DIRECTLY. ",
    "OPENGL IS NOT USED. ",
    "NO OPENGL USER WAS HARMED IN THIS INTRO ",
    "THE SONG IS REAL SAMPLED ",
    "ZX SPECTRUM SOUND. EMULATED SPECTRUM ",
    "SOUNDS CRAP SO THIS IS ",
    "A BETTER WAY TO PLAY THE SONG.",
    "          BYE BYE!!",
};

// Every line in full, trailing spaces included, so the cells they cover are
// the same each frame.
void draw_end_screen_text() {
    for (int i = 0; i < END_LINE_COUNT; ++i)
        draw_text_screen(end_screen_lines[i], END_TEXT_X, END_TEXT_Y + END_LINE_STEP * i);
}

// Colour bytes only; the fourth byte of a screen pixel belongs to the surface.
static inline void put_screen_pixel(int x, int y, uint8_t b, uint8_t g, uint8_t r) {
    uint8_t* p = screen_pixels + size_t(y) * SCREEN_PITCH + size_t(x) * 4;
    p[0] = b;
    p[1] = g;
    p[2] = r;
}

// The ribbons, bottom row first. The angle is kept in single precision and
// stepped through double, so the twist lands on the same columns every run;
// the colour runs up its ramp and carries on from frame to frame.
void draw_end_screen_bars(bool widening, int step, int32_t* bar_colour) {
    // Widening, the runs grow from 1 to 48 pixels while the offsets shrink
    // from 48 to 1; narrowing, the other way round.
    const int k = widening ? END_STEP_LIMIT - step : step - END_FIRST_STEP;
    const int w = widening ? step - 1 : END_STEP_LIMIT + 1 - step;
    const double turn = widening ? 0.1 : -0.1;
    float theta = widening ? 0.5f : 60.0f;
    double cos_t = std::cos(double(theta));
    double sin_t = std::sin(double(theta));
    int32_t colour = *bar_colour;
    for (int y = END_BAR_BOTTOM_ROW; y >= END_BAR_TOP_ROW; --y) {
        colour = end_colour_advanced(colour);
        const uint8_t c = uint8_t(colour);
        const int dg = int(std::ceil(k * cos_t));
        const int dv = int(std::ceil(k * sin_t));
        if (widening) {
            // Both runs end at their offset column and grow leftwards.
            for (int i = 0; i < w; ++i) {
                put_screen_pixel(END_GREEN_X + dg - i, y, 0, c, 0);
                put_screen_pixel(END_VIOLET_X + dv - i, y, c, 0, 128);
            }
        } else {
            // Both runs start w columns left of their offset and grow rightwards.
            for (int i = 0; i < w; ++i) {
                put_screen_pixel(END_GREEN_X - w + dg + i, y, 0, c, 0);
                put_screen_pixel(END_VIOLET_X - w + dv + i, y, c, 0, 128);
            }
        }
        theta = float(double(theta) + turn);
        cos_t = std::cos(double(theta));
        sin_t = std::sin(double(theta));
    }
    *bar_colour = colour;
}

int32_t end_colour_after(int32_t colour, int64_t rows) {
    // Straight up to the first start-again, then round the ramp.
    const int64_t to_wrap = (END_COLOUR_TOP - colour) / END_COLOUR_STEP + 1;
    if (rows < to_wrap) return int32_t(colour + END_COLOUR_STEP * rows);
    constexpr int64_t ramp = (END_COLOUR_TOP - END_COLOUR_LOW) / END_COLOUR_STEP + 1;
    return int32_t(END_COLOUR_LOW + END_COLOUR_STEP * ((rows - to_wrap) % ramp));
}

// Clear, text, ribbons: the picture of one frame before it is presented.
void draw_end_screen_frame(bool widening, int step, int32_t* bar_colour) {
    clear_screen();
    draw_end_screen_text();
    draw_end_screen_bars(widening, step, bar_colour);
}
