// Real platform driver, SDL half: the tick counter, the event queue and what
// the window system says about the window.
#include "platform/platform.h"
#include <SDL.h>
#include <SDL_syswm.h>
#if defined(SDL_VIDEO_DRIVER_X11) && __has_include(<X11/Xlib.h>)
#include <X11/Xlib.h>
#define TAPEHISS_ASK_X11 1
#endif

uint32_t platform_ticks() { return SDL_GetTicks(); }

void platform_pump_events() { SDL_PumpEvents(); }

int platform_take_events(SDL_Event* events, int max) {
    int taken = SDL_PeepEvents(events, max, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT);
    return taken < 0 ? 0 : taken;
}

#ifdef TAPEHISS_ASK_X11
// Without a window manager an X server leaves a "full-screen" window at the
// size it was made, while SDL hands out a surface of the display's size; only
// the server knows what the window covers. XGetWindowAttributes is looked up
// at run time, so the intro links no X library of its own.
static bool x11_window_size(SDL_Window* window, int* w, int* h) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return false;
    using get_attributes_fn = int (*)(Display*, Window, XWindowAttributes*);
    static get_attributes_fn get_attributes;
    if (!get_attributes) {
        void* x11 = SDL_LoadObject("libX11.so.6");
        if (x11) get_attributes = reinterpret_cast<get_attributes_fn>(SDL_LoadFunction(x11, "XGetWindowAttributes"));
        if (!get_attributes) return false;
    }
    XWindowAttributes attributes;
    if (!get_attributes(info.info.x11.display, info.info.x11.window, &attributes)) return false;
    *w = attributes.width;
    *h = attributes.height;
    return true;
}
#endif

void platform_window_shown_size(SDL_Window* window, int surface_w, int surface_h, int* w, int* h) {
    *w = surface_w;
    *h = surface_h;
#ifdef TAPEHISS_ASK_X11
    int window_w, window_h;
    if (x11_window_size(window, &window_w, &window_h) && window_w > 0 && window_h > 0) {
        *w = SDL_min(window_w, surface_w);
        *h = SDL_min(window_h, surface_h);
    }
#else
    (void)window;
#endif
}
