// The scenes' answer to the events: stop, re-attach, re-present, or a key.
#include "flow/scene_events.h"
#include "flow/events.h"
#include "music/music.h"
#include "platform/platform.h"
#include "screen/surface.h"
#include <SDL.h>

void quit_sdl() {
    detach_window_screen();
    if (music_stalled())
        SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS | SDL_INIT_TIMER);
    else
        SDL_Quit();
}

bool scene_key_pressed() {
    const uint32_t news = look_at_events();
    if (news & EVENTS_DISPLAY_LOST) platform_end_display_lost();
    if (news & EVENTS_STOP) {
        // Only the display is shut down: giving the screen back is what must
        // not be lost. The sound ends with the process; closing it first
        // would wait for the mixer's thread to finish a buffer (up to 100 ms).
        detach_window_screen();
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        platform_end_by_signal(platform_quit_signal());
    }
    if (news & EVENTS_RESIZED)
        window_size_changed();
    else if (news & EVENTS_EXPOSED)
        present_screen();
    return (news & EVENTS_KEY) != 0;
}
