/* The window surface of SDL's emscripten video driver and its way onto the
   page's canvas, compiled into our wasm build of SDL in place of the
   driver's own copy.

   The surface has the show's own pixel layout (blue, green, red, unused:
   SDL_PIXELFORMAT_RGB888), so the show draws straight into it. A present
   turns it in one pass into the canvas's RGBA with opaque alpha, in a buffer
   of its own that an ImageData views in place, and hands that to
   putImageData: no conversion by SDL, no copy in JavaScript. On a page box
   smaller than the surface (Module.displaySize, in device pixels) the copy is
   scaled into the box by the show's own nearest-neighbour mapping, box pixel
   (x, y) from surface pixel (x * w / box_w, y * h / box_h), and the canvas
   takes the box's size: the browser, whose downscaling blends, never scales.
   The page may ask for the cost of each present (Module.presentStats). */
#include "SDL_internal.h"
#include "video/emscripten/SDL_emscriptenvideo.h"
#include "video/emscripten/SDL_emscriptenframebuffer.h"
#include <emscripten.h>

/* The canvas's copy of the surface, 4 bytes a pixel: red, green, blue, 255,
   at the surface's size or scaled down to the box's. */
static Uint32 *canvas_pixels;
static int canvas_w, canvas_h; /* the copy's size */
static int *column_map;        /* the surface column of each copy column */

/* The copy's size for a surface of w x h: the page's box when it is smaller. */
static void copy_size(int w, int h, int *cw, int *ch)
{
    int box[2] = { 0, 0 };
    MAIN_THREAD_EM_ASM({
        var size = Module['displaySize'];
        HEAP32[($0 >> 2)] = size ? size.w : 0;
        HEAP32[($0 >> 2) + 1] = size ? size.h : 0;
    }, box);
    if (box[0] > 0 && box[1] > 0 && box[0] <= w && box[1] <= h && (box[0] < w || box[1] < h)) {
        *cw = box[0];
        *ch = box[1];
    } else {
        *cw = w;
        *ch = h;
    }
}

/* The copy buffer (and column map) for a copy of cw x ch; 0 or -1. */
static int make_copy(int w, int cw, int ch)
{
    int x;
    if (canvas_pixels && cw == canvas_w && ch == canvas_h) {
        return 0;
    }
    SDL_free(canvas_pixels);
    SDL_free(column_map);
    canvas_pixels = (Uint32 *)SDL_malloc((size_t)cw * (size_t)ch * 4);
    column_map = (int *)SDL_malloc((size_t)cw * sizeof(int));
    if (!canvas_pixels || !column_map) {
        SDL_free(canvas_pixels);
        SDL_free(column_map);
        canvas_pixels = NULL;
        column_map = NULL;
        return -1;
    }
    for (x = 0; x < cw; ++x) {
        column_map[x] = (int)((Sint64)x * w / cw);
    }
    canvas_w = cw;
    canvas_h = ch;
    return 0;
}

static Uint32 rgba_of(Uint32 p)
{
    return 0xff000000u | (p & 0x0000ff00u) | ((p >> 16) & 0xffu) | ((p & 0xffu) << 16);
}

int Emscripten_CreateWindowFramebuffer(_THIS, SDL_Window *window, Uint32 *format, void **pixels, int *pitch)
{
    SDL_WindowData *data = (SDL_WindowData *)window->driverdata;
    int w, h;

    SDL_FreeSurface(data->surface);
    SDL_free(canvas_pixels);
    canvas_pixels = NULL;
    SDL_GetWindowSize(window, &w, &h);
    data->surface = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_RGB888);
    if (!data->surface || make_copy(w, w, h) != 0) {
        SDL_FreeSurface(data->surface);
        data->surface = NULL;
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
    int cw, ch, x, y;

    (void)rects;
    (void)numrects;
    if (!surface) {
        return SDL_SetError("Couldn't find framebuffer surface for window");
    }
    copy_size(surface->w, surface->h, &cw, &ch);
    if (make_copy(surface->w, cw, ch) != 0) {
        return SDL_OutOfMemory();
    }
    /* The pitch of a 32-bit surface is its width: rows follow without gaps. */
    in = (const Uint32 *)surface->pixels;
    if (cw == surface->w && ch == surface->h) {
        n = (size_t)surface->w * (size_t)surface->h;
        for (i = 0; i < n; ++i) {
            canvas_pixels[i] = rgba_of(in[i]);
        }
    } else {
        for (y = 0; y < ch; ++y) {
            const Uint32 *row = in + (size_t)((Sint64)y * surface->h / ch) * (size_t)surface->w;
            Uint32 *out = canvas_pixels + (size_t)y * (size_t)cw;
            for (x = 0; x < cw; ++x) {
                out[x] = rgba_of(row[column_map[x]]);
            }
        }
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
        /* The canvas holds the copy's size (setting it clears it). */
        var canvas = Module['canvas'];
        if (canvas.width !== w || canvas.height !== h) {
            canvas.width = w;
            canvas.height = h;
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
    }, cw, ch, canvas_pixels, started);
    return 0;
}

void Emscripten_DestroyWindowFramebuffer(_THIS, SDL_Window *window)
{
    SDL_WindowData *data = (SDL_WindowData *)window->driverdata;

    SDL_FreeSurface(data->surface);
    data->surface = NULL;
    SDL_free(canvas_pixels);
    canvas_pixels = NULL;
    SDL_free(column_map);
    column_map = NULL;
}
