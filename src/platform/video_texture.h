// Inside the video driver: the screen on a window that gives no plain-memory
// surface (Wayland; X screens of a depth SDL has no surface format for, such
// as 30 bits): SDL's renderer shows a streaming texture in the screen's byte order, into which
// each present scales our buffer with our own exact nearest-neighbour
// mapping; the texture is drawn 1:1, so nothing is ever filtered.
#pragma once
#include <SDL.h>
#include <cstdint>

// True once the window is shown through the renderer.
bool renderer_in_use();

// Makes SDL's renderer for the window (once) and gives the size in pixels it
// draws. False, with SDL's error, when no renderer can be had.
bool renderer_output_size(SDL_Window* window, int* w, int* h);

// Puts the picture at `picture` on the renderer's output, black around: makes
// the streaming texture of that size. False, with SDL's error, when it cannot
// be made.
bool place_texture(const SDL_Rect& picture);

// Scales the 1280 x 720 `screen` into the texture and shows it.
void present_texture(const uint8_t* screen);

// Lets go of the texture and the renderer before SDL shuts down.
void release_renderer();
