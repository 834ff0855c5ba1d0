// Taking events: a key press is acted upon in the pass in which it arrives,
// however many other events are queued before it.
#include "flow/events.h"
#include "platform/platform.h"
#include <SDL.h>

uint32_t look_at_events() {
    uint32_t news = platform_quit_signal() ? EVENTS_STOP : EVENTS_NONE;
    SDL_Event events[64];
    int taken;
    // One pump, then only what was queued then: a stream of new events (a
    // mouse moved on and on) cannot keep the caller here.
    platform_pump_events();
    do {
        taken = platform_take_events(events, 64);
        for (int i = 0; i < taken; ++i) {
            const SDL_Event& e = events[i];
            if (e.type == SDL_KEYDOWN) news |= EVENTS_KEY;
            if (e.type != SDL_WINDOWEVENT) continue;
            // A move changes which part of the window is on the screen.
            if (e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED || e.window.event == SDL_WINDOWEVENT_RESIZED ||
                e.window.event == SDL_WINDOWEVENT_MOVED)
                news |= EVENTS_RESIZED;
            if (e.window.event == SDL_WINDOWEVENT_EXPOSED || e.window.event == SDL_WINDOWEVENT_SHOWN ||
                e.window.event == SDL_WINDOWEVENT_RESTORED)
                news |= EVENTS_EXPOSED;
        }
    } while (taken == 64);
    if (platform_display_lost()) news |= EVENTS_DISPLAY_LOST;
    return news;
}
