// Real platform driver, SDL half: the tick counter and the event queue (what
// SDL does not say about the window system is window_system.cpp's).
#include "platform/platform.h"
#include <SDL.h>

uint32_t platform_ticks() { return SDL_GetTicks(); }

void platform_pump_events() { SDL_PumpEvents(); }

int platform_take_events(SDL_Event* events, int max) {
    int taken = SDL_PeepEvents(events, max, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT);
    return taken < 0 ? 0 : taken;
}
