// Taking events: a key press is acted upon in the pass in which it arrives,
// however many other events are queued before it.
#include "flow/events.h"
#include "flow/platform.h"
#include "flow/surface.h"
#include "music/music.h"
#include <SDL.h>

void quit_sdl() {
    if (music_stalled())
        SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS | SDL_INIT_TIMER);
    else
        SDL_Quit();
}

bool take_events_key_pressed() {
    if (int signal = platform_quit_signal()) {
        // The display first: putting its mode back is what must not be lost.
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        quit_sdl();
        platform_end_by_signal(signal);
    }
    bool key = false, resized = false, exposed = false;
    SDL_Event events[64];
    int taken;
    // One pump, then only what was queued then: a stream of new events (a
    // mouse moved on and on) cannot keep the caller here.
    platform_pump_events();
    do {
        taken = platform_take_events(events, 64);
        for (int i = 0; i < taken; ++i) {
            const SDL_Event& e = events[i];
            if (e.type == SDL_KEYDOWN) key = true;
            if (e.type != SDL_WINDOWEVENT) continue;
            if (e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED || e.window.event == SDL_WINDOWEVENT_RESIZED)
                resized = true;
            if (e.window.event == SDL_WINDOWEVENT_EXPOSED) exposed = true;
        }
    } while (taken == 64);
    if (resized)
        window_size_changed();
    else if (exposed)
        present_screen_again();
    return key;
}
