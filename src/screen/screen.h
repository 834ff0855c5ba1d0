// The screen as the drawing code sees it: 1280 x 720 pixels of 4 bytes in the
// order blue, green, red, fourth byte; rows of 5120 bytes with no gap. How it
// reaches the window is the video driver's business; nothing here needs SDL.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr int SCREEN_W = 1280;
constexpr int SCREEN_H = 720;
constexpr int SCREEN_PITCH = SCREEN_W * 4;
constexpr int SCREEN_BYTES = SCREEN_PITCH * SCREEN_H;

// Pixel memory every drawing routine writes: the window surface itself when it
// has exactly the layout above, otherwise a buffer of the video driver's own
// that is scaled onto the window when presenting. Only the video driver (and
// tests and tools drawing into plain memory) points it anywhere; it and
// screen_black change together.
extern uint8_t* screen_pixels;

// Black as a whole pixel word of the memory screen_pixels points into (its
// fourth byte is the surface format's own: 0 without an alpha channel, 255
// with one); 0 for plain memory.
extern uint32_t screen_black;

// Fills every pixel of the screen with screen_black, all four bytes.
void clear_screen();

// Copies title_picture over the whole screen, all four bytes of every pixel.
void copy_title_picture();

// Copies a w x h block from the start of logo_picture to (x, y), unclipped.
void draw_picture_block(int x, int y, int w, int h);
