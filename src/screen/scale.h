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
