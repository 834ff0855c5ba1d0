// The screen as the drawing code sees it: 1280 x 720 pixels of 4 bytes in the
// order blue, green, red, fourth byte; rows of 5120 bytes with no gap.
#pragma once
#include <SDL.h>
#include <cstdint>

constexpr int SCREEN_W = 1280;
constexpr int SCREEN_H = 720;
constexpr int SCREEN_PITCH = SCREEN_W * 4;
constexpr int SCREEN_BYTES = SCREEN_PITCH * SCREEN_H;

// Pixel memory every drawing routine writes: the window surface itself when it
// has exactly the layout above, otherwise a buffer of our own that
// present_screen scales onto the surface.
extern uint8_t* screen_pixels;

// True when the surface has exactly the screen layout (size, pitch, and blue,
// green, red in bytes 0, 1, 2), so it can be drawn into directly.
bool surface_has_screen_layout(const SDL_Surface* surface);

// Points screen_pixels at the surface, or at our own buffer when the surface's
// layout differs. Returns true when drawing goes straight into the surface.
bool attach_screen(SDL_Surface* surface);

// True while drawing goes straight into the window surface.
bool screen_is_direct();

// Makes the current screen visible: scales our own buffer onto the surface
// first when one is in use, then updates the window surface.
void present_screen(SDL_Window* window);

// Fills the whole screen with the surface format's black (all four bytes).
void clear_screen(SDL_Surface* surface);

// Copies title_picture over the whole screen, all four bytes of every pixel.
void copy_title_picture();

// Lets the system drop the title picture's pages once it has been shown.
void release_title_picture();

// Copies a w x h block from the start of logo_picture to (x, y), unclipped.
void draw_picture_block(int x, int y, int w, int h);

// Letterbox rectangle of the 1280 x 720 picture on a dst_w x dst_h surface:
// aspect kept, centred.
SDL_Rect letterbox_rect(int dst_w, int dst_h);
