// Inside the video driver: the screen on the window. Drawing goes straight
// into the window surface when it has the screen's exact layout, through a
// buffer of our own scaled and letterboxed onto it otherwise, or onto a
// texture of SDL's renderer when the window gives no surface.
#pragma once
#include "screen/screen.h"
#include <SDL.h>

// True while screen_pixels points straight into the window surface.
bool video_draws_direct();

// True when the surface has exactly the screen layout (size, pitch, and blue,
// green, red in bytes 0, 1, 2), so it can be drawn into directly.
bool surface_has_screen_layout(const SDL_Surface* surface);

// Attaches the screen to `surface`, of which only the part `shown` is seen;
// the picture is letterboxed into that part. What our own buffer held is
// carried into a surface drawn into directly. True when drawing goes straight
// into it.
bool attach_screen_to_surface(SDL_Surface* surface, const SDL_Rect& shown);

// Obtains the window's surface (again) and attaches the screen to it, keeping
// the picture; a window that gives no surface is shown through SDL's renderer
// instead. False when neither can be had; drawing then goes on in our own
// buffer and each present tries again.
bool attach_window_screen(SDL_Window* window);

// Lets go of the window, its surface and the renderer before SDL shuts down;
// the picture stays in our own buffer.
void detach_window_screen();

// After the window moved or changed size: makes it cover the screen where the
// window system left it otherwise, attaches the screen to its new surface and
// shows the current picture on it.
void window_size_changed();

// Makes the current screen visible on the window last attached: scales our
// own buffer onto the window surface first when one is in use. When the
// window's surface has stopped being valid, obtains it again and presents
// once more. With no window attached it only scales (tests, benchmarks).
void present_screen();
