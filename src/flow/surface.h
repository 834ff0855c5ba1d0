// The screen on the window: attaching screen_pixels to the window surface
// (straight into it when it has the screen's exact layout, through a buffer of
// our own scaled and letterboxed onto it otherwise), presenting, clearing.
#pragma once
#include "flow/screen.h"
#include <SDL.h>

// True when the surface has exactly the screen layout (size, pitch, and blue,
// green, red in bytes 0, 1, 2), so it can be drawn into directly.
bool surface_has_screen_layout(const SDL_Surface* surface);

// Attaches the screen to `surface`, of which the window shows the top-left
// shown_w x shown_h pixels; the picture is letterboxed into that area. What
// our own buffer held is carried into a surface drawn into directly. True when
// drawing goes straight into it.
bool attach_screen_area(SDL_Surface* surface, int shown_w, int shown_h);

// The same for a surface that is shown whole.
bool attach_screen(SDL_Surface* surface);

// Obtains the window's surface (again) and attaches the screen to it, keeping
// the picture. False when the window gives no surface; drawing then goes on in
// our own buffer and each present tries again.
bool attach_window_screen(SDL_Window* window);

// Called when the window's size has changed: attaches the screen to the
// window's new surface and shows the current picture on it.
void window_size_changed();

// Presents the current screen again on the window last attached (an uncovered
// window needs its picture back).
void present_screen_again();

// True while drawing goes straight into the window surface.
bool screen_is_direct();

// The surface that holds the picture being drawn: the window surface, or our
// own buffer's surface when that is in use. For clear_screen.
SDL_Surface* screen_surface();

// Makes the current screen visible: scales our own buffer onto the window
// surface first when one is in use. When the window's surface has stopped
// being valid, obtains it again and presents once more. A null window only
// scales (tests, benchmarks).
void present_screen(SDL_Window* window);

// Fills the whole surface with its own format's black (all four bytes).
void clear_screen(SDL_Surface* surface);

// Letterbox rectangle of the 1280 x 720 picture on a dst_w x dst_h area:
// aspect kept, centred.
SDL_Rect letterbox_rect(int dst_w, int dst_h);
