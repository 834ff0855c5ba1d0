// Presenting through SDL's renderer. The texture has the letterbox's own size
// and is drawn at it, so the GPU copies texels 1:1: its sampling, filtered or
// not, never decides a pixel (its nearest sampling would pick
// (x + 0.5) * 1280 / w where ours takes x * 1280 / w).
#include "platform/video_texture.h"
#include "platform/driver.h"
#include "platform/os_memory.h"
#include "screen/scale.h"

static SDL_Renderer* renderer;
static SDL_Texture* texture;
static SDL_Rect texture_rect;  // where the texture goes on the output
static SDL_Rect bars[4];       // the black around it: above, below, left, right
static int bar_count;

bool renderer_in_use() { return renderer != nullptr; }

static int output_w, output_h;

// Address space the renderer takes beyond the window surface's way: OpenGL
// with its threads and code. Measured with Mesa's llvmpipe (no GPU) on 2
// cores under ulimit -v: it ran from about 660 MB more than the process held
// before it, and took 810 MB more at its peak without a limit; below that,
// Mesa crashed, aborted or drew nothing while the show ran on unseen.
static constexpr int64_t RENDERER_NEEDS_MB = 700;
static constexpr int64_t SHOW_THROUGH_RENDERER_MB = int64_t(SHOW_MEMORY_MB) + RENDERER_NEEDS_MB;

// What a crash inside the graphics driver ends with under a memory limit.
static char driver_ran_out[256];

// Guards the driver's calls while a memory limit is set.
static void guard(bool on) { platform_guard_driver_calls(on ? driver_ran_out : nullptr); }

bool renderer_output_size(SDL_Window* window, int* w, int* h) {
    if (!renderer) {
        // Under a memory limit too tight for it, OpenGL crashes or draws
        // nothing rather than failing: refuse first, naming the memory.
        const int64_t left = platform_address_space_left_mb();
        SDL_snprintf(driver_ran_out, sizeof driver_ran_out,
                     "tapehiss: OpenGL (SDL's renderer) ran out of memory under the limit (ulimit -v): shown "
                     "through it, the show needs about %lld MB of memory",
                     (long long)SHOW_THROUGH_RENDERER_MB);
        if (left >= 0 && left < RENDERER_NEEDS_MB) {
            SDL_SetError("OpenGL needs about %lld MB more than the memory limit leaves (ulimit -v): shown through it, "
                         "the show needs about %lld MB of memory",
                         (long long)RENDERER_NEEDS_MB, (long long)SHOW_THROUGH_RENDERER_MB);
            return false;
        }
        // Only an accelerated renderer can serve here: SDL's software one
        // draws into the window surface that this window does not give.
        guard(true);
        renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_ACCELERATED);
        guard(false);
    }
    if (!renderer || SDL_GetRendererOutputSize(renderer, &output_w, &output_h) != 0) return false;
    *w = output_w;
    *h = output_h;
    return true;
}

// The parts of the output around the picture, each of some size.
static void find_bars(const SDL_Rect& picture) {
    const SDL_Rect around[4] = {
        {0, 0, output_w, picture.y},
        {0, picture.y + picture.h, output_w, output_h - picture.y - picture.h},
        {0, picture.y, picture.x, picture.h},
        {picture.x + picture.w, picture.y, output_w - picture.x - picture.w, picture.h},
    };
    bar_count = 0;
    for (const SDL_Rect& r : around)
        if (r.w > 0 && r.h > 0) bars[bar_count++] = r;
}

bool place_texture(const SDL_Rect& picture) {
    find_bars(picture);
    if (texture && picture.w == texture_rect.w && picture.h == texture_rect.h) {
        texture_rect = picture;
        return true;
    }
    if (texture) SDL_DestroyTexture(texture);
    texture_rect = picture;
    // Blue, green, red, unused: the screen's own bytes, uploaded unconverted.
    guard(true);
    texture = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING, picture.w, picture.h);
    guard(false);
    if (texture) SDL_SetTextureScaleMode(texture, SDL_ScaleModeNearest);
    return texture != nullptr;
}

void present_texture(const uint8_t* screen) {
    if (!texture) return;
    guard(true);
    void* pixels;
    int pitch;
    if (SDL_LockTexture(texture, nullptr, &pixels, &pitch) != 0) {
        guard(false);
        return;
    }
    scale_screen(screen, static_cast<uint8_t*>(pixels), pitch, texture_rect.w, texture_rect.h);
    SDL_UnlockTexture(texture);
    // The output's buffers hold nothing defined after a present: black
    // around the picture every time (only there: the opaque picture covers
    // the rest, and a software GL pays for every pixel it fills).
    if (bar_count > 0) {
        SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
        SDL_RenderFillRects(renderer, bars, bar_count);
    }
    SDL_RenderCopy(renderer, texture, nullptr, &texture_rect);
    SDL_RenderPresent(renderer);
    guard(false);
}

void release_renderer() {
    if (texture) SDL_DestroyTexture(texture);
    if (renderer) SDL_DestroyRenderer(renderer);
    texture = nullptr;
    renderer = nullptr;
}
