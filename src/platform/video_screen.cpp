// The screen on the window. SDL may replace the window surface whenever the
// window changes size (a window manager making the window full screen does so
// after the first present); a present to the old one then shows nothing, so
// the screen is attached afresh whenever that happens. A window that gives no
// surface is shown through SDL's renderer (video_texture.cpp).
//
// The state below and its rules, which every routine here keeps:
// - screen_window is the window presented to: set by attach_window_screen,
//   null before it and after detach_window_screen.
// - window_surface is that window's surface as last obtained, or null (no
//   window, no surface to be had, or the renderer in use: once the renderer
//   draws on a window SDL gives it no surface).
// - drawn_direct holds exactly while screen_pixels points into
//   window_surface's pixels, which then has the screen's layout and is shown
//   whole; otherwise screen_pixels points at own_screen, scaled onto the
//   window at each present. Before SDL may let a surface go (obtaining it
//   again, detaching), a picture drawn straight into it moves into
//   own_screen.
// - shown_area is the part of window_surface the window really shows;
//   picture_rect, where the picture goes, is its letterbox (on the surface,
//   or on the renderer's output).
// - scaled_screen exists only while window_surface has another pixel format
//   than ours: our scaler draws into it at picture_rect's size and SDL
//   converts it onto the surface, without scaling.
// - screen_black is the black word of whatever screen_pixels points into.
#include "platform/video_screen.h"
#include "platform/driver.h"
#include "platform/video_texture.h"
#include "screen/scale.h"
#include <cstdio>
#include <cstring>

// Our own screen; static, so it costs no memory unless it is written.
// Declared as words, the type the scaler and SDL read it as.
alignas(64) static uint32_t own_screen_words[SCREEN_W * SCREEN_H];
static uint8_t* const own_screen = reinterpret_cast<uint8_t*>(own_screen_words);

static SDL_Window* screen_window;
static SDL_Surface* window_surface;
static bool drawn_direct;
static SDL_Rect shown_area;
static SDL_Rect picture_rect;
static SDL_Surface* scaled_screen;

bool video_draws_direct() { return drawn_direct; }

bool surface_has_screen_layout(const SDL_Surface* surface) {
    const SDL_PixelFormat* f = surface->format;
    return surface->w == SCREEN_W && surface->h == SCREEN_H && surface->pitch == SCREEN_PITCH &&
           f->BytesPerPixel == 4 && f->Bmask == 0x000000ffu && f->Gmask == 0x0000ff00u &&
           f->Rmask == 0x00ff0000u;
}

// Blue, green, red in bytes 0 to 2 of 4: our scaler can write it directly.
static bool surface_takes_our_pixels(const SDL_Surface* surface) {
    const SDL_PixelFormat* f = surface->format;
    return f->BytesPerPixel == 4 && f->Bmask == 0x000000ffu && f->Gmask == 0x0000ff00u &&
           f->Rmask == 0x00ff0000u;
}

// The scaled copy for a surface of another pixel format. Without it nothing
// can be shown on that surface (our pixels must never be written raw into a
// layout they do not have): one line says so, and presents keep trying.
static bool make_scaled_screen() {
    static bool said;
    scaled_screen = SDL_CreateRGBSurfaceWithFormat(0, picture_rect.w, picture_rect.h, 32, SDL_PIXELFORMAT_RGB888);
    if (!scaled_screen && !said) {
        said = true;
        std::fprintf(stderr, "tapehiss: cannot make the %d x %d picture for this display (%zu bytes): %s\n",
                     picture_rect.w, picture_rect.h, size_t(picture_rect.w) * size_t(picture_rect.h) * 4,
                     SDL_GetError());
    }
    return scaled_screen != nullptr;
}

// The picture letterboxed into the shown part of a drawing area.
static SDL_Rect picture_in(const SDL_Rect& shown) {
    const screen_rect r = letterbox_rect(shown.w, shown.h);
    return SDL_Rect{shown.x + r.x, shown.y + r.y, r.w, r.h};
}

// Drawing goes on in our own buffer.
static void draw_into_own_screen() {
    drawn_direct = false;
    screen_pixels = own_screen;
    screen_black = 0;  // our own buffer has no alpha channel
}

bool attach_screen_to_surface(SDL_Surface* surface, const SDL_Rect& shown) {
    window_surface = surface;
    if (!surface) {
        draw_into_own_screen();
        return false;
    }
    const SDL_Rect whole{0, 0, surface->w, surface->h};
    if (!SDL_IntersectRect(&shown, &whole, &shown_area)) shown_area = whole;
    picture_rect = picture_in(shown_area);
    if (surface_has_screen_layout(surface) && shown_area.w == SCREEN_W && shown_area.h == SCREEN_H) {
        // The picture drawn so far in our own buffer moves into the surface.
        if (!drawn_direct && screen_pixels == own_screen)
            std::memcpy(surface->pixels, own_screen, SCREEN_BYTES);
        drawn_direct = true;
        screen_pixels = static_cast<uint8_t*>(surface->pixels);
        screen_black = SDL_MapRGB(surface->format, 0, 0, 0);
        return true;
    }
    draw_into_own_screen();
    SDL_FreeSurface(scaled_screen);
    scaled_screen = nullptr;
    if (!surface_takes_our_pixels(surface)) make_scaled_screen();
    // Black around the picture once; presents only ever write the picture.
    SDL_FillRect(surface, nullptr, SDL_MapRGB(surface->format, 0, 0, 0));
    return false;
}

// The picture drawn straight into the window surface moves into our own
// buffer, before the surface goes away.
static void keep_picture() {
    if (!drawn_direct) return;
    std::memcpy(own_screen, screen_pixels, SCREEN_BYTES);
    draw_into_own_screen();
}

void detach_window_screen() {
    keep_picture();
    screen_window = nullptr;
    window_surface = nullptr;
    SDL_FreeSurface(scaled_screen);
    scaled_screen = nullptr;
    release_renderer();
}

// The window through SDL's renderer: our own buffer, scaled into a texture.
static bool attach_renderer(SDL_Window* window) {
    window_surface = nullptr;
    draw_into_own_screen();
    int w, h;
    if (!renderer_output_size(window, &w, &h)) return false;
    SDL_Rect shown;
    platform_window_shown_area(window, w, h, &shown);
    picture_rect = picture_in(shown);
    return place_texture(picture_rect);
}

bool attach_window_screen(SDL_Window* window) {
    screen_window = window;
    keep_picture();  // SDL_GetWindowSurface may let the old surface go
    // Once the renderer draws on the window, SDL gives it no surface.
    if (renderer_in_use()) return attach_renderer(window);
    SDL_Surface* surface = SDL_GetWindowSurface(window);
    if (!surface) {
        char surface_error[256];
        SDL_strlcpy(surface_error, SDL_GetError(), sizeof surface_error);
        if (attach_renderer(window)) return true;
        // Neither: both reasons (memory running out among them) are told.
        char renderer_error[256];
        SDL_strlcpy(renderer_error, SDL_GetError(), sizeof renderer_error);
        if (*surface_error) SDL_SetError("window surface: %s; renderer: %s", surface_error, renderer_error);
        return false;
    }
    SDL_Rect shown;
    platform_window_shown_area(window, surface->w, surface->h, &shown);
    attach_screen_to_surface(surface, shown);
    return true;
}

// Our buffer onto the window surface, scaled into the letterbox.
static void scale_onto_surface() {
    if (drawn_direct || !window_surface || picture_rect.w <= 0 || picture_rect.h <= 0) return;
    if (!surface_takes_our_pixels(window_surface)) {
        if (!scaled_screen && !make_scaled_screen()) return;
        scale_screen(own_screen, static_cast<uint8_t*>(scaled_screen->pixels), scaled_screen->pitch,
                     picture_rect.w, picture_rect.h);
        SDL_Rect dst = picture_rect;
        SDL_BlitSurface(scaled_screen, nullptr, window_surface, &dst);
        return;
    }
    uint8_t* dst = static_cast<uint8_t*>(window_surface->pixels) + int64_t(picture_rect.y) * window_surface->pitch +
                   int64_t(picture_rect.x) * 4;
    scale_screen(own_screen, dst, window_surface->pitch, picture_rect.w, picture_rect.h);
}

// Only the part the window shows goes to the display.
static int update_window(SDL_Window* window) {
    if (!window_surface) return -1;
    if (shown_area.w == window_surface->w && shown_area.h == window_surface->h) return SDL_UpdateWindowSurface(window);
    return SDL_UpdateWindowSurfaceRects(window, &shown_area, 1);
}

void present_screen() {
    if (renderer_in_use()) {
        present_texture(own_screen);
        return;
    }
    scale_onto_surface();
    if (!screen_window) return;
    if (update_window(screen_window) == 0) return;
    // The surface stopped being valid (or there was none): obtain it again.
    if (!attach_window_screen(screen_window)) return;
    scale_onto_surface();
    update_window(screen_window);
}

void window_size_changed() {
    if (!screen_window) return;
    platform_fit_window(screen_window);
    attach_window_screen(screen_window);
    present_screen();
}
