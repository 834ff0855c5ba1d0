// The event queue as the scenes see it: only a key press acts.
#pragma once
#include <cstdint>

// What one look at the events found; flags, several may be set.
enum event_news : uint32_t {
    EVENTS_NONE = 0,
    EVENTS_KEY = 1,      // a key was pressed
    EVENTS_STOP = 2,     // a stop signal asked the run to end
    EVENTS_RESIZED = 4,  // the window changed size: its surface is a new one
    EVENTS_EXPOSED = 8,  // the window was uncovered and needs its picture back
    EVENTS_DISPLAY_LOST = 16,  // the display connection broke: the run must end
};

// Takes every event queued at this moment and says what they asked for; the
// rest (window-close requests included) are dropped. Changes nothing else.
uint32_t look_at_events();
