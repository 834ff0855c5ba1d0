// The screen on the window: attaching screen_pixels to the window surface
// (straight into it when it has the screen's exact layout, through a buffer of
// our own scaled and letterboxed onto it otherwise, or onto a texture of SDL's
// renderer when the window gives no surface), presenting, clearing.
#pragma once
#include "screen/screen.h"
#include <SDL.h>

// True while screen_pixels points straight into the window surface.
extern bool screen_drawn_direct;

// True when the surface has exactly the screen layout (size, pitch, and blue,
// green, red in bytes 0, 1, 2), so it can be drawn into directly.
bool surface_has_screen_layout(const SDL_Surface* surface);

// Attaches the screen to `surface`, of which only the top-left shown_w x
// shown_h pixels are seen; the picture is letterboxed into that area. What
// our own buffer held is carried into a surface drawn into directly. True when
// drawing goes straight into it. The surface belongs to no window: presents
// only draw into it (benchmarks, tests).
bool attach_screen_area(SDL_Surface* surface, int shown_w, int shown_h);

// Obtains the window's surface (again) and attaches the screen to it, keeping
// the picture; a window that gives no surface is shown through SDL's renderer
// instead. False when neither can be had; drawing then goes on in our own
// buffer and each present tries again.
bool attach_window_screen(SDL_Window* window);

// Lets go of the window and its surface before SDL shuts down; the picture
// stays in our own buffer.
void detach_window_screen();

// After the window moved or changed size: makes it cover the screen where the
// window system left it otherwise, attaches the screen to its new surface and
// shows the current picture on it.
void window_size_changed();

// Makes the current screen visible on the window last attached: scales our
// own buffer onto the window surface first when one is in use. When the
// window's surface has stopped being valid, obtains it again and presents
// once more. Before any window is attached it only scales (tests, benchmarks).
void present_screen();

// Letterbox rectangle of the 1280 x 720 picture on a dst_w x dst_h area:
// aspect kept, centred.
SDL_Rect letterbox_rect(int dst_w, int dst_h);
