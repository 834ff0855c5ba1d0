// The screen buffer, presenting it, and the whole-picture copies.
#include "flow/screen.h"
#include "assets.h"
#include <cstring>
#include <sys/mman.h>
#include <unistd.h>

uint8_t* screen_pixels;

// Our own screen, used only when the window surface has another size, pitch or
// pixel format; static, so it costs no memory unless it is written.
alignas(64) static uint8_t own_screen_memory[SCREEN_BYTES];
static SDL_Surface* own_screen;  // wraps own_screen_memory; null when drawing goes to the window
static SDL_Surface* window_surface;

bool surface_has_screen_layout(const SDL_Surface* surface) {
    const SDL_PixelFormat* f = surface->format;
    return surface->w == SCREEN_W && surface->h == SCREEN_H && surface->pitch == SCREEN_PITCH &&
           f->BytesPerPixel == 4 && f->Bmask == 0x000000ffu && f->Gmask == 0x0000ff00u &&
           f->Rmask == 0x00ff0000u;
}

bool attach_screen(SDL_Surface* surface) {
    window_surface = surface;
    if (surface_has_screen_layout(surface)) {
        own_screen = nullptr;
        screen_pixels = static_cast<uint8_t*>(surface->pixels);
        return true;
    }
    if (!own_screen)
        own_screen = SDL_CreateRGBSurfaceWithFormatFrom(own_screen_memory, SCREEN_W, SCREEN_H, 32,
                                                        SCREEN_PITCH, SDL_PIXELFORMAT_RGB888);
    screen_pixels = own_screen_memory;
    return false;
}

bool screen_is_direct() { return own_screen == nullptr || screen_pixels != own_screen_memory; }

SDL_Rect letterbox_rect(int dst_w, int dst_h) {
    // Widest 16:9 rectangle that fits, in whole pixels, centred.
    int w = dst_w, h = int(int64_t(dst_w) * SCREEN_H / SCREEN_W);
    if (h > dst_h) {
        h = dst_h;
        w = int(int64_t(dst_h) * SCREEN_W / SCREEN_H);
    }
    return SDL_Rect{(dst_w - w) / 2, (dst_h - h) / 2, w, h};
}

// Scaled copy of our own screen in its own pixel format, for surfaces of
// another format: SDL scales fast only between equal formats and converts fast
// only without scaling, so the two steps are done apart. Made once.
static SDL_Surface* scaled_screen;

void present_screen(SDL_Window* window) {
    if (own_screen && window_surface) {
        SDL_Rect dst = letterbox_rect(window_surface->w, window_surface->h);
        SDL_FillRect(window_surface, nullptr, SDL_MapRGB(window_surface->format, 0, 0, 0));
        if (window_surface->format->format == own_screen->format->format) {
            SDL_BlitScaled(own_screen, nullptr, window_surface, &dst);
        } else {
            if (!scaled_screen || scaled_screen->w != dst.w || scaled_screen->h != dst.h) {
                SDL_FreeSurface(scaled_screen);
                scaled_screen = SDL_CreateRGBSurfaceWithFormat(0, dst.w, dst.h, 32, SDL_PIXELFORMAT_RGB888);
            }
            if (scaled_screen) {
                SDL_BlitScaled(own_screen, nullptr, scaled_screen, nullptr);
                SDL_BlitSurface(scaled_screen, nullptr, window_surface, &dst);
            } else {
                SDL_BlitScaled(own_screen, nullptr, window_surface, &dst);
            }
        }
    }
    SDL_UpdateWindowSurface(window);
}

void clear_screen(SDL_Surface* surface) {
    SDL_Surface* target = own_screen && surface == window_surface ? own_screen : surface;
    SDL_FillRect(target, nullptr, SDL_MapRGB(target->format, 0, 0, 0));
}

void copy_title_picture() { std::memcpy(screen_pixels, title_picture, SCREEN_BYTES); }

void release_title_picture() {
    // The picture is shown once; its 3.7 MB of pages can go back to the file
    // they came from (a later read simply brings them in again).
    const uintptr_t page = uintptr_t(sysconf(_SC_PAGESIZE));
    uintptr_t begin = (uintptr_t(title_picture) + page - 1) & ~(page - 1);
    uintptr_t end = (uintptr_t(title_picture) + SCREEN_BYTES) & ~(page - 1);
    if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_DONTNEED);
}

void draw_picture_block(int x, int y, int w, int h) {
    if (h <= 0) return;
    uint8_t* dst = screen_pixels + 4 * (x + SCREEN_W * y);
    const uint8_t* src = logo_picture;
    for (int row = 0; row < h; ++row) {
        std::memcpy(dst, src, size_t(4) * w);
        dst += SCREEN_PITCH;
        src += 4 * w;
    }
}
