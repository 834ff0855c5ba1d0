/* The window surface of SDL's emscripten video driver and its way onto the
   page's canvas, compiled into our wasm build of SDL in place of the
   driver's own copy.

   The surface has the show's own pixel layout (blue, green, red, unused:
   SDL_PIXELFORMAT_RGB888), so the show draws straight into it. A present
   turns it in one pass into the canvas's RGBA with opaque alpha, in a buffer
   of its own that an ImageData views in place, and hands that to
   putImageData: no conversion by SDL, no copy in JavaScript. The page may ask
   for the cost of each present (Module.presentStats). */
#include "SDL_internal.h"
#include "video/emscripten/SDL_emscriptenvideo.h"
#include "video/emscripten/SDL_emscriptenframebuffer.h"
#include <emscripten.h>

/* The canvas's copy of the surface, 4 bytes a pixel: red, green, blue, 255. */
static Uint32 *canvas_pixels;

int Emscripten_CreateWindowFramebuffer(_THIS, SDL_Window *window, Uint32 *format, void **pixels, int *pitch)
{
    SDL_WindowData *data = (SDL_WindowData *)window->driverdata;
    int w, h;

    SDL_FreeSurface(data->surface);
    SDL_free(canvas_pixels);
    SDL_GetWindowSize(window, &w, &h);
    data->surface = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_RGB888);
    canvas_pixels = (Uint32 *)SDL_malloc((size_t)w * (size_t)h * 4);
    if (!data->surface || !canvas_pixels) {
        SDL_FreeSurface(data->surface);
        data->surface = NULL;
        SDL_free(canvas_pixels);
        canvas_pixels = NULL;
        return SDL_OutOfMemory();
    }
    *format = SDL_PIXELFORMAT_RGB888;
    *pixels = data->surface->pixels;
    *pitch = data->surface->pitch;
    return 0;
}

int Emscripten_UpdateWindowFramebuffer(_THIS, SDL_Window *window, const SDL_Rect *rects, int numrects)
{
    SDL_WindowData *data = (SDL_WindowData *)window->driverdata;
    SDL_Surface *surface = data->surface;
    const double started = emscripten_get_now();
    const Uint32 *in;
    size_t i, n;

    (void)rects;
    (void)numrects;
    if (!surface || !canvas_pixels) {
        return SDL_SetError("Couldn't find framebuffer surface for window");
    }
    /* The pitch of a 32-bit surface is its width: rows follow without gaps. */
    in = (const Uint32 *)surface->pixels;
    n = (size_t)surface->w * (size_t)surface->h;
    for (i = 0; i < n; ++i) {
        const Uint32 p = in[i];
        canvas_pixels[i] = 0xff000000u | (p & 0x0000ff00u) | ((p >> 16) & 0xffu) | ((p & 0xffu) << 16);
    }

    /* (No comma may stand outside brackets in the script: the macro would
       split it there.) */
    MAIN_THREAD_EM_ASM({
        var w = $0;
        var h = $1;
        var pixels = $2;
        var SDL2 = Module['SDL2'] || (Module['SDL2'] = {});
        if (SDL2.ctxCanvas !== Module['canvas']) {
            SDL2.ctx = Module['canvas'].getContext('2d', { alpha: false });
            SDL2.ctxCanvas = Module['canvas'];
            SDL2.image = null;
        }
        /* A grown memory has a new buffer, and a new surface other pixels. */
        if (!SDL2.image || SDL2.imageBuffer !== HEAPU8.buffer || SDL2.imagePixels !== pixels ||
            SDL2.image.width !== w || SDL2.image.height !== h) {
            SDL2.image = new ImageData(new Uint8ClampedArray(HEAPU8.buffer, pixels, w * h * 4), w, h);
            SDL2.imageBuffer = HEAPU8.buffer;
            SDL2.imagePixels = pixels;
        }
        SDL2.ctx.putImageData(SDL2.image, 0, 0);
        var stats = Module['presentStats'];
        if (stats) {
            var now = performance.now();
            var ms = now - $3;
            if (!stats.count) stats.first = now;
            stats.count++;
            stats.last = now;
            stats.ms += ms;
            if (ms > stats.max) stats.max = ms;
        }
    }, surface->w, surface->h, canvas_pixels, started);
    return 0;
}

void Emscripten_DestroyWindowFramebuffer(_THIS, SDL_Window *window)
{
    SDL_WindowData *data = (SDL_WindowData *)window->driverdata;

    SDL_FreeSurface(data->surface);
    data->surface = NULL;
    SDL_free(canvas_pixels);
    canvas_pixels = NULL;
}
