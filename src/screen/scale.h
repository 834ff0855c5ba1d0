// Nearest-neighbour scaling of the 1280 x 720 screen onto a rectangle of a
// 32-bit pixel buffer: destination pixel (x, y) of a w x h rectangle is screen
// pixel (x * 1280 / w, y * 720 / h), all four bytes copied.
#pragma once
#include <cstdint>

// Largest rectangle width handled with a precomputed column map; wider ones
// work too, a little slower.
constexpr int SCALE_MAP_MAX_W = 8192;

// Scales `screen` (the 1280 x 720 layout) into the w x h rectangle whose top
// left pixel is at `dst`, rows `dst_pitch` bytes apart.
void scale_screen(const uint8_t* screen, uint8_t* dst, int dst_pitch, int w, int h);

// A rectangle in pixels.
struct screen_rect {
    int x, y, w, h;
};

// Where the 1280 x 720 picture goes on a dst_w x dst_h area: the widest
// rectangle of its aspect that fits, in whole pixels, centred.
screen_rect letterbox_rect(int dst_w, int dst_h);
